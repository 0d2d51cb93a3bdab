#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/FilterStatusWords.h"
#include "app/UpdateController.h"
#include "removal/ExclusionList.h"
#include "scan/DriveList.h"

namespace nightjar::apptest {
namespace {

class MainStateTest : public AppFixture {};

TEST_F(MainStateTest, ProgressRefreshesOnlyEveryTwentyFifthCall) {
    state->counters().filesFolders = 7;
    for (int i = 1; i < 25; ++i) {
        state->UpdateScanProgress("item " + std::to_string(i), 10, 20);
    }
    EXPECT_TRUE(ui.textsOf("lblStatus").empty());
    EXPECT_TRUE(ui.textsOf("lblFilesFolderInspected").empty());
    EXPECT_FALSE(ui.progress("pb1").has_value());
    EXPECT_EQ(state->counters().throttle, 24);

    state->UpdateScanProgress("item 25", 10, 20);
    EXPECT_EQ(ui.textsOf("lblStatus"), (std::vector<std::string>{"item 25"}));
    EXPECT_EQ(ui.text("lblFilesFolderInspected"), "7");
    EXPECT_EQ(ui.progress("pb1"), 10);
    EXPECT_EQ(ui.progress("pb2"), 20);
    EXPECT_EQ(state->counters().throttle, 0);

    for (int i = 26; i <= 50; ++i) {
        state->UpdateScanProgress("item " + std::to_string(i), -1, 30);
    }
    EXPECT_EQ(ui.textsOf("lblStatus"), (std::vector<std::string>{"item 25", "item 50"}));
    // A negative percent leaves its bar as it was.
    EXPECT_EQ(ui.progress("pb1"), 10);
    EXPECT_EQ(ui.progress("pb2"), 30);
}

TEST_F(MainStateTest, ForcedProgressIgnoresTheThrottleAndRefreshResetsIt) {
    for (int i = 0; i < 10; ++i) {
        state->UpdateScanProgress("x", 0, 0);
    }
    state->counters().threats = 3;
    state->ForceScanProgress("forced", 5, -1);
    EXPECT_EQ(ui.text("lblStatus"), "forced");
    EXPECT_EQ(ui.text("lblSoftwareFound"), "3");
    EXPECT_EQ(ui.text("lblRemovePicSoftwareFound"), "3");
    EXPECT_EQ(ui.progress("pb1"), 5);
    EXPECT_FALSE(ui.progress("pb2").has_value());
    EXPECT_EQ(state->counters().throttle, 10);

    state->counters().registry = 12;
    state->RefreshScanCounters();
    EXPECT_EQ(ui.text("lblRegistryInspected"), "12");
    EXPECT_EQ(state->counters().throttle, 0);
    EXPECT_EQ(ui.textsOf("lblStatus").size(), 1u);
}

TEST_F(MainStateTest, StatusWordsAreFilteredOnTheStatusLine) {
    for (int i = 0; i < 24; ++i) {
        state->UpdateScanProgress("x", 0, 0);
    }
    state->UpdateScanProgress("C:\\Temp\\BullShit.exe", 0, 0);
    EXPECT_EQ(ui.text("lblStatus"), "C:\\Temp\\.exe");
}

TEST(FilterStatusWordsTest, RemovesEveryWordIgnoringCase) {
    EXPECT_EQ(app::kFilteredStatusWords.size(), 41u);
    EXPECT_EQ(app::FilterStatusWords("a FUCK b fuck c Fuck"), "a  b  c ");
    EXPECT_EQ(app::FilterStatusWords("C:\\WANKER\\x.dll"), "C:\\\\x.dll");
    EXPECT_EQ(app::FilterStatusWords(""), "");
}

TEST(FilterStatusWordsTest, WordsAreRemovedOneAfterAnotherInListOrder) {
    // "shithead" comes before "shit", so the compound goes whole.
    EXPECT_EQ(app::FilterStatusWords("shithead.exe"), ".exe");
    // One pass per word: removing "fuck" from "fufuckck" leaves a new "fuck" behind,
    // which no later word removes.
    EXPECT_EQ(app::FilterStatusWords("fufuckck"), "fuck");
    // A later word can still act on what an earlier word left: removing "piss" (after
    // "pissed") joins "pis" + "sed" into a new "pissed", which stays.
    EXPECT_EQ(app::FilterStatusWords("pispisssed"), "pissed");
}

TEST(FilterStatusWordsTest, OrdinaryPathWordsStayWhole) {
    const std::string text =
        "C:\\windows\\system32\\shell32.dll Debugger Saturday Assembly parser.exe class "
        "Scrapbook Cocktail Mississippi";
    EXPECT_EQ(app::FilterStatusWords(text), text);
}

TEST_F(MainStateTest, BackgroundTimersFollowTheStoredOptions) {
    // Fresh profile: scheduler off, both shields on.
    state->ApplyBackgroundTimers(true);
    EXPECT_FALSE(state->tmrScheduler().enabled());
    EXPECT_TRUE(state->tmrCheckHomePage().enabled());
    EXPECT_TRUE(state->tmrMemoryInspected().enabled());

    setOption("chkAutomaticScanYesOrNo", "1");
    setOption("optIEHomePageSheildOn", "False");
    setOption("optMemorySheildOn", "0");
    state->ApplyBackgroundTimers(true);
    EXPECT_TRUE(state->tmrScheduler().enabled());
    EXPECT_FALSE(state->tmrCheckHomePage().enabled());
    EXPECT_FALSE(state->tmrMemoryInspected().enabled());

    setOption("optMemorySheildOn", "True");
    state->tmrTimeOut().setEnabled(true);
    state->ApplyBackgroundTimers(true);
    EXPECT_TRUE(state->tmrMemoryInspected().enabled());
    state->ApplyBackgroundTimers(false);
    EXPECT_FALSE(state->tmrScheduler().enabled());
    EXPECT_FALSE(state->tmrCheckHomePage().enabled());
    EXPECT_FALSE(state->tmrMemoryInspected().enabled());
    // The time-out timer is not one of the three.
    EXPECT_TRUE(state->tmrTimeOut().enabled());
}

TEST_F(MainStateTest, TimersHaveTheirIntervals) {
    EXPECT_EQ(state->tmrScheduler().interval(), 10);
    EXPECT_EQ(state->tmrMemoryInspected().interval(), 2000);
    EXPECT_EQ(state->tmrCheckHomePage().interval(), 5000);
    EXPECT_EQ(state->tmrScroll().interval(), 200);
    EXPECT_EQ(state->timUpdate().interval(), 1000);
    // The scroll timer yields to the message loop.
    const int before = ui.pumps;
    state->tmrScroll().setEnabled(true);
    state->tmrScroll().tick();
    EXPECT_EQ(ui.pumps, before + 1);
}

TEST_F(MainStateTest, StartupPreparesTheState) {
    writeStandardDefinitions();
    // A staged copy replaces its file.
    fake.fs.addFile(
        dataFile("DLExeDefinition.dat"),
        definitions::ScrambleLine("a=b|c") + "\r\n" + definitions::ScrambleLine("d=e|f") + "\r\n");
    fake.fs.addFile(dataFile("ENoSignature.dat"), "C:\\keep.exe\r\n");
    fake.fs.setDrives({{'C', platform::DriveType::Fixed, true},
                       {'D', platform::DriveType::Fixed, false},
                       {'E', platform::DriveType::CdRom, false}});
    state->settings().Write("Drives", "E", "False");
    state->settings().WriteApp("ZeRidoRevira2", "Nightjar Labs", "Name", "Companion Guard");
    setOption("chkAutomaticUpdate", "1");

    state->Startup();

    // Companion record.
    EXPECT_EQ(ui.text("cmdHijack"), "Companion Guard");
    EXPECT_TRUE(ui.isVisible("cmdHijack").value_or(false));
    EXPECT_EQ(state->settings().ReadApp("DiDudaRodirur2", "Nightjar Labs", "Name", ""), "Nightjar");
    EXPECT_EQ(state->settings().ReadApp("DiDudaRodirur2", "Nightjar Labs", "File", ""),
              "C:\\Program Files\\Nightjar\\Nightjar.exe");
    // Staging and counts: 2 file + 1 folder + 2 registry + 2 exe + 1 cookie lines.
    EXPECT_FALSE(fake.fs.exists(dataFile("DLExeDefinition.dat")));
    EXPECT_EQ(state->signatures().counts().exe, 2);
    EXPECT_EQ(state->signatures().counts().total, 8);
    EXPECT_EQ(ui.text("lblDefCount"), "8");
    EXPECT_EQ(ui.text("lblDefVersion"), "12/1/2026 12:00:00 AM PST");
    EXPECT_EQ(ui.text("lblVersion"), "1.0");
    EXPECT_EQ(ui.text("lblLastScan"), "Never");
    EXPECT_EQ(ui.text("lblLastFullScan"), "Never");
    EXPECT_EQ(ui.text("lblDefRemoved"), "0");
    // Exclusions.
    EXPECT_TRUE(state->exclusions().IsExcluded("c:\\KEEP.exe"));
    // Drive list: the fixed drive that is not ready is left out; marks from the settings.
    const auto& rows = state->drives().rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].letter, 'C');
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(rows[1].letter, 'E');
    EXPECT_FALSE(rows[1].checked);
    // Run state, timers.
    EXPECT_EQ(setting("OptionAndSettings", "STATUS"), "RUNNING");
    EXPECT_EQ(setting("OptionAndSettings", "RESTART"), "False");
    EXPECT_TRUE(state->tmrCheckHomePage().enabled());
    EXPECT_TRUE(state->tmrMemoryInspected().enabled());
    EXPECT_FALSE(state->tmrScheduler().enabled());
    EXPECT_FALSE(state->tmrScroll().enabled());
    EXPECT_TRUE(state->timUpdate().enabled());
    EXPECT_EQ(state->optScan(), app::ScanMode::Smart);
    EXPECT_EQ(ui.pages.back(), "frmStatus");
    EXPECT_EQ(ui.text("frmStatus"), "Nightjar Status");
}

