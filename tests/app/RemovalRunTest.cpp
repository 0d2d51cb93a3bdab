#include "app/RemovalRun.h"

#include <gtest/gtest.h>

#include <string>

#include "AppFixture.h"
#include "removal/QuarantineStore.h"
#include "util/Text.h"

namespace nightjar::apptest {
namespace {

using app::MsgAnswer;
using app::RemovalOutcome;
using app::RemovalProblem;
using platform::Hive;

const std::string kQuarantine = std::string(kDataFolder) + "\\quarantine";
constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

/// A machine with System Restore, recording its restore points.
class RecordingRestore : public platform::SystemRestore {
  public:
    bool available() override { return true; }
    bool begin(std::string_view description) override {
        points.emplace_back(description);
        return true;
    }
    bool end() override { return ++ended > 0; }
    std::vector<std::string> points;
    int ended = 0;
};

class RemovalRunTest : public AppFixture {
  protected:
    void SetUp() override {
        writeStandardDefinitions();
        plantThreats();
        state->FillDrives();
        state->setOptScan(app::ScanMode::Smart);
        state->scanRun().cmdScanNow_Click();
        ui.boxes.clear();
    }
    RemovalOutcome removeAll() {
        state->resultActions().cmdSelectAll_Click();
        ui.answers.push_back(MsgAnswer::Yes);
        return state->removal().RepairNow();
    }
    std::string quarantineLog() {
        return fake.fs.content(kQuarantine + "\\QuarantineLog.txt").value_or("");
    }
    bool hasProblem(std::string_view location, RemovalProblem reason) {
        for (const auto& row : state->removal().problems().rows()) {
            if (text::iequals(row.location, location)) {
                return row.reason == reason;
            }
        }
        return false;
    }
    bool runValuePresent() {
        return fake.registry
            .queryValue(Hive::LocalMachine, kRunKey, "EvilRun", platform::KeyAccess::Read)
            .has_value();
    }
};

TEST_F(RemovalRunTest, NothingCheckedRemovesNothing) {
    EXPECT_EQ(state->removal().RepairNow(), RemovalOutcome::NotRun);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, state->msg("MSG_SELECTED"));
    // A scheduled run with automatic removal asks nothing.
    state->setAutoRemoveAfterScan(true);
    EXPECT_EQ(state->removal().RepairNow(), RemovalOutcome::NotRun);
    EXPECT_EQ(ui.boxes.size(), 1u);
    // Answering No removes nothing either.
    state->setAutoRemoveAfterScan(false);
    state->resultActions().cmdSelectAll_Click();
    ui.answers.push_back(MsgAnswer::No);
    EXPECT_EQ(state->removal().RepairNow(), RemovalOutcome::NotRun);
    EXPECT_TRUE(fake.fs.exists("C:\\Program Files\\EvilCo\\evil.exe"));
    EXPECT_TRUE(runValuePresent());
}

TEST_F(RemovalRunTest, RemovesEveryKindWithAQuarantineCopyAndLogLines) {
    state->settings().Write("Settings", "lblDefRemoved", "5");
    EXPECT_EQ(removeAll(), RemovalOutcome::Removed);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "Are you sure you want to delete the selected files?\r\n\r\nDeleted files will be "
              "backed up in the following folder in case you need to recover them:\r\n\r\n" +
                  kQuarantine);
    EXPECT_EQ(ui.boxes[0].title, "Really Delete?");

    const std::string cookie = std::string(kCookies) + "\\tester@adserver[1].txt";
    for (const std::string& path :
         {std::string("C:\\Program Files\\EvilCo\\evil.exe"), std::string("C:\\Temp\\tmpbad.exe"),
          std::string("C:\\Program Files\\EvilDir"), cookie}) {
        EXPECT_FALSE(fake.fs.exists(path)) << path;
    }
    EXPECT_EQ(fake.fs.content(kQuarantine + "\\evil.exe"), "MZ");
    EXPECT_EQ(fake.fs.content(kQuarantine + "\\tester@adserver[1].txt"),
              "uid\r\n123\r\nadserver.example/\r\n");
    EXPECT_TRUE(fake.fs.folderExists(kQuarantine + "\\EvilDir"));
    EXPECT_FALSE(runValuePresent());
    EXPECT_FALSE(
        fake.registry.keyExists(Hive::CurrentUser, "Software\\EvilCo", platform::KeyAccess::Read));
    EXPECT_TRUE(fake.fs.exists(std::string(kCookies) + "\\tester@harmless[1].txt"));

