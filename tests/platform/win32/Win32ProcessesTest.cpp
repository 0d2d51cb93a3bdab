#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

#include "TempFolder.h"
#include "platform/win32/Win32Processes.h"
#include "util/Text.h"

namespace nightjar::platform::win32 {
namespace {

std::string ownPath() {
    char buf[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return std::string(buf, n);
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
}

bool contains(const std::vector<std::uint32_t>& ids, std::uint32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

/// Starts a copy of the sleeper program under a name of its own. Only these children are
/// ever terminated.
class Child {
  public:
    explicit Child(const test::TempFolder& tmp, const char* tag) {
        exe_ = tmp / ("njtest_child_" + std::to_string(GetCurrentProcessId()) + "_" + tag + ".exe");
        if (!CopyFileA(NJ_TEST_SLEEPER_EXE, exe_.c_str(), FALSE)) {
            return;
        }
        STARTUPINFOA si;
        std::memset(&si, 0, sizeof si);
        si.cb = sizeof si;
        std::string cmd = "\"" + exe_ + "\"";
        std::memset(&pi_, 0, sizeof pi_);
        // No console: Wine would start a console host for one, which outlives the child
        // and keeps the test's output pipe open.
        if (CreateProcessA(exe_.c_str(), cmd.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                           nullptr, nullptr, &si, &pi_)) {
            CloseHandle(pi_.hThread);
            // Module lists are complete once the child has started running.
            WaitForInputIdle(pi_.hProcess, 2000);
            for (int i = 0; i < 100 && !Win32Processes().moduleBaseName(pid()); ++i) {
                Sleep(20);
            }
        }
    }
    ~Child() {
        if (pi_.hProcess != nullptr) {
            if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(pi_.hProcess, 99);
                WaitForSingleObject(pi_.hProcess, 5000);
            }
            CloseHandle(pi_.hProcess);
        }
        DeleteFileA(exe_.c_str());
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pi_.hProcess != nullptr; }
    std::uint32_t pid() const { return pi_.dwProcessId; }
    const std::string& exe() const { return exe_; }
    /// The exit code, or STILL_ACTIVE.
    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

  private:
    std::string exe_;
    PROCESS_INFORMATION pi_{};
};

class Win32ProcessesTest : public ::testing::Test {
  protected:
    Win32Processes processes;
    test::TempFolder tmp;
};

TEST_F(Win32ProcessesTest, ListsTheTestItselfWithItsNameAndPath) {
    auto ids = processes.processIds();
    ASSERT_TRUE(ids.has_value());
    std::uint32_t self = GetCurrentProcessId();
    EXPECT_TRUE(contains(*ids, self));
    EXPECT_GT(ids->size(), 1u);

    auto name = processes.moduleBaseName(self);
    ASSERT_TRUE(name.has_value());
    EXPECT_TRUE(text::iequals(*name, baseName(ownPath()))) << *name;
    auto path = processes.firstModulePath(self);
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(text::iequals(*path, ownPath())) << *path;

    auto snap = processes.snapshot();
    ASSERT_TRUE(snap.has_value());
    auto it = std::find_if(snap->begin(), snap->end(),
                           [&](const SnapshotEntry& e) { return e.pid == self; });
    ASSERT_NE(it, snap->end());
    EXPECT_TRUE(text::icontains(it->exeFile, baseName(ownPath()))) << it->exeFile;
}

TEST_F(Win32ProcessesTest, RunningNamesAreFileNamesAndHoldTheTestItself) {
    const auto hasSelf = [](const std::vector<std::string>& names) {
        return std::any_of(names.begin(), names.end(), [](const std::string& n) {
            return text::iequals(n, baseName(ownPath()));
        });
    };
    // WMI may be missing (some Wine versions lack parts of it); the list then comes from
    // the snapshot, and either way it names this program by its file name.
    const auto wmi = Win32Processes::WmiProcessNames();
    std::cout << "WMI process names: "
              << (wmi ? std::to_string(wmi->size()) + " names" : std::string("unavailable"))
              << "\n";
    if (wmi && !wmi->empty()) {
        EXPECT_TRUE(hasSelf(*wmi));
    }
    const auto names = processes.runningNames();
    ASSERT_TRUE(names.has_value());
    EXPECT_TRUE(hasSelf(*names));
    for (const std::string& name : *names) {
        EXPECT_EQ(name.find('\\'), std::string::npos) << name;
    }
}

TEST_F(Win32ProcessesTest, AProcessThatDoesNotExistCannotBeOpened) {
    auto ids = processes.processIds();
    ASSERT_TRUE(ids.has_value());
    std::uint32_t unused = 0x7FFFFFF0;
    while (contains(*ids, unused)) {
        unused -= 4;
    }
    EXPECT_FALSE(processes.moduleBaseName(unused).has_value());
    EXPECT_FALSE(processes.firstModulePath(unused).has_value());
    EXPECT_FALSE(processes.terminate(unused, 0, ""));
    EXPECT_EQ(processes.wait(unused, 1), WaitResult::Failed);
}

TEST_F(Win32ProcessesTest, FindsTerminatesAndWaitsForAChild) {
    Child child(tmp, "a");
    ASSERT_TRUE(child.started());
    auto ids = processes.processIds();
    ASSERT_TRUE(ids.has_value());
    EXPECT_TRUE(contains(*ids, child.pid()));
    auto name = processes.moduleBaseName(child.pid());
    ASSERT_TRUE(name.has_value());
    EXPECT_TRUE(text::iequals(*name, baseName(child.exe()))) << *name;
    auto path = processes.firstModulePath(child.pid());
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(text::iequals(*path, child.exe())) << *path;

    EXPECT_EQ(processes.wait(child.pid(), 1), WaitResult::TimedOut);
    EXPECT_TRUE(processes.setDebugPrivilege(true));
    // Refused while the id does not run the image it was matched by.
    EXPECT_FALSE(processes.terminate(child.pid(), 7, "C:\\windows\\notepad.exe"));
    EXPECT_EQ(processes.wait(child.pid(), 1), WaitResult::TimedOut);
    EXPECT_TRUE(processes.terminate(child.pid(), 7, *path));
    EXPECT_TRUE(processes.setDebugPrivilege(false));
    EXPECT_EQ(processes.wait(child.pid(), 10000), WaitResult::Signaled);
    EXPECT_EQ(child.exitCode(), 7u);
}

TEST_F(Win32ProcessesTest, LegacyTerminationEndsTheProcessWithoutTheStillActiveCode) {
    Child child(tmp, "b");
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(processes.terminateLegacy(child.pid(), ""));
    EXPECT_EQ(processes.wait(child.pid(), 10000), WaitResult::Signaled);
    EXPECT_NE(child.exitCode(), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(child.exitCode(), 0u);
}

TEST_F(Win32ProcessesTest, ReportsTheNtFamily) {
    EXPECT_EQ(processes.platformId(), 2);
}

}  // namespace
}  // namespace nightjar::platform::win32
