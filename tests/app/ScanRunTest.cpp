#include <gtest/gtest.h>

#include <algorithm>

#include "app/AppFixture.h"
#include "app/GeneralDate.h"
#include "app/UpdateController.h"
#include "scan/DriveList.h"

namespace nightjar::apptest {
namespace {

using app::MsgAnswer;
using app::MsgButtons;
using app::MsgIcon;
using app::RunState;
using app::ScanMode;
using app::ScanOutcome;

constexpr std::string_view kStamp = "12/8/2026 2:05:07 PM";

class ScanRunTest : public AppFixture {
  protected:
    void SetUp() override {
        writeStandardDefinitions();
        plantThreats();
        state->FillDrives();
    }
    void run(ScanMode mode) {
        state->setOptScan(mode);
        state->scanRun().cmdScanNow_Click();
    }
    bool allDefinitionFilesGone() {
        for (std::string_view name : definitions::kGuardedFiles) {
            if (fake.fs.exists(dataFile(name))) {
                return false;
            }
        }
        return !fake.fs.exists(dataFile(definitions::kDateFile));
    }
};

TEST_F(ScanRunTest, SmartScanReportsEveryKindOfThreat) {
    run(ScanMode::Smart);

    const auto& results = state->ResultList();
    ASSERT_EQ(results.size(), 6u);
    // Cookies come first, then registry, then known files and known folders.
    EXPECT_EQ(results[0].title, "Cookie: tester@adserver[1].txt");
    EXPECT_EQ(results[0].icon, scan::icon::Cookie);
    EXPECT_EQ(results[0].location, std::string(kCookies) + "\\tester@adserver[1].txt");
    EXPECT_EQ(results[0].type, "Tracking Cookie");
    EXPECT_EQ(results[0].risk, "Low");
    EXPECT_EQ(results[1].title, "EvilReg");
    EXPECT_EQ(results[1].icon, scan::icon::Registry);
    EXPECT_EQ(results[1].location, "HKEY_CURRENT_USER\\Software\\EvilCo");
    EXPECT_EQ(results[1].risk, "Medium/High");
    EXPECT_EQ(results[2].title, "EvilRunner");
    EXPECT_EQ(results[2].location,
              "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunEvilRun");
    EXPECT_EQ(results[3].title, "EvilWare");
    EXPECT_EQ(results[3].icon, scan::icon::File);
    EXPECT_EQ(results[3].location, "C:\\Program Files\\EvilCo\\evil.exe");
    EXPECT_EQ(results[3].risk, "Medium/High");
    EXPECT_EQ(results[3].details,
              "Adware displays ads on your computer and can compromise your security.");
    // The known-files phase reports a file directly inside a first-level folder.
    EXPECT_EQ(results[4].title, "TempBad");
    EXPECT_EQ(results[4].location, "C:\\Temp\\tmpbad.exe");
    EXPECT_EQ(results[4].risk, "HIGH");
    EXPECT_EQ(results[5].title, "EvilDir");
    EXPECT_EQ(results[5].icon, scan::icon::Folder);
    EXPECT_EQ(results[5].location, "C:\\Program Files\\EvilDir");
    EXPECT_EQ(results[5].details,
              "Allows remote access to your computer.  Can be malicious and damage your system.");

    // The running threat was stopped and shown in the feed only.
    EXPECT_TRUE(feedHas("Running Application", "BAD.EXE was stopped"));
    EXPECT_FALSE(fake.processes.running(4242));
    EXPECT_TRUE(fake.processes.running(100));
}

TEST_F(ScanRunTest, SmartScanFillsFeedWorkListsCountersAndLabels) {
    run(ScanMode::Smart);

    // Five definition threats plus the running process.
    EXPECT_EQ(state->counters().threats, 7);
    EXPECT_EQ(state->lvwCookiesToDelete().size(), 1u);
    EXPECT_EQ(state->lvwRegistryToBeDeleted().size(), 2u);
    EXPECT_EQ(state->lvwFilesToBeDeleted().size(), 3u);
    EXPECT_EQ(state->tracesFound(), 6);
    EXPECT_EQ(ui.text("lbltracesFound"), "6");
    EXPECT_EQ(ui.text("lblSoftwareFound"), "7");
    EXPECT_EQ(ui.text("lblRemovePicSoftwareFound"), "7");
    EXPECT_EQ(state->scanRun().lastOutcome(), ScanOutcome::Completed);
    EXPECT_EQ(ui.text("lblStatus"), "Scanning complete.");
    EXPECT_EQ(ui.progress("pb1"), 100);
    EXPECT_EQ(ui.progress("pb2"), 100);
    EXPECT_EQ(state->scanStartTime(), kStamp);
    EXPECT_EQ(state->scanFinishTime(), kStamp);
    EXPECT_EQ(setting("Settings", "lblLastScan"), kStamp);
    EXPECT_EQ(ui.text("lblLastScan"), kStamp);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ScanRunTest, OptionalPhasesOffStillRunKnownFilesAndFolders) {
    setOption("chkScanCookies", "0");
    setOption("chkSweepMemory", "0");
    setOption("chkScanRegistry", "0");
    run(ScanMode::Smart);

    EXPECT_GE(resultIndex("EvilWare"), 0);
    EXPECT_GE(resultIndex("TempBad"), 0);
    EXPECT_GE(resultIndex("EvilDir"), 0);
    EXPECT_EQ(resultIndex("Cookie: tester@adserver[1].txt"), -1);
    EXPECT_EQ(resultIndex("EvilReg"), -1);
    EXPECT_TRUE(fake.processes.running(4242));
    EXPECT_EQ(state->counters().processes, 0);
    EXPECT_EQ(state->counters().registry, 0);
    const auto memory = ui.textsOf("lblMemoryInspected");
    const auto registry = ui.textsOf("lblRegistryInspected");
    EXPECT_NE(std::find(memory.begin(), memory.end(), "Not Selected"), memory.end());
    EXPECT_NE(std::find(registry.begin(), registry.end(), "Not Selected"), registry.end());
    // The refresh at the end shows the numbers again.
    EXPECT_EQ(ui.text("lblMemoryInspected"), "0");
}

TEST_F(ScanRunTest, FullSystemScanWalksDrivesAndRunsNoCookieOrKnownPhases) {
    run(ScanMode::FullSystem);

    // Found by the walk: the deep file and the folder (as a walk names it).
    EXPECT_GE(resultIndex("EvilWare"), 0);
    const int dir = resultIndex("EvilDir Directory");
    ASSERT_GE(dir, 0);
    EXPECT_EQ(state->ResultList()[static_cast<std::size_t>(dir)].icon, scan::icon::Folder);
    // Memory and registry phases ran.
    EXPECT_GE(resultIndex("EvilReg"), 0);
    EXPECT_FALSE(fake.processes.running(4242));
    // No cookie phase, and no known-files phase (the walk cannot see C:\Temp\tmpbad.exe).
    EXPECT_EQ(resultIndex("Cookie: tester@adserver[1].txt"), -1);
    EXPECT_TRUE(state->lvwCookiesToDelete().empty());
    EXPECT_EQ(resultIndex("TempBad"), -1);
    EXPECT_EQ(ui.textsOf("lblPercentageCompleted").at(1), "Scanning your Hard Disk...");
    EXPECT_GT(state->counters().filesFolders, 10);
}

TEST_F(ScanRunTest, FullSystemScanWalksOnlyCheckedDrives) {
    fake.fs.setDrives({{'C', platform::DriveType::Fixed, true},
                       {'D', platform::DriveType::Fixed, true},
                       {'E', platform::DriveType::Removable, true}});
    fake.fs.addFile("D:\\Program Files\\EvilCo\\evil.exe", "MZ");
    fake.fs.addFile("E:\\Program Files\\EvilCo\\evil.exe", "MZ");
    state->settings().Write("Drives", "D", "False");
    state->FillDrives();
    ASSERT_EQ(state->drives().rows().size(), 3u);

    run(ScanMode::FullSystem);

    std::vector<std::string> found;
    for (const auto& row : state->ResultList()) {
        if (row.title == "EvilWare") {
            found.push_back(row.location);
        }
    }
    EXPECT_EQ(found, (std::vector<std::string>{"c:\\program files\\evilco\\evil.exe",
                                               "e:\\program files\\evilco\\evil.exe"}));
}

TEST_F(ScanRunTest, MissingDefinitionFileStopsEveryModeAndResetsTheSet) {
    for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        writeStandardDefinitions();
        ASSERT_TRUE(fake.fs.deleteFile(dataFile(definitions::kDirectoryDefinition)));
        ui.boxes.clear();
        ui.files.push_back("C:\\Program Files\\EvilCo\\evil.exe");
        ui.folders.push_back("C:\\Program Files");

        run(static_cast<ScanMode>(mode));

        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text,
                  "Definition files are missing or they have been corrupted. Please run Live "
                  "Update.");
        EXPECT_EQ(ui.boxes[0].title, "Nightjar");
        EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Information);
        EXPECT_TRUE(allDefinitionFilesGone());
        const auto captions = ui.textsOf("lblDefVersion");
        EXPECT_NE(std::find(captions.begin(), captions.end(), "Files Missing, Run Live Update"),
                  captions.end());
        EXPECT_TRUE(state->ResultList().empty());
        EXPECT_TRUE(fake.processes.running(4242));
        // Refused, and shown as an empty run, not a cancelled one.
        EXPECT_EQ(state->scanRun().lastOutcome(), ScanOutcome::DefinitionsMissing);
        EXPECT_EQ(ui.text("lblStatus"), "Scanning complete.");
        EXPECT_EQ(state->runState(), RunState::Idle);
    }
}

