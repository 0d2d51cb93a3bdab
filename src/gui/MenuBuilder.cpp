#include "gui/MenuBuilder.h"

#include <algorithm>

#include "gui/ControlFactory.h"
#include "gui/WideText.h"

namespace nightjar::gui {

using localization::ControlText;

MenuBuilder::~MenuBuilder() {
    if (bar_ != nullptr) {
        DestroyMenu(bar_);
    }
}

HMENU MenuBuilder::build(const std::vector<ControlText>& menus, int& nextId) {
    if (menus.empty()) {
        return nullptr;
    }
    bar_ = CreateMenu();
    for (const ControlText& menu : menus) {
        const bool nested = std::any_of(menus.begin(), menus.end(), [&](const ControlText& m) {
            return !menu.parent.empty() && m.name == menu.parent;
        });
        if (!nested) {
            append(bar_, menu, menus, nextId);
        }
    }
    return bar_;
}

void MenuBuilder::append(HMENU into, const ControlText& menu, const std::vector<ControlText>& menus,
                         int& nextId) {
    const std::string key = ControlFactory::Key(menu.name, menu.index);
    const auto position = static_cast<UINT>(GetMenuItemCount(into));
    items_[key] = {into, position};
    const bool hasEntries = std::any_of(menus.begin(), menus.end(), [&](const ControlText& m) {
        return m.parent == menu.name && &m != &menu;
    });
    const std::wstring caption = Widen(menu.caption);
    if (hasEntries) {
        HMENU sub = CreatePopupMenu();
        for (const ControlText& entry : menus) {
            if (entry.parent == menu.name && &entry != &menu) {
                append(sub, entry, menus, nextId);
            }
        }
        AppendMenuW(into, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption.c_str());
    } else if (menu.caption == "-") {
        AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
    } else {
        const int id = nextId++;
        AppendMenuW(into, MF_STRING, static_cast<UINT_PTR>(id), caption.c_str());
        commands_.push_back({key, id});
    }
}

HMENU MenuBuilder::release() {
    HMENU bar = bar_;
    bar_ = nullptr;
    return bar;
}

bool MenuBuilder::setCaption(const std::string& key, const std::string& caption) {
    auto it = items_.find(key);
    if (it == items_.end()) {
        return false;
    }
    std::wstring text = Widen(caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text.data();
    return SetMenuItemInfoW(it->second.owner, it->second.position, TRUE, &info) != FALSE;
}

std::string MenuBuilder::caption(const std::string& key) const {
    auto it = items_.find(key);
    if (it == items_.end()) {
        return {};
    }
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = static_cast<UINT>(std::size(text));
    if (!GetMenuItemInfoW(it->second.owner, it->second.position, TRUE, &info)) {
        return {};
    }
    return Narrow(text);
}

}  // namespace nightjar::gui
