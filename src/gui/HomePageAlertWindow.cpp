#include "gui/HomePageAlertWindow.h"

#include "gui/PopupFrame.h"
#include "gui/SatelliteLayouts.h"
#include "gui/WideText.h"

namespace nightjar::gui {

HomePageAlertWindow::HomePageAlertWindow(localization::WindowText text)
    : FormWindow(std::move(text)) {
    onClick("cmdYes", [this](std::optional<int>) { answerWith(true); });
    onClick("cmdNO", [this](std::optional<int>) { answerWith(false); });
}

bool HomePageAlertWindow::show(HWND owner, std::string_view info) {
    if (!create(owner, false)) {
        return false;
    }
    SetFrameKeepingClient(hwnd(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                          WS_EX_TOPMOST | WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME);
    if (HWND label = controls().find("lblHomePageInfo")) {
        SetWindowTextW(label, Widen(info).c_str());
    }
    heading_.apply(controls().find("lblFrmHomePageProductName"), 12);
    CenterOnWorkArea(hwnd(), owner);
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (owner != nullptr && IsWindowEnabled(owner)) {
        owner_ = owner;
        EnableWindow(owner_, FALSE);
    }
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    return true;
}

void HomePageAlertWindow::answerWith(bool keep) {
    if (answer_) {
        return;
    }
    answer_ = keep;
    // The owner comes back before the alert goes, so the system activates it, not another
    // program's window.
    if (owner_ != nullptr) {
        EnableWindow(owner_, TRUE);
        owner_ = nullptr;
    }
    DestroyWindow(hwnd());
}

bool HomePageAlertWindow::onClose() {
    // Only "Yes" or "No" answers the alert.
    return true;
}

bool HomePageAlertWindow::Ask(HWND owner, MessageLoop& loop, std::string_view productName,
                              std::string_view info) {
    HomePageAlertWindow window(SatelliteWindow("frmHomePageChangedAlert", productName));
    if (!window.show(owner, info)) {
        return true;
    }
    loop.runUntil([&window] { return window.answer().has_value(); });
    if (window.owner_ != nullptr) {
        EnableWindow(window.owner_, TRUE);
    }
    return window.answer().value_or(true);
}

}  // namespace nightjar::gui