TEST_F(ScanRunTest, MissingDefinitionsDoNotLeaveTheFileTablesEmptyForLaterRuns) {
    ASSERT_TRUE(fake.fs.deleteFile(dataFile(definitions::kExeDefinition)));
    run(ScanMode::FullSystem);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_FALSE(state->signatures().filesLoaded());

    // Live Update brings the set back; the next walk uses it.
    writeStandardDefinitions();
    run(ScanMode::FullSystem);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_GE(resultIndex("EvilWare"), 0);
}

TEST_F(ScanRunTest, StopDuringMemoryPhaseCancelsTheRun) {
    bool pressed = false;
    ui.onPump = [&] {
        if (!pressed && ui.text("lblPercentageCompleted") == "Inspecting memory") {
            pressed = true;
            ui.answers.push_back(MsgAnswer::Yes);
            state->scanRun().cmdStop_Click();
        }
    };
    run(ScanMode::Smart);

    ASSERT_TRUE(pressed);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Are you sure you want to stop the scan?");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Question);
    EXPECT_EQ(ui.pointerResets, 1);
    EXPECT_TRUE(state->ScanStopRequested());
    EXPECT_EQ(ui.text("lblStatus"), "Scanning was cancelled.");
    EXPECT_EQ(ui.text("lblPercentageCompleted"), "0% Completed.");
    EXPECT_EQ(ui.progress("pbgMain"), 0);
    // The later phases ended at their first test of the flag.
    EXPECT_EQ(resultIndex("EvilReg"), -1);
    EXPECT_EQ(resultIndex("EvilWare"), -1);
    EXPECT_EQ(resultIndex("EvilDir"), -1);
    // The cookie phase had finished before.
    EXPECT_GE(resultIndex("Cookie: tester@adserver[1].txt"), 0);
    // The run still ends as a run.
    EXPECT_EQ(state->scanRun().lastOutcome(), ScanOutcome::Cancelled);
    EXPECT_EQ(setting("Settings", "lblLastScan"), kStamp);
    EXPECT_EQ(state->runState(), RunState::Idle);
}

