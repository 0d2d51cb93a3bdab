#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "EnvironmentVariable.h"
#include "platform/win32/Win32ShellFolders.h"
#include "util/Text.h"

namespace nightjar::platform::win32 {
namespace {

using test::EnvironmentVariable;

class Win32ShellFoldersTest : public ::testing::Test {
  protected:
    Win32ShellFolders shell;
    std::string profile = EnvironmentVariable("USERPROFILE");
};

TEST_F(Win32ShellFoldersTest, UserFoldersLieInTheProfileWithoutTrailingBackslash) {
    ASSERT_FALSE(profile.empty());
    struct Row {
        int csidl;
        const char* below;
    } rows[] = {
        {26, "\\AppData\\Roaming"},
        {33, "\\AppData\\Local\\Microsoft\\Windows\\INetCookies"},
        {2, "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    };
    for (const auto& r : rows) {
        auto path = shell.specialFolder(r.csidl);
        ASSERT_TRUE(path.has_value()) << "CSIDL " << r.csidl;
        EXPECT_TRUE(text::iequals(*path, profile + r.below))
            << "CSIDL " << r.csidl << ": " << *path;
        EXPECT_NE(path->back(), '\\');
    }
}

TEST_F(Win32ShellFoldersTest, SystemFolderMatchesTheSystemDirectory) {
    auto system = shell.specialFolder(37);
    ASSERT_TRUE(system.has_value());
    std::string dir = shell.systemDirectory();
    EXPECT_TRUE(text::iequals(*system, dir)) << *system << " vs " << dir;
    EXPECT_TRUE(text::iequals(dir, EnvironmentVariable("SystemRoot") + "\\system32")) << dir;
    EXPECT_NE(dir.back(), '\\');
}

TEST_F(Win32ShellFoldersTest, VirtualAndUnknownFoldersHaveNoPath) {
    EXPECT_FALSE(shell.specialFolder(10).has_value());  // the Recycle Bin
    EXPECT_FALSE(shell.specialFolder(0xEE).has_value());
    EXPECT_FALSE(shell.folderLocationPath(10).has_value());
}

TEST_F(Win32ShellFoldersTest, ItemListPathOfTheProgramsMenuStartsWithTheSystemDrive) {
    auto viaList = shell.folderLocationPath(2);
    auto viaPath = shell.specialFolder(2);
    ASSERT_TRUE(viaList.has_value());
    ASSERT_TRUE(viaPath.has_value());
    EXPECT_TRUE(text::iequals(*viaList, *viaPath));
    EXPECT_TRUE(text::iequals(viaList->substr(0, 3), EnvironmentVariable("SystemDrive") + "\\"))
        << *viaList;
}

TEST_F(Win32ShellFoldersTest, UserNameIsTheLoginName) {
    std::string name = shell.userName();
    EXPECT_FALSE(name.empty());
    std::string expected = EnvironmentVariable("USERNAME");
    if (!expected.empty()) {
        EXPECT_TRUE(text::iequals(name, expected)) << name << " vs " << expected;
    }
}

}  // namespace
}  // namespace nightjar::platform::win32
