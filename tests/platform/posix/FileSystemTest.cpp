#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "TempMachineRoot.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixReplaceFile.h"
#include "util/Text.h"

namespace nightjar::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::TempMachineRoot;

class PosixFileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(t.created()) << t.error(); }

    std::string host(const std::string& rel) const { return t.driveC() + "/" + rel; }
    void write(const std::string& rel, const std::string& content) const {
        TempMachineRoot::writeFile(host(rel), content);
    }
    /// One entry of every kind in the folder `rel`: plain.txt (5 bytes), .hidden, ro.txt
    /// (read-only), sub, .hdir, rodir (read-only), link (to sub) and dangling (a broken link).
    void makeMixedFolder(const std::string& rel) const {
        write(rel + "/plain.txt", "12345");
        write(rel + "/.hidden", "h");
        write(rel + "/ro.txt", "r");
        chmod(host(rel + "/ro.txt").c_str(), 0444);
        fs::create_directories(host(rel + "/sub"));
        fs::create_directories(host(rel + "/.hdir"));
        fs::create_directories(host(rel + "/rodir"));
        chmod(host(rel + "/rodir").c_str(), 0555);
        fs::create_directory_symlink("sub", host(rel + "/link"));
        fs::create_symlink("gone", host(rel + "/dangling"));
    }
    /// Names in a host folder, hidden ones included.
    std::vector<std::string> hostNames(const std::string& rel) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(host(rel))) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempMachineRoot t;
    PosixFileSystem fsys{t.machine()};
};

std::uint32_t attrsOf(const std::vector<DirEntry>& entries, const std::string& name) {
    for (const auto& e : entries) {
        if (e.name == name) {
            return e.attributes;
        }
    }
    return 0xFFFFFFFF;
}

TEST_F(PosixFileSystemTest, ListingCarriesWindowsAttributes) {
    makeMixedFolder("t");

    auto entries = fsys.list("C:\\T");
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(entries->size(), 8u);
    EXPECT_EQ(attrsOf(*entries, "plain.txt"), attr::Normal);
    EXPECT_EQ(attrsOf(*entries, ".hidden"), attr::Hidden);
    EXPECT_EQ(attrsOf(*entries, "ro.txt"), attr::ReadOnly);
    EXPECT_EQ(attrsOf(*entries, "sub"), attr::Directory);
    EXPECT_EQ(attrsOf(*entries, ".hdir"), attr::Directory | attr::Hidden);
    EXPECT_EQ(attrsOf(*entries, "rodir"), attr::Directory | attr::ReadOnly);
    EXPECT_EQ(attrsOf(*entries, "link"), attr::Directory | attr::ReparsePoint);
    EXPECT_EQ(attrsOf(*entries, "dangling"), attr::ReparsePoint);
    for (const auto& e : *entries) {
        EXPECT_EQ(e.attributes & (attr::Archive | attr::System), 0u) << e.name;
        EXPECT_NE(e.name, ".");
        EXPECT_NE(e.name, "..");
        if (e.name == "plain.txt") {
            EXPECT_EQ(e.size, 5u);
        }
    }
    // Ordered by upper-cased name, whatever the directory order.
    for (std::size_t i = 1; i < entries->size(); ++i) {
        EXPECT_LT(text::toUpper((*entries)[i - 1].name), text::toUpper((*entries)[i].name));
    }
    // A trailing backslash and another letter case list the same folder.
    auto again = fsys.list("c:\\t\\");
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->size(), entries->size());
    EXPECT_FALSE(fsys.list("C:\\missing").has_value());
    EXPECT_FALSE(fsys.list("C:\\t\\plain.txt").has_value());
    EXPECT_FALSE(fsys.list("Q:\\").has_value());
}

TEST_F(PosixFileSystemTest, AWalkListingTellsPlainFoldersFromEverythingElse) {
    makeMixedFolder("w");

    auto full = fsys.listEntries("C:\\w", ListDetail::Full);
    auto walk = fsys.listEntries("C:\\W\\", ListDetail::PlainFolders);
    ASSERT_TRUE(full.has_value());
    ASSERT_TRUE(walk.has_value());
    ASSERT_EQ(walk->size(), full->size());
    for (std::size_t i = 0; i < walk->size(); ++i) {
        const DirEntry& w = (*walk)[i];
        const DirEntry& f = (*full)[i];
        EXPECT_EQ(w.name, f.name);  // the same entries in the same order
        EXPECT_EQ(w.attributes == attr::Directory, f.attributes == attr::Directory) << w.name;
        // Whatever is left out is a bit the full listing has.
        EXPECT_EQ(w.attributes & ~f.attributes & ~attr::Normal, 0u) << w.name;
    }
    EXPECT_EQ(attrsOf(*walk, "sub"), attr::Directory);
    EXPECT_EQ(attrsOf(*walk, "rodir"), attr::Directory | attr::ReadOnly);
    EXPECT_EQ(attrsOf(*walk, ".hdir"), attr::Directory | attr::Hidden);
    EXPECT_EQ(attrsOf(*walk, "plain.txt"), attr::Normal);
    EXPECT_EQ(attrsOf(*walk, ".hidden"), attr::Hidden);
    EXPECT_NE(attrsOf(*walk, "link"), attr::Directory);
    EXPECT_NE(attrsOf(*walk, "dangling"), attr::Directory);
    EXPECT_TRUE(attrsOf(*walk, "link") & attr::ReparsePoint);
    EXPECT_FALSE(fsys.listEntries("C:\\w\\plain.txt", ListDetail::PlainFolders).has_value());
    EXPECT_FALSE(fsys.listEntries("C:\\missing", ListDetail::PlainFolders).has_value());
}

