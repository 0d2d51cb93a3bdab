#include "gui/SplashWindow.h"

#include <commctrl.h>

#include "gui/Dpi.h"
#include "gui/PopupFrame.h"

namespace nightjar::gui {

SplashWindow::SplashWindow(localization::WindowText text, std::wstring productName)
    : FormWindow(std::move(text)), productName_(std::move(productName)) {}

bool SplashWindow::show() {
    if (!FormWindow::create(nullptr, false)) {
        return false;
    }
    SetFrameKeepingClient(hwnd(), WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    const UINT dpi = DpiOf(hwnd());
    if (HWND name = controls().find("lblSplashName")) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            LOGFONTW title = metrics.lfMessageFont;
            title.lfHeight = -MulDiv(20, static_cast<int>(dpi), 72);
            title.lfWeight = FW_SEMIBOLD;
            titleFont_ = CreateFontIndirectW(&title);
            SendMessageW(name, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), TRUE);
        }
        SetWindowTextW(name, productName_.c_str());
    }
    if (HWND status = controls().find("lblSplashStatus")) {
        SetWindowTextW(status, L"Loading\u2026");
    }
    if (HWND bar = controls().find("pbSplash")) {
        SendMessageW(bar, PBM_SETRANGE32, 0, kTicks * 2);
    }
    const RECT work = WorkAreaOf(nullptr);
    RECT frame{};
    GetWindowRect(hwnd(), &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(hwnd(), HWND_TOPMOST, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE);
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

LRESULT SplashWindow::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCDESTROY && titleFont_ != nullptr) {
        const LRESULT result = FormWindow::handleMessage(msg, wp, lp);
        DeleteObject(titleFont_);
        titleFont_ = nullptr;
        return result;
    }
    return FormWindow::handleMessage(msg, wp, lp);
}

}  // namespace nightjar::gui