TEST_F(ScanRunTest, StopAnsweredNoKeepsScanning) {
    ui.answers.push_back(MsgAnswer::No);
    state->scanRun().lblStop_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Are you sure?");
    EXPECT_FALSE(state->ScanStopRequested());
    EXPECT_EQ(ui.pointerResets, 0);
}

TEST_F(ScanRunTest, AutomaticRemovalRemovesEveryResultWithoutQuestions) {
    state->setAutoRemoveAfterScan(true);
    run(ScanMode::Smart);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(state->ResultList().empty());
    EXPECT_FALSE(fake.fs.exists("C:\\Program Files\\EvilCo\\evil.exe"));
    EXPECT_FALSE(fake.registry.keyExists(platform::Hive::CurrentUser, "Software\\EvilCo",
                                         platform::KeyAccess::Read));
    ASSERT_FALSE(ui.pages.empty());
    EXPECT_EQ(ui.pages.back(), "frmResults");
    EXPECT_EQ(state->runState(), RunState::Idle);
    // The report lists what was found, and the quarantine log of its removal.
    const std::string report = fake.fs.content(dataFile("Scan_Log.txt")).value_or("");
    EXPECT_NE(report.find("Name: EvilWare\r\n"), std::string::npos);
    EXPECT_EQ(report.find("Total = 0"), std::string::npos);
    EXPECT_NE(report.find(" - File: evil.exe"), std::string::npos);
}

