#include "platform/posix/WindowsDisk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ScopedEnv.h"
#include "TempWindowsDisk.h"
#include "platform/Platform.h"

namespace nightjar::platform::posix {
namespace {

using test::ScopedEnv;
using test::TempWindowsDisk;
namespace fs = std::filesystem;

constexpr const char* kExplorer =
    "add Software\ncd Software\nadd Microsoft\ncd Microsoft\n"
    "add Windows\ncd Windows\nadd CurrentVersion\n"
    "cd CurrentVersion\nadd Explorer\ncd Explorer\n";

/// A disk whose Windows folders are spelled unlike the usual, with a service profile, two
/// user profiles named by the ProfileList (one on the drive letter Windows gave the disk)
/// and a user folder the ProfileList does not name.
class WindowsDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        disk.hive("WINDOWS/system32/Config/SOFTWARE",
                  "add Microsoft\ncd Microsoft\nadd Windows NT\ncd Windows NT\n"
                  "add CurrentVersion\ncd CurrentVersion\nadd ProfileList\ncd ProfileList\n"
                  "add S-1-5-18\ncd S-1-5-18\nsetval 1\nProfileImagePath\n"
                  "expandstring:%systemroot%\\system32\\config\\systemprofile\ncd ..\n"
                  "add S-1-5-21-7-1001\ncd S-1-5-21-7-1001\nsetval 1\nProfileImagePath\n"
                  "expandstring:%SystemDrive%\\Users\\alice\ncd ..\n"
                  "add S-1-5-21-7-1002\ncd S-1-5-21-7-1002\nsetval 1\nProfileImagePath\n"
                  "string:D:\\Users\\bob.HOME\\\n"
                  "cd \\Microsoft\nadd Windows\ncd Windows\nadd CurrentVersion\n"
                  "cd CurrentVersion\nadd Explorer\ncd Explorer\nadd Shell Folders\n"
                  "cd Shell Folders\nsetval 1\nCommon AppData\nstring:C:\\ProgramData");
        disk.hive("WINDOWS/system32/Config/SYSTEM", "add Select");
        disk.hive("WINDOWS/system32/Config/systemprofile/NTUSER.DAT", "add Software");
        disk.hive("Users/alice/NTUSER.DAT",
                  std::string(kExplorer) +
                      "add Shell Folders\ncd Shell Folders\nsetval 1\nAppData\n"
                      "string:C:\\Users\\alice\\AppData\\Roaming\ncd ..\n"
                      "add User Shell Folders\ncd User Shell Folders\nsetval 1\nDesktop\n"
                      "expandstring:%USERPROFILE%\\OneDrive\\Desktop\n"
                      "cd \\Software\nadd AliceSpy");
        disk.hive("Users/bob.HOME/NTUSER.DAT", "add Software\ncd Software\nadd BobSpy");
        disk.hive("Users/carol/NTUSER.DAT", "add Software");
        const auto now = fs::file_time_type::clock::now();
        fs::last_write_time(disk.path("Users/alice/NTUSER.DAT"), now - std::chrono::hours(48));
        fs::last_write_time(disk.path("Users/bob.HOME/NTUSER.DAT"), now - std::chrono::hours(1));
    }
    std::unique_ptr<Platform> open(const std::string& user, std::string& error) {
        PlatformOptions options;
        options.machineRoot = disk.root();
        options.user = user;
        return createPlatform(options, error);
    }

    TempWindowsDisk disk;
    ScopedEnv data{"XDG_DATA_HOME", (disk.base() + "/data").c_str()};
};

TEST_F(WindowsDiskTest, TheDiskIsKnownByItsSoftwareHiveInAnyCase) {
    EXPECT_TRUE(WindowsDisk::isWindowsDisk(disk.root()));
    EXPECT_FALSE(WindowsDisk::isWindowsDisk(disk.path("Users")));
    EXPECT_FALSE(WindowsDisk::isWindowsDisk(disk.base() + "/nowhere"));
}

TEST_F(WindowsDiskTest, TheUserIsChosenFromTheDiskAndSeesItsOwnHiveAndFolders) {
    std::string error;
    // No name: the profile used last, from the ProfileList only.
    auto p = open("", error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->shellFolders->userName(), "bob.HOME");
    EXPECT_EQ(p->shellFolders->specialFolder(0x28), "C:\\Users\\bob.HOME");
    EXPECT_TRUE(p->registry->keyExists(Hive::CurrentUser, "Software\\BobSpy", KeyAccess::Full));
    p.reset();

    p = open("ALICE", error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->shellFolders->userName(), "alice");
    EXPECT_TRUE(p->registry->keyExists(Hive::CurrentUser, "Software\\AliceSpy", KeyAccess::Full));
    EXPECT_FALSE(p->registry->keyExists(Hive::CurrentUser, "Software\\BobSpy", KeyAccess::Read));
    EXPECT_TRUE(p->registry->keyExists(Hive::Users, "S-1-5-21-7-1001\\Software\\AliceSpy",
                                       KeyAccess::Read));
    // Shell Folders first, then User Shell Folders expanded, else the usual place; shared
    // folders from the machine's key.
    auto& folders = *p->shellFolders;
    EXPECT_EQ(folders.specialFolder(0x1a), "C:\\Users\\alice\\AppData\\Roaming");
    EXPECT_EQ(folders.specialFolder(0x10), "C:\\Users\\alice\\OneDrive\\Desktop");
    EXPECT_EQ(folders.specialFolder(0x1c), "C:\\Users\\alice\\AppData\\Local");
    EXPECT_EQ(folders.specialFolder(0x23), "C:\\ProgramData");
    // Drive C: is the disk, reached without regard to case; the host's / is no drive.
    auto& files = *p->fileSystem;
    EXPECT_TRUE(files.attributes("C:\\users\\ALICE\\ntuser.dat").has_value());
    EXPECT_TRUE(files.attributes("C:\\Windows\\System32\\config\\SOFTWARE").has_value());
    EXPECT_FALSE(files.attributes("Z:\\").has_value());
    EXPECT_FALSE(fs::exists(disk.path("dosdevices")));

    // A removal keeps the hive's former copy beside the quarantine, on the disk.
    ASSERT_TRUE(p->registry->deleteTree(Hive::CurrentUser, "Software\\AliceSpy"));
    const fs::path backups = disk.path("Users/alice/AppData/Roaming/ZuvoDivavarIVA/Hive backups");
    ASSERT_TRUE(fs::is_directory(backups));
    int copies = 0;
    for (const auto& e : fs::directory_iterator(backups)) {
        EXPECT_EQ(e.path().filename().string().rfind("NTUSER.DAT ", 0), 0u);
        EXPECT_EQ(disk.hivexls(e.path().string(), "\\Software"), "AliceSpy\nMicrosoft\n");
        ++copies;
    }
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(disk.hivexls(disk.path("Users/alice/NTUSER.DAT"), "\\Software"), "Microsoft\n");
    p.reset();

    // A service profile and a folder the ProfileList does not name are no users.
    for (const char* nobody : {"systemprofile", "carol"}) {
        EXPECT_FALSE(open(nobody, error));
        EXPECT_NE(error.find(nobody), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace nightjar::platform::posix
