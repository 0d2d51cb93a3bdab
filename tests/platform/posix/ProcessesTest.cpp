#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "TempMachineRoot.h"
#include "platform/posix/PosixProcesses.h"

namespace nightjar::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::TempMachineRoot;

/// A copy of sleep with a name no other process bears, started by the test itself and
/// always reaped.
class SleepingChild {
  public:
    SleepingChild(const std::string& folder, bool ignoreTerm) {
        name_ = "njtest_sleep_" + std::to_string(getpid()) + (ignoreTerm ? "_stubborn" : "");
        path_ = folder + "/" + name_;
        std::error_code ec;
        fs::create_directories(folder, ec);
        fs::copy_file("/bin/sleep", path_, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            if (ignoreTerm) {
                signal(SIGTERM, SIG_IGN);  // kept across exec
            }
            execl(path_.c_str(), name_.c_str(), "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Wait until the child runs the copy (its exe link then names it).
        std::string link = "/proc/" + std::to_string(pid_) + "/exe";
        for (int i = 0; i < 2000; ++i) {
            std::error_code lec;
            if (fs::read_symlink(link, lec) == fs::path(path_)) {
                break;
            }
            usleep(1000);
        }
    }
    ~SleepingChild() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    SleepingChild(const SleepingChild&) = delete;
    SleepingChild& operator=(const SleepingChild&) = delete;

    /// Reaps the ended child and returns its wait status.
    int reap() {
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return status;
    }

    bool started() const { return pid_ > 0; }
    std::uint32_t pid() const { return static_cast<std::uint32_t>(pid_); }
    const std::string& name() const { return name_; }

  private:
    std::string name_;
    std::string path_;
    pid_t pid_ = -1;
    bool reaped_ = false;
};

class PosixProcessesTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(t.created()) << t.error(); }
    TempMachineRoot t;
    PosixProcesses procs{t.machine()};
};

TEST_F(PosixProcessesTest, FindsAChildByIdAndNameAndStopsIt) {
    SleepingChild child(t.driveC() + "/Tools", false);
    ASSERT_TRUE(child.started());

    auto ids = procs.processIds();
    ASSERT_TRUE(ids.has_value());
    EXPECT_NE(std::find(ids->begin(), ids->end(), child.pid()), ids->end());
    EXPECT_NE(std::find(ids->begin(), ids->end(), static_cast<std::uint32_t>(getpid())),
              ids->end());

    EXPECT_EQ(procs.moduleBaseName(child.pid()).value_or("<none>"), child.name());
    EXPECT_EQ(procs.firstModulePath(child.pid()).value_or("<none>"), "C:\\Tools\\" + child.name());
    auto snap = procs.snapshot();
    ASSERT_TRUE(snap.has_value());
    auto it = std::find_if(snap->begin(), snap->end(),
                           [&](const SnapshotEntry& e) { return e.pid == child.pid(); });
    ASSERT_NE(it, snap->end());
    EXPECT_EQ(it->exeFile, "C:\\Tools\\" + child.name());

    EXPECT_TRUE(PosixProcesses::isRunning(child.pid()));
    EXPECT_EQ(procs.wait(child.pid(), 1), WaitResult::TimedOut);

    // Refused while the id does not run the image it was matched by; the image is
    // compared ignoring case.
    EXPECT_FALSE(procs.terminate(child.pid(), 0, "C:\\Tools\\other.exe"));
    EXPECT_FALSE(procs.terminateLegacy(child.pid(), "C:\\Tools\\other.exe"));
    EXPECT_EQ(procs.wait(child.pid(), 1), WaitResult::TimedOut);
    EXPECT_TRUE(procs.terminate(child.pid(), 0, "c:\\TOOLS\\" + child.name()));
    // Ended but not yet reaped (a zombie) already counts as ended.
    EXPECT_EQ(procs.wait(child.pid(), 10000), WaitResult::Signaled);
    int status = child.reap();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);

    // Gone: it cannot be opened, signalled or waited for.
    EXPECT_FALSE(procs.moduleBaseName(child.pid()).has_value());
    EXPECT_FALSE(procs.firstModulePath(child.pid()).has_value());
    EXPECT_FALSE(procs.terminate(child.pid(), 0, ""));
    EXPECT_EQ(procs.wait(child.pid(), 1), WaitResult::Signaled);
    EXPECT_FALSE(PosixProcesses::isRunning(child.pid()));
}

TEST_F(PosixProcessesTest, AProcessThatIgnoresTheRequestIsKilled) {
    SleepingChild child(t.driveC() + "/Tools", true);
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(procs.terminateLegacy(child.pid(), ""));
    EXPECT_EQ(procs.wait(child.pid(), 10000), WaitResult::Signaled);
    int status = child.reap();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

TEST_F(PosixProcessesTest, AnExecutableOutsideEveryDriveMapsThroughZ) {
    SleepingChild child(t.base() + "/outside", false);
    ASSERT_TRUE(child.started());
    std::string expected = "Z:" + t.base() + "/outside/" + child.name();
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(procs.firstModulePath(child.pid()).value_or("<none>"), expected);

    // Without Z: the path is unknown but the name still is.
    fs::remove(t.root() + "/dosdevices/z:");
    EXPECT_FALSE(procs.firstModulePath(child.pid()).has_value());
    EXPECT_EQ(procs.moduleBaseName(child.pid()).value_or("<none>"), child.name());
    auto snap = procs.snapshot();
    ASSERT_TRUE(snap.has_value());
    auto it = std::find_if(snap->begin(), snap->end(),
                           [&](const SnapshotEntry& e) { return e.pid == child.pid(); });
    ASSERT_NE(it, snap->end());
    EXPECT_FALSE(it->exeFile.empty());
}

TEST_F(PosixProcessesTest, ProcessesThatCannotExistAreNeverSignalled) {
    // 0 would signal this process group; the others are beyond any process id.
    EXPECT_FALSE(procs.moduleBaseName(0).has_value());
    EXPECT_FALSE(procs.firstModulePath(0).has_value());
    EXPECT_FALSE(PosixProcesses::isRunning(0));
    EXPECT_FALSE(PosixProcesses::isRunning(static_cast<std::uint32_t>(INT_MAX) + 1u));
    EXPECT_EQ(procs.wait(0, 1), WaitResult::Signaled);
}

TEST_F(PosixProcessesTest, FixedAnswers) {
    EXPECT_EQ(procs.platformId(), 2);
    EXPECT_TRUE(procs.setDebugPrivilege(true));
    EXPECT_TRUE(procs.setDebugPrivilege(false));
    // This test program, started from a host path outside the machine root, maps via Z:.
    auto own = procs.firstModulePath(static_cast<std::uint32_t>(getpid()));
    ASSERT_TRUE(own.has_value());
    EXPECT_TRUE(own->starts_with("Z:\\")) << *own;
    EXPECT_EQ(procs.moduleBaseName(static_cast<std::uint32_t>(getpid())).value_or(""),
              own->substr(own->rfind('\\') + 1));
}

}  // namespace
}  // namespace nightjar::platform::posix
