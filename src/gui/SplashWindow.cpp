#include "gui/SplashWindow.h"

#include <commctrl.h>

#include "gui/PopupFrame.h"

namespace nightjar::gui {

SplashWindow::SplashWindow(localization::WindowText text, std::wstring productName)
    : FormWindow(std::move(text)), productName_(std::move(productName)) {}

bool SplashWindow::show() {
    if (!FormWindow::create(nullptr, false)) {
        return false;
    }
    SetFrameKeepingClient(hwnd(), WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    if (HWND name = controls().find("lblSplashName")) {
        title_.apply(name, 20, FW_SEMIBOLD);
        SetWindowTextW(name, productName_.c_str());
    }
    if (HWND status = controls().find("lblSplashStatus")) {
        SetWindowTextW(status, L"Loading\u2026");
    }
    if (HWND bar = controls().find("pbSplash")) {
        SendMessageW(bar, PBM_SETRANGE32, 0, kTicks * 2);
    }
    CenterOnWorkArea(hwnd(), nullptr);
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
    counter_ = 0;
    running_ = true;
    SetTimer(hwnd(), kTimerId, kTimerIntervalMs, nullptr);
    return true;
}

void SplashWindow::onTimer(UINT_PTR id) {
    if (id != kTimerId || !running_) {
        return;
    }
    const bool last = counter_ == (kTicks - 1) * 2;
    counter_ += 2;
    if (HWND bar = controls().find("pbSplash")) {
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(counter_), 0);
    }
    if (!last) {
        return;
    }
    running_ = false;
    KillTimer(hwnd(), kTimerId);
    if (handOver_) {
        handOver_();
    }
    ShowWindow(hwnd(), SW_HIDE);
}

}  // namespace nightjar::gui