TEST_F(MainStateTest, StartupWithoutCompanionKeepsItsButtonHidden) {
    state->Startup();
    EXPECT_FALSE(ui.isVisible("cmdHijack").has_value());
    EXPECT_FALSE(state->timUpdate().enabled());
    EXPECT_EQ(ui.text("lblDefCount"), "0");
}

TEST_F(MainStateTest, DefinitionCountIsShownWithDigitGrouping) {
    std::string lines;
    for (int i = 0; i < 1234; ++i) {
        lines += definitions::ScrambleLine("x") + "\r\n";
    }
    fake.fs.addFile(dataFile("BlockedCookies.dat"), lines);
    state->PrepareDefinitions();
    state->RefreshStatusPanel();
    EXPECT_EQ(ui.text("lblDefCount"), "1,234");
}

TEST_F(MainStateTest, SinkRowsLandInTheirLists) {
    state->addFeedRow({"EXCLUDED", scan::icon::Excluded, "C:\\x"});
    state->addCookieWorkRow({"C:\\c.txt", false});
    state->addTrace();
    state->addTrace();
    state->setRunningItems(17);
    EXPECT_EQ(state->lvwSpywareFound().size(), 1u);
    EXPECT_EQ(state->lvwCookiesToDelete().size(), 1u);
    EXPECT_EQ(state->tracesFound(), 2);
    EXPECT_EQ(ui.text("lbltracesFound"), "2");
    EXPECT_EQ(ui.text("lblTotalNoOfRunningItems"), "17");
    EXPECT_TRUE(state->lvwFileNotFounds().empty());
}

