#pragma once
#include <functional>

#include "app/MemoryShield.h"
#include "app/ProtectionEvent.h"
#include "protection/HomePageShield.h"
#include "protection/ScanScheduler.h"

namespace nightjar::app {

class MainState;

/// Protection between scans as the main window runs it: the tick handlers of
/// `tmrMemoryInspected`, `tmrCheckHomePage` and `tmrScheduler`, and the option handlers
/// that arm and disarm them. Every tick does nothing unless the program is idle (no scan,
/// update, removal or open alert). The automatic update's `timUpdate` belongs to the
/// update controller.
class ProtectionController {
  public:
    /// Binds the three tick handlers to the timers of `state`.
    explicit ProtectionController(MainState& state);
    ProtectionController(const ProtectionController&) = delete;
    ProtectionController& operator=(const ProtectionController&) = delete;

    MemoryShield& memoryShield() { return memory_; }
    protection::HomePageShield& homePageShield() { return homePage_; }
    protection::ScanScheduler& scheduler() { return scheduler_; }
    /// Told of every threat stopped or allowed, home page restored or adopted, and
    /// scheduled scan started and ended.
    void setListener(std::function<void(const ProtectionEvent&)> listener);

    /// Every third tick: the memory shield's check, then the home-page check with the
    /// background timers off (the alert is modal).
    void tmrCheckHomePage_Timer();
    /// Starts the scheduled scan when due, with the auto-delete request set from
    /// `chkAutoDel` for that run only.
    void tmrScheduler_Timer();

    // ---- Option handlers -------------------------------------------------------------------
    /// Memory shield "Enable": both keys stored, `tmrMemoryInspected` follows the box.
    void chkAutoProtect_Click(bool checked);
    void optMemorySheildOn_Click();
    void optMemorySheildOff_Click();
    /// Home-page shield "Enable": both keys stored; `tmrCheckHomePage` and the two notify
    /// options follow the box.
    void chkHomePage_Click(bool checked);
    void optIEHomePageSheildOn_Click();
    void optIEHomePageSheildOff_Click();
    /// "Ask me what I would like to do" / "Silently restore my original home page".
    void optAlwaysnotifybeforerestoring_Click();
    void optRestoredefaultwithoutnotification_Click();
    /// "Enable Scheduled Scans"; the value itself is stored by "Apply".
    void chkAutomaticScanYesOrNo_Click(bool checked);
    /// "Apply" of the schedule panel; MSG_DATE when "Date & Time" lacks a date or time.
    void CmdProceed_Click();
    /// "Reset" of the schedule panel.
    void cmdDefaultSetting_Click();

  private:
    void storeMemoryShield(bool on);
    void storeHomePageShield(bool on);
    void storeNotify(bool ask);
    void reportApply(protection::ScanScheduler::ApplyResult result);
    void emit(ProtectionEvent::Kind kind, std::string detail = {});

    MainState& state_;
    MemoryShield memory_;
    protection::HomePageShield homePage_;
    protection::ScanScheduler scheduler_;
    std::function<void(const ProtectionEvent&)> listener_;
};

}  // namespace nightjar::app
