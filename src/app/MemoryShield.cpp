#include "app/MemoryShield.h"

#include "app/MainState.h"
#include "platform/Platform.h"
#include "platform/Processes.h"
#include "removal/ExclusionList.h"
#include "removal/ProcessControl.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "util/Text.h"

namespace nightjar::app {

namespace keys = settings::keys;

MemoryShield::MemoryShield(MainState& state) : state_(state) {
    state_.memoryScan().setAlertHandler(
        [this](const scan::MemoryScan::Sighting& sighting) { RaiseSpywareAlert(sighting); });
}

void MemoryShield::tmrMemoryInspected_Timer() {
    if (state_.runState() != RunState::Idle) {
        return;
    }
    if (!state_.settings().ReadBool(keys::kOptionAndSettings, keys::kMemoryShieldOn, true)) {
        return;
    }
    // No tick of any background timer may arrive while the check yields or an alert waits,
    // so the time the user takes to answer does not pile up ticks.
    const bool timeOut = state_.tmrTimeOut().enabled();
    state_.ApplyBackgroundTimers(false);
    state_.tmrTimeOut().setEnabled(false);
    state_.memoryScan().CheckMemory(state_);
    state_.ApplyBackgroundTimers(true);
    state_.tmrTimeOut().setEnabled(timeOut);
}

void MemoryShield::RaiseSpywareAlert(const scan::MemoryScan::Sighting& sighting) {
    const RunStateScope open = state_.enterRunState(RunState::AlertOpen);
    sighting_ = sighting;
    view_.fileName = text::toUpper(sighting.fileName);
    view_.companyName = text::trimView(sighting.company).empty()
                            ? state_.msg("MSG_NOCOMPANY") + " " + sighting.fileName
                            : text::toUpper(sighting.company);
    answered_ = false;
    ControlStateTracker& ui = state_.ui();
    ui.setEnabled(control::cmdYes, true);
    ui.setVisible(control::frmSpywareFoundAlert, true);
    if (const auto given = ui.showSpywareAlert(view_)) {
        answer(*given);
    }
    while (!answered_) {
        state_.pump();
        state_.pump();
    }
}

void MemoryShield::answer(SpywareAlertAnswer answer) {
    if (answer == SpywareAlertAnswer::Stop) {
        cmdYes_Click();
    } else {
        cmdNO_Click();
    }
}

void MemoryShield::cmdYes_Click() {
    if (answered_) {
        return;
    }
    ControlStateTracker& ui = state_.ui();
    ui.setEnabled(control::cmdYes, false);
    answered_ = true;
    bool stopped = state_.processControl().StopProcessById(sighting_.pid, 0, sighting_.image);
    if (!stopped) {
        // Gone by itself, or its id now belongs to another program: nothing left to stop.
        const auto image = state_.platform().processes->firstModulePath(sighting_.pid);
        stopped = !image || !text::iequals(image->substr(0, image->find('\0')), sighting_.image);
    }
    if (!stopped) {
        ui.messageBox(text::toUpper(text::trimView(view_.fileName)) +
                          " could not be stopped.  You should try again after saving your work "
                          "and closing any open applications.",
                      state_.productName(), MsgButtons::Ok, MsgIcon::Information);
    }
    if (listener_) {
        listener_({stopped ? ProtectionEvent::Kind::ThreatStopped
                           : ProtectionEvent::Kind::ThreatNotStopped,
                   view_.fileName});
    }
    ui.setVisible(control::frmSpywareFoundAlert, false);
}

void MemoryShield::cmdNO_Click() {
    if (answered_) {
        return;
    }
    answered_ = true;
    state_.exclusions().AppendAlertExclusion(text::trimView(view_.fileName));
    if (listener_) {
        listener_({ProtectionEvent::Kind::ThreatAllowed, view_.fileName});
    }
    state_.ui().setVisible(control::frmSpywareFoundAlert, false);
}

}  // namespace nightjar::app
