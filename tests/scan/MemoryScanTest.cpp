#include "scan/MemoryScan.h"

#include <gtest/gtest.h>

#include "ScanTestEnv.h"

namespace nightjar::scan {
namespace {

using Proc = mock::FakeProcesses::Proc;

class MemoryScanTest : public ::testing::Test {
  protected:
    scantest::ScanTestEnv env;
    removal::ProcessControl control{env.processes};
    MemoryScan scan{env.processes, control,        env.fs,      env.shell,
                    env.expander,  env.exclusions, env.company, env.dataFolder};
    std::vector<std::pair<std::string, std::string>> alerts;

    void SetUp() override {
        scan.setAlertHandler(
            [this](const MemoryScan::Sighting& s) { alerts.emplace_back(s.fileName, s.company); });
        env.writeDefinitions(definitions::kExeDefinition, {"bad.exe=Bad Thing|[windir]"});
    }
};

TEST_F(MemoryScanTest, MatchByFileNameAnywhereAndByFullPath) {
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    env.processes.add(11, "C:\\WINDOWS\\bad.exe");
    env.processes.add(12, "C:\\WINDOWS\\good.exe");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(scan.ExeMatchList(), "|C:\\WINDOWS\\BAD.EXE|");
    ASSERT_EQ(env.sink.feed.size(), 2u);
    EXPECT_EQ(env.sink.feed[0].text, "Running Application");
    EXPECT_EQ(env.sink.feed[0].icon, icon::File);
    EXPECT_EQ(env.sink.feed[0].details, "BAD.EXE was stopped");
    EXPECT_EQ(env.processes.terminated(), (std::vector<std::uint32_t>{10, 11}));
    EXPECT_EQ(env.sink.c.threats, 2);
    // One definition line and three processes inspected.
    EXPECT_EQ(env.sink.c.processes, 4);
    EXPECT_EQ(env.sink.runningItems, 3);
    EXPECT_TRUE(env.sink.found.empty());  // running processes never go to the result list
}

TEST_F(MemoryScanTest, StopsTheMatchedIdAndSaysStoppedOnlyWhenItStopped) {
    env.writeDefinitions(definitions::kExeDefinition, {"bad.exe=Bad|C:\\evil"});
    env.processes.add(5, "C:\\TOOLS\\bad.com");  // a harmless namesake, listed first
    env.processes.add(6, "C:\\EVIL\\bad.exe");
    env.processes.add(Proc{7, "bad.exe", "D:\\X\\bad.exe", true, false, ""});  // refuses
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.processes.terminated(), (std::vector<std::uint32_t>{6}));
    EXPECT_TRUE(env.processes.running(5));
    ASSERT_EQ(env.sink.feed.size(), 2u);
    EXPECT_EQ(env.sink.feed[0].details, "BAD.EXE was stopped");
    EXPECT_EQ(env.sink.feed[1].details, "BAD.EXE: " + env.sink.msg("MSG_ERROR_STOPPED"));

