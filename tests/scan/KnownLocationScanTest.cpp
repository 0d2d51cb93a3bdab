#include "scan/KnownLocationScan.h"

#include <gtest/gtest.h>

#include "ScanTestEnv.h"

namespace nightjar::scan {
namespace {

using platform::attr::Hidden;
using platform::attr::ReadOnly;
using platform::attr::System;
using scantest::FeedRow;
using scantest::FoundRow;
using ::testing::ElementsAre;

class KnownLocationScanTest : public ::testing::Test {
  protected:
    scantest::ScanTestEnv env;
    KnownLocationScan scan{env.fs, env.store, env.expander, env.exclusions, env.company};

    void files(const std::vector<std::string>& lines) {
        env.writeDefinitions(definitions::kFileDefinition, lines);
        env.prepareRun();
        scan.ScanKnownFiles(env.sink);
    }
    void folders(const std::vector<std::string>& lines) {
        env.writeDefinitions(definitions::kDirectoryDefinition, lines);
        env.prepareRun();
        scan.ScanKnownFolders(env.sink);
    }
};

TEST_F(KnownLocationScanTest, FileTypesReadAsTheWalkReadsThem) {
    env.fs.addFile("C:\\Spy\\Sub\\spy.exe", "no version here");
    const std::vector<std::string> types = {"TYPE", "Adware", "", "type", "Unknown Kind"};
    std::vector<std::string> lines;
    for (const auto& t : types) {
        lines.push_back("spy.exe=Spy|C:\\Spy\\Sub|" + t);
    }
    env.writeDefinitions(definitions::kFileDefinition, lines);
    env.prepareRun();
    env.store.LoadFileSignatures(env.observer);
    const auto& table = env.store.FileSignatures();
    ASSERT_GE(table.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        // The known-files phase reads one line a run: give it the line on its own.
        env.writeDefinitions(definitions::kFileDefinition, {lines[i]});
        env.sink.found.clear();
        scan.ScanKnownFiles(env.sink);
        ASSERT_EQ(env.sink.found.size(), 1u) << types[i];
        EXPECT_EQ(env.sink.found[0].type, table[i].type) << types[i];
    }
}

TEST_F(KnownLocationScanTest, ExistingFileIsReportedWithAllRows) {
    env.fs.addFile("C:\\Temp\\spy.exe", "no version here");
    files({"spy.exe=Spy Threat|[drive]Temp|Adware"});
    EXPECT_THAT(env.sink.found,
                ElementsAre(FoundRow("Spy Threat", icon::File, "C:\\Temp\\spy.exe", "Adware")));
    EXPECT_THAT(env.sink.feed, ElementsAre(FeedRow("Spy Threat", icon::File, "C:\\Temp\\spy.exe")));
    ASSERT_EQ(env.sink.fileWork.size(), 1u);
    EXPECT_EQ(env.sink.fileWork[0].path, "C:\\Temp\\spy.exe");
    EXPECT_EQ(env.sink.fileWork[0].second, "Spy Threat");
    EXPECT_EQ(env.sink.traces, 1);
    EXPECT_EQ(env.sink.c.threats, 1);
    EXPECT_EQ(env.sink.c.filesFolders, 1);
}

TEST_F(KnownLocationScanTest, MicrosoftFileInSystemFolderIsNotReported) {
    env.fs.addFile("C:\\windows\\system32\\good.exe",
                   scantest::FakeExecutable("Microsoft Corporation"));
    env.fs.addFile("C:\\windows\\system32\\other.exe", scantest::FakeExecutable("Other Inc."));
    files({"good.exe=G|[system]", "other.exe=O|[system]"});
    EXPECT_THAT(env.sink.foundLocations(), ElementsAre("C:\\windows\\system32\\other.exe"));
}

// On 64-bit Windows the system folder of 32-bit programs is a second place for "[system]".
TEST_F(KnownLocationScanTest, SystemFolderLinesAreLookedUpInSysWow64Too) {
    env.shell.setSystemWow64Directory("C:\\windows\\SysWOW64");
    env.fs.addFile("C:\\windows\\system32\\both.exe", "x");
    env.fs.addFile("C:\\windows\\SysWOW64\\both.exe", "x");
    env.fs.addFile("C:\\windows\\SysWOW64\\only32.exe", "x");
    env.fs.addFile("C:\\windows\\SysWOW64\\spy\\x.dll", "x");
    env.fs.addFile("C:\\windows\\only32.exe", "x");
    files({"both.exe=Both|[SYSTEM]", "only32.exe=Only|[system]", "only32.exe=Win|[windir]"});
    EXPECT_THAT(env.sink.foundLocations(),
                ElementsAre("C:\\windows\\system32\\both.exe", "C:\\windows\\SysWOW64\\both.exe",
                            "C:\\windows\\SysWOW64\\only32.exe", "C:\\windows\\only32.exe"));
    EXPECT_EQ(env.sink.c.filesFolders, 3);  // lines, not places
    folders({"spy=Spy|[system]spy"});
    EXPECT_EQ(env.sink.foundLocations().back(), "C:\\windows\\SysWOW64\\spy");
    EXPECT_EQ(env.sink.found.size(), 5u);
}

TEST_F(KnownLocationScanTest, HiddenAndSystemFilesAndFoldersAreNotFound) {
    env.fs.addFile("C:\\Temp\\hidden.exe", "", Hidden);
    env.fs.addFile("C:\\Temp\\sys.exe", "", System);
    env.fs.addFile("C:\\Temp\\ro.exe", "", ReadOnly);
    env.fs.addFolder("C:\\Temp\\dir.exe");
    files(
        {"hidden.exe=H|C:\\Temp", "sys.exe=S|C:\\Temp", "ro.exe=R|C:\\Temp", "dir.exe=D|C:\\Temp"});
    EXPECT_THAT(env.sink.foundTitles(), ElementsAre("R"));
    EXPECT_EQ(env.sink.c.filesFolders, 4);
}

TEST_F(KnownLocationScanTest, FirstLevelFolderFileIsReportedHere) {
    env.fs.addFile("C:\\Temp\\spy.exe");
    files({"spy.exe=Spy|C:\\Temp\\"});
    EXPECT_THAT(env.sink.foundLocations(), ElementsAre("C:\\Temp\\spy.exe"));
}

TEST_F(KnownLocationScanTest, LineWithoutLocationTestsTheBareName) {
    env.fs.addFile("C:\\spy.exe");
    files({"spy.exe=Spy", "  =Empty|C:\\Temp"});
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(env.sink.c.filesFolders, 2);
}

TEST_F(KnownLocationScanTest, ExcludedAndProtectedFiles) {
    env.fs.addFile("C:\\Temp\\a.exe");
    env.fs.addFile("C:\\Temp\\b.exe");
    env.writeDefinitions(definitions::kSafety, {"SFILE|x=y|[drive]Temp\\b.exe"});
    env.writeExclusions("c:\\temp\\A.EXE\r\n");
    files({"a.exe=A|C:\\Temp", "b.exe=B|C:\\Temp"});
    EXPECT_THAT(env.sink.feed, ElementsAre(FeedRow("EXCLUDED", icon::Excluded, "C:\\Temp\\a.exe")));
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(env.sink.c.threats, 0);
}

TEST_F(KnownLocationScanTest, DoubledBackslashesAreCollapsed) {
    env.fs.addFile("C:\\users\\tester\\AppData\\Roaming\\Spy\\x.dll");
    files({"x.dll=X|[appdata]\\Spy\\\\|T"});
    EXPECT_THAT(env.sink.foundLocations(),
                ElementsAre("C:\\users\\tester\\AppData\\Roaming\\Spy\\x.dll"));
}

TEST_F(KnownLocationScanTest, ProgressFiguresAndStatus) {
    env.writeDefinitions(definitions::kRegistryDefinition, {"1^a^=b", "1^a^=b"});
    env.writeDefinitions(definitions::kDirectoryDefinition, {"k=K|C:\\x", "k=K|C:\\y"});
    // 4 file+folder lines, 2 registry lines: 6 lines in all.
    files({"one.exe=O|C:\\x", "two.exe=T|C:\\x"});
    ASSERT_EQ(env.sink.progress.size(), 2u);
    EXPECT_EQ(env.sink.progress[0].status, "Phase: \r\none.exe");
    EXPECT_EQ(env.sink.progress[0].phase, 25);
    EXPECT_EQ(env.sink.progress[0].overall, 50);
    EXPECT_EQ(env.sink.progress[1].phase, 50);
    EXPECT_EQ(env.sink.progress[1].overall, 67);
    EXPECT_EQ(env.sink.pumps, 2);
}

TEST_F(KnownLocationScanTest, StopEndsFilePhase) {
    env.sink.onPump = [](mock::RecordingScanSink& s) { s.stop = s.pumps == 2; };
    files({"a=A|C:\\x", "b=B|C:\\x", "c=C|C:\\x"});
    EXPECT_EQ(env.sink.c.filesFolders, 2);
}

TEST_F(KnownLocationScanTest, MissingFilesSkipBothPhases) {
    env.prepareRun();
    scan.ScanKnownFiles(env.sink);
    scan.ScanKnownFolders(env.sink);
    EXPECT_EQ(env.sink.c.filesFolders, 0);
    EXPECT_EQ(env.sink.pumps, 0);
}

TEST_F(KnownLocationScanTest, ExistingFolderIsReportedWithFolderRows) {
    env.fs.addFolder("C:\\Program Files\\SpyCo");
    folders({"spy\tkey\r=Spy Co|[progfil]SpyCo|Adware", "nobar=NoBar"});
    EXPECT_EQ(env.sink.c.filesFolders, 1);  // the line without "|" is not counted
    EXPECT_THAT(env.sink.found, ElementsAre(FoundRow("Spy Co", icon::Folder,
                                                     "C:\\Program Files\\SpyCo", "Adware")));
    EXPECT_THAT(env.sink.feed,
                ElementsAre(FeedRow("Spy Co", icon::Folder, "C:\\Program Files\\SpyCo")));
    EXPECT_EQ(env.sink.fileWork[0].second, "");
    EXPECT_EQ(env.sink.progress[0].status, "Phase: \r\nspykey");
    EXPECT_EQ(env.sink.pumps, 2);
}

TEST_F(KnownLocationScanTest, FolderOnPathOfExcludedFileIsExcluded) {
    env.fs.addFolder("C:\\Program Files\\SpyCo");
    env.writeExclusions("C:\\Program Files\\SpyCo\\deep\\x.exe\r\n");
    folders({"k=Spy Co|C:\\Program Files\\SpyCo"});
    EXPECT_THAT(env.sink.feed,
                ElementsAre(FeedRow("EXCLUDED", icon::Excluded, "C:\\Program Files\\SpyCo")));
    EXPECT_TRUE(env.sink.found.empty());
}

TEST_F(KnownLocationScanTest, MissingFolderIsNotReported) {
    folders({"k=Spy Co|C:\\Nowhere", "k=File|C:\\file.txt"});
    env.fs.addFile("C:\\file.txt");
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(env.sink.c.filesFolders, 2);
}

}  // namespace
}  // namespace nightjar::scan