TEST_F(ScanRunTest, WithoutAutomaticRemovalResultsStayForTheUser) {
    run(ScanMode::Smart);
    ASSERT_FALSE(state->ResultList().empty());
    for (const auto& row : state->ResultList()) {
        EXPECT_FALSE(row.checked);
    }
    EXPECT_TRUE(fake.fs.exists("C:\\Program Files\\EvilCo\\evil.exe"));
}

TEST_F(ScanRunTest, CancelledRunSkipsAutomaticRemoval) {
    state->setAutoRemoveAfterScan(true);
    ui.onPump = [&] {
        if (!state->ScanStopRequested()) {
            ui.answers.push_back(MsgAnswer::Yes);
            state->scanRun().cmdStop_Click();
        }
    };
    run(ScanMode::Smart);
    EXPECT_TRUE(fake.fs.exists("C:\\Program Files\\EvilCo\\evil.exe"));
    EXPECT_TRUE(fake.registry.keyExists(platform::Hive::CurrentUser, "Software\\EvilCo",
                                        platform::KeyAccess::Read));
}

TEST_F(ScanRunTest, ScheduledStartUsesTheModeSelectedAtThatMoment) {
    EXPECT_EQ(state->optScan(), ScanMode::Smart);
    state->scanRun().lblStart_Click();
    EXPECT_GE(resultIndex("Cookie: tester@adserver[1].txt"), 0);
    ASSERT_FALSE(ui.pages.empty());
    EXPECT_EQ(ui.pages.back(), "frmScan");

    state->setOptScan(ScanMode::FullSystem);
    state->scanRun().lblStart_Click();
    EXPECT_EQ(resultIndex("Cookie: tester@adserver[1].txt"), -1);
    EXPECT_GE(resultIndex("EvilDir Directory"), 0);
}

TEST_F(ScanRunTest, StartDoesNothingWhileARunIsInProgress) {
    int nested = 0;
    ui.onPump = [&] {
        if (nested == 0) {
            ++nested;
            const auto before = state->ResultList().size();
            state->scanRun().lblStart_Click();
            state->scanRun().StartMode(1);
            // Nothing was cleared or restarted.
            EXPECT_EQ(state->ResultList().size(), before);
        }
    };
    run(ScanMode::Smart);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(state->optScan(), ScanMode::Smart);
    EXPECT_EQ(ui.text("lblStatus"), "Scanning complete.");
}

