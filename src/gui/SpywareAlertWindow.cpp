#include "gui/SpywareAlertWindow.h"

#include "gui/PopupFrame.h"
#include "gui/SatelliteLayouts.h"
#include "gui/WideText.h"

namespace nightjar::gui {

using app::SpywareAlertAnswer;

SpywareAlertWindow::SpywareAlertWindow(localization::WindowText text)
    : FormWindow(std::move(text)) {
    onClick("cmdYes", [this](std::optional<int>) { answerWith(SpywareAlertAnswer::Stop); });
    onClick("cmdNO", [this](std::optional<int>) { answerWith(SpywareAlertAnswer::Allow); });
}

bool SpywareAlertWindow::show(HWND owner, const app::SpywareAlertView& alert) {
    if (!create(owner, false)) {
        return false;
    }
    SetFrameKeepingClient(hwnd(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                          WS_EX_TOPMOST | WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME);
    heading_.apply(controls().find("lblDetected"), 12);
    if (HWND name = controls().find("lblAlertFileName")) {
        SetWindowTextW(name, Widen(alert.fileName).c_str());
    }
    if (HWND company = controls().find("lblAlertCompanyName")) {
        SetWindowTextW(company, Widen(alert.companyName).c_str());
    }
    // Centred on the work area, above everything: the user must see it to answer.
    CenterOnWorkArea(hwnd(), owner);
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    MessageBeep(MB_ICONWARNING);
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    return true;
}

void SpywareAlertWindow::answerWith(SpywareAlertAnswer answer) {
    if (answer_) {
        return;
    }
    if (answer == SpywareAlertAnswer::Stop) {
        EnableWindow(controls().find("cmdYes"), FALSE);
    }
    answer_ = answer;
    DestroyWindow(hwnd());
}

bool SpywareAlertWindow::onClose() {
    // Only STOP or ALLOW answers the alert.
    return true;
}

LRESULT SpywareAlertWindow::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CTLCOLORSTATIC) {
        const LRESULT brush = FormWindow::handleMessage(msg, wp, lp);
        if (const auto* source = controls().byWindow(reinterpret_cast<HWND>(lp));
            source != nullptr && source->name == "lblDetected") {
            SetTextColor(reinterpret_cast<HDC>(wp), RGB(0xC4, 0x2B, 0x1C));
        }
        return brush;
    }
    return FormWindow::handleMessage(msg, wp, lp);
}

SpywareAlertAnswer SpywareAlertWindow::Ask(HWND owner, MessageLoop& loop,
                                           const app::SpywareAlertView& alert) {
    SpywareAlertWindow window(SatelliteWindow("frmSpywareFoundAlert", {}));
    if (!window.show(owner, alert)) {
        return SpywareAlertAnswer::Stop;
    }
    loop.runUntil([&window] { return window.answer().has_value(); });
    return window.answer().value_or(SpywareAlertAnswer::Stop);
}

}  // namespace nightjar::gui
