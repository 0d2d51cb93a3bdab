#include "gui/InputBox.h"

#include "gui/Dpi.h"

namespace nightjar::gui {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
/// Layout at 96 DPI.
constexpr int kWidth = 360;
constexpr int kHeight = 124;
constexpr int kMargin = 12;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kEditId = 100;

HWND child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, DWORD exStyle,
           int id, RECT r, UINT dpi, HFONT font) {
    HWND h = CreateWindowExW(
        exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, Scale(r.left, dpi),
        Scale(r.top, dpi), Scale(r.right - r.left, dpi), Scale(r.bottom - r.top, dpi), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

}  // namespace

std::optional<std::wstring> InputBox::Ask(HWND owner, MessageLoop& loop, const std::wstring& prompt,
                                          const std::wstring& title) {
    InputBox box;
    if (!box.build(owner, prompt, title)) {
        return std::nullopt;
    }
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled) {
        EnableWindow(owner, FALSE);
    }
    ShowWindow(box.hwnd(), SW_SHOW);
    SetFocus(box.edit_);
    loop.runUntil([&box] { return box.done_; });
    // The owner is enabled again before the box goes, so that it gets the activation back.
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    return box.answer_;
}

bool InputBox::build(HWND owner, const std::wstring& prompt, const std::wstring& title) {
    if (!createWindow(
            {L"NightjarInputBox", COLOR_BTNFACE}, kExStyle, kStyle, title,
            RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + kWidth, CW_USEDEFAULT + kHeight},
            owner)) {
        return false;
    }
    const UINT dpi = DpiOf(owner != nullptr ? owner : hwnd());
    font_ = std::make_unique<MessageFont>(dpi);
    const HFONT font = font_->handle();
    const int buttonTop = kHeight - kMargin - kButtonHeight;
    child(hwnd(), L"STATIC", prompt, SS_LEFT | SS_NOPREFIX, 0, -1,
          {kMargin, kMargin, kWidth - kMargin, kMargin + 20}, dpi, font);
    edit_ = child(hwnd(), L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE,
                  kEditId, {kMargin, kMargin + 26, kWidth - kMargin, kMargin + 50}, dpi, font);
    child(hwnd(), L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, IDOK,
          {kWidth - 2 * (kMargin + kButtonWidth), buttonTop, kWidth - 2 * kMargin - kButtonWidth,
           buttonTop + kButtonHeight},
          dpi, font);
    child(hwnd(), L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, IDCANCEL,
          {kWidth - kMargin - kButtonWidth, buttonTop, kWidth - kMargin, buttonTop + kButtonHeight},
          dpi, font);
    // Client size from the layout, centred on the owner (or the screen).
    RECT frame{0, 0, Scale(kWidth, dpi), Scale(kHeight, dpi)};
    AdjustWindowRectForDpi(frame, kStyle, false, kExStyle, dpi);
    const int w = frame.right - frame.left;
    const int h = frame.bottom - frame.top;
    RECT around{};
    if (owner == nullptr || !GetWindowRect(owner, &around)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    }
    SetWindowPos(hwnd(), nullptr, around.left + (around.right - around.left - w) / 2,
                 around.top + (around.bottom - around.top - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void InputBox::finish(bool accepted) {
    if (accepted) {
        const int n = GetWindowTextLengthW(edit_);
        std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(edit_, text.data(), n + 1)));
        answer_ = std::move(text);
    }
    done_ = true;
    ShowWindow(hwnd(), SW_HIDE);
}

bool InputBox::onCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || (id != IDOK && id != IDCANCEL)) {
        return false;
    }
    finish(id == IDOK);
    return true;
}

bool InputBox::onClose() {
    finish(false);
    return true;
}

}  // namespace nightjar::gui
