#include "gui/SatelliteWindows.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/AppFixture.h"
#include "gui/GuiTestSupport.h"
#include "gui/GuiUserInterface.h"
#include "gui/ListViewControl.h"
#include "gui/MainWindow.h"
#include "gui/MessageLoop.h"
#include "gui/ReportWindow.h"
#include "gui/SlideUpPopup.h"
#include "gui/TrayIcon.h"
#include "gui/WideText.h"
#include "removal/ExclusionList.h"
#include "report/ScanReport.h"

namespace nightjar::gui {
namespace {

using test::FindThreadWindow;
using test::WhileModal;
using test::WindowTextOf;

constexpr std::string_view kResults = "lvwPicRemoveListOfSpywareFoundAndToBeRemoved";

std::string shippedLocalization() {
    std::ifstream in(NJ_SHIPPED_LOCALIZATION, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Ticks `timer` of the popup until it leaves `phase`; false past `limit` ticks.
bool tickThrough(SlideUpPopup& popup, UINT_PTR timer, SlideUpPopup::Phase phase, int limit = 2000) {
    for (int i = 0; i < limit && popup.phase() == phase; ++i) {
        SendMessageW(popup.hwnd(), WM_TIMER, timer, 0);
    }
    return popup.phase() != phase;
}

/// The program's windows over the fakes, wired as the program wires them, with the real
/// message boxes.
class SatelliteWindowsTest : public apptest::AppFixture {
  protected:
    SatelliteWindowsTest() : gui(loop) {
        constexpr std::string_view folder = "C:\\Program Files\\Nightjar";
        fake.fs.addFile(std::string(folder) + "\\Localization.txt", shippedLocalization());
        app::MainStateOptions options;
        options.programFolder = folder;
        state = std::make_unique<app::MainState>(fake.platform, gui, std::move(options));
        window = std::make_unique<MainWindow>(*state, gui);
        satellites = std::make_unique<SatelliteWindows>(*state, gui, *window);
        satellites->attach();
    }
    ~SatelliteWindowsTest() override {
        satellites.reset();
        window.reset();
        state.reset();
    }
    void start() {
        ASSERT_TRUE(window->create());
        state->Startup();
        window->LoadOptionsIntoControls();
        ShowWindow(window->hwnd(), SW_SHOWNOACTIVATE);
    }
    HWND find(std::string_view name) { return window->controls().find(name); }
    void click(std::string_view name) { SendMessageW(find(name), BM_CLICK, 0, 0); }
    void trayEvent(UINT mouse) {
        SendMessageW(window->hwnd(), TrayIcon::kCallbackMessage, TrayIcon::kIconId, mouse);
    }
    /// A scan's results with the first `checkedRows` rows checked, the others not.
    void scanAndCheck(int checkedRows) {
        writeStandardDefinitions();
        plantThreats();
        start();
        click("Command3");
        click("cmdResults");
        ASSERT_GT(state->ResultList().size(), static_cast<std::size_t>(checkedRows));
        ListViewControl list(find(kResults));
        for (int row = 0; row < list.rowCount(); ++row) {
            list.setChecked(row, row < checkedRows);
        }
    }

    MessageLoop loop;
    GuiUserInterface gui;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SatelliteWindows> satellites;
};

/// Answers every message box that opens with `button` (OK where it has none).
WhileModal answerBoxes(int button) {
    return WhileModal([button] {
        if (HWND box = FindThreadWindow(L"#32770")) {
            HWND b = GetDlgItem(box, button);
            SendMessageW(b != nullptr ? b : GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }
        return false;
    });
}

TEST_F(SatelliteWindowsTest, RepairNowRemovesTheCheckedRowsOnlyAfterYes) {
    scanAndCheck(2);
    const std::size_t before = state->ResultList().size();
    {
        WhileModal no = answerBoxes(IDNO);
        click("Command4");
    }
    ASSERT_EQ(state->ResultList().size(), before) << "No keeps every row";
    const std::string kept = state->ResultList()[2].title;
    {
        WhileModal yes = answerBoxes(IDYES);
        click("Command4");
    }
    for (const scan::FoundItem& row : state->ResultList()) {
        EXPECT_FALSE(row.checked) << row.title;
    }
    EXPECT_EQ(state->ResultList().size(), before - 2);
    EXPECT_EQ(ListViewControl(find(kResults)).cell(0, 0), kept);
    EXPECT_EQ(satellites->deleteFailed(), nullptr) << "every file went";

    // "Log File" shows the scan's report in the report window, not in another program.
    click("cmdLog");
    ASSERT_NE(satellites->report(), nullptr);
    const std::vector<std::string> lines =
        report::ScanReport::ReportLines(fake.fs, state->dataFolder());
    ASSERT_FALSE(lines.empty());
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\r\n";
    }
    HWND box = satellites->report()->controls().find("txtReport");
    std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(
        GetWindowTextW(box, shown.data(), static_cast<int>(shown.size()))));
    EXPECT_EQ(Narrow(shown), all);
}

TEST_F(SatelliteWindowsTest, ExcludeRemembersTheCheckedRowAndDropsIt) {
    scanAndCheck(1);
    const scan::FoundItem excluded = state->ResultList()[0];
    const std::size_t before = state->ResultList().size();
    {
        WhileModal yes = answerBoxes(IDYES);
        click("cmdExclude");
    }
    EXPECT_TRUE(state->exclusions().IsExcluded(excluded.location));
    ASSERT_EQ(state->ResultList().size(), before - 1);
    EXPECT_EQ(ListViewControl(find(kResults)).rowCount(), static_cast<int>(before - 1));
}

TEST_F(SatelliteWindowsTest, TrayMenuShowProgramRestoresTheWindowAndExitWritesTheRunState) {
    start();
    click("Command5");  // "Minimize"
    ASSERT_TRUE(satellites->tray().shown());
    EXPECT_FALSE(IsWindowVisible(window->hwnd()));

    trayEvent(WM_MOUSEMOVE);
    EXPECT_EQ(satellites->trayMenu(), nullptr) << "only clicks open the menu";
    trayEvent(WM_RBUTTONDOWN);
    SlideUpPopup* menu = satellites->trayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->phase(), SlideUpPopup::Phase::SlidingUp);
    HWND show = menu->controls().find("mnuMaxmimaize");
    EXPECT_TRUE(IsWindowEnabled(show)) << "the window is hidden";
    EXPECT_TRUE(IsWindowEnabled(menu->controls().find("mnuClose")));

    SendMessageW(menu->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(show), STN_CLICKED),
                 reinterpret_cast<LPARAM>(show));
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
    EXPECT_FALSE(IsIconic(window->hwnd()));
    EXPECT_EQ(menu->phase(), SlideUpPopup::Phase::SlidingDown);
    EXPECT_TRUE(satellites->tray().shown()) << "restoring keeps the icon";

