#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "ScopedEnv.h"
#include "TempMachineRoot.h"
#include "platform/posix/MachineRoot.h"
#include "platform/posix/PosixShellFolders.h"

namespace nightjar::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::TempMachineRoot;

using test::ScopedEnv;

TEST(MachineRoot, CreateLaysOutDrivesAndStandardFolders) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    std::error_code ec;
    EXPECT_EQ(fs::read_symlink(t.root() + "/dosdevices/c:", ec), "../drive_c");
    EXPECT_EQ(fs::read_symlink(t.root() + "/dosdevices/z:", ec), "/");
    EXPECT_TRUE(MachineRoot::looksLikeMachineRoot(t.root()));
    EXPECT_FALSE(MachineRoot::looksLikeMachineRoot(t.base()));
    EXPECT_TRUE(fs::is_directory(t.driveC() + "/windows/system32"));
    EXPECT_TRUE(fs::is_directory(t.driveC() + "/users/tester/AppData/Roaming"));
    EXPECT_TRUE(
        fs::is_directory(t.driveC() + "/users/tester/AppData/Local/Microsoft/Windows/INetCookies"));
    EXPECT_TRUE(fs::is_directory(t.driveC() + "/users/Public/Documents"));
    EXPECT_TRUE(fs::is_directory(t.driveC() + "/ProgramData/Microsoft/Windows/Start Menu"));
    // Every folder of the special-folder table is there.
    MachineRoot m = t.machine();
    for (const auto& folder : PosixShellFolders::allFolders(TempMachineRoot::kUser)) {
        EXPECT_TRUE(fs::is_directory(m.hostPath(folder))) << folder;
    }
    // Making it again keeps what exists.
    TempMachineRoot::writeFile(t.driveC() + "/keep.txt", "x");
    std::string error;
    EXPECT_TRUE(MachineRoot::create(t.root(), error, TempMachineRoot::kUser)) << error;
    EXPECT_EQ(TempMachineRoot::readFile(t.driveC() + "/keep.txt"), "x");
    EXPECT_EQ(m.driveLetters(), (std::vector<char>{'C', 'Z'}));
}

TEST(MachineRoot, CreateFailsWhereNoFolderCanBeMade) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    TempMachineRoot::writeFile(t.base() + "/plainfile", "x");
    std::string error;
    EXPECT_FALSE(MachineRoot::create(t.base() + "/plainfile/inner", error));
    EXPECT_FALSE(error.empty());
}

TEST(MachineRoot, WindowsPathsResolveComponentByComponentIgnoringCase) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string file = t.driveC() + "/Program Files/Foo/Bar.txt";
    TempMachineRoot::writeFile(file, "data");
    MachineRoot m = t.machine();

    EXPECT_EQ(m.hostPath("C:\\Program Files\\Foo\\Bar.txt"), file);
    EXPECT_EQ(m.hostPath("c:\\PROGRAM FILES\\foo\\bar.TXT"), file);
    EXPECT_EQ(m.hostPath("C:/program files/FOO/Bar.txt"), file);
    EXPECT_EQ(m.hostPath("C:\\Windows\\..\\Program Files\\.\\Foo\\\\Bar.txt"), file);
    EXPECT_EQ(m.hostPath("C:\\"), t.driveC());
    EXPECT_EQ(m.hostPath("c:"), t.driveC());
    EXPECT_EQ(m.hostPath("C:\\..\\.."), t.driveC());
    // What does not exist keeps its spelling below the last existing folder.
    EXPECT_EQ(m.hostPath("C:\\PROGRAM FILES\\New Folder\\X.txt"),
              t.driveC() + "/Program Files/New Folder/X.txt");
    // A name that matches only a longer entry is not matched.
    EXPECT_EQ(m.hostPath("C:\\Program Files\\Fo"), t.driveC() + "/Program Files/Fo");
    // Latin letters fold as Windows folds them.
    TempMachineRoot::writeFile(t.driveC() + "/caf\xC3\xA9.txt", "x");
    EXPECT_EQ(m.hostPath("C:\\CAF\xC3\x89.TXT"), t.driveC() + "/caf\xC3\xA9.txt");
}

TEST(MachineRoot, AnExactMatchWinsOverOtherSpellings) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    for (const char* name : {"data", "Data", "DATA"}) {
        fs::create_directories(t.driveC() + "/" + name);
    }
    MachineRoot m = t.machine();
    EXPECT_EQ(m.hostPath("C:\\data"), t.driveC() + "/data");
    EXPECT_EQ(m.hostPath("C:\\Data"), t.driveC() + "/Data");
    EXPECT_EQ(m.hostPath("C:\\DATA"), t.driveC() + "/DATA");
    // No exact match: the first spelling in byte order, whatever the directory order.
    EXPECT_EQ(m.hostPath("C:\\dAtA\\x"), t.driveC() + "/DATA/x");
}

