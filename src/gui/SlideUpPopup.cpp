#include "gui/SlideUpPopup.h"

#include <algorithm>

#include "gui/Dpi.h"
#include "gui/PopupFrame.h"

namespace nightjar::gui {

namespace {

/// The gap between the resting window and the taskbar (96 DPI).
constexpr int kRestingGap = 7;
/// The colour of the tray menu's commands.
constexpr COLORREF kLinkColor = RGB(0x00, 0x5A, 0xB4);

}  // namespace

SlideUpPopup::Motion SlideUpPopup::MenuMotion() {
    return {6, 1, 1000, 6, 7, 10, true};
}

SlideUpPopup::Motion SlideUpPopup::UpdateMotion() {
    return {2, 10, 7000, 1, 3, 10, false};
}

SlideUpPopup::SlideUpPopup(localization::WindowText text, Motion motion)
    : FormWindow(std::move(text)), motion_(motion) {}

bool SlideUpPopup::create(HWND mainWindow) {
    if (!FormWindow::create(nullptr, false)) {
        return false;
    }
    SetFrameKeepingClient(hwnd(), WS_POPUP | WS_BORDER | WS_CLIPCHILDREN,
                          WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_CONTROLPARENT);
    heading_.apply(controls().find("lblName"), 10);
    work_ = WorkAreaOf(mainWindow);
    RECT frame{};
    GetWindowRect(hwnd(), &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    left_ = work_.right - width;
    restingTop_ = work_.bottom - height - Scale(kRestingGap, DpiOf(hwnd()));
    moveTo(work_.bottom);
    return true;
}

void SlideUpPopup::start() {
    if (hwnd() == nullptr) {
        return;
    }
    moveTo(work_.bottom);
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    enter(Phase::SlidingUp);
}

void SlideUpPopup::slideAway() {
    if (phase_ != Phase::Closed && phase_ != Phase::SlidingDown) {
        enter(Phase::SlidingDown);
    }
}

void SlideUpPopup::close() {
    if (hwnd() != nullptr) {
        DestroyWindow(hwnd());
    }
}

int SlideUpPopup::top() const {
    RECT r{};
    GetWindowRect(hwnd(), &r);
    return r.top;
}

void SlideUpPopup::moveTo(int top) {
    RECT r{};
    GetWindowRect(hwnd(), &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    SetWindowPos(hwnd(), nullptr, left_, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Only the part above the taskbar shows, so the window seems to rise out of it.
    const int visible = std::max(0L, std::min<LONG>(height, work_.bottom - top));
    SetWindowRgn(hwnd(), CreateRectRgn(0, 0, width, visible), TRUE);
}

void SlideUpPopup::enter(Phase phase) {
    KillTimer(hwnd(), kSlideUpTimer);
    KillTimer(hwnd(), kRestTimer);
    KillTimer(hwnd(), kSlideDownTimer);
    phase_ = phase;
    idleTicks_ = 0;
    switch (phase) {
        case Phase::SlidingUp:
            SetTimer(hwnd(), kSlideUpTimer, static_cast<UINT>(motion_.upIntervalMs), nullptr);
            break;
        case Phase::Resting:
            SetTimer(hwnd(), kRestTimer, static_cast<UINT>(motion_.restIntervalMs), nullptr);
            break;
        case Phase::SlidingDown:
            SetTimer(hwnd(), kSlideDownTimer, static_cast<UINT>(motion_.downIntervalMs), nullptr);
            break;
        case Phase::Created:
        case Phase::Closed:
            break;
    }
}

void SlideUpPopup::onTimer(UINT_PTR id) {
    const UINT dpi = DpiOf(hwnd());
    // A tick still queued from a phase that ended is dropped.
    if (id == kSlideUpTimer && phase_ == Phase::SlidingUp) {
        const int now = top();
        if (now > restingTop_) {
            moveTo(std::max(restingTop_, now - Scale(motion_.upStep, dpi)));
        } else {
            enter(Phase::Resting);
        }
    } else if (id == kRestTimer && phase_ == Phase::Resting) {
        if (++idleTicks_ >= motion_.restTicks) {
            enter(Phase::SlidingDown);
        }
    } else if (id == kSlideDownTimer && phase_ == Phase::SlidingDown) {
        const int next = top() + Scale(motion_.downStep, dpi);
        moveTo(next);
        if (next >= work_.bottom) {
            close();
        }
    }
}

LRESULT SlideUpPopup::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETCURSOR && HIWORD(lp) == WM_MOUSEMOVE && motion_.mouseKeepsUp) {
        // Over the window or any of its controls: the rest count starts again.
        idleTicks_ = 0;
    } else if (msg == WM_MOUSEACTIVATE) {
        // Clicks on the popup leave the keyboard where it was.
        return MA_NOACTIVATE;
    } else if (msg == WM_CTLCOLORSTATIC) {
        const LRESULT brush = FormWindow::handleMessage(msg, wp, lp);
        auto control = reinterpret_cast<HWND>(lp);
        if (IsWindowEnabled(control) && GetWindowTextLengthW(control) > 0 &&
            text().name == "frmMenuPopUp" && GetDlgCtrlID(control) != 0) {
            const auto* source = controls().byWindow(control);
            if (source != nullptr && source->name != "lblName") {
                // The menu's commands look like links.
                SetTextColor(reinterpret_cast<HDC>(wp), kLinkColor);
            }
        }
        return brush;
    }
    return FormWindow::handleMessage(msg, wp, lp);
}

void SlideUpPopup::onDestroy() {
    KillTimer(hwnd(), kSlideUpTimer);
    KillTimer(hwnd(), kRestTimer);
    KillTimer(hwnd(), kSlideDownTimer);
    phase_ = Phase::Closed;
    FormWindow::onDestroy();
    if (auto handler = closed_) {
        handler();
    }
}

}  // namespace nightjar::gui
