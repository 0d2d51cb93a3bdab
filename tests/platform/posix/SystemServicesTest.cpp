#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include "ScopedEnv.h"
#include "TempMachineRoot.h"
#include "nightjar/Identity.h"
#include "platform/Platform.h"
#include "platform/posix/LockFileSingleInstance.h"
#include "platform/posix/NoSystemRestore.h"
#include "platform/posix/PosixVersionInfo.h"
#include "platform/posix/SystemClock.h"

namespace nightjar::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::TempMachineRoot;

/// Sets TZ for a scope and restores it, telling the C library's time functions each time.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) : tz_(std::in_place, "TZ", tz) { tzset(); }
    ~ScopedTimeZone() {
        tz_.reset();
        tzset();
    }

  private:
    std::optional<test::ScopedEnv> tz_;
};

TEST(SystemClock, GivesTheLocalWallClock) {
    SystemClock clock;
    std::chrono::sys_seconds utc;
    std::chrono::sys_seconds ahead;
    {
        ScopedTimeZone zone("UTC0");
        utc = clock.now();
    }
    {
        ScopedTimeZone zone("<+0230>-2:30");
        ahead = clock.now();
    }
    // Two and a half hours apart, give or take the moment between the two readings.
    auto diff = (ahead - utc).count();
    EXPECT_GE(diff, 9000);
    EXPECT_LE(diff, 9002);
}

TEST(LockFileSingleInstance, OnlyOneHolderAtATime) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string lock = t.machine().instanceLockFile();
    auto first = std::make_unique<LockFileSingleInstance>(lock);
    LockFileSingleInstance second(lock);
    EXPECT_TRUE(first->acquire());
    EXPECT_TRUE(first->acquire());
    EXPECT_FALSE(second.acquire());
    first.reset();
    EXPECT_TRUE(second.acquire());
    LockFileSingleInstance nowhere(t.base() + "/no/such/folder/x.lock");
    EXPECT_FALSE(nowhere.acquire());
}

TEST(NoSystemRestore, IsNeverAvailable) {
    NoSystemRestore restore;
    EXPECT_FALSE(restore.available());
    EXPECT_FALSE(restore.begin("Removal"));
    EXPECT_FALSE(restore.end());
}

TEST(PosixVersionInfo, ComesFromTheBuildIdentity) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    PosixVersionInfo info(t.machine());
    VersionInfoData d = info.read();
    EXPECT_EQ(d.productName, NJ_PRODUCT_NAME);
    EXPECT_EQ(d.companyName, NJ_COMPANY_NAME);
    EXPECT_EQ(d.comments, NJ_WEBSITE);
    EXPECT_EQ(d.major, NJ_VERSION_MAJOR);
    EXPECT_EQ(d.minor, NJ_VERSION_MINOR);
    EXPECT_EQ(d.patch, NJ_VERSION_PATCH);
    std::string exe = info.executablePath();
    EXPECT_TRUE(exe.starts_with("Z:\\")) << exe;
    EXPECT_TRUE(exe.ends_with("\\test_platform")) << exe;
    // Without Z: the host path is the best answer.
    fs::remove(t.root() + "/dosdevices/z:");
    EXPECT_EQ(info.executablePath(), fs::read_symlink("/proc/self/exe").string());
}

TEST(CreatePlatform, MakesAMachineRootOnFirstUse) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    PlatformOptions options;
    options.machineRoot = t.base() + "/fresh";
    std::string error;
    auto p = createPlatform(options, error);
    ASSERT_TRUE(p) << error;
    EXPECT_TRUE(p->registry && p->fileSystem && p->shellFolders && p->processes && p->versionInfo &&
                p->http && p->launcher && p->clock && p->singleInstance && p->systemRestore);
    EXPECT_TRUE(fs::is_symlink(options.machineRoot + "/dosdevices/c:"));
    EXPECT_TRUE(fs::exists(options.machineRoot + "/registry.sqlite"));
    // The user's folders exist where the shell says they are.
    auto appData = p->shellFolders->specialFolder(26);
    ASSERT_TRUE(appData.has_value());
    EXPECT_TRUE(p->fileSystem->folderExists(*appData));
    EXPECT_TRUE(p->fileSystem->folderExists(p->shellFolders->systemDirectory()));
    EXPECT_EQ(p->fileSystem->hostPath("C:\\"),
              fs::canonical(options.machineRoot + "/drive_c").string());
    EXPECT_FALSE(p->systemRestore->available());
    ASSERT_TRUE(p->registry->setValue(Hive::CurrentUser, "Software\\T", "v", RegValue::dword(7)));
    EXPECT_TRUE(p->singleInstance->acquire());

    // A second platform over the same root shares the registry, but not the instance.
    auto q = createPlatform(options, error);
    ASSERT_TRUE(q) << error;
    EXPECT_EQ(
        q->registry->queryValue(Hive::CurrentUser, "Software\\T", "v", KeyAccess::Read)->number(),
        7u);
    EXPECT_FALSE(q->singleInstance->acquire());
}

TEST(CreatePlatform, TakesAnExistingRootAsItIs) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    fs::remove(t.root() + "/dosdevices/z:");
    PlatformOptions options;
    options.machineRoot = t.root();
    std::string error;
    auto p = createPlatform(options, error);
    ASSERT_TRUE(p) << error;
    EXPECT_FALSE(fs::exists(fs::symlink_status(t.root() + "/dosdevices/z:")));
    ASSERT_EQ(p->fileSystem->drives().size(), 1u);
}

TEST(CreatePlatform, UsesTheEnvironmentAndRecordsLaunches) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string root = t.base() + "/from-env";
    const std::string record = t.base() + "/launches.txt";
    setenv("NIGHTJAR_MACHINE_ROOT", root.c_str(), 1);
    setenv("NIGHTJAR_LAUNCHER_RECORD", record.c_str(), 1);
    std::string error;
    auto p = createPlatform(PlatformOptions{}, error);
    unsetenv("NIGHTJAR_MACHINE_ROOT");
    unsetenv("NIGHTJAR_LAUNCHER_RECORD");
    ASSERT_TRUE(p) << error;
    EXPECT_TRUE(fs::is_directory(root + "/dosdevices"));
    EXPECT_TRUE(p->launcher->run("explorer C:\\", WindowShow::Normal));
    EXPECT_EQ(TempMachineRoot::readFile(record), "run explorer C:\\\n");
}

TEST(CreatePlatform, FailsWithAReasonWhenNoRootCanBeMade) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    TempMachineRoot::writeFile(t.base() + "/file", "x");
    PlatformOptions options;
    options.machineRoot = t.base() + "/file";
    std::string error;
    EXPECT_FALSE(createPlatform(options, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace nightjar::platform::posix
