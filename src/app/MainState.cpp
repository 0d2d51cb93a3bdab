#include "app/MainState.h"

#include <string>

#include "app/CommunitySubmission.h"
#include "app/ExclusionCommands.h"
#include "app/FilterStatusWords.h"
#include "app/GeneralDate.h"
#include "app/ProtectionController.h"
#include "app/RemovalRun.h"
#include "app/ResultActions.h"
#include "app/ScanRun.h"
#include "app/UpdateController.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "localization/Languages.h"
#include "localization/MessageCatalog.h"
#include "platform/Platform.h"
#include "removal/ExclusionList.h"
#include "removal/ProcessControl.h"
#include "removal/QuarantineStore.h"
#include "report/ScanReport.h"
#include "scan/CompanyNameReader.h"
#include "scan/CookieScan.h"
#include "scan/DriveList.h"
#include "scan/FileWalker.h"
#include "scan/KnownLocationScan.h"
#include "scan/MemoryScan.h"
#include "scan/RegistryAccess.h"
#include "scan/RegistryScan.h"
#include "settings/CompanionRecord.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/DefinitionIntegrity.h"
#include "update/DefinitionsDate.h"
#include "update/ServerConfig.h"

namespace nightjar::app {

namespace keys = settings::keys;

namespace {

constexpr int kRefreshEvery = 25;

/// A whole number with "," between groups of three digits ("12,345").
std::string groupDigits(long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(digits[i]);
        const std::size_t left = n - i - 1;
        if (left > 0 && left % 3 == 0) {
            out.push_back(',');
        }
    }
    return value < 0 ? "-" + out : out;
}

}  // namespace

MainState::MainState(platform::Platform& platform, UserInterface& ui, MainStateOptions options)
    : platform_(platform),
      ui_(ui),
      options_(std::move(options)),
      identity_(localization::ProductIdentity::FromVersionInfo(*platform.versionInfo)) {
    expander_ = std::make_unique<definitions::PlaceholderExpander>(*platform_.shellFolders);
    dataFolder_ = definitions::DataFolder(*expander_);
    settings_ =
        std::make_unique<settings::SettingsStore>(*platform_.registry, identity_.productName);
    messages_ = std::make_unique<localization::MessageCatalog>(identity_);
    messages_->LoadDefaultMessages();

    platform::FileSystem& fs = *platform_.fileSystem;
    // Every text the model shows comes from the catalog, so the stored language applies
    // before anything is shown.
    languages_ = std::make_unique<localization::Languages>(fs, options_.programFolder, *messages_);
    languages_->ChangeLanguage(
        settings_->Read(keys::kSettings, keys::kLanguage, keys::kDefaultLanguage));
    signatures_ = std::make_unique<definitions::SignatureStore>(fs, *expander_, dataFolder_);
    exclusions_ = std::make_unique<removal::ExclusionList>(fs, dataFolder_);
    exclusions_->setPump([this] { pump(); });
    processControl_ = std::make_unique<removal::ProcessControl>(*platform_.processes);
    drives_ = std::make_unique<scan::DriveList>(fs, *settings_);
    integrity_ = std::make_unique<update::DefinitionIntegrity>(fs, dataFolder_);
    servers_ = std::make_unique<update::ServerConfig>(settings_.get());
    if (!options_.definitionServer.empty()) {
        servers_->setDefinitionOverride(options_.definitionServer);
    }

    company_ = std::make_unique<scan::CompanyNameReader>(fs);
    quarantine_ = std::make_unique<removal::QuarantineStore>(fs, *platform_.registry, dataFolder_,
                                                             [this] { return Now(); });
    registryAccess_ =
        std::make_unique<scan::RegistryAccess>(*platform_.registry, quarantine_.get());
    cookieScan_ =
        std::make_unique<scan::CookieScan>(fs, *platform_.shellFolders, *exclusions_, dataFolder_);
    memoryScan_ = std::make_unique<scan::MemoryScan>(*platform_.processes, *processControl_, fs,
                                                     *platform_.shellFolders, *expander_,
                                                     *exclusions_, *company_, dataFolder_);
    registryScan_ = std::make_unique<scan::RegistryScan>(fs, *registryAccess_, *expander_,
                                                         *signatures_, *exclusions_);
    knownScan_ = std::make_unique<scan::KnownLocationScan>(fs, *signatures_, *expander_,
                                                           *exclusions_, *company_);
    fileWalker_ =
        std::make_unique<scan::FileWalker>(fs, *signatures_, *expander_, *exclusions_, *company_);

    updates_ = std::make_unique<UpdateController>(
        fs, *platform_.http, *platform_.signatureVerifier, *platform_.fileLocks, *signatures_,
        *settings_, *messages_, ui_, *servers_,
        [this](bool on) {
            ApplyBackgroundTimers(on);
            tmrTimeOut_.setEnabled(on);
        },
        [this] { return runState() == RunState::Idle; });

    scanRun_ = std::make_unique<ScanRun>(*this);
    resultActions_ = std::make_unique<ResultActions>(*this);
    exclusionCommands_ = std::make_unique<ExclusionCommands>(*this);
    removal_ = std::make_unique<RemovalRun>(*this, *quarantine_);
    protection_ = std::make_unique<ProtectionController>(*this);
    community_ = std::make_unique<CommunitySubmission>(*this);
    removal_->setSendAnonymousData([this] { community_->SendAnonymousData(); });

    // The scroll timer only yields to the message loop; start-up switches it off.
    tmrScroll_.onTick([this] { pump(); });
    tmrScroll_.setEnabled(true);
}

