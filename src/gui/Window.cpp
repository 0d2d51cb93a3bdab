#include "gui/Window.h"

namespace nightjar::gui {

Window::~Window() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool Window::createWindow(const ClassSpec& cls, DWORD exStyle, DWORD style,
                          const std::wstring& caption, RECT bounds, HWND parent) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, cls.name, &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = cls.style;
        wc.lpfnWndProc = &Window::procedure;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        // The product icon of the running program; none in a program without one.
        wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"AAA");
        wc.hbrBackground = GetSysColorBrush(cls.background);
        wc.lpszClassName = cls.name;
        if (RegisterClassExW(&wc) == 0) {
            return false;
        }
    }
    return CreateWindowExW(exStyle, cls.name, caption.c_str(), style, bounds.left, bounds.top,
                           bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr,
                           instance, this) != nullptr;
}

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<Window*>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    const LRESULT result = self->handleMessage(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

LRESULT Window::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (onCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) {
                return 0;
            }
            break;
        case WM_NOTIFY:
            if (auto result = onNotify(*reinterpret_cast<const NMHDR*>(lp))) {
                return *result;
            }
            break;
        case WM_TIMER:
            onTimer(wp);
            return 0;
        case WM_DPICHANGED:
            onDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_CLOSE:
            if (onClose()) {
                return 0;
            }
            break;
        case WM_DESTROY:
            onDestroy();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

bool Window::onCommand(int, int, HWND) {
    return false;
}

std::optional<LRESULT> Window::onNotify(const NMHDR&) {
    return std::nullopt;
}

void Window::onTimer(UINT_PTR) {}

void Window::onDpiChanged(UINT, const RECT& suggested) {
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::onClose() {
    return false;
}

void Window::onDestroy() {}

}  // namespace nightjar::gui
