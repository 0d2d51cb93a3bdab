#pragma once
#include <functional>
#include <optional>

#include "app/ProtectionEvent.h"
#include "app/UserInterface.h"
#include "scan/MemoryScan.h"

namespace nightjar::app {

class MainState;

/// The memory shield: between scans it checks the running processes with the memory scan
/// and puts up the spyware alert for each process that matches; STOP stops that process,
/// ALLOW puts its name on the exclusion list.
class MemoryShield {
  public:
    explicit MemoryShield(MainState& state);
    MemoryShield(const MemoryShield&) = delete;
    MemoryShield& operator=(const MemoryShield&) = delete;

    /// The tick of `tmrMemoryInspected`: nothing unless the program is idle and
    /// "optMemorySheildOn" is on; otherwise the background timers stay off while the
    /// processes are checked (alerts included) and are re-armed from the options after.
    void tmrMemoryInspected_Timer();
    /// Shows the alert for a matching process and returns when the user has answered,
    /// yielding to the message loop meanwhile. The run state is `AlertOpen` throughout.
    void RaiseSpywareAlert(const scan::MemoryScan::Sighting& sighting);
    /// STOP: stops the process that matched, by its id; says so when it could not be
    /// stopped (a process that ended meanwhile counts as stopped).
    void cmdYes_Click();
    /// ALLOW: the file name goes on the exclusion list, which is reloaded.
    void cmdNO_Click();

    /// Set by STOP and ALLOW, cleared each time the alert is shown.
    bool AlertAnswered() const { return answered_; }
    /// The labels of the alert shown last.
    const SpywareAlertView& alert() const { return view_; }
    /// Told of every answer and what came of it.
    void setListener(std::function<void(const ProtectionEvent&)> listener) {
        listener_ = std::move(listener);
    }

  private:
    void answer(SpywareAlertAnswer answer);

    MainState& state_;
    SpywareAlertView view_;
    scan::MemoryScan::Sighting sighting_;
    bool answered_ = true;
    std::function<void(const ProtectionEvent&)> listener_;
};

}  // namespace nightjar::app