    // The legacy variant says the same of a process that refuses to end.
    MemoryScan legacy{env.processes, control,        env.fs,      env.shell,
                      env.expander,  env.exclusions, env.company, env.dataFolder};
    env.processes.setPlatformId(1);
    env.writeDefinitions(definitions::kExeDefinition, {"bad.exe"});
    env.sink.feed.clear();
    legacy.CheckMemory(env.sink);
    ASSERT_EQ(env.sink.feed.size(), 1u);
    EXPECT_EQ(env.sink.feed[0].details, "BAD.EXE: " + env.sink.msg("MSG_ERROR_STOPPED"));
    EXPECT_TRUE(env.processes.running(7));
}

TEST_F(MemoryScanTest, SystemFolderProgramsAreLookedForInSysWow64Too) {
    env.shell.setSystemWow64Directory("C:\\windows\\syswow64");
    env.writeDefinitions(definitions::kExeDefinition, {"x.exe=X|[system]", "y.exe=Y|[windir]"});
    env.processes.add(10, "C:\\windows\\SysWOW64\\other.exe");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(scan.ExeMatchList(),
              "|C:\\WINDOWS\\SYSTEM32\\X.EXE|C:\\WINDOWS\\SYSWOW64\\X.EXE|C:\\WINDOWS\\Y.EXE|");
}

TEST_F(MemoryScanTest, FileNameMustEndItsEntry) {
    env.writeDefinitions(definitions::kExeDefinition, {"bad.exe.bak=X|C:\\q", "bad.exe=Y|C:\\r"});
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    scan.CheckMemory(env.sink);
    // Only the first occurrence of "\BAD.EXE" is looked at, and it is followed by ".BAK".
    EXPECT_TRUE(env.sink.feed.empty());
    EXPECT_TRUE(env.processes.terminated().empty());
}

TEST_F(MemoryScanTest, SystemRootPathsAreNormalised) {
    EXPECT_EQ(scan.NormalizeSystemPath("\\SYSTEMROOT\\SYSTEM32\\SMSS.EXE"),
              "C:\\windows\\system32\\SMSS.EXE");
    EXPECT_EQ(scan.NormalizeSystemPath("C:\\X\\SYSTEM32\\A\\SYSTEM32\\B.EXE"),
              "C:\\windows\\system32\\B.EXE");
    EXPECT_EQ(scan.NormalizeSystemPath("C:\\OTHER\\B.EXE"), "C:\\OTHER\\B.EXE");
    // The company name is read at the normalised path.
    env.writeDefinitions(definitions::kExeDefinition, {"x.exe=X|[system]"});
    env.fs.addFile("C:\\windows\\system32\\x.exe",
                   scantest::FakeExecutable("Microsoft Corporation"));
    env.processes.add(20, "\\SystemRoot\\System32\\x.exe");
    scan.CheckMemory(env.sink);
    EXPECT_TRUE(env.sink.feed.empty());
}

TEST_F(MemoryScanTest, MicrosoftAndSunProcessesAreNeverReported) {
    env.writeDefinitions(definitions::kExeDefinition,
                         {"ms.exe=M|C:\\p", "sun.exe=S|C:\\p", "oth.exe=O|C:\\p"});
    env.fs.addFile("C:\\p\\ms.exe", scantest::FakeExecutable("  microsoft CORPORATION "));
    env.fs.addFile("C:\\p\\sun.exe", scantest::FakeExecutable("Sun Microsystems, Inc."));
    env.fs.addFile("C:\\p\\oth.exe", scantest::FakeExecutable("Other"));
    env.processes.add(1, "C:\\p\\ms.exe");
    env.processes.add(2, "C:\\p\\sun.exe");
    env.processes.add(3, "C:\\p\\oth.exe");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.processes.terminated(), (std::vector<std::uint32_t>{3}));
}

TEST_F(MemoryScanTest, ExcludedProcessShowsOnEveryExaminingRun) {
    env.writeExclusions("bad.exe\r\n");
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    scan.CheckMemory(env.sink);
    ASSERT_EQ(env.sink.feed.size(), 1u);
    EXPECT_EQ(env.sink.feed[0].text, "EXCLUDED");
    EXPECT_EQ(env.sink.feed[0].icon, icon::Excluded);
    EXPECT_EQ(env.sink.feed[0].details, "BAD.EXE");
    // Outside a scan (the shield) after a process started.
    env.processes.add(11, "C:\\x\\other.exe");
    env.sink.running = false;
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.sink.feedTexts(), (std::vector<std::string>{"EXCLUDED", "EXCLUDED"}));
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(env.sink.c.threats, 0);
    EXPECT_TRUE(env.processes.running(10));
}

TEST_F(MemoryScanTest, UnchangedProcessListExaminesNothing) {
    env.processes.add(Proc{10, "bad.exe", "C:\\TEMP\\BAD.EXE", true, false, ""});
    scan.CheckMemory(env.sink);
    const auto counters = env.sink.c;
    const auto rows = env.sink.feed.size();
    const auto pumps = env.sink.pumps;
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.sink.c.processes, counters.processes);
    EXPECT_EQ(env.sink.c.threats, counters.threats);
    EXPECT_EQ(env.sink.feed.size(), rows);
    EXPECT_EQ(env.sink.pumps, pumps);
    EXPECT_EQ(scan.ProcessFingerprint(), "bad.exe");
}

