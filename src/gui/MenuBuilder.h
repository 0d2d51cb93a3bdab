#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "localization/WindowText.h"

namespace nightjar::gui {

/// Builds a window's menu bar from its Menu controls and re-captions it. A menu whose
/// parent is another menu is an entry of that menu; one that has entries opens a submenu;
/// the caption "-" is a separator. The other menus are the bar's own entries.
class MenuBuilder {
  public:
    MenuBuilder() = default;
    ~MenuBuilder();
    MenuBuilder(const MenuBuilder&) = delete;
    MenuBuilder& operator=(const MenuBuilder&) = delete;

    /// A command entry of the built menu: its key (ControlFactory::Key) and command id.
    struct Command {
        std::string key;
        int id;
    };

    /// Builds the bar; command entries get ids counting up from `nextId`, which is advanced.
    /// Null when `menus` is empty. The bar is owned here until a window takes it with
    /// `release` (SetMenu makes the window destroy it).
    HMENU build(const std::vector<localization::ControlText>& menus, int& nextId);
    /// The bar, handed over to a window.
    HMENU release();
    /// The command entries made by `build`, in order.
    const std::vector<Command>& commands() const { return commands_; }
    /// Sets the caption of the entry with the key; false when there is none.
    bool setCaption(const std::string& key, const std::string& caption);
    /// The current caption of the entry with the key (empty when none).
    std::string caption(const std::string& key) const;

  private:
    struct Item {
        HMENU owner;
        UINT position;
    };
    void append(HMENU into, const localization::ControlText& menu,
                const std::vector<localization::ControlText>& menus, int& nextId);

    HMENU bar_ = nullptr;
    std::map<std::string, Item> items_;
    std::vector<Command> commands_;
};

}  // namespace nightjar::gui
