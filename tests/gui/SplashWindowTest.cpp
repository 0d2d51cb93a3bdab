#include "gui/SplashWindow.h"

#include <gtest/gtest.h>

#include "gui/SatelliteLayouts.h"

namespace nightjar::gui {
namespace {

TEST(SplashWindowTest, HandsOverOnceAtTheSeventyFifthTickAndHides) {
    SplashWindow splash(SatelliteWindow("frmSplash", "Nightjar"), L"Nightjar");
    int handedOver = 0;
    splash.onHandOver([&] { ++handedOver; });
    ASSERT_TRUE(splash.show());
    for (int tick = 1; tick < SplashWindow::kTicks; ++tick) {
        SendMessageW(splash.hwnd(), WM_TIMER, SplashWindow::kTimerId, 0);
    }
    EXPECT_EQ(handedOver, 0);
    EXPECT_TRUE(IsWindowVisible(splash.hwnd()));
    SendMessageW(splash.hwnd(), WM_TIMER, SplashWindow::kTimerId, 0);
    EXPECT_EQ(handedOver, 1);
    EXPECT_EQ(splash.counter(), 150);
    EXPECT_FALSE(IsWindowVisible(splash.hwnd()));
    SendMessageW(splash.hwnd(), WM_TIMER, SplashWindow::kTimerId, 0);
    EXPECT_EQ(handedOver, 1) << "a tick still queued does nothing";
}

}  // namespace
}  // namespace nightjar::gui
