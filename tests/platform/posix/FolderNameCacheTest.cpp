#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TempMachineRoot.h"
#include "platform/posix/FolderNameCache.h"

namespace nightjar::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::TempMachineRoot;

/// Makes a folder look as if it last changed an hour ago, so its listing may be kept.
void ageFolder(const std::string& folder) {
    timespec times[2];
    times[0].tv_sec = time(nullptr) - 3600;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    utimensat(AT_FDCWD, folder.c_str(), times, 0);
}

TEST(FolderNameCache, FindsNamesWithoutCaseAndSeesChanges) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string dir = t.base() + "/names";
    TempMachineRoot::writeFile(dir + "/Alpha.txt", "a");
    TempMachineRoot::writeFile(dir + "/ALPHA.TXT", "a");
    ageFolder(dir);
    FolderNameCache cache;
    EXPECT_EQ(cache.find(dir, "alpha.txt").value_or(""), "ALPHA.TXT");  // smallest spelling
    EXPECT_FALSE(cache.find(dir, "beta.txt").has_value());

    // A new entry changes the folder's time, so the kept listing is not used again.
    TempMachineRoot::writeFile(dir + "/Beta.txt", "b");
    EXPECT_EQ(cache.find(dir, "BETA.TXT").value_or(""), "Beta.txt");
    fs::remove(dir + "/ALPHA.TXT");
    ageFolder(dir);
    EXPECT_EQ(cache.find(dir, "alpha.TXT").value_or(""), "Alpha.txt");
    fs::rename(dir + "/Alpha.txt", dir + "/Gamma.txt");
    EXPECT_FALSE(cache.find(dir, "alpha.txt").has_value());
    EXPECT_EQ(cache.find(dir, "GAMMA.txt").value_or(""), "Gamma.txt");

    EXPECT_FALSE(cache.find(t.base() + "/missing", "x").has_value());
    EXPECT_FALSE(cache.find(dir + "/Beta.txt", "x").has_value());
}

TEST(FolderNameCache, MachineRootLookupsFollowNewFiles) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    fs::create_directories(t.driveC() + "/Scan");
    ageFolder(t.driveC() + "/Scan");
    MachineRoot m = t.machine();
    EXPECT_EQ(m.hostPath("C:\\scan\\NEW.EXE"), t.driveC() + "/Scan/NEW.EXE");
    TempMachineRoot::writeFile(t.driveC() + "/Scan/new.exe", "x");
    EXPECT_EQ(m.hostPath("C:\\scan\\NEW.EXE"), t.driveC() + "/Scan/new.exe");
    // Copies of a machine root share what they learnt and what changed.
    MachineRoot copy = m;
    EXPECT_EQ(copy.hostPath("C:\\SCAN\\New.Exe"), t.driveC() + "/Scan/new.exe");
}

}  // namespace
}  // namespace nightjar::platform::posix
