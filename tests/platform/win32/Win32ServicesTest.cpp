// The small services: launcher, clock, single instance, System Restore, the bundle.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TempFolder.h"
#include "platform/Platform.h"
#include "platform/win32/NamedMutexSingleInstance.h"
#include "platform/win32/SrClientSystemRestore.h"
#include "platform/win32/SystemClock.h"
#include "platform/win32/Win32Launcher.h"

namespace nightjar::platform::win32 {
namespace {

/// Sets NIGHTJAR_LAUNCHER_RECORD for the life of the object.
class RecordTo {
  public:
    explicit RecordTo(const std::string& file) {
        SetEnvironmentVariableA("NIGHTJAR_LAUNCHER_RECORD", file.c_str());
    }
    ~RecordTo() { SetEnvironmentVariableA("NIGHTJAR_LAUNCHER_RECORD", nullptr); }
    RecordTo(const RecordTo&) = delete;
    RecordTo& operator=(const RecordTo&) = delete;
};

TEST(Win32LauncherTest, RecordsCommandLinesInsteadOfStartingThem) {
    test::TempFolder tmp;
    std::string record = tmp / "launches.txt";
    {
        RecordTo to(record);
        Win32Launcher launcher;
        EXPECT_TRUE(launcher.run("notepad C:\\x\\ENoSignature.dat", WindowShow::Normal));
        EXPECT_TRUE(launcher.run("explorer C:\\q", WindowShow::Minimized));
        EXPECT_TRUE(launcher.open("C:\\Program Files\\Help.chm"));
    }
    std::string content;
    ASSERT_TRUE(Win32FileSystem().readAll(record, content));
    EXPECT_EQ(content,
              "run notepad C:\\x\\ENoSignature.dat\nrun explorer C:\\q\nopen C:\\Program "
              "Files\\Help.chm\n");
}

TEST(Win32LauncherTest, UnknownProgramFailsToStart) {
    Win32Launcher launcher;
    EXPECT_FALSE(launcher.run("njtest_no_such_program_4711.exe /x", WindowShow::Normal));
}

TEST(SystemClockTest, GivesTheLocalDateAndTime) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    auto now = SystemClock().now();
    SYSTEMTIME after;
    GetLocalTime(&after);
    auto days = std::chrono::floor<std::chrono::days>(now);
    std::chrono::year_month_day ymd(days);
    std::chrono::hh_mm_ss hms(now - days);
    auto matches = [&](const SYSTEMTIME& t) {
        return static_cast<int>(ymd.year()) == t.wYear &&
               static_cast<unsigned>(ymd.month()) == t.wMonth &&
               static_cast<unsigned>(ymd.day()) == t.wDay && hms.hours().count() == t.wHour &&
               hms.minutes().count() == t.wMinute && hms.seconds().count() == t.wSecond;
    };
    EXPECT_TRUE(matches(before) || matches(after));
}

TEST(NamedMutexSingleInstanceTest, SecondHolderIsRefusedUntilTheFirstEnds) {
    std::string name = "NightjarTest" + std::to_string(GetCurrentProcessId()) + "\\Instance";
    NamedMutexSingleInstance other(name);
    {
        NamedMutexSingleInstance first(name);
        EXPECT_TRUE(first.acquire());
        EXPECT_TRUE(first.acquire());
        EXPECT_FALSE(other.acquire());
    }
    EXPECT_TRUE(other.acquire());
    NamedMutexSingleInstance unrelated(name + "2");
    EXPECT_TRUE(unrelated.acquire());
}

TEST(SrClientSystemRestoreTest, AvailableExactlyWhenTheEntryPointExists) {
    HMODULE lib = LoadLibraryA("srclient.dll");
    bool expected = lib != nullptr && GetProcAddress(lib, "SRSetRestorePointW") != nullptr;
    SrClientSystemRestore restore;
    EXPECT_EQ(restore.available(), expected);
    // Ending without a begun restore point fails.
    EXPECT_FALSE(restore.end());
    if (lib != nullptr) {
        FreeLibrary(lib);
    }
}

TEST(CreatePlatformTest, FillsEveryService) {
    std::string error = "stale";
    auto p = createPlatform(PlatformOptions{}, error);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(error.empty());
    EXPECT_NE(p->registry, nullptr);
    EXPECT_NE(p->fileSystem, nullptr);
    EXPECT_NE(p->shellFolders, nullptr);
    EXPECT_NE(p->processes, nullptr);
    EXPECT_NE(p->versionInfo, nullptr);
    EXPECT_NE(p->http, nullptr);
    EXPECT_NE(p->launcher, nullptr);
    EXPECT_NE(p->clock, nullptr);
    EXPECT_NE(p->singleInstance, nullptr);
    EXPECT_NE(p->systemRestore, nullptr);
    EXPECT_TRUE(p->fileSystem->folderExists(p->shellFolders->systemDirectory()));
}

}  // namespace
}  // namespace nightjar::platform::win32
