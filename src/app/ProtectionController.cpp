#include "app/ProtectionController.h"

#include "app/MainState.h"
#include "app/ScanRun.h"
#include "platform/Platform.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"

namespace nightjar::app {

namespace keys = settings::keys;

namespace {
std::string_view boolText(bool on) {
    return on ? keys::kTrue : keys::kFalse;
}
}  // namespace

ProtectionController::ProtectionController(MainState& state)
    : state_(state),
      memory_(state),
      homePage_(state.registryAccess(), state.settings(), state.productName()),
      scheduler_(state.settings(), *state.platform().clock,
                 [&state](bool on) { state.tmrScheduler().setEnabled(on); }) {
    state_.tmrMemoryInspected().onTick([this] { memory_.tmrMemoryInspected_Timer(); });
    state_.tmrCheckHomePage().onTick([this] { tmrCheckHomePage_Timer(); });
    state_.tmrScheduler().onTick([this] { tmrScheduler_Timer(); });
}

void ProtectionController::setListener(std::function<void(const ProtectionEvent&)> listener) {
    listener_ = std::move(listener);
    memory_.setListener(listener_);
}

void ProtectionController::emit(ProtectionEvent::Kind kind, std::string detail) {
    if (listener_) {
        listener_({kind, std::move(detail)});
    }
}

void ProtectionController::tmrCheckHomePage_Timer() {
    if (state_.runState() != RunState::Idle || !homePage_.CountTick()) {
        return;
    }
    memory_.tmrMemoryInspected_Timer();
    state_.ApplyBackgroundTimers(false);
    const protection::HomePageCheck done = homePage_.Check([this](const std::string& info) {
        const RunStateScope open = state_.enterRunState(RunState::AlertOpen);
        return state_.ui().showHomePageAlert(state_.productName(), info);
    });
    if (done == protection::HomePageCheck::Restored) {
        emit(ProtectionEvent::Kind::HomePageRestored, homePage_.RememberedStartPage());
    } else if (done == protection::HomePageCheck::Accepted) {
        emit(ProtectionEvent::Kind::HomePageAccepted, homePage_.RememberedStartPage());
    }
    // Re-arms this timer only while the shield is on.
    state_.ApplyBackgroundTimers(true);
}

void ProtectionController::tmrScheduler_Timer() {
    if (state_.runState() != RunState::Idle) {
        return;
    }
    scheduler_.Tick([this](bool on) { state_.setAutoRemoveAfterScan(on); },
                    [this] {
                        emit(ProtectionEvent::Kind::ScheduledScanStarted);
                        state_.scanRun().lblStart_Click();
                        emit(ProtectionEvent::Kind::ScheduledScanEnded);
                    });
}

// ---- Option handlers -----------------------------------------------------------------------

void ProtectionController::storeMemoryShield(bool on) {
    settings::SettingsStore& settings = state_.settings();
    settings.Write(keys::kOptionAndSettings, keys::kMemoryShieldOn, boolText(on));
    settings.Write(keys::kOptionAndSettings, keys::kMemoryShieldOff, boolText(!on));
    state_.tmrMemoryInspected().setEnabled(on);
}

void ProtectionController::chkAutoProtect_Click(bool checked) {
    storeMemoryShield(checked);
}

void ProtectionController::optMemorySheildOn_Click() {
    storeMemoryShield(true);
}

void ProtectionController::optMemorySheildOff_Click() {
    storeMemoryShield(false);
}

void ProtectionController::storeHomePageShield(bool on) {
    settings::SettingsStore& settings = state_.settings();
    settings.Write(keys::kOptionAndSettings, keys::kHomePageShieldOn, boolText(on));
    settings.Write(keys::kOptionAndSettings, keys::kHomePageShieldOff, boolText(!on));
    state_.tmrCheckHomePage().setEnabled(on);
    state_.ui().setEnabled(control::optAlwaysnotifybeforerestoring, on);
    state_.ui().setEnabled(control::optRestoredefaultwithoutnotification, on);
}

void ProtectionController::chkHomePage_Click(bool checked) {
    storeHomePageShield(checked);
}

void ProtectionController::optIEHomePageSheildOn_Click() {
    storeHomePageShield(true);
}

void ProtectionController::optIEHomePageSheildOff_Click() {
    storeHomePageShield(false);
}

void ProtectionController::storeNotify(bool ask) {
    settings::SettingsStore& settings = state_.settings();
    settings.Write(keys::kOptionAndSettings, keys::kAlwaysNotifyBeforeRestoring, boolText(ask));
    settings.Write(keys::kOptionAndSettings, keys::kRestoreDefaultWithoutNotification,
                   boolText(!ask));
}

void ProtectionController::optAlwaysnotifybeforerestoring_Click() {
    storeNotify(true);
}

void ProtectionController::optRestoredefaultwithoutnotification_Click() {
    storeNotify(false);
}

void ProtectionController::chkAutomaticScanYesOrNo_Click(bool checked) {
    scheduler_.chkAutomaticScanYesOrNo_Click(checked);
}

void ProtectionController::reportApply(protection::ScanScheduler::ApplyResult result) {
    if (result == protection::ScanScheduler::ApplyResult::DateMissing) {
        state_.ui().messageBox(state_.msg("MSG_DATE"), state_.productName(), MsgButtons::Ok,
                               MsgIcon::Information);
    }
}

void ProtectionController::CmdProceed_Click() {
    reportApply(scheduler_.CmdProceed_Click());
}

void ProtectionController::cmdDefaultSetting_Click() {
    reportApply(scheduler_.cmdDefaultSetting_Click());
}

}  // namespace nightjar::app
