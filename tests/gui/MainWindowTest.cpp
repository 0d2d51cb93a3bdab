#include "gui/MainWindow.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppFixture.h"
#include "gui/GuiTestSupport.h"
#include "gui/GuiUserInterface.h"
#include "gui/ListViewControl.h"
#include "gui/MessageLoop.h"
#include "gui/WideText.h"
#include "scan/ScanRows.h"

namespace nightjar::gui {
namespace {

using test::WindowTextOf;

constexpr std::string_view kProgramFolder = "C:\\Program Files\\Nightjar";
constexpr std::string_view kResults = "lvwPicRemoveListOfSpywareFoundAndToBeRemoved";

/// The real windows, with message boxes answered at once (Yes or OK) and recorded.
class AnsweringUi : public GuiUserInterface {
  public:
    using GuiUserInterface::GuiUserInterface;
    app::MsgAnswer messageBox(std::string_view text, std::string_view, app::MsgButtons buttons,
                              app::MsgIcon) override {
        boxes.emplace_back(text);
        return buttons == app::MsgButtons::YesNo ? app::MsgAnswer::Yes : app::MsgAnswer::Ok;
    }
    std::vector<std::string> boxes;
};

std::string shippedLocalization() {
    std::ifstream in(NJ_SHIPPED_LOCALIZATION, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MainWindowTest : public apptest::AppFixture {
  protected:
    MainWindowTest() : gui(loop) {
        fake.fs.addFile(std::string(kProgramFolder) + "\\Localization.txt", shippedLocalization());
        app::MainStateOptions options;
        options.programFolder = kProgramFolder;
        state = std::make_unique<app::MainState>(fake.platform, gui, std::move(options));
        window = std::make_unique<MainWindow>(*state, gui);
    }
    ~MainWindowTest() override {
        window.reset();
        state.reset();
    }

    /// Start-up as the program makes it, on a shown window.
    void start() {
        ASSERT_TRUE(window->create());
        state->Startup();
        window->LoadOptionsIntoControls();
        ShowWindow(window->hwnd(), SW_SHOWNOACTIVATE);
    }
    HWND find(std::string_view name, std::optional<int> index = std::nullopt) {
        return window->controls().find(name, index);
    }
    void click(std::string_view name, std::optional<int> index = std::nullopt) {
        SendMessageW(find(name, index), BM_CLICK, 0, 0);
    }
    bool visible(std::string_view name) { return IsWindowVisible(find(name)) != FALSE; }
    bool checked(std::string_view name) {
        return SendMessageW(find(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void clickColumn(std::string_view list, int column) {
        NMLISTVIEW click{};
        click.hdr.hwndFrom = find(list);
        click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(click.hdr.hwndFrom));
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(window->hwnd(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    }
    /// The list view shows the model's rows, in the model's order, with its check marks.
    void expectResultListMirrorsModel() {
        ListViewControl list(find(kResults));
        const auto& rows = state->ResultList();
        ASSERT_EQ(list.rowCount(), static_cast<int>(rows.size()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const int row = static_cast<int>(i);
            EXPECT_EQ(list.cell(row, 0), rows[i].title) << row;
            EXPECT_EQ(list.cell(row, 1), rows[i].location) << row;
            EXPECT_EQ(list.cell(row, 3), rows[i].risk) << row;
            EXPECT_EQ(list.isChecked(row), rows[i].checked) << row;
        }
    }

    MessageLoop loop;
    AnsweringUi gui;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, SmartScanFromTheButtonFillsTheResultListKeptInStepWithTheModel) {
    writeStandardDefinitions();
    plantThreats();
    start();

    click("Command3");  // the "Smart Scan" shortcut

    EXPECT_EQ(window->page(), "frmScan");
    ASSERT_EQ(state->ResultList().size(), 6u);
    expectResultListMirrorsModel();
    EXPECT_GT(ListViewControl(find("lvwSpywareFound")).rowCount(), 0);
    // The run is over: it can start again, and there is nothing to pause or stop.
    EXPECT_TRUE(IsWindowEnabled(find("cmdScanNow")));
    EXPECT_FALSE(IsWindowEnabled(find("cmdStop")));
    EXPECT_FALSE(IsWindowEnabled(find("cmdPause")));
    EXPECT_TRUE(visible("cmdRemove"));
    EXPECT_EQ(WindowTextOf(find("lblSoftwareFound")), std::to_wstring(state->counters().threats));

    // Select All checks every row and the work lists behind them.
    click("cmdResults");
    EXPECT_EQ(window->page(), "frmResults");
    EXPECT_FALSE(visible("cmdScanNow"));
    click("cmdSelectAll");
    for (const scan::FoundItem& row : state->ResultList()) {
        EXPECT_TRUE(row.checked) << row.title;
    }
    for (const scan::FileWorkRow& row : state->lvwFilesToBeDeleted()) {
        EXPECT_TRUE(row.checked) << row.path;
    }
    expectResultListMirrorsModel();

    // A check mark taken off in the list reaches the model; sorting keeps rows and marks.
    const std::string unchecked = state->ResultList()[2].title;
    ListViewControl(find(kResults)).setChecked(2, false);
    EXPECT_FALSE(state->ResultList()[2].checked);
    clickColumn(kResults, 0);  // the first click sorts descending
    expectResultListMirrorsModel();
    EXPECT_EQ(state->ResultList()[0].title, "TempBad");
    EXPECT_EQ(state->ResultList()[5].title.rfind("Cookie", 0), 0u);
    for (const scan::FoundItem& row : state->ResultList()) {
        EXPECT_EQ(row.checked, row.title != unchecked) << row.title;
    }
}

TEST_F(MainWindowTest, StopIsAnsweredWhileTheScanRuns) {
    writeStandardDefinitions();
    plantThreats();
    start();
    // The click waits in the queue; only the scan's own yields can deliver it.
    PostMessageW(find("cmdStop"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(find("cmdStop"), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));

    click("Command3");

    EXPECT_EQ(state->scanRun().lastOutcome(), app::ScanOutcome::Cancelled);
    ASSERT_FALSE(gui.boxes.empty());
    EXPECT_EQ(gui.boxes.front(), state->msg("MSG_STOP"));
    EXPECT_TRUE(IsWindowEnabled(find("cmdScanNow")));
}

TEST_F(MainWindowTest, OptionsStoreTheirKeysAtOnceAndShowOneTabAtATime) {
    start();
    click("cmdSettings");
    EXPECT_TRUE(visible("chkScanCookies"));
    EXPECT_FALSE(visible("chkAutoProtect"));
    EXPECT_FALSE(visible("lvwPicRemoveListOfSpywareFoundAndToBeRemoved"));

    ASSERT_TRUE(checked("chkScanCookies"));  // stored default
    click("chkScanCookies");
    EXPECT_EQ(setting("OptionAndSettings", "chkScanCookies"), "0");
    click("chkScanCookies");
    EXPECT_EQ(setting("OptionAndSettings", "chkScanCookies"), "1");

    // The settings menu opens the protection tab; turning the memory shield off stores both
    // keys, moves its option buttons and tells the home page.
    SendMessageW(window->hwnd(), WM_COMMAND,
                 MAKEWPARAM(GetMenuItemID(GetSubMenu(GetMenu(window->hwnd()), 1), 1), 0), 0);
    EXPECT_TRUE(visible("chkAutoProtect"));
    EXPECT_FALSE(visible("chkScanCookies"));
    click("chkAutoProtect");
    EXPECT_EQ(setting("OptionAndSettings", "optMemorySheildOn"), "False");
    EXPECT_EQ(setting("OptionAndSettings", "optMemorySheildOff"), "True");
    EXPECT_TRUE(checked("optMemorySheildOff"));
    EXPECT_FALSE(checked("optMemorySheildOn"));
    EXPECT_FALSE(state->tmrMemoryInspected().enabled());
    EXPECT_EQ(WindowTextOf(find("lblProtectionState")), L"Your computer is at risk");
    // The home-page buttons are a group of their own.
    click("optAlwaysnotifybeforerestoring");
    EXPECT_TRUE(checked("optIEHomePageSheildOn"));

    // The schedule panel: enabling scheduled scans opens the day list; Apply stores it.
    window->showOptionsTab(2);
    EXPECT_FALSE(IsWindowEnabled(find("cmbDays")));
    click("chkAutomaticScanYesOrNo");
    EXPECT_TRUE(IsWindowEnabled(find("cmbDays")));
    click("CmdProceed");
    EXPECT_EQ(setting("OptionAndSettings", "chkAutomaticScanYesOrNo"), "1");
    EXPECT_NE(setting("OptionAndSettings", "Time"), "Null");
    EXPECT_TRUE(state->tmrScheduler().enabled());

    // The end of the Windows session is an exit path of its own.
    SendMessageW(window->hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(setting("OptionAndSettings", "STATUS"), "STOPPED");
    EXPECT_NE(setting("Settings", "FoundCol21"), "<none>");
}

TEST_F(MainWindowTest, LanguageSwitchReCaptionsTheWindowAndSwitchesBack) {
    start();
    const std::wstring englishFile = Widen(window->controls().menuCaption("mnuFile"));

    window->changeLanguage("German");
    EXPECT_EQ(WindowTextOf(find("cmdScan")), L"Prüfen");
    EXPECT_EQ(WindowTextOf(find("cmdSelectAll")), L"Alle auswählen");
    EXPECT_NE(Widen(window->controls().menuCaption("mnuFile")), englishFile);
    EXPECT_NE(WindowTextOf(window->hwnd()).find(L" von "), std::wstring::npos);
    // Live values are not overwritten by the translation.
    EXPECT_EQ(WindowTextOf(find("lblLastScan")), L"Never");

    window->changeLanguage("English");
    EXPECT_EQ(WindowTextOf(find("cmdScan")), L"Scan");
    EXPECT_EQ(Widen(window->controls().menuCaption("mnuFile")), englishFile);
}

}  // namespace
}  // namespace nightjar::gui
