#include "scan/FileWalker.h"

#include <gtest/gtest.h>

#include <random>

#include "ScanTestEnv.h"
#include "util/Text.h"

namespace nightjar::scan {
namespace {

using platform::attr::Archive;
using platform::attr::Directory;
using platform::attr::Hidden;
using platform::attr::ReadOnly;
using scantest::FeedRow;
using scantest::FoundRow;
using ::testing::ElementsAre;

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

/// TrailingMatchCount as written down: drop the drive and its "\", split, compare from
/// the end for as many positions as the shorter list has parts.
int referenceTrailingMatchCount(const std::string& a, const std::string& b) {
    auto strip = [](const std::string& s) {
        auto colon = s.find(':');
        return colon == std::string::npos ? s : (colon + 2 >= s.size() ? "" : s.substr(colon + 2));
    };
    std::vector<std::string> x = text::split(strip(a), "\\");
    std::vector<std::string> y = text::split(strip(b), "\\");
    int count = 0;
    for (std::size_t k = 1; k <= std::min(x.size(), y.size()); ++k) {
        const std::string& px = x[x.size() - k];
        const std::string& py = y[y.size() - k];
        if (!px.empty() && !py.empty() && text::iequals(px, py)) {
            ++count;
        }
    }
    return count;
}

TEST(TrailingMatchCountTest, AgreesWithSplittingBothPaths) {
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {"a",  "A",  "ab",  "b",        "",
                                             "c:", "d:", "x:y", "\xC9t\xE9"};
    auto randomPath = [&] {
        std::string p;
        const int parts = static_cast<int>(rng() % 6);
        for (int i = 0; i < parts; ++i) {
            p += pieces[rng() % pieces.size()];
            if (rng() % 4 != 0) {
                p += '\\';
            }
        }
        return p;
    };
    int nonZero = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string a = randomPath();
        const std::string b = randomPath();
        const int expected = referenceTrailingMatchCount(a, b);
        ASSERT_EQ(FileWalker::TrailingMatchCount(a, b), expected) << "'" << a << "' '" << b << "'";
        nonZero += expected > 0 ? 1 : 0;
    }
    EXPECT_GT(nonZero, 500);  // the random paths often share parts
}

TEST_F(FileWalkerTest, EachFileIsPlacedByItsOwnFolder) {
    // Files of one name in turn in folders that do and do not agree with the entry: what
    // is worked out once per folder must follow the folder.
    load({"spy.exe=Spy|C:\\x\\Temp", "spy.exe=Sys|[windir]system32\\x\\Temp"});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\y\\Temp\\spy.exe", ""},       {"C:\\a\\x\\Temp\\spy.exe", "Spy"},
        {"C:\\a\\x\\TEMP\\spy.exe", "Spy"}, {"C:\\a\\x\\Temp\\SPY.EXE", "Spy"},
        {"C:\\Temp\\spy.exe", ""},          {"C:\\windows\\system32\\x\\temp\\spy.exe", "Sys"},
        {"C:\\a\\x\\Temp\\spy.exe", "Spy"}, {"C:\\x\\Temp\\other.exe", ""},
    };
    for (const auto& [path, title] : cases) {
        env.sink.found.clear();
        walker.CheckFilePath(path, env.sink);
        if (title.empty()) {
            EXPECT_TRUE(env.sink.found.empty()) << path;
        } else {
            EXPECT_THAT(env.sink.foundTitles(), ElementsAre(title)) << path;
            EXPECT_THAT(env.sink.foundLocations(), ElementsAre(text::toLower(path))) << path;
        }
    }
}

TEST_F(FileWalkerTest, SystemFolderFileNeedsEntryNamingSystem32) {
    load({"spy.exe=Generic|[drive]somewhere\\else", "spy.exe=Sys|[windir]system32"});
    walker.CheckFilePath("C:\\windows\\system32\\spy.exe", env.sink);
    EXPECT_THAT(env.sink.found,
                ElementsAre(FoundRow("Sys", icon::File, "c:\\windows\\system32\\spy.exe", "")));
}

TEST_F(FileWalkerTest, LongExeNameMatchesInAnyFolder) {
    load({"a_very_long_name.exe=Long|C:\\Program Files\\Elsewhere"});
    walker.CheckFilePath("D:\\x\\y\\z\\A_Very_Long_Name.exe", env.sink);
    EXPECT_THAT(env.sink.foundLocations(), ElementsAre("d:\\x\\y\\z\\a_very_long_name.exe"));
    EXPECT_EQ(env.sink.fileWork[0].second, "Long");
}

TEST_F(FileWalkerTest, RootFileMatchesOnlyOneBackslashFolders) {
    load({"root.exe=Deep|C:\\Temp", "root.exe=Root|[drive]"});
    walker.CheckFilePath("E:\\root.exe", env.sink);
    EXPECT_THAT(env.sink.foundTitles(), ElementsAre("Root"));
}

