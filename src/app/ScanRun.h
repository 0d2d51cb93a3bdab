#pragma once
#include <string>
#include <string_view>

namespace nightjar::app {

class MainState;

/// How a scan run ended.
enum class ScanOutcome {
    /// No run has ended yet.
    NoRunYet,
    /// Every phase of the mode ran to its end.
    Completed,
    /// A confirmed stop ended the run early.
    Cancelled,
    /// The definition set was incomplete: no phase ran.
    DefinitionsMissing,
    /// The file or folder dialog was cancelled: no phase ran.
    NothingChosen,
};

/// The scan run: the one procedure through which every scan starts, its four mode
/// routines, and pause and stop. It works on the state of the main window.
class ScanRun {
  public:
    explicit ScanRun(MainState& state);

    /// The scan run: resets the counters and lists, runs the selected `optScan` mode,
    /// records how it ended, stamps the last-scan dates (the last complete scan only with
    /// "Complete System Scan" selected), re-arms the timers, fills risk and details of
    /// every result, and writes the report when "Save scan results to log" is on. The run
    /// state is `Scanning` throughout.
    void cmdScanNow_Click();
    /// "Start" of the scheduler and the tray menu: nothing unless the program is idle,
    /// else shows the scan page and runs the selected mode.
    void lblStart_Click();
    /// A scan-mode shortcut button: nothing unless the program is idle, else shows the scan
    /// page, selects the mode and runs it.
    void StartMode(int modeIndex);
    /// How the last run ended.
    ScanOutcome lastOutcome() const { return outcome_; }

    void RunSmartScan();
    /// Walks the drives of `lvwHardDrives` whose box is checked, then the memory and
    /// registry phases.
    void RunFullSystemScan();
    void RunFileScan(std::string_view file);
    /// `folder` ends in "\".
    void RunFolderScan(std::string_view folder);

    /// Pause: a modal box; the run does not advance while it is open.
    void cmdPause_Click();
    void lblPause_Click();
    /// Stop after a Yes to MSG_STOP (`lblStop_Click`: MSG_SURE).
    void cmdStop_Click();
    void lblStop_Click();

    /// The risk pass: risk and details of every result from its type.
    void AssignRiskToResults();

  private:
    void runSelectedMode();
    /// The buttons of a running (true) or an idle program.
    void setRunButtons(bool running);
    /// The check of the definition set before a mode runs; shows MSG_MISSING on failure.
    bool CheckDefinitions();
    /// True when the five guarded definition files are all present (nothing is deleted).
    bool DefinitionSetComplete();
    void LoadFileSignatures();
    void ResetBars();
    /// Percentage label and `ScanStatusPrefix` from a phase message.
    void EnterPhase(std::string_view messageKey);
    void MemoryPhase();
    /// `overall` >= 0 sets `pb2` before the phase starts.
    void RegistryPhase(int overall);
    void pause();
    void stop(std::string_view messageKey);

    MainState& state_;
    ScanOutcome outcome_ = ScanOutcome::NoRunYet;
};

}  // namespace nightjar::app
