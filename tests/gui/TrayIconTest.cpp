#include "gui/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/FormWindow.h"

namespace nightjar::gui {
namespace {

TEST(TrayIconTest, ClicksOpenTheMenuDoubleClicksRestoreAndTipsNeedTheIcon) {
    FormWindow window(localization::WindowText{"FrmMain", "Nightjar", {}});
    ASSERT_TRUE(window.create(nullptr, false));
    TrayIcon tray;
    std::string events;
    tray.onOpenMenu([&] { events += 'M'; });
    tray.onRestore([&] { events += 'R'; });

    EXPECT_FALSE(tray.changeToolTip(L"not shown")) << "nothing to re-tip";
    // Whether or not the desktop has a notification area, the icon counts as shown.
    tray.show(window.hwnd(), std::wstring(200, L'x'));
    EXPECT_TRUE(tray.shown());

    for (UINT mouse : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_LBUTTONDBLCLK,
                       WM_RBUTTONDBLCLK}) {
        EXPECT_TRUE(tray.handleMessage(TrayIcon::kCallbackMessage, TrayIcon::kIconId, mouse));
    }
    EXPECT_FALSE(tray.handleMessage(WM_MOUSEMOVE, 0, WM_LBUTTONDOWN)) << "not the icon's";
    EXPECT_EQ(events, "MMRR");

    tray.remove();
    EXPECT_FALSE(tray.shown());
    EXPECT_FALSE(tray.changeToolTip(L"gone"));
}

}  // namespace
}  // namespace nightjar::gui
