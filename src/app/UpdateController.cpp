#include "app/UpdateController.h"

#include "app/ControlNames.h"
#include "definitions/SignatureStore.h"
#include "localization/MessageCatalog.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "platform/SignatureVerifier.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/ServerConfig.h"
#include "update/ServerLayoutListing.h"

namespace nightjar::app {

namespace {

/// Forwards the update's progress to the main window and the progress window.
class UiUpdateObserver : public update::UpdateObserver {
  public:
    explicit UiUpdateObserver(UserInterface& ui) : ui_(ui) {}
    void downloadWindowShown() override { ui_.setVisible(control::frmDownload, true); }
    void status(std::string_view text) override { ui_.setStatusText(control::txtStatus, text); }
    void pump() override { ui_.Pump(); }
    void definitionsDateCaption(std::string_view caption) override {
        ui_.setStatusText(control::lblDefVersion, caption);
    }

  private:
    UserInterface& ui_;
};

/// A whole number with digit grouping ("12,345").
std::string grouped(long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

}  // namespace

UpdateController::UpdateController(
    platform::FileSystem& fs, platform::Http& http, const platform::SignatureVerifier& verifier,
    platform::FileLocks& locks, definitions::SignatureStore& signatures,
    settings::SettingsStore& settings, localization::MessageCatalog& catalog, UserInterface& ui,
    const update::ServerConfig& servers, ApplyBackgroundTimers applyBackgroundTimers,
    IsScanIdle isScanIdle)
    : fs_(fs),
      http_(http),
      verifier_(verifier),
      locks_(locks),
      signatures_(signatures),
      settings_(settings),
      catalog_(catalog),
      ui_(ui),
      servers_(servers),
      applyBackgroundTimers_(std::move(applyBackgroundTimers)),
      isScanIdle_(std::move(isScanIdle)) {
    timUpdate_.onTick([this] { timUpdate_Timer(); });
}

void UpdateController::RunUpdate() {
    // The update yields to the message loop while it reads and writes; a second update
    // started from there would apply the same changes twice.
    if (running_) {
        return;
    }
    running_ = true;
    if (applyBackgroundTimers_) {
        applyBackgroundTimers_(false);
    }
    ui_.setEnabled(control::cmdLiveUpdate, false);

    UiUpdateObserver observer(ui_);
    update::DefinitionUpdater updater(fs_, http_, locks_, signatures_.dataFolder(),
                                      catalog_.identity(), servers_, observer);
    if (const std::string key = servers_.definitionPublicKey(); !key.empty()) {
        updater.requireSignedAnswers(verifier_, key);
    }
    lastResult_ = updater.CheckAndApplyUpdates();

    if (lastResult_.outcome == update::UpdateOutcome::Busy) {
        // The update that runs elsewhere reports its own result.
    } else if (lastResult_.count < 1) {
        ui_.setVisible(control::frmSignatureUpdated, true);
        // A failed download is said as such, never as "most recent".
        if (lastResult_.unverified) {
            ui_.setStatusText(control::lblUpdateInfo, catalog_.getMessages("MSG_UNVERIFIED"));
        } else {
            ui_.setStatusText(
                control::lblUpdateInfo,
                catalog_.getMessages(lastResult_.outcome == update::UpdateOutcome::Failed
                                         ? "MSG_INTERNET"
                                         : "MSG_RECENT_DEFS"));
        }
    } else {
        settings_.Write(settings::keys::kOptionAndSettings, settings::keys::kShow, "True");
        settings_.Write(settings::keys::kOptionAndSettings, settings::keys::kRestart, "True");
        ui_.setVisible(control::frmSignatureUpdated, true);
        ui_.setStatusText(control::lblUpdateInfo, catalog_.getMessages("MSG_UPDATED_DEFS"));
        signatureCount_ = signatures_.CountDefinitions();
        ui_.setStatusText(control::lblDefCount, grouped(signatureCount_));
        ui_.setStatusText(control::lblDefVersion, lastResult_.date + " PST");
        ui_.setEnabled(control::cmdScan, true);
    }

    ui_.setVisible(control::frmDownload, false);
    ui_.setEnabled(control::cmdLiveUpdate, true);
    if (applyBackgroundTimers_) {
        applyBackgroundTimers_(true);
    }
    running_ = false;
}

void UpdateController::ArmAutomaticUpdate() {
    if (settings_.ReadInt(settings::keys::kOptionAndSettings, settings::keys::kAutomaticUpdate,
                          0) == 1) {
        timUpdate_.setEnabled(true);
    }
}

void UpdateController::timUpdate_Timer() {
    const bool idle = !isScanIdle_ || isScanIdle_();
    if (autoUpdateCounter_ >= kAutoUpdateIdleTicks && idle) {
        // Disarmed before the update runs: a tick arriving while it yields must not start
        // it again.
        autoUpdateCounter_ = 0;
        timUpdate_.setEnabled(false);
        RunUpdate();
    } else if (idle) {
        ++autoUpdateCounter_;
    }
}

void UpdateController::ShowServerLayoutListing() {
    ui_.messageBox(
        update::ServerLayoutListing::Text(catalog_.identity().website, servers_.definitionServer()),
        "", MsgButtons::Ok, MsgIcon::None);
}

}  // namespace nightjar::app
