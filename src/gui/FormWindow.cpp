#include "gui/FormWindow.h"

#include <commctrl.h>

#include "gui/Dpi.h"
#include "gui/WideText.h"

namespace nightjar::gui {

using localization::ControlKind;
using localization::ControlText;

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

/// The state image of a list view item: 0 none, 1 unchecked, 2 checked.
UINT checkImage(UINT state) {
    return (state & LVIS_STATEIMAGEMASK) >> 12;
}

}  // namespace

FormWindow::FormWindow(localization::WindowText text) : text_(std::move(text)) {}

bool FormWindow::create(HWND owner, bool quitOnClose) {
    quitOnClose_ = quitOnClose;
    const RECT initial{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + 400, CW_USEDEFAULT + 300};
    if (!createWindow({L"NightjarForm"}, kExStyle, kStyle, Widen(text_.caption), initial, owner)) {
        return false;
    }
    // The DPI is known once the window is on its monitor; controls and size follow it.
    const UINT dpi = DpiOf(hwnd());
    font_ = std::make_unique<MessageFont>(dpi);
    controls_ = std::make_unique<ControlFactory>(hwnd());
    controls_->createAll(text_, dpi, font_->handle());
    const SIZE size = controls_->designSize();
    RECT frame{0, 0, Scale(size.cx, dpi), Scale(size.cy, dpi)};
    AdjustWindowRectForDpi(frame, kStyle, GetMenu(hwnd()) != nullptr, kExStyle, dpi);
    SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void FormWindow::applyTexts(const localization::WindowText& translated) {
    if (translated.name == text_.name) {
        text_.caption = translated.caption;
        SetWindowTextW(hwnd(), Widen(translated.caption).c_str());
    }
    if (controls_) {
        controls_->applyTexts(translated);
    }
}

void FormWindow::onClick(const std::string& name, ClickHandler handler) {
    clicks_[name] = std::move(handler);
}

void FormWindow::onItemChecked(const std::string& listName, CheckHandler handler) {
    checks_[listName] = std::move(handler);
}

void FormWindow::onTabChanged(const std::string& tabStripName, TabHandler handler) {
    tabs_[tabStripName] = std::move(handler);
}

LRESULT FormWindow::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CTLCOLORSTATIC) {
        // Labels, check boxes and frames take the window's background instead of grey.
        auto dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    if (msg == WM_ACTIVATE && LOWORD(wp) == WA_INACTIVE) {
        // Keyboard focus comes back to the control that had it when the window left.
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd(), focus)) {
            focus_ = focus;
        }
    } else if (msg == WM_SETFOCUS) {
        HWND target = focus_ != nullptr && IsWindow(focus_) && IsWindowVisible(focus_)
                          ? focus_
                          : GetNextDlgTabItem(hwnd(), nullptr, FALSE);
        if (target != nullptr) {
            SetFocus(target);
        }
        return 0;
    }
    return Window::handleMessage(msg, wp, lp);
}

bool FormWindow::onCommand(int id, int code, HWND control) {
    if (!controls_) {
        return false;
    }
    const ControlText* source = controls_->byId(id);
    if (source == nullptr) {
        return false;
    }
    const bool click = control == nullptr ? code == 0 : code == BN_CLICKED;
    if (!click) {
        return false;
    }
    // BN_CLICKED and STN_CLICKED share their code; both are clicks.
    auto it = clicks_.find(source->name);
    if (it == clicks_.end()) {
        return false;
    }
    it->second(source->index);
    return true;
}

std::optional<LRESULT> FormWindow::onNotify(const NMHDR& header) {
    if (!controls_) {
        return std::nullopt;
    }
    const ControlText* source = controls_->byWindow(header.hwndFrom);
    if (source == nullptr) {
        return std::nullopt;
    }
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const UINT before = checkImage(change.uOldState);
        const UINT after = checkImage(change.uNewState);
        // A new row gets its first state image without being checked or unchecked by anyone.
        if ((change.uChanged & LVIF_STATE) != 0 && before != 0 && after != 0 && before != after) {
            if (auto it = checks_.find(source->name); it != checks_.end()) {
                it->second(change.iItem, after == 2);
            }
        }
        return 0;
    }
    if (header.code == TCN_SELCHANGE) {
        if (auto it = tabs_.find(source->name); it != tabs_.end()) {
            it->second(static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
        }
        return 0;
    }
    return std::nullopt;
}

void FormWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    // The old font stays alive until no control uses it.
    auto font = std::make_unique<MessageFont>(dpi);
    if (controls_) {
        controls_->relayout(dpi, font->handle());
    }
    font_ = std::move(font);
    Window::onDpiChanged(dpi, suggested);
}

void FormWindow::onDestroy() {
    if (quitOnClose_) {
        PostQuitMessage(0);
    }
}

}  // namespace nightjar::gui