TEST_F(ScanRunTest, RunStateAndTimersDuringAndAfterARun) {
    setOption("chkAutomaticScanYesOrNo", "1");
    state->ApplyBackgroundTimers(true);
    state->tmrTimeOut().setEnabled(true);
    state->tmrScroll().setEnabled(true);
    bool checkedDuringRun = false;
    ui.onPump = [&] {
        if (checkedDuringRun) {
            return;
        }
        checkedDuringRun = true;
        EXPECT_EQ(state->runState(), RunState::Scanning);
        EXPECT_TRUE(state->scanRunning());
        EXPECT_FALSE(state->tmrScheduler().enabled());
        EXPECT_FALSE(state->tmrCheckHomePage().enabled());
        EXPECT_FALSE(state->tmrMemoryInspected().enabled());
        EXPECT_FALSE(state->tmrTimeOut().enabled());
        EXPECT_FALSE(state->tmrScroll().enabled());
    };
    run(ScanMode::Smart);

    ASSERT_TRUE(checkedDuringRun);
    EXPECT_EQ(state->runState(), RunState::Idle);
    EXPECT_FALSE(state->scanRunning());
    EXPECT_TRUE(state->tmrScheduler().enabled());
    EXPECT_TRUE(state->tmrCheckHomePage().enabled());
    EXPECT_TRUE(state->tmrMemoryInspected().enabled());
    EXPECT_TRUE(state->tmrTimeOut().enabled());
    EXPECT_FALSE(state->tmrScroll().enabled());
}

TEST_F(ScanRunTest, NothingStartsWhileTheProgramIsBusy) {
    setOption("chkAutomaticUpdate", "1");
    state->updates().ArmAutomaticUpdate();
    for (RunState busy : {RunState::Removing, RunState::AlertOpen}) {
        SCOPED_TRACE(static_cast<int>(busy));
        const app::RunStateScope scope = state->enterRunState(busy);
        state->scanRun().lblStart_Click();
        state->scanRun().StartMode(0);
        state->timUpdate().tick();
    }
    EXPECT_EQ(state->scanRun().lastOutcome(), ScanOutcome::NoRunYet);
    EXPECT_TRUE(ui.pages.empty());
    // Busy ticks do not count towards the automatic update.
    EXPECT_EQ(state->updates().autoUpdateCounter(), 0);
    state->timUpdate().tick();
    EXPECT_EQ(state->updates().autoUpdateCounter(), 1);
}

TEST_F(ScanRunTest, NewRunStartsFromEmptyListsAndCounters) {
    run(ScanMode::Smart);
    ASSERT_FALSE(state->ResultList().empty());
    fake.fs.deleteFile("C:\\Program Files\\EvilCo\\evil.exe");
    fake.fs.deleteFile("C:\\Temp\\tmpbad.exe");
    fake.fs.deleteFolder("C:\\Program Files\\EvilDir");
    fake.fs.deleteFile(std::string(kCookies) + "\\tester@adserver[1].txt");
    fake.registry.deleteTree(platform::Hive::CurrentUser, "Software\\EvilCo");
    fake.registry.deleteValue(platform::Hive::LocalMachine,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "EvilRun");
    run(ScanMode::Smart);
    EXPECT_TRUE(state->ResultList().empty());
    EXPECT_TRUE(state->lvwFilesToBeDeleted().empty());
    EXPECT_TRUE(state->lvwRegistryToBeDeleted().empty());
    EXPECT_TRUE(state->lvwCookiesToDelete().empty());
    EXPECT_EQ(state->counters().threats, 0);
    EXPECT_EQ(state->tracesFound(), 0);
    EXPECT_EQ(ui.text("lbltracesFound"), "0");
}

