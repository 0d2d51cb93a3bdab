#include "gui/ReportWindow.h"

#include "gui/PopupFrame.h"
#include "gui/WideText.h"

namespace nightjar::gui {

ReportWindow::ReportWindow(localization::WindowText text) : FormWindow(std::move(text)) {
    onClick("cmdOk", [this](std::optional<int>) { DestroyWindow(hwnd()); });
}

bool ReportWindow::show(HWND owner, const std::vector<std::string>& lines) {
    if (!create(owner, false)) {
        return false;
    }
    if (HWND box = controls().find("txtReport")) {
        std::string all;
        for (const std::string& line : lines) {
            all += line;
            all += "\r\n";
        }
        SendMessageW(box, EM_SETREADONLY, TRUE, 0);
        SetWindowTextW(box, Widen(all).c_str());
    }
    CenterOnWorkArea(hwnd(), owner);
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    return true;
}

}  // namespace nightjar::gui
