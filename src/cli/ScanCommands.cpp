#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "app/MainState.h"
#include "app/ProgramWindows.h"
#include "app/RemovalRun.h"
#include "app/ResultActions.h"
#include "app/ScanRun.h"
#include "cli/CliEnv.h"
#include "cli/CliText.h"
#include "cli/CliUserInterface.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "removal/ExclusionList.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "util/Text.h"

namespace nightjar::cli {

namespace {

const std::map<std::string, app::ScanMode> kModes = {
    {"smart", app::ScanMode::Smart},
    {"full", app::ScanMode::FullSystem},
    {"file", app::ScanMode::File},
    {"folder", app::ScanMode::Folder},
};

bool isWindowsPath(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

/// The Windows form of a path given on the command line: a Windows path as it is, a host
/// path through the drive that holds it; "" when no drive holds it.
std::string toWindowsPath(platform::FileSystem& fs, const std::string& path) {
    if (isWindowsPath(path)) {
        return path;
    }
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) {
        return {};
    }
    return fs.windowsPath(absolute.lexically_normal().string());
}

/// The outcome's name in the JSON result.
std::string_view outcomeName(app::ScanOutcome outcome) {
    switch (outcome) {
        case app::ScanOutcome::NoRunYet:
            return "not_run";
        case app::ScanOutcome::Completed:
            return "completed";
        case app::ScanOutcome::Cancelled:
            return "cancelled";
        case app::ScanOutcome::DefinitionsMissing:
            return "definitions_missing";
        case app::ScanOutcome::NothingChosen:
            return "nothing_chosen";
    }
    return "not_run";
}

/// True when the run's phases ran (to their end or to a stop).
bool phasesRan(app::ScanOutcome outcome) {
    return outcome == app::ScanOutcome::Completed || outcome == app::ScanOutcome::Cancelled;
}

nlohmann::json scanJson(app::MainState& state, const std::string& mode) {
    const app::ScanOutcome outcome = state.scanRun().lastOutcome();
    nlohmann::json j;
    j["mode"] = mode;
    j["outcome"] = std::string(outcomeName(outcome));
    j["ran"] = phasesRan(outcome);
    if (!phasesRan(outcome)) {
        // A refused scan has no result, not an empty one.
        return j;
    }
    j["cancelled"] = outcome == app::ScanOutcome::Cancelled;
    j["started"] = state.scanStartTime();
    j["finished"] = state.scanFinishTime();
    const scan::ScanCounters& c = state.counters();
    j["counters"] = {{"processes", c.processes},
                     {"registry", c.registry},
                     {"files_folders", c.filesFolders},
                     {"threats", c.threats},
                     {"traces", state.tracesFound()}};
    nlohmann::json feed = nlohmann::json::array();
    for (const scan::FeedRow& row : state.lvwSpywareFound()) {
        feed.push_back({{"text", row.text}, {"icon", row.icon}, {"details", row.details}});
    }
    j["feed"] = std::move(feed);
    nlohmann::json results = nlohmann::json::array();
    for (const scan::FoundItem& row : state.ResultList()) {
        results.push_back({{"title", row.title},
                           {"icon", row.icon},
                           {"location", row.location},
                           {"type", row.type},
                           {"risk", row.risk},
                           {"details", row.details}});
    }
    j["results"] = std::move(results);
    return j;
}

void printSummary(app::MainState& state) {
    const scan::ScanCounters& c = state.counters();
    // The texts of the scan and results pages, in the chosen language.
    const auto caption = [&state](std::string_view key) {
        return app::WindowCaption(state.languages(), key);
    };
    const std::string modeKey =
        "FrmMain_optScan" + std::to_string(static_cast<int>(state.optScan()));
    std::cout << state.productName() << " - " << caption(modeKey) << ": " << state.scanStartTime()
              << " - " << state.scanFinishTime() << '\n';
    std::cout << caption("FrmMain_lblMemoryInspectedCaption") << ": " << c.processes << "   "
              << caption("FrmMain_lblRegistryInspectedCaption") << ": " << c.registry << "   "
              << caption("FrmMain_lblFilesFolderInspectedCaption") << ": " << c.filesFolders
              << '\n';
    std::cout << caption("FrmMain_lblSoftwareFoundCaption") << ": " << c.threats << "   "
              << caption("FrmMain_lbltracesFoundCaption") << " " << state.tracesFound() << '\n';
    if (!state.ResultList().empty()) {
        const std::string list = "FrmMain_lvwPicRemoveListOfSpywareFoundAndToBeRemoved_COL";
        std::cout << '\n' << state.msg("MSG_RESULTS") << '\n';
        for (const scan::FoundItem& row : state.ResultList()) {
            std::cout << "  " << row.title << '\n'
                      << "      " << caption(list + "2") << ": " << row.location << '\n';
            if (!row.type.empty()) {
                std::cout << "      " << caption(list + "3") << ": " << row.type << '\n';
            }
            std::cout << "      " << caption(list + "4") << ": " << row.risk << " - " << row.details
                      << '\n';
        }
    }
    bool headed = false;
    for (const scan::FeedRow& row : state.lvwSpywareFound()) {
        // Threats are listed above; the feed adds what is not a result.
        if (row.text != "EXCLUDED" && row.text != "Running Application" &&
            row.text != "Running Process") {
            continue;
        }
        if (!headed) {
            std::cout << "\nAlso seen:\n";
            headed = true;
        }
        std::cout << "  " << row.text << ": " << row.details << '\n';
    }
    const bool cancelled = state.scanRun().lastOutcome() == app::ScanOutcome::Cancelled;
    std::cout << '\n' << state.msg(cancelled ? "MSG_SCAN_CANCELLED" : "MSG_SCAN_COMPLETED") << '\n';
}

/// Checks every result and removes them without questions, as a scheduled scan with
/// automatic removal does, then writes the report again so that it also shows the
/// quarantine log.
const app::RemovalSummary& removeEverything(app::MainState& state) {
    const std::vector<scan::FoundItem> found = state.ResultList().rows();
    state.setAutoRemoveAfterScan(true);
    state.resultActions().cmdSelectAll_Click();
    state.removal().RepairNow();
    if (state.settings().ReadInt(settings::keys::kOptionAndSettings, settings::keys::kMakeLog, 1) ==
        1) {
        state.MakeReport(found);
    }
    return state.removal().lastSummary();
}

nlohmann::json removalJson(app::MainState& state, const app::RemovalSummary& summary) {
    nlohmann::json problems = nlohmann::json::array();
    for (const app::ProblemRow& row : state.removal().problems().rows()) {
        problems.push_back(
            {{"location", row.location}, {"reason", std::string(app::problemName(row.reason))}});
    }
    nlohmann::json removed = nlohmann::json::array();
    for (const std::string& location : summary.removed) {
        removed.push_back(location);
    }
    return {{"removed", std::move(removed)},
            {"problems", std::move(problems)},
            {"removed_total", summary.removedTotal}};
}

void printRemoval(app::MainState& state, const app::RemovalSummary& summary) {
    if (summary.outcome == app::RemovalOutcome::NotRun) {
        std::cout << "\nNothing to remove.\n";
        return;
    }
    std::cout << "\nRemoved " << summary.removed.size() << " item(s) into the quarantine "
              << state.dataFolder() << "\\quarantine\n";
    for (const std::string& location : summary.removed) {
        std::cout << "  " << location << '\n';
    }
    const auto& problems = state.removal().problems().rows();
    if (!problems.empty()) {
        std::cout << "Not removed:\n";
        for (const app::ProblemRow& row : problems) {
            std::cout << "  " << row.location << " (" << app::problemName(row.reason) << ")\n";
        }
    }
}

void runScan(CliEnv& env, const std::string& modeName, const std::string& path, bool json,
             bool remove) {
    platform::Platform* p = env.platform();
    if (!p) {
        return;
    }
    const app::ScanMode mode = kModes.at(modeName);
    std::optional<std::string> chosen;
    if (mode == app::ScanMode::File || mode == app::ScanMode::Folder) {
        if (path.empty()) {
            env.fail("--path is required with --mode " + modeName);
            return;
        }
        std::string windows = toWindowsPath(*p->fileSystem, path);
        if (windows.empty()) {
            env.fail("no drive of the machine holds " + path);
            return;
        }
        if (!p->fileSystem->exists(windows)) {
            env.fail("no such file or folder: " + windows);
            return;
        }
        chosen = std::move(windows);
    }

    CliUserInterface ui(chosen, !json && StderrIsTerminal());
    app::MainStateOptions options;
    options.programFolder = env.programFolder();
    options.definitionServer = env.serverUrl;
    app::MainState state(*p, ui, std::move(options));
    ui.setStopHandler([&state] { state.setScanStopRequested(true); });

    state.PrepareForRuns();
    state.setOptScan(mode);
    if (mode == app::ScanMode::FullSystem) {
        // Asking for a full scan here is the command line's way of choosing "Complete
        // System Scan": the run then stamps the last complete scan.
        state.selectScanScope(app::ScanScope::CompleteSystem);
    }

    ui.catchInterrupt();
    state.scanRun().cmdScanNow_Click();
    ui.releaseInterrupt();
    ui.clearProgress();

    const app::ScanOutcome outcome = state.scanRun().lastOutcome();
    // The results are listed before the removal prunes them.
    nlohmann::json result = json ? scanJson(state, modeName) : nlohmann::json();
    if (!json && phasesRan(outcome)) {
        printSummary(state);
    }
    const bool found = state.counters().threats > 0 || !state.ResultList().empty();
    bool removalFailed = false;
    if (remove && outcome == app::ScanOutcome::Completed) {
        const app::RemovalSummary& summary = removeEverything(state);
        removalFailed = summary.outcome == app::RemovalOutcome::SomeLeft;
        if (json) {
            result["removal"] = removalJson(state, summary);
        } else {
            printRemoval(state, summary);
        }
    }
    if (json) {
        std::cout << jsonText(result) << '\n';
    }

    switch (outcome) {
        case app::ScanOutcome::Cancelled:
            // Only Ctrl+C stops a scan here.
            env.exitCode = exitcode::Interrupted;
            break;
        case app::ScanOutcome::Completed:
            // Something left behind outweighs what was found.
            env.exitCode = removalFailed ? exitcode::Error : found ? exitcode::Found : exitcode::Ok;
            break;
        case app::ScanOutcome::NoRunYet:
        case app::ScanOutcome::DefinitionsMissing:
        case app::ScanOutcome::NothingChosen:
            // The reason is on stderr already (the message box).
            env.exitCode = exitcode::Error;
            break;
    }
}

/// The exclusion list of the machine's data folder, which is created when missing.
struct ExclusionAccess {
    definitions::PlaceholderExpander expander;
    std::string dataFolder;
    removal::ExclusionList list;
    explicit ExclusionAccess(platform::Platform& p)
        : expander(*p.shellFolders),
          dataFolder(definitions::DataFolder(expander)),
          list(*p.fileSystem, dataFolder) {}
};

}  // namespace

void addScanCommands(CLI::App& app, CliEnv& env) {
    auto* scanCmd = app.add_subcommand("scan", "Run one scan and list what it found");
    static std::string mode = "smart";
    static std::string path;
    static bool json = false;
    scanCmd
        ->add_option("--mode", mode,
                     "smart (cookies, memory, registry, known files and folders), full (every "
                     "checked drive, memory, registry), file or folder")
        ->check(CLI::IsMember({"smart", "full", "file", "folder"}));
    scanCmd->add_option("--path", path,
                        "The file or folder of a file or folder scan (Windows path, or a host "
                        "path under a drive of the machine)");
    scanCmd->add_flag("--json", json, "Print one JSON object");
    static bool remove = false;
    scanCmd->add_flag("--remove", remove,
                      "After a completed scan, remove every result without questions (each "
                      "file and folder is kept in the quarantine, each registry entry in a "
                      ".reg backup)");
    scanCmd->footer(
        "Exit status: 0 nothing found, 1 threats found, 2 the scan did not run (missing "
        "definitions, bad arguments) or something could not be removed, 130 stopped with "
        "Ctrl+C. The JSON's \"ran\" and \"outcome\" say whether and how the scan ran; with "
        "--remove, \"removal\" says what was removed and what was not, and why.");
    scanCmd->callback([&env]() { runScan(env, mode, path, json, remove); });

    auto* excl = app.add_subcommand("exclusions", "Show or extend the exclusion list");
    excl->require_subcommand(1);
    auto* list = excl->add_subcommand("list", "Print the excluded entries, one a line");
    static bool listJson = false;
    list->add_flag("--json", listJson, "Print one JSON array");
    list->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        ExclusionAccess access(*p);
        access.list.LoadExclusions();
        nlohmann::json j = nlohmann::json::array();
        for (const std::string& part : access.list.entries()) {
            if (listJson) {
                j.push_back(part);
            } else {
                std::cout << part << '\n';
            }
        }
        if (listJson) {
            std::cout << jsonText(j) << '\n';
        }
    });

    auto* add = excl->add_subcommand("add", "Exclude a path, file name or result text");
    static std::string entry;
    add->add_option("TEXT", entry, "The entry to exclude")->required();
    add->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        const std::string& text = entry;
        if (text::trim(text).empty()) {
            env.fail("an empty entry excludes nothing");
            return;
        }
        ExclusionAccess access(*p);
        if (!p->fileSystem->folderExists(access.dataFolder) &&
            !p->fileSystem->createFolder(access.dataFolder)) {
            env.fail("cannot create the data folder " + access.dataFolder);
            return;
        }
        access.list.LoadExclusions();
        switch (access.list.AddExclusion(text)) {
            case removal::ExclusionList::AddResult::Added:
                break;
            case removal::ExclusionList::AddResult::Refused:
                env.fail("an entry must be one line of text");
                break;
            case removal::ExclusionList::AddResult::NotWritten:
                env.fail("cannot write " + access.list.filePath());
                break;
        }
    });
}

}  // namespace nightjar::cli