TEST_F(MemoryScanTest, OutsideScanRaisesAlertInsteadOfStopping) {
    env.sink.running = false;
    env.fs.addFile("C:\\TEMP\\BAD.EXE", scantest::FakeExecutable("Shady Ltd"));
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    scan.CheckMemory(env.sink);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].first, "BAD.EXE");
    EXPECT_EQ(alerts[0].second, "Shady Ltd");
    EXPECT_TRUE(env.sink.feed.empty());
    EXPECT_TRUE(env.processes.running(10));
    EXPECT_EQ(env.sink.c.threats, 1);
    // Outside a scan the definition lines are not counted, the processes are.
    EXPECT_EQ(env.sink.c.processes, 1);
    EXPECT_TRUE(env.sink.progress.empty());
}

TEST_F(MemoryScanTest, CompanionProcessIsNeverReported) {
    env.writeDefinitions(definitions::kExeDefinition, {"RizereZivuzedAvivaz.exe=C|C:\\p"});
    env.processes.add(10, "C:\\p\\RizereZivuzedAvivaz.exe");
    scan.CheckMemory(env.sink);
    EXPECT_TRUE(env.sink.feed.empty());
    EXPECT_EQ(env.sink.c.threats, 0);
}

TEST_F(MemoryScanTest, MissingDefinitionsStillCountProcessesOnNt) {
    env.fs.deleteFile(env.dataFile(definitions::kExeDefinition));
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    env.processes.add(11, "C:\\TEMP\\X.EXE");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.sink.c.processes, 2);
    EXPECT_TRUE(env.sink.feed.empty());
    EXPECT_EQ(scan.ExeMatchList(), "");
}

TEST_F(MemoryScanTest, MissingDefinitionsDoNothingOnLegacySystems) {
    env.fs.deleteFile(env.dataFile(definitions::kExeDefinition));
    env.processes.setPlatformId(1);
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.sink.c.processes, 0);
    EXPECT_EQ(env.sink.runningItems, -1);
    EXPECT_TRUE(env.sink.feed.empty());
}

TEST_F(MemoryScanTest, OtherPlatformsDoNothing) {
    env.processes.setPlatformId(0);
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.sink.c.processes, 0);
    EXPECT_TRUE(env.processes.running(10));
}

TEST_F(MemoryScanTest, StopDuringDefinitionsEmptiesTheList) {
    env.writeDefinitions(definitions::kExeDefinition,
                         {"a=1|C:\\", "bad.exe=2|C:\\TEMP", "c=3|C:\\"});
    env.sink.onPump = [](mock::RecordingScanSink& s) { s.stop = true; };
    env.processes.add(10, "C:\\TEMP\\BAD.EXE");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(scan.ExeMatchList(), "");
    EXPECT_TRUE(env.processes.running(10));
}

TEST_F(MemoryScanTest, DefinitionLineFormsAndStatus) {
    env.writeDefinitions(definitions::kExeDefinition,
                         {"one.exe=C:\\Plain", "two.exe=T|[windir]\\sub", "noequals"});
    env.processes.add(10, "C:\\x\\none.exe");
    scan.CheckMemory(env.sink);
    EXPECT_EQ(scan.ExeMatchList(), "|C:\\PLAIN\\ONE.EXE|C:\\WINDOWS\\SUB\\TWO.EXE|");
    ASSERT_GE(env.sink.progress.size(), 3u);
    EXPECT_EQ(env.sink.progress[0].status, "Phase: \r\none.exe");
    EXPECT_EQ(env.sink.progress[0].phase, -1);
    EXPECT_EQ(env.sink.c.processes, 4);
}

