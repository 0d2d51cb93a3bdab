#include "gui/LanguageSelectionWindow.h"

#include <string>

#include "gui/PopupFrame.h"
#include "gui/SatelliteLayouts.h"
#include "gui/WideText.h"

namespace nightjar::gui {

namespace {

localization::WindowText laidOut(localization::WindowText text) {
    LayOutSatellite(text);
    return text;
}

}  // namespace

LanguageSelectionWindow::LanguageSelectionWindow(app::LanguageWindow& model,
                                                 localization::WindowText& self)
    : FormWindow(laidOut(self)), model_(model), self_(self) {
    onClick("Command1", [this](std::optional<int>) {
        if (model_.CheckForUpdates() == app::LanguageUpdateOutcome::Downloaded) {
            fillList();
        }
    });
    onClick("Command3", [this](std::optional<int>) { model_.TranslateProgram(); });
    onClick("Command2", [this](std::optional<int>) { DestroyWindow(hwnd()); });
}

bool LanguageSelectionWindow::show(HWND owner) {
    model_.Form_Load();
    if (!create(owner, false)) {
        return false;
    }
    applyTexts(self_);
    fillList();
    CenterOnWorkArea(hwnd(), owner);
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    return true;
}

void LanguageSelectionWindow::fillList() {
    HWND combo = controls().find("Combo1");
    if (combo == nullptr) {
        return;
    }
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : model_.languages()) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
    }
    const std::wstring chosen = Widen(model_.chosen());
    const LRESULT at = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(chosen.c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
}

bool LanguageSelectionWindow::onCommand(int id, int code, HWND control) {
    HWND combo = controls().find("Combo1");
    if (control != nullptr && control == combo && code == CBN_SELCHANGE) {
        const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (at != CB_ERR) {
            wchar_t name[256] = {};
            if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0) <
                static_cast<LRESULT>(std::size(name))) {
                SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(at),
                             reinterpret_cast<LPARAM>(name));
                model_.Choose(Narrow(name));
                applyTexts(self_);
                if (changed_) {
                    changed_();
                }
            }
        }
        return true;
    }
    return FormWindow::onCommand(id, code, control);
}

}  // namespace nightjar::gui
