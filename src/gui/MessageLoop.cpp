#include "gui/MessageLoop.h"

namespace nightjar::gui {

void MessageLoop::afterEachMessage(std::function<void()> hook) {
    hooks_.push_back(std::move(hook));
}

void MessageLoop::dispatch(MSG& msg) {
    HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    const bool dialogLike =
        root != nullptr && (GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
    if (!dialogLike || !IsDialogMessageW(root, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    for (const auto& hook : hooks_) {
        hook();
    }
}

std::optional<int> MessageLoop::runUntil(const std::function<bool()>& done) {
    MSG msg{};
    while (!done || !done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            const int code = got == 0 ? static_cast<int>(msg.wParam) : -1;
            if (done) {
                PostQuitMessage(code);
            }
            return code;
        }
        dispatch(msg);
    }
    return std::nullopt;
}

bool MessageLoop::pumpPending() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        dispatch(msg);
    }
    return true;
}

}  // namespace nightjar::gui
