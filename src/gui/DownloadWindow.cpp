#include "gui/DownloadWindow.h"

#include "gui/PopupFrame.h"
#include "gui/WideText.h"

namespace nightjar::gui {

DownloadWindow::DownloadWindow(localization::WindowText text) : FormWindow(std::move(text)) {
    onClick("Command1", [this](std::optional<int>) { DestroyWindow(hwnd()); });
    tray_.onRestore([this] {
        ShowWindow(hwnd(), SW_SHOWNORMAL);
        SetForegroundWindow(hwnd());
    });
}

bool DownloadWindow::show(HWND owner) {
    if (!create(owner, false)) {
        return false;
    }
    if (HWND up = controls().find("picUp")) {
        SetWindowTextW(up, L"\u25B2");
    }
    if (HWND down = controls().find("picDown")) {
        SetWindowTextW(down, L"\u25BC");
        ShowWindow(down, SW_HIDE);
    }
    if (HWND status = controls().find("txtStatus")) {
        SendMessageW(status, EM_SETREADONLY, TRUE, 0);
    }
    step_ = 0;
    SetTimer(hwnd(), kBlinkTimer, kBlinkIntervalMs, nullptr);
    tray_.remove();
    tray_.show(hwnd(), L"Getting latest definitions.");
    CenterOnWorkArea(hwnd(), owner);
    ShowWindow(hwnd(), SW_SHOW);
    // The focus on "Cancel" keeps the caret out of the read-only status box.
    SetFocus(controls().find("Command1"));
    return true;
}

void DownloadWindow::setProduct(const wchar_t* text) {
    if (HWND label = controls().find("lblProduct")) {
        SetWindowTextW(label, text);
    }
}

void DownloadWindow::addStatus(std::string_view line) {
    HWND status = controls().find("txtStatus");
    if (status == nullptr || line.empty() || line == last_) {
        return;
    }
    last_ = line;
    const auto end = static_cast<WPARAM>(GetWindowTextLengthW(status));
    const std::wstring text = (end > 0 ? L"\r\n" : L"") + Widen(line);
    SendMessageW(status, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(status, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void DownloadWindow::onTimer(UINT_PTR id) {
    if (id != kBlinkTimer) {
        return;
    }
    HWND up = controls().find("picUp");
    HWND down = controls().find("picDown");
    if (down != nullptr && IsWindowVisible(down)) {
        ShowWindow(down, SW_HIDE);
        ShowWindow(up, SW_SHOWNA);
        setProduct(L"Connecting to server.....");
    } else {
        setProduct(L"Checking for Definitions.....");
        ShowWindow(down, SW_SHOWNA);
        ShowWindow(up, SW_HIDE);
    }
    if (step_ > 14) {
        step_ = 0;
    }
    // The steps of one round of a connection; the other steps keep the blink's text.
    if (step_ == 0) {
        setProduct(L"Connecting to the Server.");
    } else if ((step_ >= 2 && step_ <= 5) || step_ >= 10) {
        setProduct(L"Sending and receiving data, please wait.");
    } else if (step_ == 6) {
        setProduct(L"Successfully sent the request.");
    } else if (step_ == 8) {
        setProduct(L"Receiving a response from the Server.");
    }
    ++step_;
}

LRESULT DownloadWindow::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (tray_.handleMessage(msg, wp, lp)) {
        return 0;
    }
    return FormWindow::handleMessage(msg, wp, lp);
}

void DownloadWindow::onDestroy() {
    KillTimer(hwnd(), kBlinkTimer);
    tray_.remove();
    FormWindow::onDestroy();
}

}  // namespace nightjar::gui