TEST_F(MainStateTest, SignatureLoadingLocksPauseAndStop) {
    using app::control::cmdPause;
    using app::control::cmdStop;
    state->ui().setEnabled(cmdPause, true);
    state->loadingStarted("Loading definitions, please wait...");
    EXPECT_FALSE(state->ui().isEnabled(cmdPause));
    EXPECT_FALSE(state->ui().isEnabled(cmdStop));
    EXPECT_EQ(ui.text("lblStatus"), "Loading definitions, please wait...");
    state->loadingFinished();
    EXPECT_TRUE(state->ui().isEnabled(cmdPause));
    EXPECT_TRUE(state->ui().isEnabled(cmdStop));
}

TEST_F(MainStateTest, RowModelAnnouncesChanges) {
    std::vector<std::pair<app::RowChange, std::size_t>> changes;
    state->ResultList().setListener(
        [&](app::RowChange c, std::size_t first, std::size_t) { changes.emplace_back(c, first); });
    addResult("a", scan::icon::File, "C:\\a");
    addResult("b", scan::icon::File, "C:\\b");
    state->ResultList().setChecked(1, true);
    state->ResultList().setChecked(1, true);  // no change, no announcement
    state->ResultList().removeIf([](const scan::FoundItem& r) { return r.checked; });
    state->ResultList().removeIf([](const scan::FoundItem& r) { return r.checked; });
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0], std::make_pair(app::RowChange::Inserted, std::size_t{0}));
    EXPECT_EQ(changes[1], std::make_pair(app::RowChange::Inserted, std::size_t{1}));
    EXPECT_EQ(changes[2], std::make_pair(app::RowChange::Updated, std::size_t{1}));
    EXPECT_EQ(changes[3].first, app::RowChange::Reset);
    ASSERT_EQ(state->ResultList().size(), 1u);
    EXPECT_EQ(state->ResultList()[0].title, "a");
}

