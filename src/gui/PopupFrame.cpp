#include "gui/PopupFrame.h"

#include "gui/Dpi.h"

namespace nightjar::gui {

void SetFrameKeepingClient(HWND window, DWORD style, DWORD exStyle) {
    RECT client{};
    GetClientRect(window, &client);
    const bool visible = IsWindowVisible(window) != FALSE;
    SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style | (visible ? WS_VISIBLE : 0)));
    SetWindowLongPtrW(window, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
    RECT frame = client;
    AdjustWindowRectForDpi(frame, style, GetMenu(window) != nullptr, exStyle, DpiOf(window));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CenterOnWorkArea(HWND window, HWND owner) {
    const RECT work = WorkAreaOf(owner);
    RECT frame{};
    GetWindowRect(window, &frame);
    SetWindowPos(window, nullptr,
                 work.left + (work.right - work.left - (frame.right - frame.left)) / 2,
                 work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT WorkAreaOf(HWND window) {
    HMONITOR monitor = window != nullptr ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                                         : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) {
        return info.rcWork;
    }
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return work;
}

}  // namespace nightjar::gui
