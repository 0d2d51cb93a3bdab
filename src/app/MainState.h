#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/ControlNames.h"
#include "app/ControlStateTracker.h"
#include "app/RowModel.h"
#include "app/RunState.h"
#include "app/RunStateScope.h"
#include "app/Timer.h"
#include "app/UserInterface.h"
#include "definitions/LoadObserver.h"
#include "localization/ProductIdentity.h"
#include "scan/ScanRows.h"
#include "scan/ScanSink.h"

namespace nightjar::platform {
struct Platform;
}
namespace nightjar::definitions {
class PlaceholderExpander;
class SignatureStore;
}  // namespace nightjar::definitions
namespace nightjar::removal {
class ExclusionList;
class ProcessControl;
class QuarantineStore;
}  // namespace nightjar::removal
namespace nightjar::settings {
class SettingsStore;
}
namespace nightjar::localization {
class Languages;
class MessageCatalog;
}  // namespace nightjar::localization
namespace nightjar::scan {
class CompanyNameReader;
class CookieScan;
class DriveList;
class FileWalker;
class KnownLocationScan;
class MemoryScan;
class RegistryAccess;
class RegistryScan;
}  // namespace nightjar::scan
namespace nightjar::update {
class DefinitionIntegrity;
class ServerConfig;
}  // namespace nightjar::update

namespace nightjar::app {

class CommunitySubmission;
class ExclusionCommands;
class ProtectionController;
class RemovalRun;
class ResultActions;
class ScanRun;
class UpdateController;

/// The four scan modes of the `optScan` option group, by index.
enum class ScanMode : int { Smart = 0, FullSystem = 1, File = 2, Folder = 3 };

/// The options page's choice between "Quick Scan" and "Complete System Scan". It does not
/// choose the mode; it decides whether a finished run also counts as a complete scan.
enum class ScanScope { Quick, CompleteSystem };

struct MainStateOptions {
    /// The program folder (Windows form): Help.chm and Localization.txt live there.
    std::string programFolder;
    /// Base URL of the definition server overriding the configured one ("" = none).
    std::string definitionServer;
};

/// The main window's run-time state: the signature tables, the exclusion list, the
/// settings and message catalog, the drive list, the scan feed, the result list and the
/// hidden removal work lists, the scan counters and flags, and the background timers.
/// Every window binds to it and every scan, update and removal runs through it, so the
/// GUI, the CLI and the tests share one code path. It is the sink the scan phases report
/// to.
class MainState : public scan::ScanSink, public definitions::LoadObserver {
  public:
    MainState(platform::Platform& platform, UserInterface& ui, MainStateOptions options);
    ~MainState() override;
    MainState(const MainState&) = delete;
    MainState& operator=(const MainState&) = delete;

    // ---- Start-up ------------------------------------------------------------------------
    /// The state part of the main window's start-up, in order: companion record, the steps
    /// of `PrepareForRuns`, status panel, home page, run state ("STATUS" = "RUNNING",
    /// "RESTART" = "False"), timers armed from the options, the stored schedule shown,
    /// `tmrScroll` off, automatic update armed. The data folder and the message catalog, in
    /// the stored language, are ready from construction on.
    void Startup();
    /// The start-up steps every front end makes before its first run: staged definitions
    /// and counts, the exclusion list, the drive list with its stored check marks, and
    /// "Quick Scan" selected, as at every start.
    void PrepareForRuns();
    /// Reads the companion's record (its name becomes the visible caption of `cmdHijack`)
    /// and records this program.
    void WriteCompanionRecord();
    /// Puts staged definition files in place and counts the definitions.
    void PrepareDefinitions();
    /// Fills `lvwHardDrives` and checks every row as its "Drives" setting says.
    void FillDrives();
    /// The home page: definition count, version, definitions date, removed total, last
    /// scan and last full scan.
    void RefreshStatusPanel();

    // ---- Subsystems ----------------------------------------------------------------------
    platform::Platform& platform() { return platform_; }
    /// The user interface, with the state of every control it was given.
    ControlStateTracker& ui() { return ui_; }
    const localization::ProductIdentity& identity() const { return identity_; }
    const std::string& productName() const { return identity_.productName; }
    const std::string& programFolder() const { return options_.programFolder; }
    /// `DataFolder`: "[appdata]ZuvoDivavarIVA" expanded, without a trailing backslash.
    const std::string& dataFolder() const { return dataFolder_; }
    definitions::PlaceholderExpander& expander() { return *expander_; }
    definitions::SignatureStore& signatures() { return *signatures_; }
    removal::ExclusionList& exclusions() { return *exclusions_; }
    removal::ProcessControl& processControl() { return *processControl_; }
    /// The quarantine folder with its log, backups and index.
    removal::QuarantineStore& quarantine() { return *quarantine_; }
    settings::SettingsStore& settings() { return *settings_; }
    const settings::SettingsStore& settings() const { return *settings_; }
    localization::MessageCatalog& messages() { return *messages_; }
    /// The language object over `messages()`; the catalog is in the stored language from
    /// construction on.
    localization::Languages& languages() { return *languages_; }
    /// The catalog text of a MSG_ key, placeholders filled.
    std::string msg(std::string_view key) const override;
    scan::DriveList& drives() { return *drives_; }
    update::DefinitionIntegrity& integrity() { return *integrity_; }
    update::ServerConfig& servers() { return *servers_; }
    UpdateController& updates() { return *updates_; }

