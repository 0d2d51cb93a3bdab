#include "app/ProtectionController.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "app/RemovalRun.h"
#include "app/UpdateController.h"
#include "removal/ExclusionList.h"

namespace nightjar::apptest {
namespace {

using app::RunState;
using app::SpywareAlertAnswer;
using platform::Hive;
using protection::HomePageShield;
using Proc = mock::FakeProcesses::Proc;

class ProtectionTest : public AppFixture {
  protected:
    app::ProtectionController& protection() { return state->protection(); }

    /// Moves the fake clock on one second at a time and ticks every timer whose interval
    /// has elapsed (the scheduler and the automatic update on every second).
    void runSeconds(int count) {
        for (int i = 0; i < count; ++i) {
            fake.clock.advance(std::chrono::seconds{1});
            ++elapsed;
            if (elapsed % 2 == 0) {
                state->tmrMemoryInspected().tick();
            }
            if (elapsed % 5 == 0) {
                state->tmrCheckHomePage().tick();
            }
            state->tmrScheduler().tick();
            state->timUpdate().tick();
        }
    }
    void setStartPage(std::string_view page) {
        fake.registry.setValue(Hive::CurrentUser, HomePageShield::kMainKey,
                               HomePageShield::kStartPageValue, platform::RegValue::string(page));
    }
    std::string startPage() {
        const auto value =
            fake.registry.queryValue(Hive::CurrentUser, HomePageShield::kMainKey,
                                     HomePageShield::kStartPageValue, platform::KeyAccess::Read);
        return value ? value->text() : "<missing>";
    }
    /// A daily schedule at the given time, applied from the panel.
    void scheduleDaily(std::string time, bool autoDelete) {
        auto& scheduler = protection().scheduler();
        scheduler.chkAutoDel_Click(autoDelete);
        protection().chkAutomaticScanYesOrNo_Click(true);
        scheduler.cmbDays_Click(protection::ScanScheduler::kDaily);
        scheduler.PickerChanged(std::nullopt, std::move(time));
        protection().CmdProceed_Click();
    }

    /// Records the events of the protection as "kind detail".
    void listen() {
        protection().setListener([this](const app::ProtectionEvent& e) {
            events.push_back(std::to_string(static_cast<int>(e.kind)) + " " + e.detail);
        });
    }

