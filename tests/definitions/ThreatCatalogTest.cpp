#include <gtest/gtest.h>

#include <set>
#include <string>

#include "definitions/ThreatCatalog.h"

namespace nightjar::definitions {
namespace {

TEST(ThreatCatalog, EmptyTypeIsMediumUnknown) {
    std::string risk;
    std::string details;
    AssignRisk("", risk, details);
    EXPECT_EQ(risk, "Medium");
    EXPECT_EQ(details, "Unknown");
}

TEST(ThreatCatalog, MatchIsCaseSensitiveAndUntrimmed) {
    std::string risk;
    std::string details;
    AssignRisk("spyware", risk, details);
    EXPECT_EQ(risk, "");
    EXPECT_EQ(details, "");
    AssignRisk("Spyware ", risk, details);
    EXPECT_EQ(risk, "");
    EXPECT_FALSE(LookupThreatType(" Trojan").has_value());

    AssignRisk("Spyware", risk, details);
    EXPECT_EQ(risk, "Medium/High");
    EXPECT_EQ(details, "Spys on your computer activity");
}

TEST(ThreatCatalog, TrojanIsHighInCapitals) {
    auto info = LookupThreatType("Trojan");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->risk, "HIGH");
    EXPECT_EQ(info->description,
              "Allows remote access to your computer.  Can be malicious and damage your system.");
}

TEST(ThreatCatalog, UnknownTypeLeavesCellsAsTheyAre) {
    std::string risk = "earlier";
    std::string details = "kept";
    AssignRisk("Rootkit", risk, details);
    EXPECT_EQ(risk, "earlier");
    EXPECT_EQ(details, "kept");
}

TEST(ThreatCatalog, PassTwiceGivesTheSameResult) {
    for (const auto* type : {"", "Adware", "Worm", "nope"}) {
        std::string r1;
        std::string d1;
        AssignRisk(type, r1, d1);
        std::string r2 = r1;
        std::string d2 = d1;
        AssignRisk(type, r2, d2);
        EXPECT_EQ(r1, r2);
        EXPECT_EQ(d1, d2);
    }
}

TEST(ThreatCatalog, TableHasEveryRowOnceWithKnownRisks) {
    auto rows = ThreatCatalog();
    EXPECT_EQ(rows.size(), 40u);
    std::set<std::string_view> types;
    const std::set<std::string_view> risks = {"No risk",     "Low",  "Medium",
                                              "Medium/High", "HIGH", "Low/Medium/High"};
    for (const auto& r : rows) {
        EXPECT_TRUE(types.insert(r.type).second) << r.type;
        EXPECT_TRUE(risks.count(r.risk)) << r.type << ": " << r.risk;
        EXPECT_FALSE(r.description.empty()) << r.type;
        auto found = LookupThreatType(r.type);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->description, r.description);
    }
}

TEST(ThreatCatalog, TextsAreKeptAsWritten) {
    EXPECT_EQ(LookupThreatType("Flooder")->description,
              "Tries to peform denial of service attacks on websites");
    EXPECT_EQ(LookupThreatType("Worm")->description,
              "Automatically propogates from your system to others");
    EXPECT_EQ(LookupThreatType("Password Capture")->description, "Attempts to seal your passwords");
    EXPECT_EQ(LookupThreatType("Commercial RAT")->description,
              "High risk if you did not install this software to monitor your own computer.  "
              "Otherwise it is safe to use.");
    EXPECT_EQ(LookupThreatType("DirTestSAFE")->risk, "No risk");
    EXPECT_EQ(LookupThreatType("Homepage Hijacker")->risk, "Low/Medium/High");
    EXPECT_EQ(LookupThreatType("Tracking Cookie")->risk, "Low");
}

}  // namespace
}  // namespace nightjar::definitions