    // Opened again over the shown window, it offers only what makes sense.
    trayEvent(WM_LBUTTONDOWN);
    menu = satellites->trayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(IsWindowEnabled(menu->controls().find("mnuMaxmimaize")));
    HWND exit = menu->controls().find("mnuClose");
    SendMessageW(menu->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(exit), STN_CLICKED),
                 reinterpret_cast<LPARAM>(exit));
    EXPECT_EQ(setting("OptionAndSettings", "STATUS"), "STOPPED");
    EXPECT_EQ(setting("OptionAndSettings", "RESTART"), "False");
    EXPECT_FALSE(satellites->tray().shown());
    EXPECT_TRUE(test::PumpUntil([&] { return window->hwnd() == nullptr; }));
}

TEST_F(SatelliteWindowsTest, LiveUpdateResultSlidesUpAndClosesByItself) {
    writeStandardDefinitions();
    // The server's definitions are no newer than the installed ones.
    fake.http.handler([](const std::string&) {
        platform::HttpResult r;
        r.ok = true;
        r.body = "3/16/2006 12:00:00 AM";
        return r;
    });
    start();
    click("cmdUpdate");

    EXPECT_EQ(satellites->download(), nullptr) << "the progress window is gone";
    SlideUpPopup* popup = satellites->updateResult();
    ASSERT_NE(popup, nullptr);
    const std::wstring info = WindowTextOf(popup->controls().find("lblUpdateInfo"));
    EXPECT_EQ(info, Widen(state->msg("MSG_RECENT_DEFS")));

    ASSERT_TRUE(tickThrough(*popup, SlideUpPopup::kSlideUpTimer, SlideUpPopup::Phase::SlidingUp));
    ASSERT_TRUE(tickThrough(*popup, SlideUpPopup::kRestTimer, SlideUpPopup::Phase::Resting));
    ASSERT_TRUE(
        tickThrough(*popup, SlideUpPopup::kSlideDownTimer, SlideUpPopup::Phase::SlidingDown));
    EXPECT_EQ(popup->phase(), SlideUpPopup::Phase::Closed);
    EXPECT_EQ(setting("OptionAndSettings", "SHOW"), "false");
    EXPECT_TRUE(IsWindowEnabled(find("cmdLiveUpdate")));
}

}  // namespace
}  // namespace nightjar::gui