TEST_F(PosixFileSystemTest, ListingsOrderNamesThatDifferOnlyInCase) {
    for (const char* name : {"b", "A", "a", "B", "ab", "Ab", "\xE9", "\xC9", "_"}) {
        write(std::string("o/") + name, "x");
    }
    // By upper-cased name first ('_' lies between 'Z' and the Latin-1 letters), then
    // byte by byte.
    const std::vector<std::string> expected = {"A", "a", "Ab", "ab", "B", "b", "_", "\xC9", "\xE9"};
    for (ListDetail detail : {ListDetail::Full, ListDetail::PlainFolders}) {
        auto entries = fsys.listEntries("C:\\o", detail);
        ASSERT_TRUE(entries.has_value());
        std::vector<std::string> names;
        for (const auto& e : *entries) {
            names.push_back(e.name);
        }
        EXPECT_EQ(names, expected);
    }
}

TEST_F(PosixFileSystemTest, AttributesAndStoredNames) {
    write("Docs/Report.TXT", "x");
    EXPECT_EQ(fsys.attributes("C:\\docs\\report.txt"), attr::Normal);
    EXPECT_EQ(fsys.attributes("C:\\DOCS"), attr::Directory);
    EXPECT_EQ(fsys.attributes("C:\\"), attr::Directory);
    EXPECT_FALSE(fsys.attributes("C:\\docs\\none.txt").has_value());
    EXPECT_TRUE(fsys.fileExists("C:\\docs\\REPORT.txt"));
    EXPECT_FALSE(fsys.folderExists("C:\\docs\\REPORT.txt"));
    EXPECT_TRUE(fsys.folderExists("c:\\docs"));
    EXPECT_EQ(fsys.storedName("C:\\DOCS\\report.txt").value_or(""), "Report.TXT");
    EXPECT_EQ(fsys.storedName("C:\\docs").value_or(""), "Docs");
    EXPECT_FALSE(fsys.storedName("C:\\docs\\none.txt").has_value());
}

TEST_F(PosixFileSystemTest, ReadAppendAndReplaceKeepEveryByte) {
    const std::string binary("a\0b\r\n\xFF\x80 end", 11);
    ASSERT_TRUE(fsys.writeAll("C:\\data.bin", binary));
    std::string back;
    ASSERT_TRUE(fsys.readAll("C:\\DATA.BIN", back));
    EXPECT_EQ(back, binary);

    auto app = fsys.openAppend("C:\\log.txt");
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->write("one\r\n"));
    EXPECT_TRUE(app->commit());
    app.reset();
    app = fsys.openAppend("C:\\LOG.txt");
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->write("two\r\n"));
    EXPECT_TRUE(app->commit());
    app.reset();
    EXPECT_EQ(TempMachineRoot::readFile(host("log.txt")), "one\r\ntwo\r\n");

    EXPECT_FALSE(fsys.openRead("C:\\missing.txt"));
    EXPECT_FALSE(fsys.openRead("C:\\windows"));
    EXPECT_FALSE(fsys.openAppend("C:\\windows"));
    EXPECT_FALSE(fsys.openAppend("C:\\no\\such\\folder\\x.txt"));
    EXPECT_FALSE(fsys.openReplace("C:\\windows"));
    EXPECT_FALSE(fsys.openReplace("C:\\no\\such\\folder\\x.txt"));
    EXPECT_FALSE(fsys.readAll("C:\\missing.txt", back));
}