    scan::CompanyNameReader& companyNames() { return *company_; }
    scan::RegistryAccess& registryAccess() { return *registryAccess_; }
    scan::CookieScan& cookieScan() { return *cookieScan_; }
    /// Shared by the scan and the memory shield (they share the process fingerprint).
    scan::MemoryScan& memoryScan() { return *memoryScan_; }
    scan::RegistryScan& registryScan() { return *registryScan_; }
    scan::KnownLocationScan& knownLocationScan() { return *knownScan_; }
    scan::FileWalker& fileWalker() { return *fileWalker_; }

    /// The scan run with its mode routines, pause and stop.
    ScanRun& scanRun() { return *scanRun_; }
    /// Select All, Browse, sort, double-click and check synchronisation on the results.
    ResultActions& resultActions() { return *resultActions_; }
    /// "Exclude" and the quarantine menu.
    ExclusionCommands& exclusionCommands() { return *exclusionCommands_; }
    /// "Repair Now" and the removal of the checked results.
    RemovalRun& removal() { return *removal_; }
    /// The memory and home-page shields, the scheduler and their option handlers.
    ProtectionController& protection() { return *protection_; }
    /// The anonymous data, "Submit", "False positive" and the `chkSendData` box.
    CommunitySubmission& community() { return *community_; }

    // ---- Pages ---------------------------------------------------------------------------
    /// "Results/Removal" (also reached through "Continue to Overview"): shows the results
    /// page; with an empty result list the anonymous data goes out (when allowed).
    void cmdResults_Click();

    // ---- Lists ---------------------------------------------------------------------------
    /// The scan feed `lvwSpywareFound` ("Name", "Details").
    RowModel<scan::FeedRow>& lvwSpywareFound() { return feed_; }
    /// The ResultList `lvwPicRemoveListOfSpywareFoundAndToBeRemoved`.
    RowModel<scan::FoundItem>& ResultList() { return results_; }
    RowModel<scan::FileWorkRow>& lvwFilesToBeDeleted() { return filesToDelete_; }
    RowModel<scan::RegistryWorkRow>& lvwRegistryToBeDeleted() { return registryToDelete_; }
    RowModel<scan::PathWorkRow>& lvwCookiesToDelete() { return cookiesToDelete_; }
    RowModel<scan::PathWorkRow>& lvwFileNotFounds() { return fileNotFounds_; }

    // ---- Run state -----------------------------------------------------------------------
    /// What the program is busy with; an update in progress reads as `Updating`.
    RunState runState() const;
    /// Sets the run state for the lifetime of the returned scope.
    [[nodiscard]] RunStateScope enterRunState(RunState state) { return {runState_, state}; }
    bool ScanStopRequested() const { return stop_; }
    void setScanStopRequested(bool on) { stop_ = on; }
    /// Set by the scheduler before it starts a scan; a finished run then checks and
    /// removes every result without asking.
    bool AutoRemoveAfterScan() const { return autoRemove_; }
    void setAutoRemoveAfterScan(bool on) { autoRemove_ = on; }
    const std::string& ScanStatusPrefix() const { return statusPrefix_; }
    void setScanStatusPrefix(std::string prefix) { statusPrefix_ = std::move(prefix); }
    const std::string& scanStartTime() const { return startTime_; }
    const std::string& scanFinishTime() const { return finishTime_; }
    void setScanStartTime(std::string t) { startTime_ = std::move(t); }
    void setScanFinishTime(std::string t) { finishTime_ = std::move(t); }
    /// The number shown in `lbltracesFound`.
    std::int32_t tracesFound() const { return traces_; }
    void resetTraces();
    /// The `optScan` option selected on the scan page (Smart Scan at start; not stored).
    ScanMode optScan() const { return mode_; }
    void setOptScan(ScanMode mode) { mode_ = mode; }
    /// "Quick Scan" or "Complete System Scan" as selected on the options page.
    ScanScope scanScope() const { return scope_; }
    /// The handler of both option buttons: selects, stores both keys as "True"/"False",
    /// and shows the drive list for a complete scan only.
    void selectScanScope(ScanScope scope);
    /// The current date and time in the general date form.
    std::string Now() const;

    // ---- Timers --------------------------------------------------------------------------
    Timer& tmrScheduler() { return tmrScheduler_; }
    Timer& tmrMemoryInspected() { return tmrMemoryInspected_; }
    Timer& tmrCheckHomePage() { return tmrCheckHomePage_; }
    Timer& tmrScroll() { return tmrScroll_; }
    Timer& tmrTimeOut() { return tmrTimeOut_; }
    Timer& timUpdate();
    /// Every timer of the main window, for a front end to bind to its clock.
    std::array<Timer*, 6> mainWindowTimers() {
        return {&tmrScroll(),          &tmrScheduler(), &tmrCheckHomePage(),
                &tmrMemoryInspected(), &tmrTimeOut(),   &timUpdate()};
    }
    /// True: the scheduler, home-page and memory shield timers are armed as the stored
    /// options say; false: all three are stopped. The time-out timer is left alone.
    void ApplyBackgroundTimers(bool on);

