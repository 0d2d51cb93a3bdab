#include "protection/HomePageShield.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mock/FakeRegistry.h"
#include "scan/RegistryAccess.h"
#include "settings/SettingsStore.h"

namespace nightjar::protection {
namespace {

using platform::Hive;

class HomePageShieldTest : public ::testing::Test {
  protected:
    mock::FakeRegistry registry;
    scan::RegistryAccess access{registry};
    settings::SettingsStore settings{registry, "Nightjar"};
    HomePageShield shield{access, settings, "Nightjar"};
    std::vector<std::string> asked;

    void setStartPage(std::string_view page) {
        registry.setValue(Hive::CurrentUser, HomePageShield::kMainKey,
                          HomePageShield::kStartPageValue, platform::RegValue::string(page));
    }
    std::string startPage() {
        const auto value =
            registry.queryValue(Hive::CurrentUser, HomePageShield::kMainKey,
                                HomePageShield::kStartPageValue, platform::KeyAccess::Read);
        return value ? value->text() : "<missing>";
    }
    void option(std::string_view key, std::string_view value) {
        settings.Write("OptionAndSettings", key, value);
    }
    HomePageShield::Ask answer(bool yes) {
        return [this, yes](const std::string& info) {
            asked.push_back(info);
            return yes;
        };
    }
};

TEST_F(HomePageShieldTest, WorksOnEveryThirdTickAndFirstCheckRemembers) {
    std::vector<bool> due;
    for (int i = 0; i < 7; ++i) {
        due.push_back(shield.CountTick());
    }
    EXPECT_EQ(due, (std::vector<bool>{false, false, true, false, false, true, false}));

    setStartPage("http://home.example/");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Remembered);
    EXPECT_EQ(shield.RememberedStartPage(), "http://home.example/");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Unchanged);
    EXPECT_TRUE(asked.empty());
}

TEST_F(HomePageShieldTest, AskYesPutsTheOldPageBackNoAdoptsTheNewOne) {
    setStartPage("http://home.example/");
    shield.Check(answer(true));
    setStartPage("http://hijack.example/");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Restored);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Nightjar has detected that your Homepage has been changed.\r\n\r\n"
              "Click YES to keep your homepage as:\r\nhttp://home.example/\r\n\r\n"
              "Click No to change your homepage to:\r\nhttp://hijack.example/");
    EXPECT_EQ(startPage(), "http://home.example/");

    setStartPage("http://new.example/");
    EXPECT_EQ(shield.Check(answer(false)), HomePageCheck::Accepted);
    EXPECT_EQ(startPage(), "http://new.example/");
    EXPECT_EQ(shield.Check(answer(false)), HomePageCheck::Unchanged);
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(HomePageShieldTest, SilentRestoreComparesExactTextAndNeitherOptionLeavesIt) {
    option("optAlwaysnotifybeforerestoring", "False");
    option("optRestoredefaultwithoutnotification", "True");
    setStartPage("http://home.example/");
    shield.Check(answer(false));
    setStartPage("HTTP://HOME.EXAMPLE/");  // letter case alone counts as a change
    EXPECT_EQ(shield.Check(answer(false)), HomePageCheck::Restored);
    EXPECT_EQ(startPage(), "http://home.example/");
    EXPECT_TRUE(asked.empty());

    option("optRestoredefaultwithoutnotification", "False");
    setStartPage("http://other.example/");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::LeftChanged);
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::LeftChanged);
    EXPECT_EQ(startPage(), "http://other.example/");
    EXPECT_EQ(shield.RememberedStartPage(), "http://home.example/");
}

TEST_F(HomePageShieldTest, UnreadableValueIsBlankAndShieldOffReadsNothing) {
    option("optIEHomePageSheildOn", "False");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Off);
    // Had it read, "about:blank" would now be remembered.
    EXPECT_EQ(shield.RememberedStartPage(), "");

    option("optIEHomePageSheildOn", "True");
    option("Homepage", "http://home.example/");
    EXPECT_EQ(shield.Check(answer(true)), HomePageCheck::Restored);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("homepage to:\r\nabout:blank"), std::string::npos);
    EXPECT_EQ(startPage(), "http://home.example/");

    // A key the user may only read counts as unreadable; the write fails and is retried by
    // the next check.
    registry.setReadOnly(Hive::CurrentUser, HomePageShield::kMainKey, true);
    EXPECT_EQ(shield.CurrentStartPage(), "about:blank");
}

}  // namespace
}  // namespace nightjar::protection
