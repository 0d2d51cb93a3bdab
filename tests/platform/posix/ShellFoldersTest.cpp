#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "TempMachineRoot.h"

#include "definitions/PlaceholderExpander.h"
#include "platform/posix/PosixShellFolders.h"

namespace nightjar::platform::posix {
namespace {

struct Expected {
    int csidl;
    const char* path;  ///< nullptr: not resolved
};

// The layout a fresh Wine prefix gives user "tester".
constexpr Expected kTable[] = {
    {2, "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {5, "C:\\users\\tester\\Documents"},
    {6, "C:\\users\\tester\\Favorites"},
    {7, "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {8, "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Recent"},
    {9, "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {10, nullptr},
    {11, "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {16, "C:\\users\\tester\\Desktop"},
    {20, "C:\\windows\\Fonts"},
    {21, "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Templates"},
    {22, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
    {23, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {25, "C:\\users\\Public\\Desktop"},
    {26, "C:\\users\\tester\\AppData\\Roaming"},
    {29, nullptr},
    {30, nullptr},
    {31, "C:\\users\\Public\\Favorites"},
    {32, "C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCache"},
    {33, "C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCookies"},
    {34, "C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\History"},
    {35, "C:\\ProgramData"},
    {36, "C:\\windows"},
    {37, "C:\\windows\\system32"},
    {38, "C:\\Program Files"},
    {43, "C:\\Program Files\\Common Files"},
    {45, "C:\\ProgramData\\Microsoft\\Windows\\Templates"},
    {46, "C:\\users\\Public\\Documents"},
};

TEST(PosixShellFolders, ResolvesThePlaceholderFoldersToTheWineLayout) {
    PosixShellFolders shell("tester");
    for (const auto& row : kTable) {
        auto path = shell.specialFolder(row.csidl);
        if (row.path == nullptr) {
            EXPECT_FALSE(path.has_value()) << row.csidl;
        } else {
            EXPECT_EQ(path.value_or("<none>"), row.path) << row.csidl;
            // Flags in the high byte (CSIDL_FLAG_CREATE) do not change the folder.
            EXPECT_EQ(shell.specialFolder(row.csidl | 0x8000), path) << row.csidl;
            EXPECT_EQ(shell.folderLocationPath(row.csidl), path) << row.csidl;
        }
    }
    EXPECT_FALSE(shell.specialFolder(0x3F).has_value());
    EXPECT_FALSE(shell.specialFolder(-1).has_value());
    EXPECT_EQ(shell.systemDirectory(), "C:\\windows\\system32");
    EXPECT_EQ(shell.userName(), "tester");
}

TEST(PosixShellFolders, FollowsTheUserName) {
    PosixShellFolders shell("Anna Maria");
    EXPECT_EQ(shell.specialFolder(26).value_or(""), "C:\\users\\Anna Maria\\AppData\\Roaming");
    EXPECT_EQ(shell.specialFolder(46).value_or(""), "C:\\users\\Public\\Documents");
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
        EXPECT_EQ(PosixShellFolders::loginName(), user);
        EXPECT_EQ(PosixShellFolders().userName(), user);
    }
    EXPECT_FALSE(PosixShellFolders::loginName().empty());
}

// A 64-bit Wine prefix has the 32-bit programs' system folder; a machine root without it
// is a 32-bit system.
TEST(PosixShellFolders, SysWow64IsThereWhenTheMachineRootHasIt) {
    test::TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    PosixShellFolders shell("tester", t.machine());
    EXPECT_FALSE(shell.systemWow64Directory().has_value());
    EXPECT_FALSE(PosixShellFolders("tester").systemWow64Directory().has_value());
    std::filesystem::create_directories(t.driveC() + "/windows/syswow64");
    EXPECT_EQ(shell.systemWow64Directory().value_or(""), "C:\\windows\\syswow64");
}

TEST(PosixShellFolders, AllFoldersListsEveryResolvedFolderOnce) {
    auto folders = PosixShellFolders::allFolders("tester");
    for (const auto& row : kTable) {
        if (row.path != nullptr) {
            EXPECT_NE(std::find(folders.begin(), folders.end(), row.path), folders.end())
                << row.path;
        }
    }
    for (const auto& f : folders) {
        EXPECT_TRUE(f.starts_with("C:\\")) << f;
        EXPECT_FALSE(f.ends_with("\\")) << f;
    }
}

TEST(PosixShellFolders, PlaceholdersExpandOverTheLayout) {
    PosixShellFolders shell("tester");
    definitions::PlaceholderExpander expander(shell);
    EXPECT_EQ(expander.Expand("[appdata]ZuvoDivavarIVA"),
              "C:\\users\\tester\\AppData\\Roaming\\ZuvoDivavarIVA");
    EXPECT_EQ(expander.Expand("[WINDIR]system32\\x.dll"), "C:\\windows\\system32\\x.dll");
    EXPECT_EQ(expander.Expand("[comprogfil]Acme"), "C:\\Program Files\\Common Files\\Acme");
    // The profile placeholders drop "\Start Menu" from folders 11 and 22.
    EXPECT_EQ(expander.Expand("[user]x"),
              "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\x");
    EXPECT_EQ(expander.Expand("[alluser]x"), "C:\\ProgramData\\Microsoft\\Windows\\x");
    EXPECT_EQ(expander.Expand("[recycle]x"), "x");
    EXPECT_EQ(expander.Expand("[startsp]x"), "x");
    EXPECT_EQ(expander.SystemDriveRoot(), "C:\\");
    EXPECT_EQ(expander.SystemDirectory(), "C:\\windows\\system32\\");
}

}  // namespace
}  // namespace nightjar::platform::posix
