#include "scan/FileWalker.h"

#include <gtest/gtest.h>

#include "ScanTestEnv.h"

namespace nightjar::scan {
namespace {

using platform::attr::Archive;
using platform::attr::Directory;
using platform::attr::Hidden;
using platform::attr::ReadOnly;

class FileWalkerTest : public ::testing::Test {
  protected:
    scantest::ScanTestEnv env;
    FileWalker walker{env.fs, env.store, env.expander, env.exclusions, env.company};

    void load(const std::vector<std::string>& files, const std::vector<std::string>& dirs = {}) {
        env.writeDefinitions(definitions::kFileDefinition, files);
        env.writeDefinitions(definitions::kDirectoryDefinition, dirs);
        env.prepareRun();
        env.store.LoadFileSignatures(env.observer);
    }
    std::vector<std::string> foundLocations() const {
        std::vector<std::string> out;
        for (const auto& f : env.sink.found) {
            out.push_back(f.location);
        }
        return out;
    }
};

TEST(TrailingMatchCountTest, CountsEqualNonEmptyPartsFromTheEnd) {
    EXPECT_EQ(FileWalker::TrailingMatchCount("c:\\windows\\x\\", "[drive]\\windows\\x\\"), 2);
    EXPECT_EQ(FileWalker::TrailingMatchCount("c:\\a\\b\\", "c:\\a\\b"), 0);  // shifted by one
    EXPECT_EQ(FileWalker::TrailingMatchCount("c:\\a\\q\\c", "d:\\a\\z\\c"),
              2);  // goes on past a difference
    EXPECT_EQ(FileWalker::TrailingMatchCount("c:\\temp\\", "c:\\temp\\"), 1);
    EXPECT_EQ(FileWalker::TrailingMatchCount("x\\y", "X\\Y"), 2);
    EXPECT_EQ(FileWalker::TrailingMatchCount("", "c:\\a"), 0);
}

TEST_F(FileWalkerTest, SystemFolderFileNeedsEntryNamingSystem32) {
    load({"spy.exe=Generic|[drive]somewhere\\else", "spy.exe=Sys|[windir]system32"});
    walker.CheckFilePath("C:\\windows\\system32\\spy.exe", env.sink);
    ASSERT_EQ(env.sink.found.size(), 1u);
    EXPECT_EQ(env.sink.found[0].title, "Sys");
    EXPECT_EQ(env.sink.found[0].location, "c:\\windows\\system32\\spy.exe");
}

TEST_F(FileWalkerTest, LongExeNameMatchesInAnyFolder) {
    load({"a_very_long_name.exe=Long|C:\\Program Files\\Elsewhere"});
    walker.CheckFilePath("D:\\x\\y\\z\\A_Very_Long_Name.exe", env.sink);
    ASSERT_EQ(env.sink.found.size(), 1u);
    EXPECT_EQ(env.sink.found[0].location, "d:\\x\\y\\z\\a_very_long_name.exe");
    EXPECT_EQ(env.sink.fileWork[0].second, "Long");
}

TEST_F(FileWalkerTest, RootFileMatchesOnlyOneBackslashFolders) {
    load({"root.exe=Deep|C:\\Temp", "root.exe=Root|[drive]"});
    walker.CheckFilePath("E:\\root.exe", env.sink);
    ASSERT_EQ(env.sink.found.size(), 1u);
    EXPECT_EQ(env.sink.found[0].title, "Root");
}

TEST_F(FileWalkerTest, FirstLevelFolderFileIsNeverMatchedByTheWalk) {
    load({"spy.exe=Spy|C:\\Temp", "spy.exe=Deeper|C:\\x\\Temp"});
    walker.CheckFilePath("C:\\Temp\\spy.exe", env.sink);
    EXPECT_TRUE(env.sink.found.empty());
    // One level deeper two folder names can agree.
    walker.CheckFilePath("C:\\x\\Temp\\spy.exe", env.sink);
    ASSERT_EQ(env.sink.found.size(), 1u);
    EXPECT_EQ(env.sink.found[0].title, "Deeper");
}

TEST_F(FileWalkerTest, ExcludedFileShowsExcludedOnly) {
    load({"spy.exe=Spy|C:\\x\\Temp"});
    env.writeExclusions("C:\\X\\TEMP\\SPY.EXE\r\n");
    walker.CheckFilePath("C:\\X\\Temp\\Spy.exe", env.sink);
    ASSERT_EQ(env.sink.feed.size(), 1u);
    EXPECT_EQ(env.sink.feed[0].text, "EXCLUDED");
    EXPECT_EQ(env.sink.feed[0].details, "c:\\x\\temp\\spy.exe");
    EXPECT_TRUE(env.sink.found.empty());
    EXPECT_EQ(env.sink.c.threats, 0);
}

TEST_F(FileWalkerTest, MicrosoftFileIsNotReported) {
    load({"spy.exe=Spy|C:\\x\\Temp"});
    env.fs.addFile("C:\\x\\Temp\\spy.exe", scantest::FakeExecutable("  MICROSOFT corporation "));
    walker.CheckFilePath("C:\\x\\Temp\\spy.exe", env.sink);
    EXPECT_TRUE(env.sink.feed.empty());
}

TEST_F(FileWalkerTest, ProtectedFileIsNotReported) {
    env.writeDefinitions(definitions::kSafety, {"SFILE|x=y|C:\\x\\Temp\\spy.exe"});
    load({"spy.exe=Spy|D:\\x\\Temp"});
    // The safety test runs on drive C's form of the candidate.
    walker.CheckFilePath("D:\\x\\Temp\\spy.exe", env.sink);
    EXPECT_TRUE(env.sink.feed.empty());
}

TEST_F(FileWalkerTest, FolderWordsMustAgreeOrLaterEntryIsTried) {
    load({"spy.exe=NoWindows|[drive]x\\system", "spy.exe=WithWindows|C:\\windows\\system"});
    walker.CheckFilePath("C:\\windows\\system\\spy.exe", env.sink);
    ASSERT_EQ(env.sink.found.size(), 1u);
    EXPECT_EQ(env.sink.found[0].title, "WithWindows");
}

TEST_F(FileWalkerTest, FolderHitRecordsDirectoryRows) {
    load({}, {"spykey=SpyDir|C:\\Program Files\\SpyCo|Adware"});
    walker.CheckFolderPath("C:\\Program Files\\SpyCo\\", env.sink);
    ASSERT_EQ(env.sink.found.size(), 1u);
    EXPECT_EQ(env.sink.found[0].title, "SpyDir Directory");
    EXPECT_EQ(env.sink.found[0].icon, icon::Folder);
    EXPECT_EQ(env.sink.found[0].location, "c:\\program files\\spyco");
    EXPECT_EQ(env.sink.found[0].type, "Adware");
    ASSERT_EQ(env.sink.feed.size(), 1u);
    EXPECT_EQ(env.sink.feed[0].icon, icon::File);
    EXPECT_EQ(env.sink.feed[0].details, "c:\\program files\\spyco");
    EXPECT_EQ(env.sink.fileWork[0].path, "c:\\program files\\spyco");
    EXPECT_EQ(env.sink.fileWork[0].second, "FILE");
    EXPECT_EQ(env.sink.traces, 1);
    EXPECT_EQ(env.sink.c.threats, 1);
}

TEST_F(FileWalkerTest, FolderOnPathOfExcludedFileShowsExcluded) {
    load({}, {"k=SpyDir|C:\\Program Files\\SpyCo"});
    env.writeExclusions("C:\\Program Files\\SpyCo\\bin\\deep\\tool.exe\r\n");
    walker.CheckFolderPath("C:\\Program Files\\SpyCo\\", env.sink);
    ASSERT_EQ(env.sink.feed.size(), 1u);
    EXPECT_EQ(env.sink.feed[0].text, "EXCLUDED");
    EXPECT_EQ(env.sink.feed[0].icon, icon::Excluded);
    EXPECT_EQ(env.sink.feed[0].details, "c:\\program files\\spyco\\");
    EXPECT_TRUE(env.sink.found.empty());
}

TEST_F(FileWalkerTest, DriveEntriesResolveToTheCheckedDrive) {
    load({}, {"k=AnyDrive|[drive]\\Games\\SpyCo"});
    walker.CheckFolderPath("D:\\Games\\SpyCo\\", env.sink);
    walker.CheckFolderPath("C:\\GAMES\\spyco\\", env.sink);
    EXPECT_EQ(foundLocations(), (std::vector<std::string>{"d:\\games\\spyco", "c:\\games\\spyco"}));
}

TEST_F(FileWalkerTest, WalkChecksEntriesBeforeEnteringSubfolders) {
    load({"bad.exe=Bad|C:\\top\\sub", "bad.exe=BadA|C:\\top\\a"}, {"k=SubDir|C:\\top\\sub\\inner"});
    env.fs.addFile("C:\\top\\a\\bad.exe");
    env.fs.addFile("C:\\top\\sub\\bad.exe");
    env.fs.addFolder("C:\\top\\sub\\inner");
    env.fs.addFile("C:\\top\\file.txt");
    walker.WalkFolder("C:\\top\\", env.sink);
    EXPECT_EQ(foundLocations(),
              (std::vector<std::string>{"c:\\top\\a\\bad.exe", "c:\\top\\sub\\bad.exe",
                                        "c:\\top\\sub\\inner"}));
    // a, file.txt, sub; bad.exe in a; bad.exe and inner in sub.
    EXPECT_EQ(env.sink.c.filesFolders, 6);
    ASSERT_FALSE(env.sink.progress.empty());
    EXPECT_EQ(env.sink.progress[0].status, "Scanning: C:\\top\\\r\na");
    EXPECT_EQ(env.sink.progress[0].phase, 0);
}

TEST_F(FileWalkerTest, FolderWithFurtherAttributesIsCheckedAsFileAndNotEntered) {
    load({"ro=RoFile|C:\\top\\x\\y", "bad.exe=Bad|C:\\top\\ro"});
    env.fs.addFolder("C:\\top\\x\\y\\ro", Directory | ReadOnly);
    env.fs.addFolder("C:\\top\\x\\y\\arch", Directory | Archive);
    env.fs.addFile("C:\\top\\x\\y\\ro\\bad.exe");
    walker.WalkFolder("C:\\top\\", env.sink);
    EXPECT_EQ(foundLocations(), (std::vector<std::string>{"c:\\top\\x\\y\\ro"}));
    EXPECT_EQ(env.sink.found[0].icon, icon::File);
    // x, y, arch, ro; nothing inside ro.
    EXPECT_EQ(env.sink.c.filesFolders, 4);
}

TEST_F(FileWalkerTest, StopEndsTheWalk) {
    load({});
    for (int i = 0; i < 10; ++i) {
        env.fs.addFile("C:\\top\\f" + std::to_string(i) + ".txt");
        env.fs.addFile("C:\\top\\d" + std::to_string(i) + "\\g.txt");
    }
    env.sink.onPump = [](mock::RecordingScanSink& s) {
        if (s.pumps == 25) {
            s.stop = true;
        }
    };
    walker.WalkFolder("C:\\top\\", env.sink);
    // 20 pumps in the counting pass, then 5 checked entries.
    EXPECT_EQ(env.sink.c.filesFolders, 5);
}

TEST_F(FileWalkerTest, UnreadableDriveIsSkipped) {
    load({"bad.exe=Bad|C:\\top\\x"});
    env.fs.addFile("C:\\top\\x\\bad.exe");
    env.fs.setVolumeUnreadable('C', true);
    walker.ScanDrive("C:\\", env.sink);
    EXPECT_EQ(env.sink.c.filesFolders, 0);
    env.fs.setVolumeUnreadable('C', false);
    walker.ScanDrive("C:\\", env.sink);
    EXPECT_EQ(foundLocations(), (std::vector<std::string>{"c:\\top\\x\\bad.exe"}));
}

TEST_F(FileWalkerTest, FolderAndFileScanPhases) {
    load({"bad.exe=Bad|C:\\a\\b"}, {"k=Top|C:\\a\\b"});
    env.fs.addFile("C:\\a\\b\\bad.exe");
    walker.ScanFolderTree("C:\\a\\b\\", env.sink);
    EXPECT_EQ(foundLocations(), (std::vector<std::string>{"c:\\a\\b", "c:\\a\\b\\bad.exe"}));
    EXPECT_EQ(env.sink.c.filesFolders, 2);
    EXPECT_EQ(env.sink.progress[0].status, "Scanning: C:\\a\\b\\");

    mock::RecordingScanSink single;
    walker.ScanSingleFile("C:\\a\\b\\bad.exe", single);
    EXPECT_EQ(single.found.size(), 1u);
    EXPECT_EQ(single.c.filesFolders, 1);
    ASSERT_EQ(single.progress.size(), 1u);
    EXPECT_TRUE(single.progress[0].forced);
    EXPECT_EQ(single.progress[0].status, "Scanning: C:\\a\\b\\bad.exe");
}

TEST_F(FileWalkerTest, HiddenFilesAreWalkedToo) {
    load({"bad.exe=Bad|C:\\top\\x"});
    env.fs.addFile("C:\\top\\x\\bad.exe", "", Hidden);
    walker.WalkFolder("C:\\top\\", env.sink);
    EXPECT_EQ(env.sink.found.size(), 1u);
}

}  // namespace
}  // namespace nightjar::scan
