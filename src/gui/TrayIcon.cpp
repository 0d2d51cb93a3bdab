#include "gui/TrayIcon.h"

#include <shellapi.h>

#include <algorithm>

namespace nightjar::gui {

TrayIcon::~TrayIcon() {
    remove();
}

bool TrayIcon::notify(DWORD action, std::wstring_view tip) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    auto icon = reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(window_, GCLP_HICONSM));
    }
    if (icon == nullptr) {
        icon = LoadIconW(GetModuleHandleW(nullptr), L"AAA");
    }
    if (icon == nullptr) {
        icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    }
    data.hIcon = icon;
    // The tip field is fixed; a longer tip is cut and keeps its terminating NUL.
    const std::size_t length = std::min(tip.size(), std::size(data.szTip) - 1);
    std::copy_n(tip.begin(), length, data.szTip);
    data.szTip[length] = L'\0';
    return Shell_NotifyIconW(action, &data) != FALSE;
}

bool TrayIcon::show(HWND window, std::wstring_view tip) {
    if (shown_ && window != window_) {
        remove();
    }
    window_ = window;
    // Without a notification area (a bare desktop) the program still counts the icon as
    // shown, so it can be removed and re-tipped like any other.
    shown_ = true;
    return notify(NIM_ADD, tip);
}

void TrayIcon::remove() {
    if (window_ == nullptr) {
        return;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    shown_ = false;
}

bool TrayIcon::changeToolTip(std::wstring_view tip) {
    return shown_ && notify(NIM_MODIFY, tip);
}

bool TrayIcon::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != kCallbackMessage || wp != kIconId) {
        return false;
    }
    switch (static_cast<UINT>(lp)) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            if (openMenu_) {
                openMenu_();
            }
            break;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
            if (restore_) {
                restore_();
            }
            break;
        default:
            break;
    }
    return true;
}

}  // namespace nightjar::gui
