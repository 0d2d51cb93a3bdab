#include "protection/ScanScheduler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mock/FakeClock.h"
#include "mock/FakeRegistry.h"
#include "settings/SettingsStore.h"

namespace nightjar::protection {
namespace {

using namespace std::chrono;

/// 8 December 2026 is a Tuesday.
sys_seconds at(int day, int h, int m, int s) {
    return sys_days{year{2026} / 12 / day} + hours{h} + minutes{m} + seconds{s};
}

class ScanSchedulerTest : public ::testing::Test {
  protected:
    mock::FakeRegistry registry;
    mock::FakeClock clock;
    settings::SettingsStore settings{registry, "Nightjar"};
    std::vector<bool> armed;
    ScanScheduler scheduler{settings, clock, [this](bool on) { armed.push_back(on); }};

    ScanScheduler::ApplyResult schedule(int day, std::optional<std::string> time,
                                        std::optional<std::string> date = std::nullopt) {
        scheduler.chkAutomaticScanYesOrNo_Click(true);
        scheduler.cmbDays_Click(day);
        scheduler.PickerChanged(std::move(date), std::move(time));
        return scheduler.CmdProceed_Click();
    }
    std::string stored(std::string_view key) {
        return settings.Read("OptionAndSettings", key, "<none>");
    }
};

TEST_F(ScanSchedulerTest, SchedulesMatchAtTheirSecondOnly) {
    ASSERT_EQ(schedule(1, "2:30:00 PM"), ScanScheduler::ApplyResult::Enabled);  // Tuesday
    EXPECT_EQ(stored("Day"), "1");
    EXPECT_EQ(stored("Date"), "Null");
    EXPECT_TRUE(scheduler.IsDue(at(8, 14, 30, 0)));
    EXPECT_TRUE(scheduler.IsDue(at(15, 14, 30, 0)));
    EXPECT_FALSE(scheduler.IsDue(at(8, 14, 30, 1)));
    EXPECT_FALSE(scheduler.IsDue(at(8, 14, 29, 59)));
    EXPECT_FALSE(scheduler.IsDue(at(8, 2, 30, 0)));
    EXPECT_FALSE(scheduler.IsDue(at(9, 14, 30, 0)));

    schedule(ScanScheduler::kDaily, "14:30:00");
    for (int day = 7; day <= 13; ++day) {
        EXPECT_TRUE(scheduler.IsDue(at(day, 14, 30, 0))) << day;
        EXPECT_FALSE(scheduler.IsDue(at(day, 14, 31, 0))) << day;
    }

    schedule(ScanScheduler::kDateAndTime, "2:30:00 PM", "12/9/2026");
    EXPECT_TRUE(scheduler.IsDue(at(9, 14, 30, 0)));
    EXPECT_FALSE(scheduler.IsDue(at(8, 14, 30, 0)));
    EXPECT_FALSE(scheduler.IsDue(at(10, 14, 30, 0)));
    EXPECT_FALSE(scheduler.IsDue(at(9, 14, 30, 1)));

    schedule(ScanScheduler::kNever, std::nullopt);
    EXPECT_FALSE(scheduler.IsDue(at(9, 0, 0, 0)));
    // A stored time that cannot be read never matches.
    settings.Write("OptionAndSettings", "Day", "7");
    settings.Write("OptionAndSettings", "Time", "half past two");
    EXPECT_FALSE(scheduler.IsDue(at(9, 14, 30, 0)));
}

TEST_F(ScanSchedulerTest, ApplyStoresOnlyAWholeEnabledSchedule) {
    // "Date & Time" without a date: nothing is stored, the timer is left alone.
    scheduler.chkAutomaticScanYesOrNo_Click(true);
    armed.clear();
    scheduler.cmbDays_Click(ScanScheduler::kDateAndTime);
    scheduler.PickerChanged(std::nullopt, "2:30:00 PM");
    EXPECT_EQ(scheduler.CmdProceed_Click(), ScanScheduler::ApplyResult::DateMissing);
    EXPECT_EQ(stored("chkAutomaticScanYesOrNo"), "<none>");
    EXPECT_TRUE(armed.empty());
    EXPECT_TRUE(scheduler.panel().applyEnabled);

    schedule(3, "9:00:00 AM");
    EXPECT_EQ(armed.back(), true);
    EXPECT_FALSE(scheduler.panel().applyEnabled);

    // Off: "0" is stored, the schedule keeps its values, and the display does not switch
    // it back on.
    scheduler.chkAutomaticScanYesOrNo_Click(false);
    EXPECT_EQ(scheduler.CmdProceed_Click(), ScanScheduler::ApplyResult::Disabled);
    EXPECT_EQ(stored("chkAutomaticScanYesOrNo"), "0");
    EXPECT_EQ(stored("Day"), "3");
    EXPECT_EQ(stored("Time"), "9:00:00 AM");
    EXPECT_EQ(armed.back(), false);
    EXPECT_FALSE(scheduler.panel().scheduleOn);

    // "Reset": daily, off; nothing else is touched.
    settings.Write("OptionAndSettings", "optMemorySheildOn", "False");
    schedule(3, "9:00:00 AM");
    EXPECT_EQ(scheduler.cmdDefaultSetting_Click(), ScanScheduler::ApplyResult::Disabled);
    EXPECT_EQ(stored("chkAutomaticScanYesOrNo"), "0");
    EXPECT_EQ(armed.back(), false);
    EXPECT_EQ(stored("optMemorySheildOn"), "False");

    // A later start shows the stored schedule.
    schedule(ScanScheduler::kDateAndTime, "2:30:00 PM", "12/9/2026");
    ScanScheduler fresh{settings, clock, {}};
    fresh.ShowSchedule();
    EXPECT_EQ(fresh.panel().day, ScanScheduler::kDateAndTime);
    EXPECT_EQ(fresh.panel().date, "12/9/2026");
    EXPECT_EQ(fresh.panel().time, "2:30:00 PM");
    EXPECT_TRUE(fresh.panel().scheduleOn);
}

TEST_F(ScanSchedulerTest, AutoDeleteRequestIsSetForTheScheduledRunOnly) {
    scheduler.chkAutoDel_Click(true);
    EXPECT_EQ(settings.Read("Settings", "chkAutoDel", ""), "1");
    schedule(ScanScheduler::kDaily, "2:30:00 PM");
    std::vector<std::string> events;
    const auto setRequest = [&](bool on) { events.push_back(on ? "request" : "clear"); };
    const auto start = [&] { events.emplace_back("scan"); };

    clock.set(at(8, 14, 29, 59));
    EXPECT_FALSE(scheduler.Tick(setRequest, start));
    clock.set(at(8, 14, 30, 0));
    EXPECT_TRUE(scheduler.Tick(setRequest, start));
    EXPECT_EQ(events, (std::vector<std::string>{"clear", "request", "scan", "clear"}));

    // A scan that ended within its second does not start again.
    events.clear();
    EXPECT_FALSE(scheduler.Tick(setRequest, start));
    EXPECT_EQ(events, (std::vector<std::string>{"clear"}));

    events.clear();
    scheduler.chkAutoDel_Click(false);
    clock.set(at(9, 14, 30, 0));
    EXPECT_TRUE(scheduler.Tick(setRequest, start));
    EXPECT_EQ(events, (std::vector<std::string>{"clear", "scan", "clear"}));
}

}  // namespace
}  // namespace nightjar::protection
