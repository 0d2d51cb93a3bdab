#include "scan/RegistryScan.h"

#include <gtest/gtest.h>

#include "ScanTestEnv.h"

namespace nightjar::scan {
namespace {

using platform::Hive;
using platform::RegType;
using platform::RegValue;
using scantest::FeedRow;
using scantest::FoundRow;
using ::testing::ElementsAre;

class RegistryScanTest : public ::testing::Test {
  protected:
    scantest::ScanTestEnv env;
    RegistryAccess access{env.registry};
    RegistryScan scan{env.fs, access, env.expander, env.store, env.exclusions};

    void run(const std::vector<std::string>& lines) {
        env.writeDefinitions(definitions::kRegistryDefinition, lines);
        env.prepareRun();
        scan.ScanRegistry(env.sink);
    }
};

TEST_F(RegistryScanTest, MissingFileEndsPhaseSilently) {
    env.prepareRun();
    scan.ScanRegistry(env.sink);
    EXPECT_EQ(env.sink.c.registry, 0);
    EXPECT_EQ(env.sink.pumps, 0);
}

TEST_F(RegistryScanTest, WholeKeyHitRecordsEveryList) {
    env.registry.createKey(Hive::CurrentUser, "Software\\Spy");
    run({"1^Software\\Spy^=Spy Threat|Adware"});
    const std::string keyText = "HKEY_CURRENT_USER\\Software\\Spy";
    EXPECT_THAT(env.sink.feed, ElementsAre(FeedRow("Spy Threat", icon::Registry, keyText)));
    EXPECT_THAT(env.sink.found,
                ElementsAre(FoundRow("Spy Threat", icon::Registry, keyText, "Adware")));
    ASSERT_EQ(env.sink.registryWork.size(), 1u);
    EXPECT_EQ(env.sink.registryWork[0].mainKey, "-2147483647");
    EXPECT_EQ(env.sink.registryWork[0].keyPath, "Software\\Spy");
    EXPECT_EQ(env.sink.registryWork[0].valueName, "");
    EXPECT_EQ(env.sink.registryWork[0].threatName, "Spy Threat");
    EXPECT_EQ(env.sink.traces, 1);
    EXPECT_EQ(env.sink.c.threats, 1);
    EXPECT_EQ(env.sink.c.registry, 1);
}

TEST_F(RegistryScanTest, WholeKeyWithoutThreatNameShowsRegKey) {
    env.registry.createKey(Hive::LocalMachine, "Software\\Anon");
    run({"2^Software\\Anon^= "});
    const std::string keyText = "HKEY_LOCAL_MACHINE\\Software\\Anon";
    EXPECT_THAT(env.sink.feed, ElementsAre(FeedRow("RegKey Software\\Anon", icon::None, keyText)));
    EXPECT_THAT(env.sink.found,
                ElementsAre(FoundRow("Software\\Anon", icon::Registry, keyText, "")));
    EXPECT_EQ(env.sink.c.threats, 1);
}

TEST_F(RegistryScanTest, ValueEntryTextRunsKeyAndValueTogether) {
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "Bar", RegValue::string("x"));
    run({"1^Software\\Foo^Bar=Foo Bar"});
    const std::string entryText = "HKEY_CURRENT_USER\\Software\\FooBar";
    EXPECT_THAT(env.sink.found, ElementsAre(FoundRow("Foo Bar", icon::Registry, entryText, "")));
    EXPECT_THAT(env.sink.feed, ElementsAre(FeedRow("Foo Bar", icon::Registry, entryText)));
    EXPECT_EQ(env.sink.registryWork[0].valueName, "Bar");
}

TEST_F(RegistryScanTest, BinaryValueIsNeverReported) {
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "Bin",
                          RegValue{RegType::Binary, "x"});
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "Num", RegValue::dword(1));
    run({"1^Software\\Foo^Bin=Bin Threat", "1^Software\\Foo^Num=Num Threat"});
    EXPECT_THAT(env.sink.foundTitles(), ElementsAre("Num Threat"));
    EXPECT_EQ(env.sink.c.registry, 2);  // both inspected
}

TEST_F(RegistryScanTest, ExcludedKeyTextHidesItsValueLines) {
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "A", RegValue::string("x"));
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "B", RegValue::dword(3));
    env.writeExclusions("HKEY_CURRENT_USER\\Software\\Foo\r\n\r\n");
    run({"1^Software\\Foo^A=T", "1^Software\\Foo^B=T", "1^Software\\Foo^=T"});
    EXPECT_THAT(
        env.sink.feed,
        ElementsAre(FeedRow("EXCLUDED", icon::Excluded, "HKEY_CURRENT_USER\\Software\\FooA"),
                    FeedRow("EXCLUDED", icon::Excluded, "HKEY_CURRENT_USER\\Software\\FooB"),
                    FeedRow("EXCLUDED", icon::Excluded, "HKEY_CURRENT_USER\\Software\\Foo")));
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_TRUE(env.sink.registryWork.empty());
    EXPECT_EQ(env.sink.c.threats, 0);
}

