// nightjar-cli guard: the shields, the scheduler and the automatic update in the foreground.
#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <thread>

#include "app/MainState.h"
#include "app/ProtectionController.h"
#include "app/RemovalRun.h"
#include "app/ScanRun.h"
#include "app/TimerLoop.h"
#include "app/UpdateController.h"
#include "cli/CliEnv.h"
#include "cli/CliUserInterface.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/DefinitionUpdater.h"
#include "util/Text.h"

namespace nightjar::cli {

namespace {

volatile std::sig_atomic_t gStop = 0;

extern "C" void onStopSignal(int) {
    gStop = 1;
}

enum class Policy { Ask, Yes, No };

/// Answers the alerts as the command line says, asking on the terminal for "ask".
class GuardUserInterface : public CliUserInterface {
  public:
    GuardUserInterface(Policy threat, Policy homePage)
        : CliUserInterface(std::nullopt, false), threat_(threat), homePage_(homePage) {}

    std::optional<app::SpywareAlertAnswer> showSpywareAlert(
        const app::SpywareAlertView& alert) override {
        if (threat_ == Policy::Ask) {
            std::cerr << app::SpywareAlertView::kHeading << "\n"
                      << text::replaceAll(alert.text(), "\r\n", "\n") << "\n";
            return ask("[S]TOP or [a]llow? ", 'a') ? app::SpywareAlertAnswer::Allow
                                                   : app::SpywareAlertAnswer::Stop;
        }
        return threat_ == Policy::Yes ? app::SpywareAlertAnswer::Stop
                                      : app::SpywareAlertAnswer::Allow;
    }
    bool showHomePageAlert(std::string_view, std::string_view info) override {
        if (homePage_ == Policy::Ask) {
            std::cerr << text::replaceAll(info, "\r\n", "\n") << "\n";
            return !ask("[Y]es or [n]o? ", 'n');
        }
        return homePage_ == Policy::Yes;
    }

  private:
    /// True when the answer starts with `other`; anything else (or no terminal) is the
    /// default.
    static bool ask(const char* prompt, char other) {
        std::cerr << prompt << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) {
            std::cin.clear();
            return false;
        }
        return !line.empty() && text::toLowerChar(line[0]) == other;
    }

    Policy threat_;
    Policy homePage_;
};

std::string stamp(platform::Clock& clock) {
    using namespace std::chrono;
    const sys_seconds now = clock.now();
    const sys_days day = floor<days>(now);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> t{now - day};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02ld:%02ld:%02ld", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<long>(t.hours().count()), static_cast<long>(t.minutes().count()),
                  static_cast<long>(t.seconds().count()));
    return buf;
}

std::string describe(app::MainState& state, const app::ProtectionEvent& e) {
    using Kind = app::ProtectionEvent::Kind;
    switch (e.kind) {
        case Kind::ThreatStopped:
            return "threat " + e.detail + " stopped";
        case Kind::ThreatNotStopped:
            return "threat " + e.detail + " could not be stopped";
        case Kind::ThreatAllowed:
            return "threat " + e.detail + " allowed (excluded from now on)";
        case Kind::HomePageRestored:
            return "home page restored to " + e.detail;
        case Kind::HomePageAccepted:
            return "home page changed to " + e.detail + " (accepted)";
        case Kind::ScheduledScanStarted:
            return "scheduled scan started";
        case Kind::ScheduledScanEnded: {
            std::string line = "scheduled scan ended: " +
                               std::to_string(state.counters().threats +
                                              static_cast<long>(state.ResultList().size())) +
                               " found";
            const app::RemovalSummary& removal = state.removal().lastSummary();
            if (state.scanRun().lastOutcome() == app::ScanOutcome::Completed &&
                removal.outcome != app::RemovalOutcome::NotRun) {
                line += ", " + std::to_string(removal.removed.size()) + " removed";
            }
            return line;
        }
    }
    return {};
}

void runGuard(CliEnv& env, Policy threat, Policy homePage) {
    platform::Platform* p = env.platform();
    if (!p) {
        return;
    }
    // From here on, a stop request ends the guard at its next wait.
    gStop = 0;
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    GuardUserInterface ui(threat, homePage);
    app::MainStateOptions options;
    options.programFolder = env.programFolder();
    options.definitionServer = env.serverUrl;
    app::MainState state(*p, ui, std::move(options));
    const auto say = [&](const std::string& line) {
        std::cout << stamp(*p->clock) << ' ' << line << std::endl;
    };
    state.protection().setListener([&](const app::ProtectionEvent& e) { say(describe(state, e)); });
    state.timUpdate().onTick([&] {
        app::UpdateController& updates = state.updates();
        updates.timUpdate_Timer();
        if (!state.timUpdate().enabled()) {
            const update::UpdateResult& r = updates.lastResult();
            say("automatic update: " + std::string(update::OutcomeName(r.outcome)) +
                (r.count > 0 ? ", " + std::to_string(r.count) + " changes" : ""));
        }
    });
    state.Startup();

    const auto onOff = [](bool on) { return on ? "on" : "off"; };
    settings::SettingsStore& settings = state.settings();
    namespace keys = settings::keys;
    say(std::string("guard started: memory shield ") +
        onOff(settings.ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, true)) +
        ", home-page shield " +
        onOff(settings.ReadBool(keys::kOptionAndSettings, keys::kHomePageShieldOn, true)) +
        ", scheduled scans " +
        onOff(settings.ReadInt(keys::kOptionAndSettings, keys::kAutomaticScanYesOrNo, 0) != 0) +
        ", automatic update " + onOff(state.timUpdate().enabled()));

    const auto start = std::chrono::steady_clock::now();
    app::TimerLoop loop(
        [start] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                .count();
        },
        [](std::int64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
    for (app::Timer* t : {&state.tmrMemoryInspected(), &state.tmrCheckHomePage(),
                          &state.tmrScheduler(), &state.timUpdate()}) {
        loop.add(*t);
    }
    loop.Run([] { return gStop != 0; });
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    say("guard stopped");
}

}  // namespace

void addGuardCommand(CLI::App& app, CliEnv& env) {
    auto* cmd = app.add_subcommand(
        "guard",
        "Run the memory and home-page shields, the scan scheduler and the automatic "
        "update until SIGINT or SIGTERM, one line per event");
    auto threat = std::make_shared<std::string>("ask");
    auto homePage = std::make_shared<std::string>("ask");
    cmd->add_option("--on-threat", *threat, "Answer to the spyware alert: ask, stop or allow")
        ->check(CLI::IsMember({"ask", "stop", "allow"}));
    cmd->add_option("--on-homepage", *homePage,
                    "Answer to a changed home page: ask, restore or accept")
        ->check(CLI::IsMember({"ask", "restore", "accept"}));
    cmd->callback([&env, threat, homePage] {
        static const std::map<std::string, Policy> kPolicies = {{"ask", Policy::Ask},
                                                                {"stop", Policy::Yes},
                                                                {"allow", Policy::No},
                                                                {"restore", Policy::Yes},
                                                                {"accept", Policy::No}};
        runGuard(env, kPolicies.at(*threat), kPolicies.at(*homePage));
    });
}

}  // namespace nightjar::cli