    int elapsed = 0;
    std::vector<std::string> events;
};

TEST_F(ProtectionTest, NoTickWorkWhileAScanUpdateRemovalOrAlertRuns) {
    writeStandardDefinitions();
    plantThreats();
    setStartPage("http://home.example/");
    scheduleDaily("2:05:17 PM", false);  // ten seconds after the fixture's clock
    setOption("chkAutomaticUpdate", "1");
    state->updates().ArmAutomaticUpdate();
    const auto start = fake.clock.now();

    for (RunState busy : {RunState::Scanning, RunState::Paused, RunState::Removing,
                          RunState::Updating, RunState::AlertOpen}) {
        const app::RunStateScope scope = state->enterRunState(busy);
        state->ApplyBackgroundTimers(true);
        fake.clock.set(start);
        elapsed = 0;
        runSeconds(16);
        EXPECT_TRUE(ui.spywareAlerts.empty());
        EXPECT_EQ(setting("OptionAndSettings", "Homepage"), "<none>");
        EXPECT_EQ(state->scanRun().lastOutcome(), app::ScanOutcome::NoRunYet);
        EXPECT_EQ(state->updates().autoUpdateCounter(), 0);
        EXPECT_EQ(state->counters().processes, 0);
    }

    // Idle, the same sixteen seconds do all of it.
    ui.spywareAnswers = {SpywareAlertAnswer::Stop};
    fake.clock.set(start);
    elapsed = 0;
    runSeconds(16);
    EXPECT_EQ(ui.spywareAlerts.size(), 1u);
    EXPECT_FALSE(fake.processes.running(4242));
    EXPECT_EQ(state->scanRun().lastOutcome(), app::ScanOutcome::Completed);
    EXPECT_EQ(setting("OptionAndSettings", "Homepage"), "http://home.example/");
    EXPECT_EQ(state->updates().autoUpdateCounter(), 16);
}

TEST_F(ProtectionTest, ShieldExaminesChangedListsOnlyAndAllowTurnsIntoAnExcludedRow) {
    writeStandardDefinitions();
    fake.processes.add(4242, "C:\\Temp\\bad.exe");
    fake.processes.add(100, "C:\\windows\\explorer.exe");
    state->ApplyBackgroundTimers(true);
    ui.spywareAnswers = {SpywareAlertAnswer::Allow};
    state->tmrMemoryInspected().tick();
    ASSERT_EQ(ui.spywareAlerts.size(), 1u);
    EXPECT_EQ(ui.spywareAlerts[0].fileName, "BAD.EXE");
    EXPECT_EQ(ui.spywareAlerts[0].companyName, "No Company name available for BAD.EXE");
    EXPECT_EQ(state->ui().text(app::control::lblAlertCompanyName),
              "No Company name available for BAD.EXE");
    EXPECT_TRUE(fake.processes.running(4242));
    EXPECT_TRUE(state->exclusions().IsExcluded("bad.exe"));
    EXPECT_EQ(ui.isVisible("frmSpywareFoundAlert"), false);
    // The timers are back on after the check.
    EXPECT_TRUE(state->tmrMemoryInspected().enabled());
    EXPECT_TRUE(state->tmrCheckHomePage().enabled());

    const auto examined = state->counters().processes;
    state->tmrMemoryInspected().tick();
    EXPECT_EQ(state->counters().processes, examined);
    EXPECT_TRUE(state->lvwSpywareFound().rows().empty());

    fake.processes.add(300, "C:\\windows\\notepad.exe");
    state->tmrMemoryInspected().tick();
    EXPECT_GT(state->counters().processes, examined);
    EXPECT_TRUE(feedHas("EXCLUDED", "BAD.EXE"));
    EXPECT_EQ(ui.spywareAlerts.size(), 1u);

    // Switched off, the tick does nothing even with its timer running.
    protection().optMemorySheildOff_Click();
    state->tmrMemoryInspected().setEnabled(true);
    fake.processes.add(301, "C:\\Temp\\bad.exe");
    state->tmrMemoryInspected().tick();
    EXPECT_EQ(state->lvwSpywareFound().size(), 1u);
}

TEST_F(ProtectionTest, TwoThreatsAreAlertedOneAfterTheOtherWhileTheLoopYields) {
    writeDefinition(definitions::kExeDefinition,
                    {"bad.exe=Bad|[windir]", "worse.exe=Worse|[windir]"});
    fake.processes.add(10, "C:\\Temp\\bad.exe");
    fake.processes.add(11, "C:\\Temp\\worse.exe");
    fake.processes.add(12, "C:\\Temp\\fine.exe");
    state->ApplyBackgroundTimers(true);
    listen();
    ui.spywareAnswers = {std::nullopt, std::nullopt};  // both windows stay open
    std::vector<std::size_t> shownWhenAnswered;
    int waits = 0;
    app::MemoryShield& shield = protection().memoryShield();
    ui.onPump = [&] {
        if (shield.AlertAnswered()) {
            return;
        }
        EXPECT_EQ(state->runState(), RunState::AlertOpen);
        EXPECT_FALSE(state->tmrMemoryInspected().enabled());
        EXPECT_FALSE(state->tmrScheduler().enabled() || state->tmrCheckHomePage().enabled());
        if (++waits % 4 == 0) {
            shownWhenAnswered.push_back(ui.spywareAlerts.size());
            shield.cmdYes_Click();
        }
    };
    state->tmrMemoryInspected().tick();
    EXPECT_EQ(shownWhenAnswered, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(fake.processes.terminated(), (std::vector<std::uint32_t>{10, 11}));
    EXPECT_EQ(events, (std::vector<std::string>{"0 BAD.EXE", "0 WORSE.EXE"}));
    EXPECT_TRUE(fake.processes.running(12));
    EXPECT_EQ(state->counters().threats, 2);
    EXPECT_EQ(state->runState(), RunState::Idle);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ProtectionTest, StopThatFailsIsSaidAndAProcessThatEndedCountsAsStopped) {
    writeStandardDefinitions();
    fake.processes.add(Proc{10, "bad.exe", "C:\\Temp\\bad.exe", true, false, ""});
    ui.spywareAnswers = {SpywareAlertAnswer::Stop};
    protection().memoryShield().tmrMemoryInspected_Timer();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "BAD.EXE could not be stopped.  You should try again after saving your work and "
              "closing any open applications.");
    EXPECT_EQ(ui.boxes[0].title, state->productName());
    EXPECT_TRUE(fake.processes.running(10));
    EXPECT_FALSE(state->exclusions().IsExcluded("BAD.EXE"));

    // Ends by itself while the alert is open.
    fake.processes.add(11, "C:\\windows\\explorer.exe");
    ui.spywareAnswers = {std::nullopt};
    ui.onPump = [&] {
        if (!protection().memoryShield().AlertAnswered()) {
            fake.processes.clear();
            protection().memoryShield().cmdYes_Click();
        }
    };
    protection().memoryShield().tmrMemoryInspected_Timer();
    EXPECT_EQ(ui.spywareAlerts.size(), 2u);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(ProtectionTest, HomePageTimerStoresAsksRestoresAndStopsWhenOff) {
    setStartPage("http://home.example/");
    state->ApplyBackgroundTimers(true);
    listen();
    runSeconds(14);
    EXPECT_EQ(setting("OptionAndSettings", "Homepage"), "<none>");
    runSeconds(1);
    EXPECT_EQ(setting("OptionAndSettings", "Homepage"), "http://home.example/");

    protection().optRestoredefaultwithoutnotification_Click();
    setStartPage("http://Home.example/");
    runSeconds(15);
    EXPECT_EQ(startPage(), "http://home.example/");
    EXPECT_TRUE(ui.homePageAlerts.empty());

    protection().optAlwaysnotifybeforerestoring_Click();
    setStartPage("http://new.example/");
    ui.homePageAnswers = {false};
    runSeconds(15);
    ASSERT_EQ(ui.homePageAlerts.size(), 1u);
    EXPECT_EQ(setting("OptionAndSettings", "Homepage"), "http://new.example/");
    EXPECT_TRUE(state->tmrCheckHomePage().enabled());
    EXPECT_EQ(events,
              (std::vector<std::string>{"3 http://home.example/", "4 http://new.example/"}));

    // Off, but its timer still running: no alert, and the timer stops at its next check.
    setOption("optIEHomePageSheildOn", "False");
    setStartPage("http://hijack.example/");
    runSeconds(15);
    EXPECT_EQ(ui.homePageAlerts.size(), 1u);
    EXPECT_FALSE(state->tmrCheckHomePage().enabled());
    EXPECT_EQ(startPage(), "http://hijack.example/");
}

TEST_F(ProtectionTest, ScheduledScanRemovesWhatItFindsAndAnUnscheduledScanNeverDoes) {
    writeStandardDefinitions();
    plantThreats();
    protection().optMemorySheildOff_Click();
    scheduleDaily("2:05:10 PM", true);
    EXPECT_TRUE(state->tmrScheduler().enabled());
    listen();
    std::vector<bool> requestDuringScan;
    ui.onPump = [&] {
        if (state->scanRunning()) {
            requestDuringScan.push_back(state->AutoRemoveAfterScan());
        }
    };
    runSeconds(2);
    EXPECT_EQ(state->scanRun().lastOutcome(), app::ScanOutcome::NoRunYet);
    runSeconds(1);
    EXPECT_EQ(state->scanRun().lastOutcome(), app::ScanOutcome::Completed);
    EXPECT_NE(state->removal().lastSummary().outcome, app::RemovalOutcome::NotRun);
    EXPECT_FALSE(fake.fs.fileExists("C:\\Program Files\\EvilCo\\evil.exe"));
    ASSERT_FALSE(requestDuringScan.empty());
    EXPECT_EQ(std::count(requestDuringScan.begin(), requestDuringScan.end(), false), 0);
    EXPECT_FALSE(state->AutoRemoveAfterScan());
    EXPECT_TRUE(ui.boxes.empty());  // the removal asked nothing
    EXPECT_EQ(events, (std::vector<std::string>{"5 ", "6 "}));

    requestDuringScan.clear();
    plantThreats();
    state->scanRun().lblStart_Click();
    ASSERT_FALSE(requestDuringScan.empty());
    EXPECT_EQ(std::count(requestDuringScan.begin(), requestDuringScan.end(), true), 0);
    EXPECT_TRUE(fake.fs.fileExists("C:\\Program Files\\EvilCo\\evil.exe"));
}

TEST_F(ProtectionTest, OptionHandlersArmAndDisarmTheTimers) {
    protection().chkAutoProtect_Click(false);
    EXPECT_FALSE(state->tmrMemoryInspected().enabled());
    EXPECT_EQ(setting("OptionAndSettings", "optMemorySheildOff"), "True");
    protection().chkHomePage_Click(false);
    EXPECT_FALSE(state->tmrCheckHomePage().enabled());
    EXPECT_EQ(ui.isEnabled("optAlwaysnotifybeforerestoring"), false);
    state->ApplyBackgroundTimers(true);
    EXPECT_FALSE(state->tmrMemoryInspected().enabled() || state->tmrCheckHomePage().enabled());

    protection().optMemorySheildOn_Click();
    protection().optIEHomePageSheildOn_Click();
    state->ApplyBackgroundTimers(false);
    state->ApplyBackgroundTimers(true);
    EXPECT_TRUE(state->tmrMemoryInspected().enabled() && state->tmrCheckHomePage().enabled());
    EXPECT_EQ(ui.isEnabled("optRestoredefaultwithoutnotification"), true);

    // "Date & Time" without a date says so and stores nothing.
    protection().chkAutomaticScanYesOrNo_Click(true);
    EXPECT_TRUE(state->tmrScheduler().enabled());
    protection().scheduler().cmbDays_Click(protection::ScanScheduler::kDateAndTime);
    protection().CmdProceed_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, state->msg("MSG_DATE"));
    EXPECT_EQ(setting("OptionAndSettings", "chkAutomaticScanYesOrNo"), "<none>");
    protection().cmdDefaultSetting_Click();
    EXPECT_FALSE(state->tmrScheduler().enabled());
    state->ApplyBackgroundTimers(true);
    EXPECT_FALSE(state->tmrScheduler().enabled());
}

}  // namespace
}  // namespace nightjar::apptest