    const std::string log = quarantineLog();
    EXPECT_NE(log.find("12/8/2026 2:05:07 PM - File: evil.exe\r\n - Location: C:\\Program "
                       "Files\\EvilCo\\evil.exe\r\n\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(log.find(" - Key: HKEY_LOCAL_MACHINE\\" + std::string(kRunKey) +
                       "\r\nValue: EvilRun\r\n\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(log.find(" - Key: -2147483647\\Software\\EvilCo\r\nValue: All Values\r\n\r\n\r\n"),
              std::string::npos);
    // Each source is logged once, though the second pass and the retries see it again.
    EXPECT_EQ(log.find("File: evil.exe"), log.rfind("File: evil.exe"));

    EXPECT_TRUE(state->ResultList().empty());
    EXPECT_TRUE(state->lvwFilesToBeDeleted().empty());
    const auto& summary = state->removal().lastSummary();
    EXPECT_EQ(summary.removedTotal, 5 + static_cast<long long>(summary.removed.size()));
    EXPECT_EQ(setting("Settings", "lblDefRemoved"), std::to_string(summary.removedTotal));
    EXPECT_EQ(state->runState(), app::RunState::Idle);
}

TEST_F(RemovalRunTest, RestorePointBracketsTheRemovalAndIsAnnounced) {
    auto restore = std::make_unique<RecordingRestore>();
    RecordingRestore& points = *restore;
    fake.platform.systemRestore = std::move(restore);
    removeAll();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find(state->msg("MSG_CONFIRM4")), std::string::npos);
    ASSERT_EQ(points.points.size(), 1u);
    EXPECT_EQ(points.points[0], "Nightjar Restore Point 12/8/2026 2:05:07 PM");
    EXPECT_EQ(points.ended, 1);
}

TEST_F(RemovalRunTest, WhatCannotBeRemovedIsListedAndStaysChecked) {
    // A running copy that cannot be stopped, and a locked file.
    fake.processes.add({7, "evil.exe", "C:\\Program Files\\EvilCo\\evil.exe", true, false, ""});
    fake.fs.setLocked("C:\\Temp\\tmpbad.exe");
    EXPECT_EQ(removeAll(), RemovalOutcome::SomeLeft);

    EXPECT_TRUE(fake.fs.exists("C:\\Program Files\\EvilCo\\evil.exe"));
    EXPECT_TRUE(
        hasProblem("C:\\Program Files\\EvilCo\\evil.exe", RemovalProblem::ProcessNotStopped));
    EXPECT_TRUE(hasProblem("C:\\Temp\\tmpbad.exe", RemovalProblem::StillPresent));
    EXPECT_EQ(state->removal().problems().rows().size(), 2u);
    EXPECT_TRUE(ui.visible.at("frmDelete"));
    EXPECT_EQ(state->removal().problems().copyText(),
              "C:\\Program Files\\EvilCo\\evil.exe\r\nC:\\Temp\\tmpbad.exe\r\n");
    // Their rows stay, unchecked; everything else went.
    ASSERT_GE(resultIndex("EvilWare"), 0);
    EXPECT_FALSE(state->ResultList()[resultIndex("EvilWare")].checked);
    ASSERT_GE(resultIndex("TempBad"), 0);
    EXPECT_FALSE(fake.fs.exists("C:\\Program Files\\EvilDir"));
}

TEST_F(RemovalRunTest, NothingIsDeletedThatCouldNotBeKept) {
    fake.fs.setReadOnlyTree(kQuarantine);
    EXPECT_EQ(removeAll(), RemovalOutcome::SomeLeft);
    EXPECT_TRUE(fake.fs.exists("C:\\Program Files\\EvilCo\\evil.exe"));
    EXPECT_TRUE(fake.fs.exists("C:\\Temp\\tmpbad.exe"));
    EXPECT_TRUE(fake.fs.folderExists("C:\\Program Files\\EvilDir"));
    EXPECT_TRUE(fake.fs.exists(std::string(kCookies) + "\\tester@adserver[1].txt"));
    EXPECT_TRUE(runValuePresent());
    EXPECT_TRUE(hasProblem("C:\\Temp\\tmpbad.exe", RemovalProblem::NotQuarantined));
    EXPECT_TRUE(hasProblem("C:\\Program Files\\EvilDir", RemovalProblem::NotQuarantined));
    EXPECT_EQ(state->removal().lastSummary().removed.size(), 0u);
}

TEST_F(RemovalRunTest, ProtectedPlacesAndSameNamesAreSafe) {
    fake.fs.addFile("C:\\A\\setup.exe", "first");
    fake.fs.addFile("C:\\B\\setup.exe", "second");
    fake.fs.addFolder("C:\\Windows");
    for (const char* path : {"C:\\A\\setup.exe", "C:\\B\\setup.exe", "C:\\Windows", "C:\\",
                             "C:\\Windows\\..", kDataFolder.data()}) {
        state->addFileWorkRow({path, "FILE"});
        addResult(std::string("Listed ") + path, scan::icon::Folder, path);
    }
    EXPECT_EQ(removeAll(), RemovalOutcome::SomeLeft);
    EXPECT_FALSE(fake.fs.exists("C:\\A\\setup.exe"));
    EXPECT_FALSE(fake.fs.exists("C:\\B\\setup.exe"));
    EXPECT_EQ(fake.fs.content(kQuarantine + "\\setup.exe"), "first");
    EXPECT_EQ(fake.fs.content(kQuarantine + "\\setup.exe.001"), "second");
    EXPECT_TRUE(fake.fs.folderExists("C:\\Windows"));
    EXPECT_TRUE(fake.fs.folderExists(std::string(kDataFolder)));
    for (const char* path : {"C:\\Windows", "C:\\", "C:\\Windows\\..", kDataFolder.data()}) {
        EXPECT_TRUE(hasProblem(path, RemovalProblem::Protected)) << path;
        EXPECT_GE(resultIndex(std::string("Listed ") + path), 0) << path;
    }
}

}  // namespace
}  // namespace nightjar::apptest
