#include <gtest/gtest.h>

#include "app/AppFixture.h"

namespace nightjar::apptest {
namespace {

using app::MsgAnswer;
using app::MsgButtons;
using app::SortableList;
using platform::WindowShow;

class ResultActionsTest : public AppFixture {
  protected:
    app::ResultActions& actions() { return state->resultActions(); }

    void addFileRow(std::string path, std::string second) {
        state->addFileWorkRow({std::move(path), std::move(second), false});
    }
    void addRegistryRow(std::string keyPath, std::string valueName, std::string threat) {
        state->addRegistryWorkRow(
            {"-2147483647", std::move(keyPath), std::move(valueName), std::move(threat), false});
    }
    std::vector<bool> fileChecks() {
        std::vector<bool> out;
        for (const auto& r : state->lvwFilesToBeDeleted()) {
            out.push_back(r.checked);
        }
        return out;
    }
    std::vector<bool> registryChecks() {
        std::vector<bool> out;
        for (const auto& r : state->lvwRegistryToBeDeleted()) {
            out.push_back(r.checked);
        }
        return out;
    }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (const auto& r : state->ResultList()) {
            out.push_back(r.title);
        }
        return out;
    }
};

TEST_F(ResultActionsTest, CookieRowsFollowByLocation) {
    addResult("Cookie: a@x[1].txt", scan::icon::Cookie, "C:\\c\\a@x[1].txt", "Tracking Cookie");
    state->addCookieWorkRow({"C:\\c\\a@x[1].txt", false});
    state->addCookieWorkRow({"C:\\c\\b@x[1].txt", false});
    actions().setChecked(0, true);
    EXPECT_TRUE(state->ResultList()[0].checked);
    EXPECT_TRUE(state->lvwCookiesToDelete()[0].checked);
    EXPECT_FALSE(state->lvwCookiesToDelete()[1].checked);
    actions().setChecked(0, false);
    EXPECT_FALSE(state->lvwCookiesToDelete()[0].checked);
}

TEST_F(ResultActionsTest, RegistryRowsFollowByKeyPathOrThreatName) {
    // A whole key without a threat name is titled with its key path.
    addResult("Software\\Nameless", scan::icon::Registry, "HKEY_CURRENT_USER\\Software\\Nameless");
    addResult("EvilReg", scan::icon::Registry, "HKEY_CURRENT_USER\\Software\\EvilCo");
    addRegistryRow("Software\\Nameless", "", "");
    addRegistryRow("Software\\EvilCo", "", "EvilReg");
    addRegistryRow("Software\\EvilCo\\Sub", "Val", "EvilReg");
    addRegistryRow("Software\\Other", "", "OtherThreat");

    actions().setChecked(1, true);
    EXPECT_EQ(registryChecks(), (std::vector<bool>{false, true, true, false}));
    actions().setChecked(0, true);
    EXPECT_EQ(registryChecks(), (std::vector<bool>{true, true, true, false}));
    actions().setChecked(1, false);
    EXPECT_EQ(registryChecks(), (std::vector<bool>{true, false, false, false}));
}

TEST_F(ResultActionsTest, FileRowsFollowByThreatNameAndFolderRowsByPath) {
    addResult("EvilWare", scan::icon::File, "C:\\p\\evil.exe");
    addResult("EvilDir Directory", scan::icon::Folder, "c:\\p\\evildir");
    addFileRow("C:\\p\\evil.exe", "EvilWare");
    addFileRow("D:\\q\\evil.exe", "EvilWare");  // same threat elsewhere: follows too
    addFileRow("c:\\p\\evildir", "FILE");
    addFileRow("C:\\p\\other.exe", "Other");

    actions().setChecked(0, true);
    EXPECT_EQ(fileChecks(), (std::vector<bool>{true, true, false, false}));
    actions().setChecked(1, true);
    EXPECT_EQ(fileChecks(), (std::vector<bool>{true, true, true, false}));
}

TEST_F(ResultActionsTest, SyncCopiesTheCurrentMarkAndIgnoresBadIndexes) {
    addResult("EvilWare", scan::icon::File, "C:\\p\\evil.exe");
    addFileRow("C:\\p\\evil.exe", "EvilWare");
    state->lvwFilesToBeDeleted().setChecked(0, true);
    // The result row is unchecked: syncing clears the work row.
    actions().SyncWorkListCheck(0);
    EXPECT_FALSE(state->lvwFilesToBeDeleted()[0].checked);
    actions().SyncWorkListCheck(5);
    actions().setChecked(7, true);
    EXPECT_FALSE(state->ResultList()[0].checked);
}

TEST_F(ResultActionsTest, SelectAllChecksOnlyUncheckedRows) {
    addResult("A", scan::icon::File, "C:\\a.exe");
    addResult("B", scan::icon::File, "C:\\b.exe");
    addFileRow("C:\\a.exe", "A");
    addFileRow("C:\\b.exe", "B");
    // Row A is checked but its work row was cleared behind its back: Select All leaves
    // checked rows alone, so the work row stays unchecked.
    state->ResultList().setChecked(0, true);
    actions().cmdSelectAll_Click();
    EXPECT_TRUE(state->ResultList()[0].checked);
    EXPECT_TRUE(state->ResultList()[1].checked);
    EXPECT_EQ(fileChecks(), (std::vector<bool>{false, true}));
}

TEST_F(ResultActionsTest, SortFlipsOrderOnEveryClick) {
    addResult("beta", scan::icon::File, "C:\\2", "Zeta");
    addResult("Alpha", scan::icon::File, "C:\\3", "alpha");
    addResult("gamma", scan::icon::File, "C:\\1", "Mid");
    EXPECT_FALSE(actions().sorted(SortableList::ResultList));

    actions().SortListByColumn(SortableList::ResultList, 0);
    EXPECT_TRUE(actions().sorted(SortableList::ResultList));
    EXPECT_TRUE(actions().descending(SortableList::ResultList));
    EXPECT_EQ(titles(), (std::vector<std::string>{"gamma", "beta", "Alpha"}));

    actions().SortListByColumn(SortableList::ResultList, 0);
    EXPECT_EQ(titles(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    // Another column flips again: descending by location.
    actions().SortListByColumn(SortableList::ResultList, 1);
    EXPECT_EQ(titles(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    actions().SortListByColumn(SortableList::ResultList, 2);
    // Ascending by type, letter case ignored: alpha, Mid, Zeta.
    EXPECT_EQ(titles(), (std::vector<std::string>{"Alpha", "gamma", "beta"}));

    // A column the list does not have is ignored.
    actions().SortListByColumn(SortableList::ResultList, 9);
    EXPECT_EQ(titles(), (std::vector<std::string>{"Alpha", "gamma", "beta"}));
    EXPECT_FALSE(actions().descending(SortableList::ResultList));
}

TEST_F(ResultActionsTest, SortLeavesAnEmptyListAlone) {
    actions().SortListByColumn(SortableList::ScanFeed, 0);
    EXPECT_FALSE(actions().sorted(SortableList::ScanFeed));
    EXPECT_FALSE(actions().descending(SortableList::ScanFeed));

    state->addFeedRow({"b", scan::icon::File, "C:\\1"});
    state->addFeedRow({"EXCLUDED", scan::icon::Excluded, "C:\\2"});
    state->addFeedRow({"a", scan::icon::File, "C:\\3"});
    actions().SortListByColumn(SortableList::ScanFeed, 1);
    EXPECT_TRUE(actions().descending(SortableList::ScanFeed));
    EXPECT_EQ(state->lvwSpywareFound()[0].details, "C:\\3");
    actions().SortListByColumn(SortableList::ScanFeed, 0);
    EXPECT_EQ(state->lvwSpywareFound()[0].text, "a");
    EXPECT_EQ(state->lvwSpywareFound()[2].text, "EXCLUDED");
    // Sorting the feed leaves the result list's state alone.
    EXPECT_FALSE(actions().sorted(SortableList::ResultList));
}

TEST_F(ResultActionsTest, BrowseAsksAfterTheSixthWindowAndCancelStops) {
    for (int i = 1; i <= 7; ++i) {
        addResult("T" + std::to_string(i), scan::icon::File,
                  "C:\\f" + std::to_string(i) + "\\x.exe");
    }
    addResult("unchecked", scan::icon::File, "C:\\skip\\x.exe");
    for (std::size_t i = 0; i < 7; ++i) {
        state->ResultList().setChecked(i, true);
    }
    ui.answers.push_back(MsgAnswer::Cancel);
    actions().cmdBrowse_Click();

    ASSERT_EQ(fake.launcher.runs.size(), 6u);
    EXPECT_EQ(fake.launcher.runs[0].command, "explorer.exe C:\\f1\\x.exe");
    EXPECT_EQ(fake.launcher.runs[5].command, "explorer.exe C:\\f6\\x.exe");
    EXPECT_EQ(fake.launcher.runs[0].show, WindowShow::Minimized);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.boxes[0].text,
              "You have selected to browse more than 5 items at a time.  This can slow down your "
              "computer.  Are you sure you want to continue?");
}

TEST_F(ResultActionsTest, BrowseGoesOnAfterOkWithoutAskingAgain) {
    for (int i = 1; i <= 14; ++i) {
        addResult("T" + std::to_string(i), scan::icon::File, "C:\\f" + std::to_string(i));
        state->ResultList().setChecked(static_cast<std::size_t>(i - 1), true);
    }
    ui.answers.push_back(MsgAnswer::Ok);
    actions().cmdBrowse_Click();
    EXPECT_EQ(fake.launcher.runs.size(), 14u);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(ResultActionsTest, BrowseOfFiveAsksNothing) {
    for (int i = 1; i <= 5; ++i) {
        addResult("T", scan::icon::File, "C:\\f");
        state->ResultList().setChecked(static_cast<std::size_t>(i - 1), true);
    }
    actions().cmdBrowse_Click();
    EXPECT_EQ(fake.launcher.runs.size(), 5u);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ResultActionsTest, DoubleClickOpensRegistryEditorOrContainingFolder) {
    addResult("EvilReg", scan::icon::Registry, "HKEY_CURRENT_USER\\Software\\EvilCo");
    addResult("EvilWare", scan::icon::File, "C:\\Program Files\\EvilCo\\evil.exe");
    addResult("Dir", scan::icon::Folder, "C:\\Program Files\\EvilDir\\");
    addResult("Dir2", scan::icon::Folder, "C:\\Program Files\\EvilDir");

    actions().OpenResultLocation(0);
    actions().OpenResultLocation(1);
    actions().OpenResultLocation(2);
    actions().OpenResultLocation(3);
    actions().OpenResultLocation(4);  // no such row

    ASSERT_EQ(fake.launcher.runs.size(), 4u);
    EXPECT_EQ(fake.launcher.runs[0].command, "regedit.exe");
    EXPECT_EQ(fake.launcher.runs[0].show, WindowShow::Minimized);
    EXPECT_EQ(fake.launcher.runs[1].command, "explorer.exe C:\\Program Files\\EvilCo\\");
    EXPECT_EQ(fake.launcher.runs[1].show, WindowShow::Normal);
    EXPECT_EQ(fake.launcher.runs[2].command, "explorer.exe C:\\Program Files\\EvilDir\\");
    EXPECT_EQ(fake.launcher.runs[3].command, "explorer.exe C:\\Program Files\\");
}

}  // namespace
}  // namespace nightjar::apptest
