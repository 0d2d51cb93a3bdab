#include "gui/Dpi.h"

namespace nightjar::gui {
namespace {

/// A user32 function looked up at run time: older systems lack the per-monitor DPI API.
template <typename F>
F user32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 == nullptr
               ? nullptr
               : reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

}  // namespace

UINT DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (UINT dpi = getDpiForWindow(window); dpi != 0) {
            return dpi;
        }
    }
    return systemDpi();
}

int Scale(int length, UINT dpi) {
    return MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = user32Function<AdjustFn>("AdjustWindowRectExForDpi");
    if (adjust == nullptr || !adjust(&rect, style, menu, exStyle, dpi)) {
        AdjustWindowRectEx(&rect, style, menu, exStyle);
    }
}

}  // namespace nightjar::gui
