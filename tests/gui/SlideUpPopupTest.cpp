#include "gui/SlideUpPopup.h"

#include <gtest/gtest.h>

#include "gui/PopupFrame.h"
#include "gui/SatelliteLayouts.h"

namespace nightjar::gui {
namespace {

using Phase = SlideUpPopup::Phase;

RECT boundsOf(const SlideUpPopup& popup) {
    RECT r{};
    GetWindowRect(popup.hwnd(), &r);
    return r;
}

/// Ticks `timer` until the popup leaves `phase`; the number of ticks, or -1 past `limit`.
int tickThrough(SlideUpPopup& popup, UINT_PTR timer, Phase phase, int limit = 2000) {
    for (int ticks = 1; ticks <= limit; ++ticks) {
        SendMessageW(popup.hwnd(), WM_TIMER, timer, 0);
        if (popup.phase() != phase) {
            return ticks;
        }
    }
    return -1;
}

void mouseMovesOver(const SlideUpPopup& popup) {
    SendMessageW(popup.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(popup.hwnd()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

TEST(SlideUpPopupTest, TrayMenuRisesIntoTheWorkAreaAndLeavesAfterSixIdleSeconds) {
    SlideUpPopup popup(SatelliteWindow("frmMenuPopUp", "Nightjar"), SlideUpPopup::MenuMotion());
    int closed = 0;
    popup.onClosed([&] { ++closed; });
    ASSERT_TRUE(popup.create(nullptr));
    const RECT work = WorkAreaOf(nullptr);
    popup.start();
    EXPECT_EQ(boundsOf(popup).top, work.bottom) << "starts at the top of the taskbar";
    EXPECT_EQ(popup.phase(), Phase::SlidingUp);

    // Stale ticks of other phases are dropped.
    SendMessageW(popup.hwnd(), WM_TIMER, SlideUpPopup::kSlideDownTimer, 0);
    EXPECT_EQ(boundsOf(popup).top, work.bottom);

    ASSERT_GT(tickThrough(popup, SlideUpPopup::kSlideUpTimer, Phase::SlidingUp), 1);
    ASSERT_EQ(popup.phase(), Phase::Resting);
    const RECT rest = boundsOf(popup);
    EXPECT_EQ(rest.top, popup.restingTop());
    EXPECT_GE(rest.top, work.top);
    EXPECT_GE(rest.left, work.left);
    EXPECT_EQ(rest.right, work.right) << "at the right edge";
    EXPECT_LT(rest.bottom, work.bottom) << "above the taskbar";

    // Five idle seconds, a mouse movement, then six more before it goes.
    for (int i = 0; i < 5; ++i) {
        SendMessageW(popup.hwnd(), WM_TIMER, SlideUpPopup::kRestTimer, 0);
    }
    mouseMovesOver(popup);
    EXPECT_EQ(tickThrough(popup, SlideUpPopup::kRestTimer, Phase::Resting), 6);
    ASSERT_EQ(popup.phase(), Phase::SlidingDown);
    EXPECT_GT(tickThrough(popup, SlideUpPopup::kSlideDownTimer, Phase::SlidingDown), 1);
    EXPECT_EQ(popup.phase(), Phase::Closed);
    EXPECT_EQ(popup.hwnd(), nullptr);
    EXPECT_EQ(closed, 1);
}

TEST(SlideUpPopupTest, UpdateResultClosesBySelfAfterOneWaitWhateverTheMouseDoes) {
    SlideUpPopup popup(SatelliteWindow("frmSignatureUpdated", "Nightjar"),
                       SlideUpPopup::UpdateMotion());
    int closed = 0;
    popup.onClosed([&] { ++closed; });
    ASSERT_TRUE(popup.create(nullptr));
    popup.start();
    ASSERT_GT(tickThrough(popup, SlideUpPopup::kSlideUpTimer, Phase::SlidingUp), 1);
    mouseMovesOver(popup);
    EXPECT_EQ(tickThrough(popup, SlideUpPopup::kRestTimer, Phase::Resting), 1);
    EXPECT_GT(tickThrough(popup, SlideUpPopup::kSlideDownTimer, Phase::SlidingDown), 1);
    EXPECT_EQ(closed, 1);

    // "OK" before the end closes it at once, also once.
    SlideUpPopup early(SatelliteWindow("frmSignatureUpdated", "Nightjar"),
                       SlideUpPopup::UpdateMotion());
    early.onClosed([&] { ++closed; });
    ASSERT_TRUE(early.create(nullptr));
    early.start();
    early.close();
    early.close();
    EXPECT_EQ(early.phase(), Phase::Closed);
    EXPECT_EQ(closed, 2);
}

}  // namespace
}  // namespace nightjar::gui
