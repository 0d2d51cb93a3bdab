// The memory shield's tick over 300 running processes whose list has not changed, against
// one plain listing of the same processes.
//
// Runs over a temporary machine root with the POSIX platform layer and 300 sleeping child
// processes, so both sides read the real process table. Prints "RATIO memory_shield_tick
// X.XX" (tick CPU time / listing CPU time): a tick that sees the same list only lists the
// processes, reads its option and re-arms the timers.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "app/MainState.h"
#include "app/ProtectionController.h"
#include "platform/Platform.h"
#include "removal/ProcessControl.h"

namespace {

using namespace nightjar;

constexpr int kChildren = 300;

/// A user interface that shows nothing and answers nothing.
class SilentUserInterface : public app::UserInterface {
  public:
    app::MsgAnswer messageBox(std::string_view, std::string_view, app::MsgButtons,
                              app::MsgIcon) override {
        return app::MsgAnswer::Cancel;
    }
    std::optional<std::string> chooseFile() override { return std::nullopt; }
    std::optional<std::string> chooseFolder() override { return std::nullopt; }
    void setStatusText(app::ControlName, std::string_view) override {}
    void setProgress(app::ControlName, int) override {}
    void setEnabled(app::ControlName, bool) override {}
    void Pump() override {}
};

struct Fixture {
    std::string hostRoot;
    std::unique_ptr<platform::Platform> platform;
    SilentUserInterface ui;
    std::unique_ptr<app::MainState> state;
    std::unique_ptr<removal::ProcessControl> control;
    std::vector<pid_t> children;

    ~Fixture() {
        state.reset();
        for (pid_t pid : children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

Fixture* gFixture = nullptr;

bool setUp(Fixture& f) {
    std::string templ = "/tmp/nj-shield-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) {
        return false;
    }
    f.hostRoot = templ;
    platform::PlatformOptions options;
    options.machineRoot = f.hostRoot + "/machine";
    std::string error;
    f.platform = platform::createPlatform(options, error);
    if (!f.platform) {
        std::fprintf(stderr, "platform: %s\n", error.c_str());
        return false;
    }
    for (int i = 0; i < kChildren; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid < 0) {
            return false;
        }
        f.children.push_back(pid);
    }
    f.control = std::make_unique<removal::ProcessControl>(*f.platform->processes);
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    if (f.control->ListProcesses(names, ids, "", true) < kChildren) {
        return false;
    }
    f.state = std::make_unique<app::MainState>(*f.platform, f.ui, app::MainStateOptions{});
    f.state->ApplyBackgroundTimers(true);
    f.state->protection().memoryShield().tmrMemoryInspected_Timer();  // records the list
    return true;
}

/// Baseline: one listing of the running processes, as the tick makes it.
void BM_ProcessListing(benchmark::State& state) {
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gFixture->control->ListProcesses(names, ids, "", true));
    }
}

void BM_ShieldTick(benchmark::State& state) {
    app::MemoryShield& shield = gFixture->state->protection().memoryShield();
    for (auto _ : state) {
        shield.tmrMemoryInspected_Timer();
    }
}

BENCHMARK(BM_ProcessListing)->Unit(benchmark::kMillisecond)->MinTime(0.3);
BENCHMARK(BM_ShieldTick)->Unit(benchmark::kMillisecond)->MinTime(0.3);

}  // namespace

int main(int argc, char** argv) {
    using nightjar::bench::RatioReporter;
    // CPU time: the build machines are shared, and wall time there measures the neighbours too.
    return nightjar::bench::runRatioBenchmarks(
        argc, argv, gFixture, setUp, RatioReporter::Clock::Cpu, [](const RatioReporter& r) {
            return r.printRatio("memory_shield_tick", "BM_ShieldTick", "BM_ProcessListing") ? 0 : 1;
        });
}
