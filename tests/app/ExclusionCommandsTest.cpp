#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/ExclusionCommands.h"

namespace nightjar::apptest {
namespace {

using app::MsgAnswer;
using app::MsgButtons;
using app::MsgIcon;
using platform::WindowShow;

class ExclusionCommandsTest : public AppFixture {
  protected:
    app::ExclusionCommands& commands() { return state->exclusionCommands(); }
    std::string exclusionFile() { return dataFile("ENoSignature.dat"); }

    /// Results of a small scan: a cookie, a file, a registry key, each with its work rows.
    void fillResults() {
        addResult("Cookie: tester@adserver[1].txt", scan::icon::Cookie,
                  "C:\\cookies\\tester@adserver[1].txt", "Tracking Cookie");
        state->addCookieWorkRow({"C:\\cookies\\tester@adserver[1].txt", false});
        addResult("EvilWare", scan::icon::File, "C:\\Program Files\\EvilCo\\evil.exe");
        state->addFileWorkRow({"C:\\Program Files\\EvilCo\\evil.exe", "EvilWare", false});
        addResult("EvilReg", scan::icon::Registry, "HKEY_CURRENT_USER\\Software\\EvilCo");
        state->addRegistryWorkRow({"-2147483647", "Software\\EvilCo", "", "EvilReg", false});
        state->addFeedRow({"Cookie", scan::icon::Cookie, "tester@adserver[1].txt"});
        state->addFeedRow({"EvilWare", scan::icon::File, "C:\\Program Files\\EvilCo\\evil.exe"});
    }
};

TEST_F(ExclusionCommandsTest, NothingToExcludeSaysSorry) {
    commands().cmdExclude_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Sorry, there are no entries to be excluded.");
    EXPECT_EQ(ui.boxes[0].title, "Nightjar");
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Information);
    EXPECT_FALSE(fake.fs.exists(exclusionFile()));
}

TEST_F(ExclusionCommandsTest, AnsweringNoExcludesNothing) {
    fillResults();
    state->resultActions().setChecked(1, true);
    ui.answers.push_back(MsgAnswer::No);
    commands().cmdExclude_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "Are you sure you want to exclude the selected files?\r\n\r\n"
              "Excluded files will not show up as Adware/Spyware on future scans.\r\n\r\n"
              "You can edit the list of excluded files through the Quarantine menu.");
    EXPECT_EQ(ui.boxes[0].title, "Really Exclude?");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_FALSE(fake.fs.exists(exclusionFile()));
    EXPECT_EQ(state->ResultList().size(), 3u);
}

TEST_F(ExclusionCommandsTest, ExcludesCheckedRowsAndPrunesEveryList) {
    fillResults();
    state->resultActions().setChecked(0, true);  // the cookie
    state->resultActions().setChecked(1, true);  // the file
    ui.answers.push_back(MsgAnswer::Yes);
    commands().cmdExclude_Click();

    // Two entries per checked row, each followed by an empty line; "Cookie: " removed.
    EXPECT_EQ(fake.fs.content(exclusionFile()).value_or(""),
              "C:\\cookies\\tester@adserver[1].txt\r\n\r\n"
              "tester@adserver[1].txt\r\n\r\n"
              "C:\\Program Files\\EvilCo\\evil.exe\r\n\r\n"
              "EvilWare\r\n\r\n");
    // The in-memory list was reloaded: the cookie scan's full-path test matches now.
    EXPECT_TRUE(state->exclusions().IsExcluded("C:\\COOKIES\\tester@adserver[1].txt"));
    EXPECT_TRUE(state->exclusions().IsExcluded("evilware"));

    ASSERT_EQ(state->ResultList().size(), 1u);
    EXPECT_EQ(state->ResultList()[0].title, "EvilReg");
    EXPECT_TRUE(state->lvwFilesToBeDeleted().empty());
    EXPECT_TRUE(state->lvwCookiesToDelete().empty());
    EXPECT_EQ(state->lvwRegistryToBeDeleted().size(), 1u);
    EXPECT_EQ(state->lvwSpywareFound().size(), 2u);
    EXPECT_EQ(ui.text("lblDeletingCaption"), "");
}

TEST_F(ExclusionCommandsTest, UnwrittenExclusionsKeepTheirRowsAndAreReported) {
    fillResults();
    state->resultActions().setChecked(1, true);
    fake.fs.setFailWrites(true);
    ui.answers.push_back(MsgAnswer::Yes);
    commands().cmdExclude_Click();
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, state->msg("MSG_EXCLUDE_FAILED"));
    EXPECT_FALSE(ui.boxes[1].text.empty());
    EXPECT_EQ(state->ResultList().size(), 3u);
    EXPECT_EQ(state->lvwFilesToBeDeleted().size(), 1u);
}

TEST_F(ExclusionCommandsTest, RegistryWorkListAloneIsEnoughToAsk) {
    state->addRegistryWorkRow({"-2147483647", "Software\\X", "Val", "", false});
    ui.answers.push_back(MsgAnswer::Yes);
    commands().cmdExclude_Click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Really Exclude?");
    // Nothing was checked, so nothing is written or removed.
    EXPECT_FALSE(fake.fs.exists(exclusionFile()));
    EXPECT_EQ(state->lvwRegistryToBeDeleted().size(), 1u);
}

TEST_F(ExclusionCommandsTest, ViewQuarantineCreatesTheFolderAndOpensIt) {
    const std::string folder = std::string(kDataFolder) + "\\quarantine";
    ASSERT_FALSE(fake.fs.folderExists(folder));
    commands().mnuQuarItem_Click(0);
    EXPECT_TRUE(fake.fs.folderExists(folder));
    ASSERT_EQ(fake.launcher.runs.size(), 1u);
    EXPECT_EQ(fake.launcher.runs[0].command, "explorer " + folder);
    EXPECT_EQ(fake.launcher.runs[0].show, WindowShow::Normal);
}

TEST_F(ExclusionCommandsTest, ViewExclusionsBeforeAnythingWasExcluded) {
    commands().mnuQuarItem_Click(1);
    EXPECT_TRUE(fake.launcher.runs.empty());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "No exclusion file exists yet.");
    EXPECT_EQ(ui.boxes[0].title, "No Exclusion File");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);

    state->exclusions().AddExclusion("C:\\x.exe");
    commands().mnuQuarItem_Click(1);
    ASSERT_EQ(fake.launcher.runs.size(), 1u);
    EXPECT_EQ(fake.launcher.runs[0].command, "notepad " + exclusionFile());
    EXPECT_EQ(fake.launcher.runs[0].show, WindowShow::Normal);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

}  // namespace
}  // namespace nightjar::apptest