TEST_F(ScanRunTest, ExcludedObjectShowsOnlyInTheFeed) {
    fake.fs.addFile(dataFile("ENoSignature.dat"), "C:\\Program Files\\EvilCo\\evil.exe\r\n");
    state->exclusions().LoadExclusions();
    setOption("chkScanCookies", "0");
    setOption("chkSweepMemory", "0");
    setOption("chkScanRegistry", "0");
    run(ScanMode::Smart);

    EXPECT_TRUE(feedHas("EXCLUDED", "C:\\Program Files\\EvilCo\\evil.exe"));
    EXPECT_EQ(resultIndex("EvilWare"), -1);
    for (const auto& row : state->lvwFilesToBeDeleted()) {
        EXPECT_NE(row.path, "C:\\Program Files\\EvilCo\\evil.exe");
    }
    // TempBad and EvilDir remain the only threats.
    EXPECT_EQ(state->counters().threats, 2);
    EXPECT_EQ(ui.text("lblSoftwareFound"), "2");
}

TEST_F(ScanRunTest, FileScanChecksTheChosenFile) {
    ui.files.push_back("C:\\Program Files\\EvilCo\\evil.exe");
    run(ScanMode::File);
    EXPECT_EQ(ui.fileDialogs, 1);
    ASSERT_EQ(state->ResultList().size(), 1u);
    EXPECT_EQ(state->ResultList()[0].title, "EvilWare");
    EXPECT_EQ(state->counters().filesFolders, 1);
    const auto labels = ui.textsOf("lblPercentageCompleted");
    EXPECT_NE(
        std::find(labels.begin(), labels.end(), "Scanning C:\\Program Files\\EvilCo\\evil.exe..."),
        labels.end());
}

TEST_F(ScanRunTest, FolderScanAppendsABackslashAndWalks) {
    ui.folders.push_back("C:\\Program Files");
    run(ScanMode::Folder);
    EXPECT_EQ(ui.folderDialogs, 1);
    EXPECT_GE(resultIndex("EvilWare"), 0);
    EXPECT_GE(resultIndex("EvilDir Directory"), 0);
    const auto labels = ui.textsOf("lblPercentageCompleted");
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Scanning C:\\Program Files\\..."),
              labels.end());
}