MainState::~MainState() = default;

// ---- Start-up ------------------------------------------------------------------------------

void MainState::Startup() {
    WriteCompanionRecord();
    ApplyBackgroundTimers(false);
    PrepareForRuns();
    RefreshStatusPanel();
    ui_.setStatusText(control::frmStatus, identity_.productName + " Status");
    ui_.showPage(control::frmStatus);
    settings_->Write(keys::kOptionAndSettings, keys::kStatus, keys::kRunning);
    settings_->Write(keys::kOptionAndSettings, keys::kRestart, keys::kFalse);
    ApplyBackgroundTimers(true);
    protection_->scheduler().ShowSchedule();
    tmrScroll_.setEnabled(false);
    updates_->ArmAutomaticUpdate();
}

void MainState::PrepareForRuns() {
    PrepareDefinitions();
    exclusions_->LoadExclusions();
    FillDrives();
    // Whatever was stored, every start begins with "Quick Scan": only a complete scan the
    // user asks for in this session stamps the last complete scan.
    selectScanScope(ScanScope::Quick);
}

void MainState::selectScanScope(ScanScope scope) {
    scope_ = scope;
    const bool complete = scope == ScanScope::CompleteSystem;
    settings_->Write(keys::kOptionAndSettings, keys::kScanAllSelectedHardDrive,
                     complete ? keys::kTrue : keys::kFalse);
    settings_->Write(keys::kOptionAndSettings, keys::kScanOnlyKnownSoftwares,
                     complete ? keys::kFalse : keys::kTrue);
    ui_.setVisible(control::lvwHardDrives, complete);
}

void MainState::WriteCompanionRecord() {
    settings::CompanionRecord record(*settings_, identity_.companyName);
    const settings::CompanionInfo companion = record.ReadCompanion();
    if (!companion.name.empty()) {
        ui_.setStatusText(control::cmdHijack, companion.name);
        ui_.setVisible(control::cmdHijack, true);
    }
    record.WriteOwn(identity_.productName, platform_.versionInfo->executablePath());
}

void MainState::PrepareDefinitions() {
    integrity_->PromoteStagedDefinitions();
    signatures_->CountDefinitions();
}

void MainState::FillDrives() {
    drives_->FillDriveList([this] { pump(); });
    drives_->ApplyStoredChecks();
}

void MainState::RefreshStatusPanel() {
    ui_.setStatusText(control::lblDefCount, groupDigits(signatures_->counts().total));
    const platform::VersionInfoData version = platform_.versionInfo->read();
    ui_.setStatusText(control::lblVersion,
                      std::to_string(version.major) + "." + std::to_string(version.minor));
    update::DefinitionsDate date(*platform_.fileSystem, dataFolder_);
    ui_.setStatusText(control::lblDefVersion, date.ReadDefinitionsDate() + " PST");
    ui_.setStatusText(control::lblDefRemoved,
                      settings_->Read(keys::kSettings, keys::kDefRemoved, "0"));
    ui_.setStatusText(control::lblLastScan,
                      settings_->Read(keys::kSettings, keys::kLastScan, keys::kNever));
    ui_.setStatusText(control::lblLastFullScan,
                      settings_->Read(keys::kSettings, keys::kLastFullScan, keys::kNever));
}

// ---- Pages ---------------------------------------------------------------------------------

void MainState::cmdResults_Click() {
    ui_.showPage(control::frmResults);
    if (results_.empty()) {
        community_->SendAnonymousData();
    }
}

// ---- Run state -----------------------------------------------------------------------------

RunState MainState::runState() const {
    if (updates_->updating()) {
        return RunState::Updating;
    }
    return runState_;
}

std::string MainState::msg(std::string_view key) const {
    return messages_->getMessages(key);
}