    // ---- Report --------------------------------------------------------------------------
    /// Writes the scan report "Scan_Log.txt" of the last run listing `found` (the result
    /// list as the scan left it); false when it could not be written.
    bool MakeReport(const std::vector<scan::FoundItem>& found);

    // ---- Progress ------------------------------------------------------------------------
    /// Writes the four visible counters (and the threats number of the results page) to
    /// their labels and resets the refresh throttle.
    void RefreshScanCounters();

    // ---- scan::ScanSink ------------------------------------------------------------------
    scan::ScanCounters& counters() override { return counters_; }
    bool stopRequested() const override { return stop_; }
    void pump() override;
    /// True while a scan runs or is paused.
    bool scanRunning() const override;
    const std::string& statusPrefix() const override { return statusPrefix_; }
    void addFeedRow(scan::FeedRow row) override;
    void addFoundItem(scan::FoundItem item) override;
    void addFileWorkRow(scan::FileWorkRow row) override;
    void addRegistryWorkRow(scan::RegistryWorkRow row) override;
    void addCookieWorkRow(scan::PathWorkRow row) override;
    void addTrace() override;
    void UpdateScanProgress(std::string_view status, int phase, int overall) override;
    void ForceScanProgress(std::string_view status, int phase, int overall) override;
    void setRunningItems(int count) override;

    // ---- definitions::LoadObserver (signature loading inside a run) ------------------------
    void loadingStarted(std::string_view status) override;
    void loadingFinished() override;

  private:
    void writeCounterLabels();
    void showProgress(std::string_view status, int phase, int overall);

    platform::Platform& platform_;
    ControlStateTracker ui_;
    MainStateOptions options_;
    localization::ProductIdentity identity_;

    std::unique_ptr<definitions::PlaceholderExpander> expander_;
    std::string dataFolder_;
    std::unique_ptr<settings::SettingsStore> settings_;
    std::unique_ptr<localization::MessageCatalog> messages_;
    std::unique_ptr<localization::Languages> languages_;
    std::unique_ptr<definitions::SignatureStore> signatures_;
    std::unique_ptr<removal::ExclusionList> exclusions_;
    std::unique_ptr<removal::ProcessControl> processControl_;
    std::unique_ptr<removal::QuarantineStore> quarantine_;
    std::unique_ptr<scan::DriveList> drives_;
    std::unique_ptr<update::DefinitionIntegrity> integrity_;
    std::unique_ptr<update::ServerConfig> servers_;
    std::unique_ptr<scan::CompanyNameReader> company_;
    std::unique_ptr<scan::RegistryAccess> registryAccess_;
    std::unique_ptr<scan::CookieScan> cookieScan_;
    std::unique_ptr<scan::MemoryScan> memoryScan_;
    std::unique_ptr<scan::RegistryScan> registryScan_;
    std::unique_ptr<scan::KnownLocationScan> knownScan_;
    std::unique_ptr<scan::FileWalker> fileWalker_;

    RowModel<scan::FeedRow> feed_;
    RowModel<scan::FoundItem> results_;
    RowModel<scan::FileWorkRow> filesToDelete_;
    RowModel<scan::RegistryWorkRow> registryToDelete_;
    RowModel<scan::PathWorkRow> cookiesToDelete_;
    RowModel<scan::PathWorkRow> fileNotFounds_;

    scan::ScanCounters counters_;
    bool stop_ = false;
    bool autoRemove_ = false;
    std::string statusPrefix_;
    std::string startTime_;
    std::string finishTime_;
    std::int32_t traces_ = 0;
    ScanMode mode_ = ScanMode::Smart;
    ScanScope scope_ = ScanScope::Quick;
    RunState runState_ = RunState::Idle;

    Timer tmrScheduler_{control::tmrScheduler, 10};
    Timer tmrMemoryInspected_{control::tmrMemoryInspected, 2000};
    Timer tmrCheckHomePage_{control::tmrCheckHomePage, 5000};
    Timer tmrScroll_{control::tmrScroll, 200};
    // The time-out timer has no work of its own here; it is stopped and re-enabled around
    // runs like the others.
    Timer tmrTimeOut_{control::tmrTimeOut, 1000};

    std::unique_ptr<UpdateController> updates_;
    std::unique_ptr<ScanRun> scanRun_;
    std::unique_ptr<ResultActions> resultActions_;
    std::unique_ptr<ExclusionCommands> exclusionCommands_;
    std::unique_ptr<RemovalRun> removal_;
    std::unique_ptr<ProtectionController> protection_;
    std::unique_ptr<CommunitySubmission> community_;
};

}  // namespace nightjar::app
