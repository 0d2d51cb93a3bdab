#pragma once
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/MenuBuilder.h"
#include "localization/WindowText.h"

namespace nightjar::gui {

/// Creates the native controls of a window from their localization::ControlText, keeps
/// them by name (and array index), places them at the window's DPI and copies a
/// translated WindowText back onto them. Every control is a child of the window itself;
/// a control inside a frame or tab strip is placed relative to it.
class ControlFactory {
  public:
    /// Controls are made in `parent`; command ids count up from `firstId`.
    explicit ControlFactory(HWND parent, int firstId = 1000);
    ControlFactory(const ControlFactory&) = delete;
    ControlFactory& operator=(const ControlFactory&) = delete;

    /// The key of a control: its name, or name(index) for a member of a control array.
    static std::string Key(std::string_view name, std::optional<int> index);

    /// Creates every control of `window` at `dpi` with `font`; the Menu controls become the
    /// window's menu bar. Frames and tab strips go below the controls they hold.
    void createAll(const localization::WindowText& window, UINT dpi, HFONT font);
    /// Copies the window's control texts (captions, tabs, columns, menus) onto the live
    /// controls with the same keys; controls not in `window` keep theirs, and so do text
    /// boxes, whose text belongs to the user once the window is up.
    void applyTexts(const localization::WindowText& window);
    /// Places every control again at `dpi` with `font` (after a DPI change).
    void relayout(UINT dpi, HFONT font);

    /// The control with the key; null when there is none.
    HWND find(std::string_view name, std::optional<int> index = std::nullopt) const;
    /// The control or menu entry with the command id; null when none.
    const localization::ControlText* byId(int id) const;
    /// The control whose window is `hwnd`; null when none.
    const localization::ControlText* byWindow(HWND hwnd) const;
    /// The caption of the menu entry with the key (empty when none).
    std::string menuCaption(std::string_view name, std::optional<int> index = std::nullopt) const;
    /// The client size (at 96 DPI) that holds every placed control with a margin.
    SIZE designSize() const;

  private:
    struct Entry {
        localization::ControlText text;
        HWND hwnd = nullptr;
        int id = 0;
        /// Bounds in the window's client area at 96 DPI.
        RECT design{};
    };
    HWND create(Entry& entry, bool startsGroup);
    void place(const Entry& entry, UINT dpi) const;
    RECT designBounds(const localization::ControlText& control) const;
    void setTexts(const Entry& entry) const;

    HWND parent_;
    int nextId_;
    std::vector<Entry> entries_;
    std::map<std::string, std::size_t, std::less<>> byKey_;
    std::map<int, std::size_t> byId_;
    std::map<int, localization::ControlText> menuById_;
    MenuBuilder menus_;
};

}  // namespace nightjar::gui
