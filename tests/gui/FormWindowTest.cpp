#include "gui/FormWindow.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "gui/Dpi.h"
#include "gui/GuiTestSupport.h"
#include "gui/ListViewControl.h"

namespace nightjar::gui {
namespace {

using localization::ControlKind;
using localization::ControlText;
using localization::WindowText;
using test::ClassOf;
using test::WindowTextOf;

ControlText make(ControlKind kind, std::string name, std::string caption, std::string parent = {},
                 localization::ControlBounds bounds = {}, std::optional<int> index = {}) {
    ControlText t;
    t.kind = kind;
    t.name = std::move(name);
    t.index = index;
    t.caption = std::move(caption);
    t.parent = std::move(parent);
    t.bounds = bounds;
    return t;
}

WindowText sample() {
    WindowText w{"frmSample", "Sample", {}};
    w.controls.push_back(make(ControlKind::Menu, "mnuFile", "&File"));
    w.controls.push_back(make(ControlKind::Menu, "mnuExit", "Exit", "mnuFile"));
    w.controls.push_back(make(ControlKind::Label, "lblStatus", "Ready", {}, {10, 10, 200, 20}));
    w.controls.push_back(
        make(ControlKind::CommandButton, "cmdNav", "Home", {}, {10, 40, 80, 24}, 0));
    w.controls.push_back(
        make(ControlKind::CommandButton, "cmdNav", "Scan", {}, {100, 40, 80, 24}, 1));
    w.controls.push_back(make(ControlKind::Timer, "tmrScroll", ""));
    w.controls.push_back(make(ControlKind::Frame, "fraMode", "Mode", {}, {10, 80, 300, 100}));
    w.controls.push_back(make(ControlKind::OptionButton, "optA", "A", "fraMode", {10, 20, 80, 20}));
    w.controls.push_back(
        make(ControlKind::OptionButton, "optB", "B", "fraMode", {100, 20, 80, 20}));
    w.controls.push_back(make(ControlKind::CheckBox, "chkX", "X", "fraMode", {10, 50, 80, 20}));
    w.controls.push_back(
        make(ControlKind::OptionButton, "optC", "C", "fraMode", {100, 50, 80, 20}));
    ControlText tabs = make(ControlKind::TabStrip, "TabStrip1", "", {}, {10, 190, 400, 200});
    tabs.tabs = {"One", "Two"};
    w.controls.push_back(tabs);
    ControlText list =
        make(ControlKind::ListView, "lvwResults", "", "TabStrip1", {10, 30, 380, 160});
    list.columns = {"Name", "Type"};
    w.controls.push_back(list);
    return w;
}

std::wstring tabText(HWND tabs, int i) {
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring columnText(HWND list, int i) {
    wchar_t text[128] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    return text;
}

bool checked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class FormWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(window.create(nullptr, false));
        ShowWindow(window.hwnd(), SW_SHOWNOACTIVATE);
    }
    HWND find(const char* name, std::optional<int> index = {}) {
        return window.controls().find(name, index);
    }

    FormWindow window{sample()};
};

TEST_F(FormWindowTest, ControlsExistUnderTheirNamesAndTakeTranslatedTexts) {
    EXPECT_EQ(WindowTextOf(window.hwnd()), L"Sample");
    EXPECT_EQ(ClassOf(find("lblStatus")), L"Static");
    EXPECT_EQ(WindowTextOf(find("lblStatus")), L"Ready");
    EXPECT_EQ(WindowTextOf(find("cmdNav", 0)), L"Home");
    EXPECT_EQ(WindowTextOf(find("cmdNav", 1)), L"Scan");
    EXPECT_EQ(find("cmdNav"), nullptr);
    EXPECT_EQ(find("tmrScroll"), nullptr);
    EXPECT_EQ(tabText(find("TabStrip1"), 1), L"Two");
    EXPECT_EQ(columnText(find("lvwResults"), 0), L"Name");
    EXPECT_EQ(window.controls().menuCaption("mnuExit"), "Exit");

    // A control inside a frame or tab strip is placed relative to it.
    const UINT dpi = DpiOf(window.hwnd());
    RECT r{};
    GetWindowRect(find("optB"), &r);
    MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, Scale(110, dpi));
    EXPECT_EQ(r.top, Scale(100, dpi));
    GetWindowRect(find("lvwResults"), &r);
    MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.top, Scale(220, dpi));

    // Only the texts the translation names change; the rest keep theirs.
    WindowText translated{"frmSample", "Образец", {}};
    translated.controls.push_back(make(ControlKind::Label, "lblStatus", "Готово"));
    translated.controls.push_back(make(ControlKind::CommandButton, "cmdNav", "Поиск", {}, {}, 1));
    translated.controls.push_back(make(ControlKind::Menu, "mnuExit", "Выход"));
    ControlText tabs = make(ControlKind::TabStrip, "TabStrip1", "");
    tabs.tabs = {"Один", "Два"};
    translated.controls.push_back(tabs);
    ControlText list = make(ControlKind::ListView, "lvwResults", "");
    list.columns = {"Имя", "Тип"};
    translated.controls.push_back(list);
    window.applyTexts(translated);

    EXPECT_EQ(WindowTextOf(window.hwnd()), L"Образец");
    EXPECT_EQ(WindowTextOf(find("lblStatus")), L"Готово");
    EXPECT_EQ(WindowTextOf(find("cmdNav", 0)), L"Home");
    EXPECT_EQ(WindowTextOf(find("cmdNav", 1)), L"Поиск");
    EXPECT_EQ(tabText(find("TabStrip1"), 0), L"Один");
    EXPECT_EQ(columnText(find("lvwResults"), 1), L"Тип");
    EXPECT_EQ(window.controls().menuCaption("mnuExit"), "Выход");
}