void MainState::resetTraces() {
    traces_ = 0;
    ui_.setStatusText(control::lbltracesFound, "0");
}

std::string MainState::Now() const {
    return FormatGeneralDate(platform_.clock->now());
}

Timer& MainState::timUpdate() {
    return updates_->timUpdate();
}

void MainState::ApplyBackgroundTimers(bool on) {
    if (on) {
        tmrScheduler_.setEnabled(
            settings_->ReadInt(keys::kOptionAndSettings, keys::kAutomaticScanYesOrNo, 0) != 0);
        tmrCheckHomePage_.setEnabled(
            settings_->ReadBool(keys::kOptionAndSettings, keys::kHomePageShieldOn, true));
        tmrMemoryInspected_.setEnabled(
            settings_->ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, true));
    } else {
        tmrCheckHomePage_.setEnabled(false);
        tmrMemoryInspected_.setEnabled(false);
        tmrScheduler_.setEnabled(false);
    }
}

bool MainState::MakeReport(const std::vector<scan::FoundItem>& found) {
    const platform::VersionInfoData version = platform_.versionInfo->read();
    report::ScanReportInput input;
    input.productName = identity_.productName;
    input.majorVersion = version.major;
    input.minorVersion = version.minor;
    input.scanStartTime = startTime_;
    input.scanFinishTime = finishTime_;
    input.processesCaption = std::to_string(counters_.processes);
    input.registryCaption = std::to_string(counters_.registry);
    input.filesFoldersCaption = std::to_string(counters_.filesFolders);
    input.results = found;
    return report::ScanReport(*platform_.fileSystem, dataFolder_).MakeReport(input) ==
           report::ScanReport::Result::Written;
}

// ---- Progress ------------------------------------------------------------------------------

void MainState::writeCounterLabels() {
    ui_.setStatusText(control::lblMemoryInspected, std::to_string(counters_.processes));
    ui_.setStatusText(control::lblRegistryInspected, std::to_string(counters_.registry));
    ui_.setStatusText(control::lblFilesFolderInspected, std::to_string(counters_.filesFolders));
    ui_.setStatusText(control::lblSoftwareFound, std::to_string(counters_.threats));
    ui_.setStatusText(control::lblRemovePicSoftwareFound, std::to_string(counters_.threats));
}

void MainState::showProgress(std::string_view status, int phase, int overall) {
    writeCounterLabels();
    ui_.setStatusText(control::lblStatus, FilterStatusWords(status));
    if (phase >= 0) {
        ui_.setProgress(control::pb1, phase);
    }
    if (overall >= 0) {
        ui_.setProgress(control::pb2, overall);
    }
}

void MainState::UpdateScanProgress(std::string_view status, int phase, int overall) {
    ++counters_.throttle;
    if (counters_.throttle < kRefreshEvery) {
        return;
    }
    showProgress(status, phase, overall);
    counters_.throttle = 0;
}

void MainState::ForceScanProgress(std::string_view status, int phase, int overall) {
    showProgress(status, phase, overall);
}

void MainState::RefreshScanCounters() {
    writeCounterLabels();
    counters_.throttle = 0;
}

// ---- scan::ScanSink ------------------------------------------------------------------------

void MainState::pump() {
    ui_.Pump();
}

bool MainState::scanRunning() const {
    return runState_ == RunState::Scanning || runState_ == RunState::Paused;
}

void MainState::addFeedRow(scan::FeedRow row) {
    feed_.add(std::move(row));
}

void MainState::addFoundItem(scan::FoundItem item) {
    results_.add(std::move(item));
}

void MainState::addFileWorkRow(scan::FileWorkRow row) {
    filesToDelete_.add(std::move(row));
}

void MainState::addRegistryWorkRow(scan::RegistryWorkRow row) {
    registryToDelete_.add(std::move(row));
}

void MainState::addCookieWorkRow(scan::PathWorkRow row) {
    cookiesToDelete_.add(std::move(row));
}

void MainState::addTrace() {
    ++traces_;
    ui_.setStatusText(control::lbltracesFound, std::to_string(traces_));
}

void MainState::setRunningItems(int count) {
    ui_.setStatusText(control::lblTotalNoOfRunningItems, std::to_string(count));
}

// ---- definitions::LoadObserver -------------------------------------------------------------

void MainState::loadingStarted(std::string_view status) {
    ui_.setEnabled(control::cmdPause, false);
    ui_.setEnabled(control::cmdStop, false);
    ForceScanProgress(status, -1, -1);
}

void MainState::loadingFinished() {
    ui_.setEnabled(control::cmdPause, true);
    ui_.setEnabled(control::cmdStop, true);
}

}  // namespace nightjar::app