TEST_F(FileWalkerTest, FirstLevelFolderFileIsNeverMatchedByTheWalk) {
    load({"spy.exe=Spy|C:\\Temp", "spy.exe=Deeper|C:\\x\\Temp"});
    walker.CheckFilePath("C:\\Temp\\spy.exe", env.sink);
    EXPECT_TRUE(env.sink.found.empty());
    // One level deeper two folder names can agree.
    walker.CheckFilePath("C:\\x\\Temp\\spy.exe", env.sink);
    EXPECT_THAT(env.sink.foundTitles(), ElementsAre("Deeper"));
}

TEST_F(FileWalkerTest, ExcludedFileShowsExcludedOnly) {
    load({"spy.exe=Spy|C:\\x\\Temp"});
    env.writeExclusions("C:\\X\\TEMP\\SPY.EXE\r\n");
    walker.CheckFilePath("C:\\X\\Temp\\Spy.exe", env.sink);
    EXPECT_THAT(env.sink.feed,
                ElementsAre(FeedRow("EXCLUDED", icon::Excluded, "c:\\x\\temp\\spy.exe")));
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
    EXPECT_THAT(env.sink.foundTitles(), ElementsAre("WithWindows"));
}

TEST_F(FileWalkerTest, FolderHitRecordsDirectoryRows) {
    load({}, {"spykey=SpyDir|C:\\Program Files\\SpyCo|Adware"});
    walker.CheckFolderPath("C:\\Program Files\\SpyCo\\", env.sink);
    const std::string folder = "c:\\program files\\spyco";
    EXPECT_THAT(env.sink.found,
                ElementsAre(FoundRow("SpyDir Directory", icon::Folder, folder, "Adware")));
    EXPECT_THAT(env.sink.feed, ElementsAre(FeedRow("SpyDir", icon::File, folder)));
    EXPECT_EQ(env.sink.fileWork[0].path, "c:\\program files\\spyco");
    EXPECT_EQ(env.sink.fileWork[0].second, "FILE");
    EXPECT_EQ(env.sink.traces, 1);
    EXPECT_EQ(env.sink.c.threats, 1);
}

TEST_F(FileWalkerTest, FolderOnPathOfExcludedFileShowsExcluded) {
    load({}, {"k=SpyDir|C:\\Program Files\\SpyCo"});
    env.writeExclusions("C:\\Program Files\\SpyCo\\bin\\deep\\tool.exe\r\n");
    walker.CheckFolderPath("C:\\Program Files\\SpyCo\\", env.sink);
    EXPECT_THAT(env.sink.feed,
                ElementsAre(FeedRow("EXCLUDED", icon::Excluded, "c:\\program files\\spyco\\")));
    EXPECT_TRUE(env.sink.found.empty());
}

TEST_F(FileWalkerTest, DriveEntriesResolveToTheCheckedDrive) {
    load({}, {"k=AnyDrive|[drive]\\Games\\SpyCo"});
    walker.CheckFolderPath("D:\\Games\\SpyCo\\", env.sink);
    walker.CheckFolderPath("C:\\GAMES\\spyco\\", env.sink);
    EXPECT_EQ(env.sink.foundLocations(),
              (std::vector<std::string>{"d:\\games\\spyco", "c:\\games\\spyco"}));
}

TEST_F(FileWalkerTest, WalkChecksEntriesBeforeEnteringSubfolders) {
    load({"bad.exe=Bad|C:\\top\\sub", "bad.exe=BadA|C:\\top\\a"}, {"k=SubDir|C:\\top\\sub\\inner"});
    env.fs.addFile("C:\\top\\a\\bad.exe");
    env.fs.addFile("C:\\top\\sub\\bad.exe");
    env.fs.addFolder("C:\\top\\sub\\inner");
    env.fs.addFile("C:\\top\\file.txt");
    walker.WalkFolder("C:\\top\\", env.sink);
    EXPECT_EQ(env.sink.foundLocations(),
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
    EXPECT_EQ(env.sink.foundLocations(), (std::vector<std::string>{"c:\\top\\x\\y\\ro"}));
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
    EXPECT_EQ(env.sink.foundLocations(), (std::vector<std::string>{"c:\\top\\x\\bad.exe"}));
}

TEST_F(FileWalkerTest, FolderAndFileScanPhases) {
    load({"bad.exe=Bad|C:\\a\\b"}, {"k=Top|C:\\a\\b"});
    env.fs.addFile("C:\\a\\b\\bad.exe");
    walker.ScanFolderTree("C:\\a\\b\\", env.sink);
    EXPECT_EQ(env.sink.foundLocations(),
              (std::vector<std::string>{"c:\\a\\b", "c:\\a\\b\\bad.exe"}));
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