TEST_F(ScanRunTest, CancelledDialogsRunNoPhaseButStillStamp) {
    run(ScanMode::File);
    EXPECT_EQ(state->scanRun().lastOutcome(), ScanOutcome::NothingChosen);
    run(ScanMode::Folder);
    EXPECT_EQ(state->scanRun().lastOutcome(), ScanOutcome::NothingChosen);
    EXPECT_EQ(ui.fileDialogs, 1);
    EXPECT_EQ(ui.folderDialogs, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(state->ResultList().empty());
    EXPECT_EQ(state->counters().filesFolders, 0);
    EXPECT_FALSE(state->signatures().filesLoaded());
    EXPECT_EQ(ui.text("lblStatus"), "Scanning complete.");
    EXPECT_EQ(setting("Settings", "lblLastScan"), kStamp);
}

TEST_F(ScanRunTest, LastFullScanIsStampedOnlyWithCompleteSystemScanSelected) {
    // "Complete System Scan" stored (a fresh profile reads it so too) does not count: the
    // start-up step selects "Quick Scan", whichever front end runs the scan.
    setOption("optScanAllSelectedHardDrive", "True");
    state->PrepareForRuns();
    run(ScanMode::Smart);
    run(ScanMode::FullSystem);
    EXPECT_EQ(setting("Settings", "lblLastScan"), kStamp);
    EXPECT_EQ(setting("Settings", "lblLastFullScan"), "<none>");

    fake.clock.advance(std::chrono::hours{24});
    state->selectScanScope(app::ScanScope::CompleteSystem);
    run(ScanMode::Smart);
    EXPECT_EQ(setting("Settings", "lblLastScan"), "12/9/2026 2:05:07 PM");
    EXPECT_EQ(setting("Settings", "lblLastFullScan"), "12/9/2026 2:05:07 PM");
    EXPECT_EQ(ui.text("lblLastFullScan"), "12/9/2026 2:05:07 PM");
}

TEST_F(ScanRunTest, ReportIsWrittenWhenTheLogOptionIsOn) {
    const std::string reportFile = dataFile("Scan_Log.txt");
    setOption("chkMakeLog", "0");
    run(ScanMode::Smart);
    EXPECT_FALSE(fake.fs.exists(reportFile));
    // A cancelled run is reported too, with the finished rows' risk.
    setOption("chkMakeLog", "1");
    ui.onPump = [&] {
        if (!state->ScanStopRequested() && state->counters().threats > 0) {
            ui.answers.push_back(MsgAnswer::Yes);
            state->scanRun().cmdStop_Click();
        }
    };
    run(ScanMode::Smart);
    const std::string report = fake.fs.content(reportFile).value_or("");
    EXPECT_NE(report.find(" Scan Started at  : " + std::string(kStamp) + "\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("Risk: " + state->ResultList()[0].risk + "\r\n"), std::string::npos);
    EXPECT_NE(report.find("Total = " + std::to_string(state->ResultList().size())),
              std::string::npos);
}

TEST_F(ScanRunTest, PauseHoldsTheRunUntilTheBoxCloses) {
    std::vector<RunState> whilePaused;
    std::vector<RunState> afterPause;
    ui.onMessageBox = [&](const mock::ScriptedUserInterface::Box&) {
        whilePaused.push_back(state->runState());
        // Nothing starts from the paused run.
        state->scanRun().lblStart_Click();
    };
    ui.onPump = [&] {
        if (afterPause.empty()) {
            state->scanRun().cmdPause_Click();
            afterPause.push_back(state->runState());
        }
    };
    run(ScanMode::Smart);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Nightjar has been paused.  Click OK to resume.");
    EXPECT_EQ(ui.boxes[0].title, "Nightjar");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(whilePaused, std::vector<RunState>{RunState::Paused});
    EXPECT_EQ(afterPause, std::vector<RunState>{RunState::Scanning});
    EXPECT_TRUE(ui.pages.empty());
    EXPECT_EQ(state->scanRun().lastOutcome(), ScanOutcome::Completed);
    state->scanRun().lblPause_Click();
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(ScanRunTest, RiskPassLeavesUnknownTypesAlone) {
    addResult("a", scan::icon::File, "C:\\a", "");
    addResult("b", scan::icon::File, "C:\\b", "spyware");
    addResult("c", scan::icon::File, "C:\\c", "Trojan");
    state->scanRun().AssignRiskToResults();
    state->scanRun().AssignRiskToResults();
    const auto& r = state->ResultList();
    EXPECT_EQ(r[0].risk, "Medium");
    EXPECT_EQ(r[0].details, "Unknown");
    EXPECT_EQ(r[1].risk, "");
    EXPECT_EQ(r[1].details, "");
    EXPECT_EQ(r[2].risk, "HIGH");
}

TEST(GeneralDateTest, FormsOfTheGeneralDate) {
    using namespace std::chrono;
    EXPECT_EQ(app::FormatGeneralDate(sys_days{year{2006} / 3 / 16}), "3/16/2006 12:00:00 AM");
    EXPECT_EQ(app::FormatGeneralDate(sys_days{year{2026} / 12 / 8} + hours{12}),
              "12/8/2026 12:00:00 PM");
    EXPECT_EQ(app::FormatGeneralDate(sys_days{year{2026} / 1 / 31} + hours{23} + minutes{59} +
                                     seconds{9}),
              "1/31/2026 11:59:09 PM");
    EXPECT_EQ(app::FormatGeneralDate(sys_days{year{2026} / 7 / 4} + hours{9} + minutes{3}),
              "7/4/2026 9:03:00 AM");
}

}  // namespace
}  // namespace nightjar::apptest
