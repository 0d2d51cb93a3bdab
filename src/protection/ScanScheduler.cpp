#include "protection/ScanScheduler.h"

#include "platform/Clock.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/DateText.h"
#include "util/Text.h"

namespace nightjar::protection {

namespace keys = settings::keys;

namespace {

constexpr std::string_view kNull = "Null";
constexpr std::array<std::string_view, 7> kWeekdayNames = {
    "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY"};

/// The full weekday name of the date, in the program's (English) language.
std::string_view weekdayName(std::chrono::sys_days day) {
    static constexpr std::array<std::string_view, 7> kNames = {
        "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    return kNames[std::chrono::weekday{day}.c_encoding()];
}

}  // namespace

ScanScheduler::ScanScheduler(settings::SettingsStore& settings, platform::Clock& clock,
                             ArmTimer armTimer)
    : settings_(settings), clock_(clock), armTimer_(std::move(armTimer)) {}

void ScanScheduler::cmbDays_Click(int index) {
    panel_.day = index;
    if (index == kDateAndTime) {
        panel_.dateEnabled = true;
        panel_.timeEnabled = true;
    } else if (index == kNever) {
        panel_.date.reset();
        panel_.time.reset();
        panel_.dateEnabled = false;
        panel_.timeEnabled = false;
    } else {
        panel_.date.reset();
        panel_.dateEnabled = false;
        panel_.timeEnabled = true;
    }
    panel_.applyEnabled = true;
}

void ScanScheduler::chkAutomaticScanYesOrNo_Click(bool checked) {
    panel_.scheduleOn = checked;
    if (checked) {
        panel_.daysEnabled = true;
        if (panel_.day >= 0 && panel_.day <= kDaily) {
            panel_.date.reset();
            panel_.dateEnabled = false;
            panel_.timeEnabled = true;
        }
    } else {
        panel_.daysEnabled = false;
        panel_.dateEnabled = false;
        panel_.timeEnabled = false;
    }
    if (armTimer_) {
        armTimer_(checked);
    }
    panel_.applyEnabled = true;
}

void ScanScheduler::chkAutoDel_Click(bool checked) {
    panel_.autoDelete = checked;
    settings_.Write(keys::kSettings, keys::kAutoDel, checked ? "1" : "0");
}

void ScanScheduler::PickerChanged(std::optional<std::string> date,
                                  std::optional<std::string> time) {
    panel_.date = std::move(date);
    panel_.time = std::move(time);
    panel_.applyEnabled = true;
}

ScanScheduler::ApplyResult ScanScheduler::CmdProceed_Click() {
    if (panel_.day == kDateAndTime && (!panel_.date || !panel_.time)) {
        return ApplyResult::DateMissing;
    }
    settings_.Write(keys::kOptionAndSettings, keys::kAutomaticScanYesOrNo,
                    panel_.scheduleOn ? "1" : "0");
    const bool on =
        settings_.ReadInt(keys::kOptionAndSettings, keys::kAutomaticScanYesOrNo, 0) == 1;
    if (on) {
        settings_.Write(keys::kOptionAndSettings, keys::kDay, std::to_string(panel_.day));
        settings_.Write(keys::kOptionAndSettings, keys::kTime,
                        panel_.time.value_or(std::string(kNull)));
        settings_.Write(keys::kOptionAndSettings, keys::kDate,
                        panel_.date.value_or(std::string(kNull)));
    }
    if (armTimer_) {
        armTimer_(on);
    }
    panel_.applyEnabled = false;
    ShowSchedule();
    return on ? ApplyResult::Enabled : ApplyResult::Disabled;
}

ScanScheduler::ApplyResult ScanScheduler::cmdDefaultSetting_Click() {
    cmbDays_Click(kDaily);
    chkAutomaticScanYesOrNo_Click(false);
    return CmdProceed_Click();
}

void ScanScheduler::ShowSchedule() {
    panel_.autoDelete = settings_.ReadInt(keys::kSettings, keys::kAutoDel, 0) == 1;
    if (settings_.Read(keys::kOptionAndSettings, keys::kDay, "None") == "None") {
        panel_.day = kDaily;
        return;
    }
    const std::string date = settings_.Read(keys::kOptionAndSettings, keys::kDate, kNull);
    panel_.date = date == kNull ? std::nullopt : std::optional<std::string>(date);
    const std::string time = settings_.Read(keys::kOptionAndSettings, keys::kTime, kNull);
    panel_.time = time == kNull ? std::nullopt : std::optional<std::string>(time);
    panel_.day = settings_.ReadInt(keys::kOptionAndSettings, keys::kDay, kDaily);
    const bool stored =
        settings_.ReadInt(keys::kOptionAndSettings, keys::kAutomaticScanYesOrNo, 0) != 0;
    // Like a check box, the handler runs only when the value changes.
    if (stored != panel_.scheduleOn) {
        const std::optional<std::string> keepDate = panel_.date;
        chkAutomaticScanYesOrNo_Click(stored);
        // The display shows the stored date even where the handler clears the picker.
        panel_.date = keepDate;
    }
}

bool ScanScheduler::IsDue(std::chrono::sys_seconds now) const {
    using namespace std::chrono;
    const int day = settings_.ReadInt(keys::kOptionAndSettings, keys::kDay, kDaily);
    if (day < 0 || day > kDateAndTime) {
        return false;
    }
    const auto time =
        update::DateText::Parse(settings_.Read(keys::kOptionAndSettings, keys::kTime, kNull));
    if (!time) {
        return false;  // a time that cannot be read never matches
    }
    const sys_days today = floor<days>(now);
    const hh_mm_ss<seconds> clock{now - today};
    if (time->hour() != clock.hours().count() || time->minute() != clock.minutes().count() ||
        time->second() != clock.seconds().count()) {
        return false;
    }
    if (day == kDaily) {
        return true;
    }
    if (day == kDateAndTime) {
        const auto date =
            update::DateText::Parse(settings_.Read(keys::kOptionAndSettings, keys::kDate, kNull));
        const year_month_day ymd{today};
        return date && date->year() == static_cast<int>(ymd.year()) &&
               date->month() == static_cast<int>(static_cast<unsigned>(ymd.month())) &&
               date->day() == static_cast<int>(static_cast<unsigned>(ymd.day()));
    }
    return text::iequals(weekdayName(today), kWeekdayNames[static_cast<std::size_t>(day)]);
}

bool ScanScheduler::Tick(const std::function<void(bool)>& setAutoDeleteRequest,
                         const std::function<void()>& startScan) {
    const std::chrono::sys_seconds now = clock_.now();
    // A scan that ends within its starting second must not start again at the next tick.
    const bool due = IsDue(now) && lastStart_ != now;
    if (due) {
        lastStart_ = now;
        if (setAutoDeleteRequest) {
            setAutoDeleteRequest(panel_.autoDelete);
        }
        if (startScan) {
            startScan();
        }
    }
    if (setAutoDeleteRequest) {
        setAutoDeleteRequest(false);
    }
    return due;
}

}  // namespace nightjar::protection
