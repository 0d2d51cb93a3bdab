// Message-loop latency of the desktop program during a Folder Scan: the real main window
// over the native platform scans a folder (argument 1, e.g. Z:\tmp\nj-guibench) while a
// thread timer asks to run every 10 ms. Each tick records how late it came; the 99th
// percentile of those delays is what the user feels when clicking Stop or Pause.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "app/ProgramFolder.h"
#include "app/ScanRun.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "gui/GuiUserInterface.h"
#include "gui/MainWindow.h"
#include "gui/MessageLoop.h"
#include "gui/SatelliteWindows.h"
#include "gui/TimerBinding.h"
#include "gui/WideText.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"

namespace {

using namespace nightjar;
using Clock = std::chrono::steady_clock;

constexpr UINT kProbeIntervalMs = 10;
/// File signatures loaded for the scan, as a current definition set holds them.
constexpr int kFileSignatures = 100000;

/// The program's windows with the scan's folder chosen and every message box answered at
/// once, so that nothing waits on a person.
class BenchUi : public gui::GuiUserInterface {
  public:
    BenchUi(gui::MessageLoop& loop, std::string folder)
        : GuiUserInterface(loop), folder_(std::move(folder)) {}
    app::MsgAnswer messageBox(std::string_view, std::string_view, app::MsgButtons buttons,
                              app::MsgIcon) override {
        return buttons == app::MsgButtons::YesNo ? app::MsgAnswer::Yes : app::MsgAnswer::Ok;
    }
    std::optional<std::string> chooseFolder() override { return folder_; }

  private:
    std::string folder_;
};

struct Probe {
    Clock::time_point last;
    bool armed = false;
    std::vector<double> delaysMs;
};
Probe g_probe;

void CALLBACK probeTick(HWND, UINT, UINT_PTR, DWORD) {
    const Clock::time_point now = Clock::now();
    if (g_probe.armed) {
        const double gap = std::chrono::duration<double, std::milli>(now - g_probe.last).count();
        g_probe.delaysMs.push_back(std::max(0.0, gap - kProbeIntervalMs));
    }
    g_probe.last = now;
    g_probe.armed = true;
}

/// A definition set whose file signatures name nothing in the tree.
bool writeDefinitions(platform::FileSystem& fs, const std::string& dataFolder) {
    auto file = [&](std::string_view name, const std::string& plain) {
        return fs.writeAll(dataFolder + "\\" + std::string(name), plain);
    };
    std::string files;
    for (int i = 0; i < kFileSignatures; ++i) {
        const std::string n = std::to_string(i);
        files += definitions::ScrambleLine("nomatch" + n + ".exe=Threat" + n + "|[progfil]Vendor" +
                                           n + "|Adware");
        files += "\r\n";
    }
    const std::string one = definitions::ScrambleLine("nomatchkey=Dir|[progfil]NoDir|Trojan");
    return fs.createFolder(dataFolder) && file(definitions::kFileDefinition, files) &&
           file(definitions::kDirectoryDefinition, one + "\r\n") &&
           file(definitions::kRegistryDefinition,
                definitions::ScrambleLine("1^Software\\NoVendor^=Reg|Spyware") + "\r\n") &&
           file(definitions::kExeDefinition,
                definitions::ScrambleLine("none.exe=N|[windir]") + "\r\n") &&
           file(definitions::kBlockedCookies, definitions::ScrambleLine("none.example") + "\r\n") &&
           file(definitions::kDateFile, "12/1/2026 12:00:00 AM\r\n");
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

int run(const std::string& folder) {
    std::string error;
    std::unique_ptr<platform::Platform> platform = platform::createPlatform({}, error);
    if (!platform) {
        std::fprintf(stderr, "gui-latency: %s\n", error.c_str());
        return 1;
    }
    gui::MessageLoop loop;
    BenchUi ui(loop, folder);
    app::MainStateOptions options;
    options.programFolder = app::ExecutableFolder(*platform);
    app::MainState state(*platform, ui, std::move(options));
    if (!writeDefinitions(*platform->fileSystem, state.dataFolder())) {
        std::fprintf(stderr, "gui-latency: cannot write definitions to %s\n",
                     state.dataFolder().c_str());
        return 1;
    }
    gui::TimerBinding timers;
    if (!timers.create()) {
        return 1;
    }
    for (app::Timer* t : state.mainWindowTimers()) {
        timers.add(*t);
    }
    loop.afterEachMessage([&timers] { timers.sync(); });

    gui::MainWindow window(state, ui);
    gui::SatelliteWindows satellites(state, ui, window);
    satellites.attach();
    if (!window.create()) {
        return 1;
    }
    state.Startup();
    window.LoadOptionsIntoControls();
    ShowWindow(window.hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(window.hwnd());
    timers.sync();
    loop.pumpPending();

    const UINT_PTR probe = SetTimer(nullptr, 0, kProbeIntervalMs, probeTick);
    const Clock::time_point start = Clock::now();
    state.scanRun().StartMode(static_cast<int>(app::ScanMode::Folder));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    KillTimer(nullptr, probe);

    const std::vector<double>& d = g_probe.delaysMs;
    std::printf("folder scan of %s: %.1f s, outcome %d, %d files and folders, %zu probe ticks\n",
                folder.c_str(), seconds, static_cast<int>(state.scanRun().lastOutcome()),
                state.counters().filesFolders, d.size());
    std::printf("probe delay ms: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f\n", percentile(d, 0.5),
                percentile(d, 0.9), percentile(d, 0.99), percentile(d, 1.0));
    if (state.scanRun().lastOutcome() != app::ScanOutcome::Completed || d.size() < 10) {
        std::fprintf(stderr, "gui-latency: too few probe ticks (the scan did not run?)\n");
        return 1;
    }
    std::printf("LATENCY gui_pump_p99_ms %.1f\n", percentile(d, 0.99));
    std::fflush(stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_gui_latency FOLDER\n");
        return 2;
    }
    return run(gui::Narrow(argv[1]));
}