/// The entry a host path leads to, links followed: device and inode.
std::optional<std::pair<dev_t, ino_t>> identity(const std::string& hostPath) {
    struct stat st {};
    if (stat(hostPath.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return std::make_pair(st.st_dev, st.st_ino);
}

TEST(MachineRoot, ASpelledPathReachesWhatTheLookupFindsOrNothing) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    for (const char* name : {"data", "Data"}) {
        fs::create_directories(t.driveC() + "/" + name + "/Sub");
    }
    MachineRoot m = t.machine();
    const std::string c = t.root() + "/dosdevices/c:";
    EXPECT_EQ(m.spelledHostPath("C:\\Data\\Sub\\"), c + "/Data/Sub");
    EXPECT_EQ(m.spelledHostPath("c:/data/./x/../Sub"), c + "/data/Sub");
    EXPECT_EQ(m.spelledHostPath("C:\\"), c);
    EXPECT_EQ(m.spelledHostPath("\\\\?\\C:\\Data"), c + "/Data");
    EXPECT_EQ(m.spelledHostPath("relative\\x"), "");
    EXPECT_EQ(m.spelledHostPath(std::string_view("C:\\a\0b", 6)), "");
    // Wherever the spelled path leads, it is the entry the component lookup finds.
    for (const char* path : {"C:\\data\\Sub", "C:\\Data\\Sub", "C:\\", "C:\\Data\\..\\data"}) {
        auto spelled = identity(m.spelledHostPath(path));
        ASSERT_TRUE(spelled.has_value()) << path;
        EXPECT_EQ(spelled, identity(m.hostPath(path))) << path;
    }
    // Another spelling leads nowhere, where the lookup still finds the folder.
    EXPECT_FALSE(identity(m.spelledHostPath("C:\\DATA\\sub")).has_value());
    EXPECT_TRUE(identity(m.hostPath("C:\\DATA\\sub")).has_value());
}

TEST(MachineRoot, PathsWithoutAnExistingDriveAreUnmapped) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    fs::create_symlink("../nowhere", t.root() + "/dosdevices/d:");
    MachineRoot m = t.machine();
    EXPECT_EQ(m.hostPath(""), "");
    EXPECT_EQ(m.hostPath("relative\\file.txt"), "");
    EXPECT_EQ(m.hostPath("\\\\server\\share\\x"), "");
    EXPECT_EQ(m.hostPath("Q:\\x"), "");
    EXPECT_EQ(m.hostPath("1:\\x"), "");
    EXPECT_EQ(m.hostPath(std::string_view("C:\\a\0b", 6)), "");
    // A dangling drive entry is listed but leads nowhere.
    EXPECT_EQ(m.driveLetters(), (std::vector<char>{'C', 'D', 'Z'}));
    EXPECT_EQ(m.driveTarget('D'), "");
    EXPECT_EQ(m.hostPath("D:\\x"), "");
    EXPECT_EQ(m.hostPath("\\\\?\\C:\\x"), t.driveC() + "/x");
}

TEST(MachineRoot, HostPathsMapBackThroughTheDeepestDrive) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    fs::create_directories(t.driveC() + "/users/tester/Data");
    fs::create_directories(t.base() + "/disk");
    fs::create_symlink(t.base() + "/disk", t.root() + "/dosdevices/d:");
    MachineRoot m = t.machine();

    EXPECT_EQ(m.windowsPath(t.driveC()), "C:\\");
    EXPECT_EQ(m.windowsPath(t.driveC() + "/"), "C:\\");
    EXPECT_EQ(m.windowsPath(t.driveC() + "/users/tester/Data"), "C:\\users\\tester\\Data");
    EXPECT_EQ(m.windowsPath(t.driveC() + "/users/tester/new.txt"), "C:\\users\\tester\\new.txt");
    EXPECT_EQ(m.windowsPath(t.base() + "/disk/x/y"), "D:\\x\\y");
    // A path through the drive's own link resolves to the drive.
    EXPECT_EQ(m.windowsPath(t.root() + "/dosdevices/c:/users"), "C:\\users");
    // Outside every drive folder but below / : through Z:.
    std::string outside = t.root() + "/registry.sqlite";
    std::string expected = "Z:" + outside;
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(m.windowsPath(outside), expected);
    EXPECT_EQ(m.windowsPath("/"), "Z:\\");
    // Round trip.
    EXPECT_EQ(m.hostPath(m.windowsPath(t.driveC() + "/users/tester/Data")),
              t.driveC() + "/users/tester/Data");
    // Without Z: nothing outside the drives maps.
    fs::remove(t.root() + "/dosdevices/z:");
    EXPECT_EQ(m.windowsPath(outside), "");
    EXPECT_EQ(m.windowsPath(t.driveC() + "/users"), "C:\\users");
}

TEST(MachineRoot, ANestedDriveWinsForItsOwnFiles) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    fs::create_directories(t.driveC() + "/mnt/inner");
    fs::create_symlink("../drive_c/mnt/inner", t.root() + "/dosdevices/e:");
    MachineRoot m = t.machine();
    EXPECT_EQ(m.windowsPath(t.driveC() + "/mnt/inner/f.txt"), "E:\\f.txt");
    EXPECT_EQ(m.windowsPath(t.driveC() + "/mnt/other.txt"), "C:\\mnt\\other.txt");
    EXPECT_EQ(m.hostPath("E:\\f.txt"), t.driveC() + "/mnt/inner/f.txt");
}

TEST(MachineRoot, DefaultLocationFollowsTheEnvironment) {
    {
        ScopedEnv root("NIGHTJAR_MACHINE_ROOT", "/srv/machine");
        EXPECT_EQ(MachineRoot::defaultLocation(), "/srv/machine");
    }
    ScopedEnv root("NIGHTJAR_MACHINE_ROOT", nullptr);
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/data/home");
        EXPECT_EQ(MachineRoot::defaultLocation(), "/data/home/nightjar/machine");
    }
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(MachineRoot::defaultLocation(), "/home/someone/.local/share/nightjar/machine");
}

}  // namespace
}  // namespace nightjar::platform::posix
