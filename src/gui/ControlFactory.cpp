#include "gui/ControlFactory.h"

#include <commctrl.h>

#include <algorithm>

#include "gui/Dpi.h"
#include "gui/WideText.h"

namespace nightjar::gui {

using localization::ControlKind;
using localization::ControlText;
using localization::WindowText;

namespace {

/// Space around the controls when the window is sized to fit them (96 DPI).
constexpr int kMargin = 12;
/// Room for the open list of a drop-down combo box (96 DPI).
constexpr int kDropListHeight = 160;
/// The tallest text box that still holds a single line (96 DPI).
constexpr int kSingleLineMaxHeight = 40;

struct ClassAndStyle {
    const wchar_t* cls;
    DWORD style;
    DWORD exStyle;
};

ClassAndStyle classFor(ControlKind kind) {
    switch (kind) {
        case ControlKind::CommandButton:
            return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::CheckBox:
            return {WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0};
        case ControlKind::OptionButton:
            return {WC_BUTTONW, BS_AUTORADIOBUTTON | WS_TABSTOP, 0};
        case ControlKind::Frame:
            return {WC_BUTTONW, BS_GROUPBOX, 0};
        case ControlKind::TabStrip:
            return {WC_TABCONTROLW, WS_TABSTOP, 0};
        case ControlKind::ListView:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE};
        case ControlKind::TextBox:
            return {WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
        case ControlKind::ComboBox:
            return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
        case ControlKind::ListBox:
            return {WC_LISTBOXW, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        case ControlKind::ProgressBar:
            return {PROGRESS_CLASSW, 0, 0};
        case ControlKind::DTPicker:
            return {DATETIMEPICK_CLASSW, DTS_SHORTDATEFORMAT | WS_TABSTOP, 0};
        case ControlKind::Label:
        case ControlKind::SkinLabel:
        case ControlKind::Image:
        case ControlKind::Shape:
            // SS_NOTIFY: labels are clickable; SS_NOPREFIX: values such as paths keep "&".
            return {WC_STATICW, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0};
        case ControlKind::Menu:
        case ControlKind::Timer:
            break;
    }
    return {nullptr, 0, 0};
}

bool isContainer(ControlKind kind) {
    return kind == ControlKind::Frame || kind == ControlKind::TabStrip;
}

bool hasText(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::SkinLabel:
        case ControlKind::CommandButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::Frame:
        case ControlKind::TextBox:
            return true;
        default:
            return false;
    }
}

void initCommonControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{};
        icc.dwSize = sizeof icc;
        icc.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES |
                    ICC_PROGRESS_CLASS | ICC_DATE_CLASSES;
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)done;
}

}  // namespace

ControlFactory::ControlFactory(HWND parent, int firstId) : parent_(parent), nextId_(firstId) {
    initCommonControls();
}

std::string ControlFactory::Key(std::string_view name, std::optional<int> index) {
    std::string key(name);
    if (index) {
        key += '(' + std::to_string(*index) + ')';
    }
    return key;
}

RECT ControlFactory::designBounds(const ControlText& control) const {
    RECT r{control.bounds.x, control.bounds.y, control.bounds.x + control.bounds.width,
           control.bounds.y + control.bounds.height};
    if (!control.parent.empty()) {
        // Frames and tab strips are not arrays, so the parent is found by its name alone.
        if (auto it = byKey_.find(control.parent); it != byKey_.end()) {
            const RECT& origin = entries_[it->second].design;
            OffsetRect(&r, origin.left, origin.top);
        }
    }
    return r;
}

