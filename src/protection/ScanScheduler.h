#pragma once
#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nightjar::platform {
class Clock;
}
namespace nightjar::settings {
class SettingsStore;
}

namespace nightjar::protection {

/// The controls of the schedule panel, as the model holds them.
struct SchedulePanel {
    /// `chkAutomaticScanYesOrNo` ("Enable Scheduled Scans").
    bool scheduleOn = false;
    /// `cmbDays` index.
    int day = 7;
    /// `dtpScheduleDate` and `dtpScheduleTime` as text; nullopt when the picker holds no
    /// value.
    std::optional<std::string> date;
    std::optional<std::string> time;
    /// `chkAutoDel` ("Delete spyware automatically after scheduled scan").
    bool autoDelete = false;
    bool daysEnabled = false;
    bool dateEnabled = false;
    bool timeEnabled = false;
    /// "Apply" (`CmdProceed`).
    bool applyEnabled = false;
};

/// The scan scheduler: the schedule panel's handlers over the stored schedule, and the
/// `tmrScheduler` tick that starts a scan at the stored second.
class ScanScheduler {
  public:
    static constexpr int kDaily = 7;
    static constexpr int kDateAndTime = 8;
    static constexpr int kNever = 9;
    /// The `cmbDays` entries by index.
    static constexpr std::array<std::string_view, 10> kDayEntries = {
        "Monday",   "Tuesday", "Wednesday", "Thursday",    "Friday",
        "Saturday", "Sunday",  "Daily",     "Date & Time", "Never"};

    /// What "Apply" did.
    enum class ApplyResult {
        /// "Date & Time" without a date or time: nothing stored, MSG_DATE is due.
        DateMissing,
        /// The schedule is stored and the timer armed.
        Enabled,
        /// Scheduled scans are off and the timer stopped; day, time and date keep their
        /// stored values.
        Disabled,
    };

    /// Arms (true) or stops (false) `tmrScheduler`.
    using ArmTimer = std::function<void(bool)>;

    ScanScheduler(settings::SettingsStore& settings, platform::Clock& clock, ArmTimer armTimer);

    SchedulePanel& panel() { return panel_; }
    const SchedulePanel& panel() const { return panel_; }

    /// Day list change: the pickers follow the kind of schedule; "Apply" is enabled.
    void cmbDays_Click(int index);
    /// The "Enable Scheduled Scans" check box handler (the value is stored by "Apply").
    void chkAutomaticScanYesOrNo_Click(bool checked);
    /// `chkAutoDel` handler: stores Settings\"chkAutoDel".
    void chkAutoDel_Click(bool checked);
    /// A date or time picker change.
    void PickerChanged(std::optional<std::string> date, std::optional<std::string> time);
    /// "Apply" (`CmdProceed`).
    ApplyResult CmdProceed_Click();
    /// "Reset" (`cmdDefaultSetting`): "Daily", scheduled scans off, then "Apply".
    ApplyResult cmdDefaultSetting_Click();
    /// The schedule display: the panel from the store (start-up and "Apply"). The box
    /// "Enable Scheduled Scans" follows the stored value, so that a disabled schedule is
    /// never re-armed by the display.
    void ShowSchedule();

    /// True when the stored schedule is due at `now` (one-second resolution).
    bool IsDue(std::chrono::sys_seconds now) const;
    /// One `tmrScheduler` tick: when due, sets the auto-delete request from `chkAutoDel`,
    /// starts the scan (which runs to its end) and clears the request. True when a scan
    /// was started; a schedule starts once in its second, however short the scan.
    bool Tick(const std::function<void(bool)>& setAutoDeleteRequest,
              const std::function<void()>& startScan);

  private:
    settings::SettingsStore& settings_;
    platform::Clock& clock_;
    ArmTimer armTimer_;
    SchedulePanel panel_;
    std::optional<std::chrono::sys_seconds> lastStart_;
};

}  // namespace nightjar::protection
