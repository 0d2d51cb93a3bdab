#include "app/ScanRun.h"

#include <cmath>
#include <optional>

#include "app/MainState.h"
#include "app/RemovalRun.h"
#include "app/ResultActions.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/SignatureStore.h"
#include "definitions/ThreatCatalog.h"
#include "platform/Platform.h"
#include "scan/CookieScan.h"
#include "scan/DriveList.h"
#include "scan/FileWalker.h"
#include "scan/KnownLocationScan.h"
#include "scan/MemoryScan.h"
#include "scan/RegistryScan.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/DefinitionIntegrity.h"

namespace nightjar::app {

namespace keys = settings::keys;

namespace {

constexpr std::string_view kScanComplete = "Scan Complete";

// Buttons that start other work; disabled for the length of a run.
constexpr ControlName kRunLockedButtons[] = {control::cmdScanNow, control::cmdScan, control::cmdLog,
                                             control::cmdUpdate, control::cmdStatus};

// Labels set to "0" when a run starts.
constexpr ControlName kZeroedLabels[] = {
    control::lblMemoryInspected,        control::lblRegistryInspected,
    control::lblFilesFolderInspected,   control::lblSoftwareFound,
    control::lblRemovePicSoftwareFound, control::lbltracesFound,
    control::lblPercentageCompleted,    control::lblStatus};

}  // namespace

ScanRun::ScanRun(MainState& state) : state_(state) {}

void ScanRun::cmdScanNow_Click() {
    ControlStateTracker& ui = state_.ui();
    // The run state stays `Scanning` until the report is written: nothing may start a run
    // that clears the lists the report still reads.
    const RunStateScope running = state_.enterRunState(RunState::Scanning);

    state_.tmrScroll().setEnabled(false);
    ui.setVisible(control::frmQuarantine, false);
    ui.setVisible(control::cmdRemove, false);
    ui.setEnabled(control::cmdResults, false);
    ui.setEnabled(control::cmdSettings, false);
    // The phases yield to the message loop: no shield, scheduler or time-out work may start
    // in between.
    state_.ApplyBackgroundTimers(false);
    state_.tmrTimeOut().setEnabled(false);
    setRunButtons(true);

    for (ControlName label : kZeroedLabels) {
        ui.setStatusText(label, "0");
    }
    state_.counters() = scan::ScanCounters{};
    state_.resetTraces();
    state_.lvwSpywareFound().clear();
    state_.ResultList().clear();
    state_.lvwFilesToBeDeleted().clear();
    state_.lvwRegistryToBeDeleted().clear();
    state_.lvwCookiesToDelete().clear();
    state_.lvwFileNotFounds().clear();
    state_.setScanStopRequested(false);
    state_.setScanStartTime(state_.Now());
    outcome_ = ScanOutcome::Completed;

    // Safety.dat may have changed since the last run (an update), so it is read afresh.
    state_.signatures().LoadSafetyEntries(state_);

    runSelectedMode();
    if (outcome_ == ScanOutcome::Completed && state_.ScanStopRequested()) {
        outcome_ = ScanOutcome::Cancelled;
    }

    // Every run that ended is stamped, the refused and the cancelled ones too.
    state_.setScanFinishTime(state_.Now());
    settings::SettingsStore& settings = state_.settings();
    settings.Write(keys::kSettings, keys::kLastScan, state_.scanFinishTime());
    if (state_.scanScope() == ScanScope::CompleteSystem) {
        settings.Write(keys::kSettings, keys::kLastFullScan, state_.scanFinishTime());
    }

    std::optional<std::vector<scan::FoundItem>> found;
    ui.setVisible(control::cmdRemove, true);
    ui.setEnabled(control::cmdRemove, true);
    ui.setEnabled(control::cmdResults, true);
    ui.setEnabled(control::cmdSettings, true);
    ui.setVisible(control::shpPhaseMarker, false);

    if (outcome_ == ScanOutcome::Cancelled) {
        ui.setStatusText(control::lblStatus, state_.msg("MSG_SCAN_CANCELLED"));
        ui.setStatusText(control::lblPercentageCompleted, "0% " + state_.msg("MSG_COMPLETED"));
        ui.setProgress(control::pbgMain, 0);
    } else {
        // A run that ran no phase ends as an empty run, not as a cancelled one.
        ui.setStatusText(control::lblStatus, state_.msg("MSG_SCAN_COMPLETED"));
        ui.setProgress(control::pb1, 100);
        ui.setProgress(control::pb2, 100);
        if (outcome_ == ScanOutcome::Completed && state_.AutoRemoveAfterScan()) {
            // The removal prunes what it removed; the report still lists what was found.
            AssignRiskToResults();
            found = state_.ResultList().rows();
            ui.showPage(control::frmResults);
            state_.resultActions().cmdSelectAll_Click();
            state_.removal().RepairNow();
        }
    }

    setRunButtons(false);
    state_.ApplyBackgroundTimers(true);
    state_.tmrTimeOut().setEnabled(true);

    state_.RefreshStatusPanel();
    state_.RefreshScanCounters();
    AssignRiskToResults();
    // The report needs risk and details, so it comes after the risk pass; a cancelled run
    // is reported too.
    if (settings.ReadInt(keys::kOptionAndSettings, keys::kMakeLog, 1) == 1) {
        state_.MakeReport(found ? *found : state_.ResultList().rows());
    }
}

void ScanRun::runSelectedMode() {
    ControlStateTracker& ui = state_.ui();
    switch (state_.optScan()) {
        case ScanMode::Smart:
            RunSmartScan();
            break;
        case ScanMode::FullSystem:
            LoadFileSignatures();
            RunFullSystemScan();
            break;
        case ScanMode::File: {
            std::optional<std::string> file = ui.chooseFile();
            if (!file || file->empty()) {
                outcome_ = ScanOutcome::NothingChosen;
                break;
            }
            LoadFileSignatures();
            RunFileScan(*file);
            break;
        }
        case ScanMode::Folder: {
            std::optional<std::string> folder = ui.chooseFolder();
            if (!folder || folder->empty()) {
                outcome_ = ScanOutcome::NothingChosen;
                break;
            }
            std::string path = *folder;
            if (path.back() != '\\') {
                path.push_back('\\');
            }
            LoadFileSignatures();
            RunFolderScan(path);
            break;
        }
    }
}

void ScanRun::setRunButtons(bool running) {
    ControlStateTracker& ui = state_.ui();
    for (ControlName button : kRunLockedButtons) {
        ui.setEnabled(button, !running);
    }
    ui.setEnabled(control::cmdStop, running);
    ui.setEnabled(control::cmdPause, running);
}

void ScanRun::lblStart_Click() {
    if (state_.runState() != RunState::Idle) {
        return;
    }
    state_.ui().showPage(control::frmScan);
    cmdScanNow_Click();
}

void ScanRun::StartMode(int modeIndex) {
    if (modeIndex < 0 || modeIndex > 3 || state_.runState() != RunState::Idle) {
        return;
    }
    state_.ui().showPage(control::frmScan);
    state_.setOptScan(static_cast<ScanMode>(modeIndex));
    cmdScanNow_Click();
}

// ---- Mode routines -------------------------------------------------------------------------

void ScanRun::RunSmartScan() {
    if (!CheckDefinitions()) {
        return;
    }
    ResetBars();
    settings::SettingsStore& settings = state_.settings();
    if (settings.ReadInt(keys::kOptionAndSettings, keys::kScanCookies, 1) == 1) {
        EnterPhase("MSG_COOKIES");
        int cookieFiles = 0;
        state_.cookieScan().ScanCookies(state_, cookieFiles);
        state_.ui().setProgress(control::pb1, 100);
        state_.ui().setStatusText(control::lblStatus, state_.msg("MSG_COOKIES_FINISHED"));
    }
    MemoryPhase();
    RegistryPhase(-1);
    EnterPhase("MSG_SPYWARE");
    state_.knownLocationScan().ScanKnownFiles(state_);
    state_.knownLocationScan().ScanKnownFolders(state_);
    state_.UpdateScanProgress(kScanComplete, 100, 100);
}

void ScanRun::RunFullSystemScan() {
    if (!CheckDefinitions()) {
        return;
    }
    ResetBars();
    state_.ui().setStatusText(control::lblPercentageCompleted, "Scanning your Hard Disk...");
    for (const scan::DriveRow& row : state_.drives().rows()) {
        if (state_.ScanStopRequested()) {
            return;
        }
        // Only the drives the user left checked on the options page are walked.
        if (!row.checked) {
            continue;
        }
        state_.ui().setProgress(control::pbgMain, 0);
        state_.fileWalker().ScanDrive(std::string(1, row.letter) + ":\\", state_);
        state_.pump();
    }
    MemoryPhase();
    const definitions::DefinitionCounts& counts = state_.signatures().counts();
    int overall = -1;
    if (counts.total > 0) {
        overall = static_cast<int>(std::lround(static_cast<double>(counts.cookies) /
                                               static_cast<double>(counts.total) * 100.0));
    }
    RegistryPhase(overall);
    state_.UpdateScanProgress(kScanComplete, 100, 100);
}

void ScanRun::RunFileScan(std::string_view file) {
    if (!CheckDefinitions()) {
        return;
    }
    ResetBars();
    state_.ui().setStatusText(control::lblPercentageCompleted,
                              "Scanning " + std::string(file) + "...");
    state_.fileWalker().ScanSingleFile(file, state_);
    state_.UpdateScanProgress(kScanComplete, 100, 100);
}

void ScanRun::RunFolderScan(std::string_view folder) {
    if (!CheckDefinitions()) {
        return;
    }
    ResetBars();
    state_.ui().setStatusText(control::lblPercentageCompleted,
                              "Scanning " + std::string(folder) + "...");
    if (!state_.ScanStopRequested()) {
        state_.fileWalker().ScanFolderTree(folder, state_);
    }
    state_.UpdateScanProgress(kScanComplete, 100, 100);
}

// ---- Pause and stop ------------------------------------------------------------------------

void ScanRun::cmdPause_Click() {
    pause();
}

void ScanRun::lblPause_Click() {
    pause();
}

void ScanRun::cmdStop_Click() {
    stop("MSG_STOP");
}

void ScanRun::lblStop_Click() {
    stop("MSG_SURE");
}

void ScanRun::pause() {
    ControlStateTracker& ui = state_.ui();
    const RunStateScope paused = state_.enterRunState(RunState::Paused);
    ui.setEnabled(control::cmdPause, false);
    ui.setEnabled(control::cmdStop, false);
    ui.messageBox(state_.msg("MSG_PAUSED"), state_.productName(), MsgButtons::Ok,
                  MsgIcon::Information);
    ui.setEnabled(control::cmdPause, true);
    ui.setEnabled(control::cmdStop, true);
}

void ScanRun::stop(std::string_view messageKey) {
    ControlStateTracker& ui = state_.ui();
    if (ui.messageBox(state_.msg(messageKey), state_.productName(), MsgButtons::YesNo,
                      MsgIcon::Question) == MsgAnswer::Yes) {
        ui.resetPointer();
        state_.setScanStopRequested(true);
    }
}

// ---- Helpers -------------------------------------------------------------------------------

void ScanRun::AssignRiskToResults() {
    state_.ResultList().editAll(
        [](scan::FoundItem& item) { definitions::AssignRisk(item.type, item.risk, item.details); });
}

bool ScanRun::CheckDefinitions() {
    const bool complete = state_.integrity().CheckDefinitionFiles([this] {
        state_.ui().setStatusText(control::lblDefVersion, state_.msg("MSG_MISSINGFILES"));
    });
    if (!complete) {
        outcome_ = ScanOutcome::DefinitionsMissing;
        state_.ui().messageBox(state_.msg("MSG_MISSING"), state_.productName(), MsgButtons::Ok,
                               MsgIcon::Information);
    }
    return complete;
}

bool ScanRun::DefinitionSetComplete() {
    platform::FileSystem& fs = *state_.platform().fileSystem;
    for (std::string_view name : definitions::kGuardedFiles) {
        if (!update::DefinitionIntegrity::NormalFileExists(
                fs, definitions::DataFile(state_.dataFolder(), name))) {
            return false;
        }
    }
    return true;
}

void ScanRun::LoadFileSignatures() {
    // The file and folder tables are filled once per program run. Filling them from an
    // incomplete set would leave them empty for good, and the check that follows is about
    // to refuse the scan anyway; the next complete set fills them.
    if (DefinitionSetComplete()) {
        state_.signatures().LoadFileSignatures(state_);
    }
}

void ScanRun::ResetBars() {
    ControlStateTracker& ui = state_.ui();
    ui.setProgress(control::pb1, 0);
    ui.setProgress(control::pb2, 0);
    ui.setProgress(control::pbgMain, 0);
    ui.setVisible(control::pbgMain, false);
}

void ScanRun::EnterPhase(std::string_view messageKey) {
    const std::string text = state_.msg(messageKey);
    state_.ui().setStatusText(control::lblPercentageCompleted, text);
    state_.setScanStatusPrefix(text + ": ");
}

void ScanRun::MemoryPhase() {
    if (state_.settings().ReadBool(keys::kOptionAndSettings, keys::kSweepMemory, true)) {
        EnterPhase("MSG_MEMORY");
        state_.memoryScan().CheckMemory(state_);
    } else {
        state_.ui().setStatusText(control::lblMemoryInspected, state_.msg("MSG_NOTSELECED"));
    }
}

void ScanRun::RegistryPhase(int overall) {
    EnterPhase("MSG_REGISTRY");
    state_.ui().setProgress(control::pb1, 0);
    if (overall >= 0) {
        state_.ui().setProgress(control::pb2, overall);
    }
    if (state_.settings().ReadBool(keys::kOptionAndSettings, keys::kScanRegistry, true)) {
        state_.registryScan().ScanRegistry(state_);
    } else {
        state_.ui().setStatusText(control::lblRegistryInspected, state_.msg("MSG_NOTSELECED"));
    }
}

}  // namespace nightjar::app
