#include "gui/GuiUserInterface.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <chrono>
#include <cstring>

#include "gui/ControlFactory.h"
#include "gui/HomePageAlertWindow.h"
#include "gui/InputBox.h"
#include "gui/SpywareAlertWindow.h"
#include "gui/WideText.h"

namespace nightjar::gui {

using app::MsgAnswer;
using app::MsgButtons;
using app::MsgIcon;

namespace {

UINT buttonsFlag(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OkCancel:
            return MB_OKCANCEL;
        case MsgButtons::YesNo:
            return MB_YESNO;
        case MsgButtons::AbortRetryIgnore:
            return MB_ABORTRETRYIGNORE;
        case MsgButtons::Ok:
            break;
    }
    return MB_OK;
}

UINT iconFlag(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return MB_ICONINFORMATION;
        case MsgIcon::Question:
            return MB_ICONQUESTION;
        case MsgIcon::Exclamation:
            return MB_ICONEXCLAMATION;
        case MsgIcon::Critical:
            return MB_ICONERROR;
        case MsgIcon::None:
            break;
    }
    return 0;
}

/// The answer of the button; a box that failed to show gets the cautious answer.
MsgAnswer answerOf(int id, MsgButtons buttons) {
    switch (id) {
        case IDOK:
            return MsgAnswer::Ok;
        case IDCANCEL:
            return MsgAnswer::Cancel;
        case IDYES:
            return MsgAnswer::Yes;
        case IDNO:
            return MsgAnswer::No;
        case IDABORT:
            return MsgAnswer::Abort;
        case IDRETRY:
            return MsgAnswer::Retry;
        case IDIGNORE:
            return MsgAnswer::Ignore;
        default:
            break;
    }
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::OkCancel:
            return MsgAnswer::Cancel;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        case MsgButtons::AbortRetryIgnore:
            break;
    }
    return MsgAnswer::Ignore;
}

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

GuiUserInterface::GuiUserInterface(MessageLoop& loop, Now now)
    : loop_(loop), now_(now ? std::move(now) : Now(steadyMs)) {}

void GuiUserInterface::bind(HWND owner, ControlFactory* controls) {
    owner_ = owner;
    controls_ = controls;
}

MsgAnswer GuiUserInterface::messageBox(std::string_view text, std::string_view title,
                                       MsgButtons buttons, MsgIcon icon) {
    const int id = MessageBoxW(owner_, Widen(text).c_str(), Widen(title).c_str(),
                               buttonsFlag(buttons) | iconFlag(icon) | MB_SETFOREGROUND);
    return answerOf(id, buttons);
}

std::optional<std::string> GuiUserInterface::chooseFile() {
    wchar_t path[MAX_PATH * 4] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = L"*.*\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = static_cast<DWORD>(std::size(path));
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) {
        return std::nullopt;
    }
    return Narrow(path);
}

std::optional<std::string> GuiUserInterface::chooseFolder() {
    BROWSEINFOW info{};
    info.hwndOwner = owner_;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (item == nullptr) {
        return std::nullopt;
    }
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(item, path) != FALSE;
    CoTaskMemFree(item);
    if (!ok) {
        return std::nullopt;
    }
    return Narrow(path);
}

std::optional<std::string> GuiUserInterface::inputBox(std::string_view prompt,
                                                      std::string_view title) {
    std::optional<std::wstring> answer = InputBox::Ask(owner_, loop_, Widen(prompt), Widen(title));
    if (!answer) {
        return std::nullopt;
    }
    return Narrow(*answer);
}

HWND GuiUserInterface::find(app::ControlName control) const {
    if (controls_ == nullptr) {
        return nullptr;
    }
    // A name the model uses alone may be the first member of a control array.
    HWND h = controls_->find(control.str());
    return h != nullptr ? h : controls_->find(control.str(), 0);
}

void GuiUserInterface::setStatusText(app::ControlName control, std::string_view text) {
    if (otherText_ && otherText_(control, text)) {
        return;
    }
    if (HWND h = find(control)) {
        SetWindowTextW(h, Widen(text).c_str());
    }
}

void GuiUserInterface::setProgress(app::ControlName control, int value) {
    if (HWND h = find(control)) {
        SendMessageW(h, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    }
}

void GuiUserInterface::setEnabled(app::ControlName control, bool enabled) {
    if (HWND h = find(control)) {
        EnableWindow(h, enabled ? TRUE : FALSE);
    }
}

void GuiUserInterface::setVisible(app::ControlName control, bool visible) {
    if (otherVisible_ && otherVisible_(control, visible)) {
        return;
    }
    if (visible && mayShow_ && !mayShow_(control)) {
        return;
    }
    if (HWND h = find(control)) {
        ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
    }
}

void GuiUserInterface::showPage(app::ControlName page) {
    if (showPage_) {
        showPage_(page);
    }
}

void GuiUserInterface::resetPointer() {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}

std::optional<app::SpywareAlertAnswer> GuiUserInterface::showSpywareAlert(
    const app::SpywareAlertView& alert) {
    return SpywareAlertWindow::Ask(owner_, loop_, alert);
}

bool GuiUserInterface::showHomePageAlert(std::string_view productName, std::string_view info) {
    return HomePageAlertWindow::Ask(owner_, loop_, productName, info);
}

void GuiUserInterface::Pump() {
    const std::int64_t now = now_();
    if (lastPump_ && now - *lastPump_ < kPumpIntervalMs) {
        return;
    }
    if (!loop_.pumpPending()) {
        quit_ = true;
    }
    // Counted from the end of the yield: what the handlers took is not the caller's work.
    lastPump_ = now_();
}

bool GuiUserInterface::CopyToClipboard(HWND owner, std::string_view text) {
    const std::wstring wide = Widen(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return false;
    }
    void* target = GlobalLock(memory);
    if (target == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    // The clipboard owns the memory once it took it.
    const bool ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!ok) {
        GlobalFree(memory);
    }
    return ok;
}

std::optional<std::string> GuiUserInterface::ClipboardText(HWND owner) {
    if (!OpenClipboard(owner)) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = Narrow(chars);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

}  // namespace nightjar::gui