TEST_F(FormWindowTest, AMoveToAnotherDpiScalesBoundsAndFont) {
    const auto fontHeight = [](HWND control) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        return std::abs(font.lfHeight);
    };
    const auto origin = [&](HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return POINT{r.left, r.top};
    };
    const UINT before = DpiOf(window.hwnd());
    const LONG heightBefore = fontHeight(find("optB"));

    const UINT after = before * 2;
    RECT suggested{};
    GetWindowRect(window.hwnd(), &suggested);
    suggested.right = suggested.left + (suggested.right - suggested.left) * 2;
    suggested.bottom = suggested.top + (suggested.bottom - suggested.top) * 2;
    SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(after, after),
                 reinterpret_cast<LPARAM>(&suggested));

    const POINT optB = origin(find("optB"));
    EXPECT_EQ(optB.x, Scale(110, after));
    EXPECT_EQ(optB.y, Scale(100, after));
    EXPECT_GT(fontHeight(find("optB")), heightBefore * 3 / 2);
    EXPECT_EQ(WindowTextOf(find("optB")), L"B");
}

TEST_F(FormWindowTest, ClicksReachTheHandlerOfTheNameWithTheArrayIndex) {
    std::vector<std::optional<int>> navClicks;
    int exits = 0;
    window.onClick("cmdNav", [&](std::optional<int> index) { navClicks.push_back(index); });
    window.onClick("mnuExit", [&](std::optional<int>) { ++exits; });

    SendMessageW(find("cmdNav", 1), BM_CLICK, 0, 0);
    SendMessageW(find("cmdNav", 0), BM_CLICK, 0, 0);
    HMENU file = GetSubMenu(GetMenu(window.hwnd()), 0);
    SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(GetMenuItemID(file, 0), 0), 0);

    EXPECT_EQ(navClicks, (std::vector<std::optional<int>>{1, 0}));
    EXPECT_EQ(exits, 1);
}

TEST_F(FormWindowTest, OptionButtonsInARowUnderOneParentFormAGroup) {
    SendMessageW(find("optA"), BM_CLICK, 0, 0);
    SendMessageW(find("optC"), BM_CLICK, 0, 0);
    SendMessageW(find("optB"), BM_CLICK, 0, 0);
    // B took the check from A; C, after the check box, is a group of its own.
    EXPECT_FALSE(checked(find("optA")));
    EXPECT_TRUE(checked(find("optB")));
    EXPECT_TRUE(checked(find("optC")));
}

TEST_F(FormWindowTest, ListViewCheckBoxesRoundTripAndReportChanges) {
    std::vector<std::pair<int, bool>> changes;
    window.onItemChecked("lvwResults", [&](int row, bool on) { changes.emplace_back(row, on); });
    ListViewControl list(find("lvwResults"));

    EXPECT_EQ(list.addRow({"Трекер", "Cookie"}), 0);
    EXPECT_EQ(list.addRow({"Toolbar", "Adware"}), 1);
    EXPECT_TRUE(changes.empty()) << "a new row is neither checked nor unchecked";
    EXPECT_EQ(list.cell(0, 0), "Трекер");
    EXPECT_EQ(list.cell(1, 1), "Adware");

    list.setChecked(1, true);
    EXPECT_FALSE(list.isChecked(0));
    EXPECT_TRUE(list.isChecked(1));
    list.setChecked(1, true);
    list.setChecked(1, false);
    EXPECT_FALSE(list.isChecked(1));
    EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{1, true}, {1, false}}));
}

}  // namespace
}  // namespace nightjar::gui