void ControlFactory::createAll(const WindowText& window, UINT dpi, HFONT font) {
    std::vector<ControlText> menus;
    entries_.reserve(entries_.size() + window.controls.size());
    const ControlText* previous = nullptr;
    for (const ControlText& control : window.controls) {
        if (control.kind == ControlKind::Menu) {
            menus.push_back(control);
            continue;
        }
        if (control.kind == ControlKind::Timer) {
            continue;
        }
        // Option buttons in a row under one parent form one group; every other control
        // starts a group of its own, which also ends the option group before it.
        const bool startsGroup = control.kind != ControlKind::OptionButton || previous == nullptr ||
                                 previous->kind != ControlKind::OptionButton ||
                                 previous->parent != control.parent;
        Entry entry;
        entry.text = control;
        entry.design = designBounds(control);
        entry.id = nextId_++;
        entries_.push_back(std::move(entry));
        Entry& made = entries_.back();
        if (create(made, startsGroup) == nullptr) {
            entries_.pop_back();
            continue;
        }
        byKey_[Key(made.text.name, made.text.index)] = entries_.size() - 1;
        byId_[made.id] = entries_.size() - 1;
        previous = &made.text;
    }
    if (menus_.build(menus, nextId_) != nullptr) {
        for (const MenuBuilder::Command& command : menus_.commands()) {
            auto it = std::find_if(menus.begin(), menus.end(), [&](const ControlText& m) {
                return Key(m.name, m.index) == command.key;
            });
            menuById_[command.id] = *it;
        }
        SetMenu(parent_, menus_.release());
    }
    // Containers below what they hold, the outermost lowest, so they do not paint over it.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (isContainer(it->text.kind)) {
            SetWindowPos(it->hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    relayout(dpi, font);
}

HWND ControlFactory::create(Entry& entry, bool startsGroup) {
    const ClassAndStyle cs = classFor(entry.text.kind);
    if (cs.cls == nullptr) {
        return nullptr;
    }
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | cs.style;
    if (startsGroup) {
        style |= WS_GROUP;
    }
    if (entry.text.kind == ControlKind::TextBox &&
        entry.design.bottom - entry.design.top > kSingleLineMaxHeight) {
        // A text box laid out taller than one line holds lines (status logs, reports).
        style = (style & ~static_cast<DWORD>(ES_AUTOHSCROLL)) | ES_MULTILINE | ES_AUTOVSCROLL |
                WS_VSCROLL;
    }
    const std::wstring caption = hasText(entry.text.kind) ? Widen(entry.text.caption) : L"";
    entry.hwnd = CreateWindowExW(cs.exStyle, cs.cls, caption.c_str(), style, 0, 0, 0, 0, parent_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (entry.hwnd == nullptr) {
        return nullptr;
    }
    switch (entry.text.kind) {
        case ControlKind::ListView: {
            const DWORD ex = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
            SendMessageW(entry.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
            for (std::size_t i = 0; i < entry.text.columns.size(); ++i) {
                LVCOLUMNW column{};
                column.mask = LVCF_WIDTH | LVCF_SUBITEM;
                column.iSubItem = static_cast<int>(i);
                SendMessageW(entry.hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
            }
            break;
        }
        case ControlKind::TabStrip:
            for (std::size_t i = 0; i < entry.text.tabs.size(); ++i) {
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = const_cast<wchar_t*>(L"");
                SendMessageW(entry.hwnd, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
            }
            break;
        case ControlKind::ProgressBar:
            SendMessageW(entry.hwnd, PBM_SETRANGE32, 0, 100);
            break;
        default:
            break;
    }
    setTexts(entry);
    return entry.hwnd;
}

void ControlFactory::setTexts(const Entry& entry) const {
    const ControlText& text = entry.text;
    if (hasText(text.kind)) {
        SetWindowTextW(entry.hwnd, Widen(text.caption).c_str());
    } else if (text.kind == ControlKind::TabStrip) {
        const auto count =
            static_cast<std::size_t>(SendMessageW(entry.hwnd, TCM_GETITEMCOUNT, 0, 0));
        for (std::size_t i = 0; i < std::min(count, text.tabs.size()); ++i) {
            std::wstring caption = Widen(text.tabs[i]);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption.data();
            SendMessageW(entry.hwnd, TCM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
        }
    } else if (text.kind == ControlKind::ListView) {
        for (std::size_t i = 0; i < text.columns.size(); ++i) {
            std::wstring caption = Widen(text.columns[i]);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT;
            column.pszText = caption.data();
            SendMessageW(entry.hwnd, LVM_SETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        }
    }
}

void ControlFactory::applyTexts(const WindowText& window) {
    bool menuChanged = false;
    for (const ControlText& control : window.controls) {
        const std::string key = Key(control.name, control.index);
        if (control.kind == ControlKind::Menu) {
            menuChanged = menus_.setCaption(key, control.caption) || menuChanged;
            continue;
        }
        auto it = byKey_.find(key);
        if (it == byKey_.end()) {
            continue;
        }
        Entry& entry = entries_[it->second];
        if (entry.text.kind == ControlKind::TextBox) {
            continue;  // its text is the user's by now
        }
        if (hasText(entry.text.kind) && control.caption.empty()) {
            continue;  // a value the program writes (a count, a date), not a caption
        }
        entry.text.caption = control.caption;
        entry.text.tabs = control.tabs;
        entry.text.columns = control.columns;
        setTexts(entry);
    }
    if (menuChanged) {
        DrawMenuBar(parent_);
    }
}

void ControlFactory::place(const Entry& entry, UINT dpi) const {
    const RECT& d = entry.design;
    int height = Scale(d.bottom - d.top, dpi);
    if (entry.text.kind == ControlKind::ComboBox) {
        height += Scale(kDropListHeight, dpi);
    }
    SetWindowPos(entry.hwnd, nullptr, Scale(d.left, dpi), Scale(d.top, dpi),
                 Scale(d.right - d.left, dpi), height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (entry.text.kind == ControlKind::ListView && !entry.text.columns.empty()) {
        // Columns share the width until the user (or saved widths) sets them.
        RECT client{};
        GetClientRect(entry.hwnd, &client);
        const int width =
            (client.right - client.left) / static_cast<int>(entry.text.columns.size());
        const std::size_t last = entry.text.columns.size() - 1;
        for (std::size_t i = 0; i < last; ++i) {
            SendMessageW(entry.hwnd, LVM_SETCOLUMNWIDTH, i, width);
        }
        // The last column takes what is left, so no empty header part trails it.
        SendMessageW(entry.hwnd, LVM_SETCOLUMNWIDTH, last, LVSCW_AUTOSIZE_USEHEADER);
    }
}

void ControlFactory::relayout(UINT dpi, HFONT font) {
    for (const Entry& entry : entries_) {
        SendMessageW(entry.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        place(entry, dpi);
    }
    InvalidateRect(parent_, nullptr, TRUE);
}

HWND ControlFactory::find(std::string_view name, std::optional<int> index) const {
    auto it = byKey_.find(Key(name, index));
    return it == byKey_.end() ? nullptr : entries_[it->second].hwnd;
}

const ControlText* ControlFactory::byId(int id) const {
    if (auto it = byId_.find(id); it != byId_.end()) {
        return &entries_[it->second].text;
    }
    auto menu = menuById_.find(id);
    return menu == menuById_.end() ? nullptr : &menu->second;
}

const ControlText* ControlFactory::byWindow(HWND hwnd) const {
    const int id = GetDlgCtrlID(hwnd);
    auto it = byId_.find(id);
    return it != byId_.end() && entries_[it->second].hwnd == hwnd ? &entries_[it->second].text
                                                                  : nullptr;
}

std::string ControlFactory::menuCaption(std::string_view name, std::optional<int> index) const {
    return menus_.caption(Key(name, index));
}

SIZE ControlFactory::designSize() const {
    SIZE size{0, 0};
    for (const Entry& entry : entries_) {
        size.cx = std::max(size.cx, entry.design.right + kMargin);
        size.cy = std::max(size.cy, entry.design.bottom + kMargin);
    }
    return size;
}

}  // namespace nightjar::gui