TEST_F(MemoryScanTest, LegacyLineMustEndWithTheName) {
    env.processes.setPlatformId(1);
    env.processes.add(Proc{10, "", "", true, true, "C:\\TEMP\\BAD.EXE"});
    scan.CheckMemory(env.sink);
    // "bad.exe=Bad Thing|[windir]" goes on after the name: no match on these systems.
    EXPECT_TRUE(env.processes.running(10));
    EXPECT_EQ(env.sink.c.processes, 1);
}

TEST_F(MemoryScanTest, LegacyVariantStopsDuringScan) {
    env.processes.setPlatformId(1);
    env.writeDefinitions(definitions::kExeDefinition, {"bad.exe"});
    env.processes.add(Proc{10, "", "", true, true, "C:\\TEMP\\BAD.EXE"});
    env.processes.add(Proc{11, "", "", true, true, "C:\\TEMP\\GOOD.EXE"});
    scan.CheckMemory(env.sink);
    EXPECT_EQ(scan.LegacyCache(), "bad.exe\r\n");
    ASSERT_EQ(env.sink.feed.size(), 1u);
    EXPECT_EQ(env.sink.feed[0].text, "Running Process");
    EXPECT_EQ(env.sink.feed[0].details, "BAD.EXE was stopped");
    EXPECT_EQ(env.processes.terminated(), (std::vector<std::uint32_t>{10}));
    EXPECT_EQ(env.sink.c.threats, 1);
    EXPECT_EQ(env.sink.c.processes, 1);
    EXPECT_EQ(env.sink.runningItems, 2);
}

TEST_F(MemoryScanTest, LegacyMatchNeedsNameToEndItsLine) {
    env.processes.setPlatformId(1);
    env.writeDefinitions(definitions::kExeDefinition, {"bad.exe", "x=bad.exe"});
    env.processes.add(Proc{10, "", "", true, true, "C:\\TEMP\\BAD.EXE"});
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.processes.terminated(), (std::vector<std::uint32_t>{10}));
    // The cache is kept: a second run counts its lines without reading the file again.
    const int reads = env.fs.readCount(env.dataFile(definitions::kExeDefinition));
    env.processes.add(Proc{12, "", "", true, true, "D:\\BAD.EXE"});
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.fs.readCount(env.dataFile(definitions::kExeDefinition)), reads);
    EXPECT_EQ(env.sink.c.processes, 4);
}

TEST_F(MemoryScanTest, LegacyAlertNoAppendsExclusionWithoutReloading) {
    env.processes.setPlatformId(1);
    env.writeDefinitions(definitions::kExeDefinition, {"bad.exe"});
    env.sink.running = false;
    std::vector<std::string> asked;
    bool answer = false;
    scan.setConfirmStop([&](const std::string& f) {
        asked.push_back(f);
        return answer;
    });
    env.processes.add(Proc{10, "", "", true, true, "C:\\TEMP\\BAD.EXE"});
    scan.CheckMemory(env.sink);
    EXPECT_EQ(asked, (std::vector<std::string>{"BAD.EXE"}));
    EXPECT_EQ(env.fs.content(env.exclusions.filePath()).value_or(""), "BAD.EXE\r\n");
    EXPECT_FALSE(env.exclusions.IsExcluded("BAD.EXE"));
    EXPECT_TRUE(env.processes.running(10));
    EXPECT_EQ(env.sink.c.threats, 0);
    answer = true;
    scan.CheckMemory(env.sink);
    EXPECT_FALSE(env.processes.running(10));
    EXPECT_EQ(env.sink.c.threats, 1);
}

TEST_F(MemoryScanTest, LegacyVariantExemptsOnlyMicrosoft) {
    env.processes.setPlatformId(1);
    env.writeExclusions("OTHER.EXE\r\n");
    env.writeDefinitions(definitions::kExeDefinition, {"other.exe"});
    env.processes.add(Proc{10, "", "", true, true, "C:\\TEMP\\OTHER.EXE"});
    scan.CheckMemory(env.sink);
    EXPECT_EQ(env.sink.feedTexts(), (std::vector<std::string>{"EXCLUDED"}));
    EXPECT_EQ(env.sink.feed[0].details, "OTHER.EXE");
}

}  // namespace
}  // namespace nightjar::scan