TEST_F(PosixFileSystemTest, AnUncommittedReplacementLeavesTheOldFile) {
    write("folder/date.dat", "old");
    chmod(host("folder/date.dat").c_str(), 0640);
    {
        auto w = PosixReplaceFile::open(host("folder/date.dat"));
        ASSERT_TRUE(w);
        EXPECT_TRUE(w->write("new content"));
        // The new content sits beside the target until committed.
        EXPECT_TRUE(fs::exists(w->temporaryPath()));
        EXPECT_EQ(fs::path(w->temporaryPath()).parent_path(), fs::path(host("folder")));
        EXPECT_EQ(TempMachineRoot::readFile(host("folder/date.dat")), "old");
    }
    EXPECT_EQ(TempMachineRoot::readFile(host("folder/date.dat")), "old");
    EXPECT_EQ(hostNames("folder"), std::vector<std::string>{"date.dat"});

    auto w = fsys.openReplace("C:\\Folder\\DATE.dat");
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->write("new"));
    EXPECT_TRUE(w->commit());
    EXPECT_FALSE(w->commit());
    EXPECT_FALSE(w->write("more"));
    w.reset();
    EXPECT_EQ(TempMachineRoot::readFile(host("folder/date.dat")), "new");
    EXPECT_EQ(hostNames("folder"), std::vector<std::string>{"date.dat"});
    // The replaced file keeps the old one's permissions.
    struct stat st {};
    ASSERT_EQ(stat(host("folder/date.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(PosixFileSystemTest, CopyMoveAndDeleteFiles) {
    write("a.txt", "A");
    write("b.txt", "B");
    chmod(host("a.txt").c_str(), 0444);
    EXPECT_FALSE(fsys.copyFile("C:\\a.txt", "C:\\b.txt", false));
    EXPECT_EQ(TempMachineRoot::readFile(host("b.txt")), "B");
    EXPECT_TRUE(fsys.copyFile("C:\\A.TXT", "C:\\b.txt", true));
    EXPECT_EQ(TempMachineRoot::readFile(host("b.txt")), "A");
    // A copy keeps the read-only state, as a Windows copy keeps the attribute.
    EXPECT_EQ(fsys.attributes("C:\\b.txt"), attr::ReadOnly);
    EXPECT_TRUE(fsys.copyFile("C:\\a.txt", "C:\\New Name.txt", false));
    EXPECT_TRUE(fs::exists(host("New Name.txt")));
    EXPECT_FALSE(fsys.copyFile("C:\\missing.txt", "C:\\c.txt", true));
    EXPECT_FALSE(fsys.copyFile("C:\\a.txt", "C:\\windows", true));
    EXPECT_FALSE(fsys.copyFile("C:\\windows", "C:\\w2", true));

    write("m1.txt", "M1");
    write("m2.txt", "M2");
    EXPECT_TRUE(fsys.moveFile("C:\\M1.txt", "C:\\m2.txt"));
    EXPECT_FALSE(fs::exists(host("m1.txt")));
    EXPECT_EQ(TempMachineRoot::readFile(host("m2.txt")), "M1");
    EXPECT_FALSE(fsys.moveFile("C:\\m1.txt", "C:\\m3.txt"));
    EXPECT_FALSE(fsys.moveFile("C:\\m2.txt", "C:\\windows"));

    EXPECT_FALSE(fsys.deleteFile("C:\\windows"));
    EXPECT_TRUE(fsys.deleteFile("C:\\A.txt"));
    EXPECT_FALSE(fs::exists(host("a.txt")));
    EXPECT_FALSE(fsys.deleteFile("C:\\a.txt"));
}

TEST_F(PosixFileSystemTest, FolderCopyAndDeleteWorkOnWholeTrees) {
    EXPECT_TRUE(fsys.createFolder("C:\\Src\\deep\\deeper"));
    EXPECT_TRUE(fs::is_directory(host("Src/deep/deeper")));
    EXPECT_TRUE(fsys.createFolder("C:\\src\\deep"));  // exists already
    write("Src/top.txt", "top");
    write("Src/deep/deeper/leaf.txt", "leaf");
    write("Src/deep/ro.txt", "ro");
    chmod(host("Src/deep/ro.txt").c_str(), 0444);
    fs::create_directory_symlink(".", host("Src/loop-link"));
    write("Dst/top.txt", "older");
    write("Dst/extra.txt", "extra");

    EXPECT_TRUE(fsys.copyFolder("C:\\src", "C:\\dst"));
    EXPECT_EQ(TempMachineRoot::readFile(host("Dst/top.txt")), "top");
    EXPECT_EQ(TempMachineRoot::readFile(host("Dst/extra.txt")), "extra");
    EXPECT_EQ(TempMachineRoot::readFile(host("Dst/deep/deeper/leaf.txt")), "leaf");
    EXPECT_EQ(TempMachineRoot::readFile(host("Dst/deep/ro.txt")), "ro");
    // Links are copied as links, never followed.
    EXPECT_TRUE(fs::is_symlink(host("Dst/loop-link")));
    EXPECT_EQ(fs::read_symlink(host("Dst/loop-link")), ".");
    // A folder cannot be copied into itself.
    EXPECT_FALSE(fsys.copyFolder("C:\\Src", "C:\\Src\\deep\\copy"));
    EXPECT_FALSE(fs::exists(host("Src/deep/copy")));
    EXPECT_FALSE(fsys.copyFolder("C:\\missing", "C:\\x"));

    fs::permissions(host("Src/deep/deeper"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(fsys.deleteFolder("C:\\SRC"));
    EXPECT_FALSE(fs::exists(host("Src")));
    EXPECT_FALSE(fsys.deleteFolder("C:\\Src"));
    EXPECT_FALSE(fsys.deleteFolder("C:\\Dst\\top.txt"));
}

TEST_F(PosixFileSystemTest, DeletingALinkedFolderRemovesOnlyTheLink) {
    write("real/keep.txt", "k");
    fs::create_directory_symlink("real", host("alias"));
    EXPECT_TRUE(fsys.deleteFolder("C:\\alias"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(host("alias"))));
    EXPECT_EQ(TempMachineRoot::readFile(host("real/keep.txt")), "k");
}

TEST_F(PosixFileSystemTest, DrivesAndWhatHoldsThemAreNeverDeleted) {
    fs::create_directories(t.base() + "/disk");
    TempMachineRoot::writeFile(t.base() + "/disk/f.txt", "f");
    fs::create_symlink(t.base() + "/disk", t.root() + "/dosdevices/d:");
    fs::create_directories(host("mnt/inner"));
    fs::create_symlink("../drive_c/mnt/inner", t.root() + "/dosdevices/e:");
    EXPECT_FALSE(fsys.deleteFolder("D:\\"));
    EXPECT_FALSE(fsys.deleteFolder("d:"));
    EXPECT_TRUE(fs::exists(t.base() + "/disk/f.txt"));
    EXPECT_FALSE(fsys.deleteFolder("C:\\"));
    EXPECT_FALSE(fsys.deleteFolder("C:\\mnt"));
    EXPECT_TRUE(fs::is_directory(host("mnt/inner")));
    // The folder that holds the machine root (and drive C:) goes neither.
    std::string holder = fsys.windowsPath(t.base());
    ASSERT_FALSE(holder.empty());
    EXPECT_FALSE(fsys.deleteFolder(holder));
    EXPECT_TRUE(fs::exists(t.root() + "/dosdevices"));
}

TEST_F(PosixFileSystemTest, DrivesAreTheDosdevicesEntriesInLetterOrder) {
    fs::create_directories(t.base() + "/disk");
    fs::create_symlink(t.base() + "/disk", t.root() + "/dosdevices/d:");
    fs::create_symlink(t.base() + "/nothing", t.root() + "/dosdevices/e:");
    fs::create_symlink("/dev/null", t.root() + "/dosdevices/c::");
    fs::create_symlink("/dev/null", t.root() + "/dosdevices/com1");
    auto drives = fsys.drives();
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_EQ(drives[0].letter, 'C');
    EXPECT_EQ(drives[1].letter, 'D');
    EXPECT_EQ(drives[2].letter, 'E');
    EXPECT_EQ(drives[3].letter, 'Z');
    EXPECT_EQ(drives[0].type, DriveType::Fixed);
    EXPECT_TRUE(drives[0].ready);
    EXPECT_TRUE(drives[1].ready);
    EXPECT_EQ(drives[2].type, DriveType::Fixed);
    EXPECT_FALSE(drives[2].ready);

    auto c = fsys.volumeInfo("C:\\");
    ASSERT_TRUE(c.has_value());
    EXPECT_FALSE(c->fileSystemName.empty());
    EXPECT_TRUE(fsys.volumeInfo("c:").has_value());
    EXPECT_TRUE(fsys.volumeInfo("D:\\").has_value());
    EXPECT_FALSE(fsys.volumeInfo("E:\\").has_value());
    EXPECT_FALSE(fsys.volumeInfo("Q:\\").has_value());
    EXPECT_FALSE(fsys.volumeInfo("C:\\windows").has_value());
    EXPECT_FALSE(fsys.volumeInfo("").has_value());
}

TEST_F(PosixFileSystemTest, MapsPathsBothWays) {
    write("users/tester/x.txt", "x");
    EXPECT_EQ(fsys.hostPath("C:\\USERS\\TESTER\\X.TXT"), host("users/tester/x.txt"));
    EXPECT_EQ(fsys.windowsPath(host("users/tester/x.txt")), "C:\\users\\tester\\x.txt");
    EXPECT_EQ(fsys.hostPath("M:\\x"), "");
}

}  // namespace
}  // namespace nightjar::platform::posix
