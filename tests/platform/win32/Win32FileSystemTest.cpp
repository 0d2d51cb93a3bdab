#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TempFolder.h"
#include "platform/win32/Win32FileSystem.h"

namespace nightjar::platform::win32 {
namespace {

using namespace std::string_literals;

class Win32FileSystemTest : public ::testing::Test {
  protected:
    /// Writes a file with the Win32 API directly, independent of the code under test.
    static void put(const std::string& path, const std::string& data) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
        DWORD done = 0;
        WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
        CloseHandle(h);
        ASSERT_EQ(done, data.size());
    }
    std::string get(const std::string& path) {
        std::string out;
        EXPECT_TRUE(fs.readAll(path, out)) << path;
        return out;
    }
    /// Names in the folder, sorted.
    std::vector<std::string> names(const std::string& folder) {
        std::vector<std::string> out;
        auto entries = fs.list(folder);
        if (entries) {
            for (const auto& e : *entries) {
                out.push_back(e.name);
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    Win32FileSystem fs;
    test::TempFolder tmp;
};

TEST_F(Win32FileSystemTest, ListingGivesNamesSizesAndRealAttributes) {
    put(tmp / "plain.txt", "12345");
    put(tmp / "hidden.dat", "");
    put(tmp / "locked.dat", "x");
    ASSERT_TRUE(CreateDirectoryA((tmp / "Sub").c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesA((tmp / "hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA((tmp / "locked.dat").c_str(),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));

    auto entries = fs.list(tmp.path());
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 4u);
    for (const auto& e : *entries) {
        if (e.name == "plain.txt") {
            EXPECT_EQ(e.size, 5u);
            EXPECT_FALSE(e.isDirectory());
        } else if (e.name == "hidden.dat") {
            EXPECT_NE(e.attributes & attr::Hidden, 0u);
            EXPECT_EQ(e.attributes & attr::ReadOnly, 0u);
        } else if (e.name == "locked.dat") {
            EXPECT_EQ(e.attributes & (attr::ReadOnly | attr::Archive),
                      attr::ReadOnly | attr::Archive);
            EXPECT_EQ(e.attributes & attr::Hidden, 0u);
        } else {
            EXPECT_EQ(e.name, "Sub");
            EXPECT_TRUE(e.isDirectory());
        }
    }
    // A trailing backslash lists the same folder.
    EXPECT_EQ(names(tmp.path() + "\\"), names(tmp.path()));
    EXPECT_EQ(fs.attributes(tmp / "hidden.dat").value_or(0) & attr::Hidden, attr::Hidden);
    EXPECT_EQ(fs.attributes(tmp / "LOCKED.DAT").value_or(0) & attr::ReadOnly, attr::ReadOnly);
    EXPECT_TRUE(fs.folderExists(tmp / "sub"));
    EXPECT_TRUE(fs.fileExists(tmp / "plain.txt"));
    EXPECT_FALSE(fs.fileExists(tmp / "Sub"));
    EXPECT_FALSE(fs.attributes(tmp / "missing").has_value());
    SetFileAttributesA((tmp / "locked.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FileSystemTest, ListingAMissingFolderFailsAndAnEmptyOneIsEmpty) {
    EXPECT_FALSE(fs.list(tmp / "missing").has_value());
    ASSERT_TRUE(CreateDirectoryA((tmp / "empty").c_str(), nullptr));
    auto entries = fs.list(tmp / "empty");
    ASSERT_TRUE(entries.has_value());
    EXPECT_TRUE(entries->empty());
}

TEST_F(Win32FileSystemTest, StoredNameKeepsTheRealLetterCase) {
    put(tmp / "MixedCase.TXT", "");
    EXPECT_EQ(fs.storedName(tmp / "mixedcase.txt"), "MixedCase.TXT");
    ASSERT_TRUE(CreateDirectoryA((tmp / "FolderName").c_str(), nullptr));
    EXPECT_EQ(fs.storedName(tmp / "FOLDERNAME\\"), "FolderName");
    EXPECT_FALSE(fs.storedName(tmp / "missing").has_value());
    EXPECT_FALSE(fs.storedName(tmp / "*.TXT").has_value());
    EXPECT_EQ(fs.storedName("C:\\"), "C:\\");
}

TEST_F(Win32FileSystemTest, ReadGivesEveryByte) {
    std::string data = "line1\r\nline2\n\0\xff\x80"s;
    for (int i = 0; i < 20000; ++i) {
        data.push_back(static_cast<char>(i % 251));
    }
    put(tmp / "bin.dat", data);
    EXPECT_EQ(get(tmp / "bin.dat"), data);
    std::string out = "stale";
    EXPECT_FALSE(fs.readAll(tmp / "missing.dat", out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(fs.openRead(tmp.path()), nullptr);
}

TEST_F(Win32FileSystemTest, AppendAddsAtTheEndAndCreatesTheFile) {
    auto a = fs.openAppend(tmp / "log.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->write("one\r\n"));
    EXPECT_TRUE(a->commit());
    a.reset();
    auto b = fs.openAppend(tmp / "log.txt");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->write("two\r\n"));
    EXPECT_TRUE(b->commit());
    b.reset();
    EXPECT_EQ(get(tmp / "log.txt"), "one\r\ntwo\r\n");
    EXPECT_EQ(fs.openAppend(tmp / "missing\\log.txt"), nullptr);
}

TEST_F(Win32FileSystemTest, ReplacingWriterShowsOldContentUntilCommit) {
    put(tmp / "defs.dat", "old");
    auto w = fs.openReplace(tmp / "defs.dat");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->write("new "));
    EXPECT_TRUE(w->write("content"));
    // Before the commit the target is untouched and the content sits in a sibling file.
    EXPECT_EQ(get(tmp / "defs.dat"), "old");
    EXPECT_EQ(names(tmp.path()).size(), 2u);
    EXPECT_TRUE(w->commit());
    EXPECT_FALSE(w->commit());
    w.reset();
    EXPECT_EQ(get(tmp / "defs.dat"), "new content");
    EXPECT_EQ(names(tmp.path()), std::vector<std::string>{"defs.dat"});
}

TEST_F(Win32FileSystemTest, UncommittedReplacingWriterLeavesNoTrace) {
    put(tmp / "defs.dat", "old");
    {
        auto w = fs.openReplace(tmp / "defs.dat");
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->write("half"));
    }
    EXPECT_EQ(get(tmp / "defs.dat"), "old");
    EXPECT_EQ(names(tmp.path()), std::vector<std::string>{"defs.dat"});
    // A new file appears only with the commit.
    {
        auto w = fs.openReplace(tmp / "fresh.dat");
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->write("x"));
        EXPECT_FALSE(fs.exists(tmp / "fresh.dat"));
    }
    EXPECT_FALSE(fs.exists(tmp / "fresh.dat"));
    EXPECT_TRUE(fs.writeAll(tmp / "fresh.dat", "y"));
    EXPECT_EQ(get(tmp / "fresh.dat"), "y");
    EXPECT_EQ(fs.openReplace(tmp / "missing\\x.dat"), nullptr);
}

TEST_F(Win32FileSystemTest, FailedReplaceKeepsTheOldFile) {
    // A folder of the target's name cannot be replaced by a file.
    ASSERT_TRUE(CreateDirectoryA((tmp / "taken").c_str(), nullptr));
    auto w = fs.openReplace(tmp / "taken");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->write("data"));
    EXPECT_FALSE(w->commit());
    w.reset();
    EXPECT_TRUE(fs.folderExists(tmp / "taken"));
    EXPECT_EQ(names(tmp.path()), std::vector<std::string>{"taken"});
}

TEST_F(Win32FileSystemTest, CreateCopyMoveAndDelete) {
    ASSERT_TRUE(fs.createFolder(tmp / "a\\b\\c"));
    EXPECT_TRUE(fs.folderExists(tmp / "a\\b\\c"));
    EXPECT_TRUE(fs.createFolder(tmp / "a\\b\\c\\"));  // existing: fine
    put(tmp / "a\\b\\c\\f.txt", "f");
    EXPECT_FALSE(fs.createFolder(tmp / "a\\b\\c\\f.txt\\d"));  // a file is in the way

    put(tmp / "src.txt", "source");
    put(tmp / "dst.txt", "dest");
    EXPECT_FALSE(fs.copyFile(tmp / "src.txt", tmp / "dst.txt", false));
    EXPECT_EQ(get(tmp / "dst.txt"), "dest");
    EXPECT_TRUE(fs.copyFile(tmp / "src.txt", tmp / "dst.txt", true));
    EXPECT_EQ(get(tmp / "dst.txt"), "source");

    put(tmp / "moved.txt", "moved");
    EXPECT_TRUE(fs.moveFile(tmp / "moved.txt", tmp / "dst.txt"));
    EXPECT_EQ(get(tmp / "dst.txt"), "moved");
    EXPECT_FALSE(fs.exists(tmp / "moved.txt"));

    EXPECT_TRUE(fs.deleteFile(tmp / "dst.txt"));
    EXPECT_FALSE(fs.deleteFile(tmp / "dst.txt"));
    // A read-only file is deleted as well.
    put(tmp / "ro.txt", "ro");
    SetFileAttributesA((tmp / "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(fs.deleteFile(tmp / "ro.txt"));
    EXPECT_FALSE(fs.exists(tmp / "ro.txt"));
}

TEST_F(Win32FileSystemTest, FolderCopyAndForcedDelete) {
    ASSERT_TRUE(fs.createFolder(tmp / "tree\\inner\\deep"));
    put(tmp / "tree\\top.txt", "top");
    put(tmp / "tree\\inner\\ro.txt", "ro");
    put(tmp / "tree\\inner\\deep\\h.txt", "h");
    ASSERT_TRUE(SetFileAttributesA((tmp / "tree\\inner\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA((tmp / "tree\\inner\\deep").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));

    ASSERT_TRUE(fs.createFolder(tmp / "copy"));
    put(tmp / "copy\\top.txt", "older");
    EXPECT_TRUE(fs.copyFolder(tmp / "tree\\", tmp / "copy"));
    EXPECT_EQ(get(tmp / "copy\\top.txt"), "top");
    EXPECT_EQ(get(tmp / "copy\\inner\\ro.txt"), "ro");
    EXPECT_EQ(get(tmp / "copy\\inner\\deep\\h.txt"), "h");
    EXPECT_FALSE(fs.copyFolder(tmp / "missing", tmp / "copy2"));

    EXPECT_TRUE(fs.deleteFolder(tmp / "tree"));
    EXPECT_FALSE(fs.exists(tmp / "tree"));
    EXPECT_TRUE(fs.deleteFolder(tmp / "copy\\"));
    EXPECT_FALSE(fs.exists(tmp / "copy"));
    EXPECT_FALSE(fs.deleteFolder(tmp / "copy"));
    EXPECT_FALSE(fs.deleteFolder("C:\\"));
}

// Names outside the ANSI code page and paths past MAX_PATH go through every call, come back
// as the same UTF-8, and land on disk under their real UTF-16 names.
TEST_F(Win32FileSystemTest, CyrillicCjkAndLongPathsRoundTrip) {
    std::string longFolder = tmp / "long";
    while (longFolder.size() <= 320) {
        longFolder += "\\очень длинное имя 長い名前 0123456789";
    }
    const std::string file = "отчёт 日本語.txt";
    for (const std::string& folder : {tmp / "Документы", tmp / "日本", longFolder}) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(fs.createFolder(folder));
        ASSERT_TRUE(fs.writeAll(folder + "\\" + file, "payload"));
        EXPECT_EQ(get(folder + "\\" + file), "payload");
        EXPECT_EQ(names(folder), std::vector<std::string>{file});
        EXPECT_EQ(fs.storedName(folder + "\\" + file), file);
        EXPECT_TRUE(fs.copyFile(folder + "\\" + file, folder + "\\копия.txt", false));
        EXPECT_TRUE(fs.moveFile(folder + "\\копия.txt", folder + "\\移動.txt"));
        EXPECT_EQ(names(folder), (std::vector<std::string>{file, "移動.txt"}));
        EXPECT_EQ(get(folder + "\\移動.txt"), "payload");
        EXPECT_TRUE(fs.deleteFile(folder + "\\移動.txt"));
        // Forward slashes and dot components name the same file.
        std::string odd = folder + "/./x/../" + file;
        EXPECT_TRUE(fs.fileExists(odd));
    }
    // The names on disk, read with the wide API apart from the code under test.
    const std::wstring wideTmp = L"\\\\?\\" + std::wstring(tmp.path().begin(), tmp.path().end());
    EXPECT_NE(GetFileAttributesW((wideTmp + L"\\Документы\\отчёт 日本語.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW((wideTmp + L"\\日本").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(names(tmp.path()), (std::vector<std::string>{"long", "Документы", "日本"}));

    EXPECT_TRUE(fs.copyFolder(tmp / "long", tmp / "日本\\копия"));
    EXPECT_EQ(get(tmp / "日本\\копия" + longFolder.substr(tmp.path().size() + 5) + "\\" + file),
              "payload");
    EXPECT_TRUE(fs.deleteFolder(tmp / "long"));
    EXPECT_TRUE(fs.deleteFolder(tmp / "日本"));
    EXPECT_EQ(names(tmp.path()), std::vector<std::string>{"Документы"});
}

TEST_F(Win32FileSystemTest, DrivesIncludeTheSystemDriveAndTheHostRoot) {
    auto drives = fs.drives();
    auto find = [&](char letter) {
        return std::find_if(drives.begin(), drives.end(),
                            [&](const DriveInfo& d) { return d.letter == letter; });
    };
    auto c = find('C');
    ASSERT_NE(c, drives.end());
    EXPECT_EQ(c->type, DriveType::Fixed);
    EXPECT_TRUE(c->ready);
    EXPECT_NE(find('Z'), drives.end());
    for (const auto& d : drives) {
        EXPECT_TRUE(d.letter >= 'A' && d.letter <= 'Z');
    }

    auto info = fs.volumeInfo("C:\\");
    ASSERT_TRUE(info.has_value());
    EXPECT_FALSE(info->fileSystemName.empty());
    // A letter no drive uses has no volume.
    for (char letter = 'Y'; letter > 'D'; --letter) {
        if (find(letter) == drives.end()) {
            EXPECT_FALSE(fs.volumeInfo(std::string(1, letter) + ":\\").has_value()) << letter;
            break;
        }
    }
}

TEST_F(Win32FileSystemTest, PathsAreTheirOwnHostPaths) {
    EXPECT_EQ(fs.hostPath("C:\\x\\y"), "C:\\x\\y");
    EXPECT_EQ(fs.windowsPath("Z:\\tmp"), "Z:\\tmp");
}

#ifdef NJ_PE_FIXTURE_DIR
// The system's version reader: the company of the version resource only, whatever the
// file's data holds.
TEST_F(Win32FileSystemTest, CompanyNameComesFromTheVersionResource) {
    const std::string dir = NJ_PE_FIXTURE_DIR;
    auto company = [this](const std::string& path) {
        return fs.companyNameOf(path).value_or("(no reader)");
    };
    EXPECT_EQ(company(dir + "\\company_microsoft.exe"), "Microsoft Corporation");
    EXPECT_EQ(company(dir + "\\company_empty.exe"), "");
    std::string missing;
    ASSERT_TRUE(fs.readAll(dir + "\\company_missing.exe", missing));
    put(tmp / "decoy.exe",
        missing + "CompanyName"s + '\0' + "Microsoft Corporation"s + std::string(3, '\0'));
    EXPECT_EQ(company(tmp / "decoy.exe"), "");
    EXPECT_EQ(company(tmp / "none.exe"), "");
}
#endif

}  // namespace
}  // namespace nightjar::platform::win32