TEST_F(RegistryScanTest, UnknownHiveCodeIsNotCounted) {
    env.registry.createKey(Hive::CurrentUser, "Software\\Spy");
    run({"6^Software\\Spy^=T", " ^Software\\Spy^=T", "x^Software\\Spy^=T", "1^Software\\Spy^=T"});
    EXPECT_EQ(env.sink.c.registry, 1);
    EXPECT_EQ(env.sink.found.size(), 1u);
}

TEST_F(RegistryScanTest, LinesWithoutEqualsOrThreeFieldsAreSkipped) {
    env.registry.createKey(Hive::CurrentUser, "Software\\Spy");
    run({"1^Software\\Spy^", "1^Software\\Spy=T", ""});
    EXPECT_EQ(env.sink.c.registry, 0);
    EXPECT_TRUE(env.sink.found.empty());
}

TEST_F(RegistryScanTest, LastEqualsSeparatesThreat) {
    env.registry.createKey(Hive::CurrentUser, "Software\\a=b");
    run({"1^Software\\a=b^=  Eq Threat  "});
    EXPECT_THAT(env.sink.foundTitles(), ElementsAre("Eq Threat"));
    EXPECT_EQ(env.sink.registryWork[0].keyPath, "Software\\a=b");
}

TEST_F(RegistryScanTest, MissingKeyOrValueIsNotReported) {
    env.registry.createKey(Hive::CurrentUser, "Software\\Present");
    run({"1^Software\\Absent^=T", "1^Software\\Present^Nope=T"});
    EXPECT_EQ(env.sink.c.registry, 2);
    EXPECT_TRUE(env.sink.feed.empty());
}

TEST_F(RegistryScanTest, ValueWithoutThreatNameQueuesRemovalOnly) {
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "V", RegValue::string("x"));
    run({"1^Software\\Foo^V="});
    EXPECT_EQ(env.sink.registryWork.size(), 1u);
    EXPECT_EQ(env.sink.traces, 1);
    EXPECT_TRUE(env.sink.feed.empty());
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(env.sink.c.threats, 0);
}

TEST_F(RegistryScanTest, DoubledBackslashInValueNameIsCollapsed) {
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "a\\b", RegValue::string("x"));
    run({"1^Software\\Foo^a\\\\b=T"});
    EXPECT_THAT(env.sink.foundLocations(), ElementsAre("HKEY_CURRENT_USER\\Software\\Fooa\\b"));
    EXPECT_EQ(env.sink.registryWork[0].valueName, "a\\b");
}

TEST_F(RegistryScanTest, DrivePlaceholderIsReplacedCaseSensitively) {
    env.registry.setValue(Hive::CurrentUser, "Software\\Paths", "C:\\spy.exe",
                          RegValue::string("1"));
    env.registry.setValue(Hive::CurrentUser, "Software\\Paths", "[DRIVE]spy.exe",
                          RegValue::string("1"));
    run({"1^Software\\Paths^[drive]spy.exe=Lower", "1^Software\\Paths^[DRIVE]spy.exe=Upper"});
    EXPECT_THAT(env.sink.foundLocations(),
                ElementsAre("HKEY_CURRENT_USER\\Software\\PathsC:\\spy.exe",
                            "HKEY_CURRENT_USER\\Software\\Paths[DRIVE]spy.exe"));
}

TEST_F(RegistryScanTest, ProtectedEntryIsNotReported) {
    env.registry.createKey(Hive::CurrentUser, "Software\\Good");
    env.registry.createKey(Hive::CurrentUser, "Software\\Bad");
    env.writeDefinitions(definitions::kSafety, {"SREG|x=y|1^Software\\Good"});
    run({"1^Software\\Good^=T", "1^Software\\Bad^=T"});
    EXPECT_THAT(env.sink.foundLocations(), ElementsAre("HKEY_CURRENT_USER\\Software\\Bad"));
    EXPECT_EQ(env.sink.c.registry, 2);
}

TEST_F(RegistryScanTest, LinesNamingNoKeyBelowTheHiveAreSkippedWithoutSafetyEntries) {
    env.registry.setValue(Hive::CurrentUser, "", "RootValue", RegValue::string("x"));
    env.registry.createKey(Hive::CurrentUser, "Software\\Spy");
    run({"1^^=Hive", "1^ \t ^=Blank", "1^\\^=Slash", "1^^RootValue=Value"});
    EXPECT_TRUE(env.sink.registryWork.empty());
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(env.sink.c.registry, 0);
}