TEST_F(MainStateTest, ControlsNeverTouchedReadAsEnabledAndVisible) {
    EXPECT_TRUE(state->ui().isEnabled(app::control::cmdScanNow));
    EXPECT_TRUE(state->ui().isVisible(app::control::cmdRemove));
    EXPECT_EQ(state->ui().text(app::control::lblStatus), "");
    // The tracker forwards to the real interface.
    state->ui().setEnabled(app::control::cmdScan, false);
    EXPECT_EQ(ui.isEnabled("cmdScan"), false);
}

TEST_F(MainStateTest, ScanRunningFollowsTheRunStateNotTheButtons) {
    using app::RunState;
    // A button a window disables (or an update enables) says nothing about a run.
    state->ui().setEnabled(app::control::cmdScan, false);
    EXPECT_FALSE(state->scanRunning());
    const std::pair<RunState, bool> table[] = {{RunState::Scanning, true},
                                               {RunState::Paused, true},
                                               {RunState::Removing, false},
                                               {RunState::AlertOpen, false}};
    for (auto [run, scanning] : table) {
        const app::RunStateScope scope = state->enterRunState(run);
        EXPECT_EQ(state->runState(), run);
        EXPECT_EQ(state->scanRunning(), scanning);
    }
    EXPECT_EQ(state->runState(), RunState::Idle);
}

TEST_F(MainStateTest, EveryStartSelectsQuickScan) {
    // Stored from an earlier session, and what a fresh profile reads by default.
    setOption("optScanAllSelectedHardDrive", "True");
    state->selectScanScope(app::ScanScope::CompleteSystem);
    state->PrepareForRuns();
    EXPECT_EQ(state->scanScope(), app::ScanScope::Quick);
    EXPECT_EQ(setting("OptionAndSettings", "optScanAllSelectedHardDrive"), "False");
    EXPECT_EQ(setting("OptionAndSettings", "optScanOnlyKnownSoftwares"), "True");
    EXPECT_EQ(ui.isVisible("lvwHardDrives"), false);

    state->selectScanScope(app::ScanScope::CompleteSystem);
    EXPECT_EQ(setting("OptionAndSettings", "optScanAllSelectedHardDrive"), "True");
    EXPECT_EQ(setting("OptionAndSettings", "optScanOnlyKnownSoftwares"), "False");
    EXPECT_EQ(ui.isVisible("lvwHardDrives"), true);
}

TEST_F(MainStateTest, DataFolderAndMessages) {
    EXPECT_EQ(state->dataFolder(), kDataFolder);
    EXPECT_EQ(state->msg("msg_sure"), "Are you sure?");
    EXPECT_EQ(state->msg("MSG_PAUSED"), "Nightjar has been paused.  Click OK to resume.");
    EXPECT_EQ(state->Now(), "12/8/2026 2:05:07 PM");
}

}  // namespace
}  // namespace nightjar::apptest
