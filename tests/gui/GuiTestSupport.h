#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace nightjar::gui::test {

/// Dispatches messages until `done` is true or about `timeoutMs` passed; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > end) {
            return false;
        }
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

inline std::wstring WindowTextOf(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, static_cast<int>(std::size(text)));
    return text;
}

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
    return name;
}

/// The first visible top-level window of this thread with the class, null when none.
inline HWND FindThreadWindow(const std::wstring& cls) {
    struct Search {
        const std::wstring* cls;
        HWND found;
    } search{&cls, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (IsWindowVisible(hwnd) && ClassOf(hwnd) == *s->cls) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

/// The first visible top-level window of this thread with the caption, null when none.
inline HWND FindThreadWindowTitled(const std::wstring& caption) {
    struct Search {
        const std::wstring* caption;
        HWND found;
    } search{&caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (IsWindowVisible(hwnd) && WindowTextOf(hwnd) == *s->caption) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

/// Runs `act` once from a thread timer, that is from inside the modal loop of whatever
/// the test opens next.
class WhileModal {
  public:
    explicit WhileModal(std::function<bool()> act) {
        pending() = std::move(act);
        id_ = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
            if (pending() && pending()()) {
                pending() = nullptr;
            }
        });
    }
    ~WhileModal() {
        KillTimer(nullptr, id_);
        pending() = nullptr;
    }

  private:
    /// The action; it returns false to be tried again on the next tick.
    static std::function<bool()>& pending() {
        static std::function<bool()> act;
        return act;
    }
    UINT_PTR id_;
};

}  // namespace nightjar::gui::test