TEST_F(RegistryScanTest, SafetyEntryProtectsAValue) {
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "Bar", RegValue::string("x"));
    env.registry.setValue(Hive::CurrentUser, "Software\\Foo", "Other", RegValue::string("x"));
    env.writeDefinitions(definitions::kSafety, {"SREG|x=y|1^Software\\Foo^Bar"});
    run({"1^Software\\Foo^Bar=T", "1^Software\\Foo^Other=T"});
    EXPECT_THAT(env.sink.foundLocations(), ElementsAre("HKEY_CURRENT_USER\\Software\\FooOther"));
    EXPECT_EQ(env.sink.registryWork.size(), 1u);
}

// A 32-bit installer's key and Run value lie under Wow6432Node: each view is a hit of its
// own, named and queued for removal where it lies; a line found in one view counts once.
TEST_F(RegistryScanTest, BothRegistryViewsAreSearchedAndNamedWhereTheyLie) {
    const std::string run64 = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string run32 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
    env.registry.setValue(Hive::LocalMachine, run32, "Spy", RegValue::string("spy.exe"));
    env.registry.createKey(Hive::LocalMachine, "Software\\Wow6432Node\\SpyCo");
    env.registry.createKey(Hive::ClassesRoot, "Wow6432Node\\SpyBar");
    env.registry.createKey(Hive::ClassesRoot, "SpyBar");
    env.registry.createKey(Hive::CurrentUser, "Software\\SpyUser");
    env.registry.createKey(Hive::LocalMachine, "Software\\Wow6432Node\\Safe");
    env.writeDefinitions(definitions::kSafety, {"SREG|x=y|2^Software\\Safe"});
    run({"2^" + run64 + "^Spy=Run Spy", "2^Software\\SpyCo^=Key Spy", "0^SpyBar^=Bar Spy",
         "1^Software\\SpyUser^=User Spy", "2^Software\\Wow6432Node\\SpyCo^=Named",
         "2^Software\\Safe^=Protected"});
    EXPECT_THAT(env.sink.foundLocations(),
                ElementsAre("HKEY_LOCAL_MACHINE\\" + run32 + "Spy",
                            "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\SpyCo",
                            "HKEY_CLASSES_ROOT\\SpyBar", "HKEY_CLASSES_ROOT\\Wow6432Node\\SpyBar",
                            "HKEY_CURRENT_USER\\Software\\SpyUser",
                            "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\SpyCo"));
    ASSERT_EQ(env.sink.registryWork.size(), 6u);
    EXPECT_EQ(env.sink.registryWork[0].keyPath, run32);
    EXPECT_EQ(env.sink.registryWork[0].valueName, "Spy");
    EXPECT_EQ(env.sink.registryWork[1].keyPath, "Software\\Wow6432Node\\SpyCo");
    EXPECT_EQ(env.sink.registryWork[3].keyPath, "Wow6432Node\\SpyBar");
    EXPECT_EQ(env.sink.c.registry, 6);
    EXPECT_EQ(env.sink.c.threats, 6);
}

TEST_F(RegistryScanTest, ProgressUsesDefinitionCounts) {
    env.writeDefinitions(definitions::kBlockedCookies, {"a", "b"});
    env.writeDefinitions(definitions::kExeDefinition, {"x=y|z"});
    run({"1^Software\\K^=T", "1^Software\\K^V=T", "1^Software\\K^=T", "1^Software\\K^=T"});
    // 4 registry lines, 2 cookie lines, 1 executable line: 7 in all.
    ASSERT_EQ(env.sink.progress.size(), 4u);
    EXPECT_EQ(env.sink.progress[0].phase, 25);
    EXPECT_EQ(env.sink.progress[0].overall, 57);
    EXPECT_EQ(env.sink.progress[0].status, "Phase: \r\nsoftware\\k\\");
    EXPECT_EQ(env.sink.progress[1].status, "Phase: \r\nsoftware\\k\\v");
    EXPECT_EQ(env.sink.progress[3].phase, 100);
    EXPECT_EQ(env.sink.progress[3].overall, 100);
    EXPECT_FALSE(env.sink.progress[0].forced);
}

TEST_F(RegistryScanTest, StopRequestEndsPhaseBeforeNextLine) {
    env.registry.createKey(Hive::CurrentUser, "Software\\Spy");
    env.sink.onPump = [](mock::RecordingScanSink& s) {
        if (s.pumps == 3) {
            s.stop = true;
        }
    };
    run({"1^Software\\Spy^=A", "1^Software\\Spy^=B", "1^Software\\Spy^=C", "1^Software\\Spy^=D"});
    EXPECT_EQ(env.sink.c.registry, 2);
    EXPECT_EQ(env.sink.found.size(), 2u);
}

}  // namespace
}  // namespace nightjar::scan
