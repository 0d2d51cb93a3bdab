#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "TempMachineRoot.h"
#include "app/MainState.h"
#include "app/ProtectionController.h"
#include "mock/ScriptedUserInterface.h"
#include "platform/Platform.h"
#include "removal/ProcessControl.h"
#include "scan/MemoryScan.h"

namespace nightjar::platform::posix {
namespace {

using test::TempMachineRoot;

/// Sleeping children, started by the test and always reaped.
class SleepingChildren {
  public:
    explicit SleepingChildren(int count) {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                execl("/bin/sleep", "sleep", "120", static_cast<char*>(nullptr));
                _exit(127);
            }
            if (pid > 0) {
                pids_.push_back(pid);
            }
        }
    }
    ~SleepingChildren() {
        for (pid_t pid : pids_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    SleepingChildren(const SleepingChildren&) = delete;
    SleepingChildren& operator=(const SleepingChildren&) = delete;

  private:
    std::vector<pid_t> pids_;
};

double cpuSeconds(const std::function<void()>& work) {
    const std::clock_t start = std::clock();
    work();
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// A shield tick over an unchanged process list costs about one plain listing: it lists the
// processes, sees the same names and stops there. Ticks that saw a changed list (other
// programs start processes meanwhile) are left out, and the best round of each is compared.
TEST(MemoryShieldTickBenchmark, UnchangedListCostsAboutOneListing) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    PlatformOptions options;
    options.machineRoot = t.root();
    std::string error;
    auto platform = createPlatform(options, error);
    ASSERT_TRUE(platform) << error;

    removal::ProcessControl control(*platform->processes);
    SleepingChildren children(300);
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    ASSERT_GE(control.ListProcesses(names, ids, "", true), 300);

    mock::ScriptedUserInterface ui;
    app::MainState state(*platform, ui, app::MainStateOptions{});
    state.ApplyBackgroundTimers(true);
    app::MemoryShield& shield = state.protection().memoryShield();
    shield.tmrMemoryInspected_Timer();  // the first tick records the list

    double bestTick = 1e9;
    double bestListing = 1e9;
    int unchangedTicks = 0;
    for (int round = 0; round < 40 && unchangedTicks < 15; ++round) {
        const std::string before = state.memoryScan().ProcessFingerprint();
        const double tick = cpuSeconds([&] { shield.tmrMemoryInspected_Timer(); });
        if (state.memoryScan().ProcessFingerprint() == before) {
            ++unchangedTicks;
            bestTick = std::min(bestTick, tick);
        }
        bestListing =
            std::min(bestListing, cpuSeconds([&] { control.ListProcesses(names, ids, "", true); }));
    }
    RecordProperty("tick_us", std::to_string(static_cast<int>(bestTick * 1e6)));
    RecordProperty("listing_us", std::to_string(static_cast<int>(bestListing * 1e6)));
    ASSERT_GT(unchangedTicks, 0);
    ASSERT_GT(bestListing, 0.0);
    EXPECT_LE(bestTick / bestListing, 1.5)
        << "tick " << bestTick << " s, listing " << bestListing << " s";
    EXPECT_TRUE(ui.spywareAlerts.empty());
}

}  // namespace
}  // namespace nightjar::platform::posix
