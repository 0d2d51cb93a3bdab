#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "gui/ControlFactory.h"
#include "gui/MessageFont.h"
#include "gui/Window.h"
#include "localization/WindowText.h"

namespace nightjar::gui {

/// A top-level window made from a localization::WindowText: its caption, its controls
/// under their names, its menu bar. Clicks, list check boxes and tab changes reach the
/// handlers registered under the control's name; a translated WindowText re-captions it.
class FormWindow : public Window {
  public:
    /// A control array's members share one handler, which gets the member's index.
    using ClickHandler = std::function<void(std::optional<int> index)>;
    /// A list view row's check box changed (by the user or by the program).
    using CheckHandler = std::function<void(int row, bool checked)>;
    /// A tab strip's selected tab changed.
    using TabHandler = std::function<void(int tab)>;

    explicit FormWindow(localization::WindowText text);

    /// Creates the window hidden, sized to hold its controls at its DPI. `quitOnClose`: the
    /// window ends the message loop when it is destroyed.
    bool create(HWND owner, bool quitOnClose);

    ControlFactory& controls() { return *controls_; }
    const localization::WindowText& text() const { return text_; }

    /// Re-captions the window and the controls the translated text names.
    void applyTexts(const localization::WindowText& translated);

    /// Buttons, check and option buttons, clickable labels and menu entries.
    void onClick(const std::string& name, ClickHandler handler);
    void onItemChecked(const std::string& listName, CheckHandler handler);
    void onTabChanged(const std::string& tabStripName, TabHandler handler);

  protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    bool onCommand(int id, int code, HWND control) override;
    std::optional<LRESULT> onNotify(const NMHDR& header) override;
    void onDpiChanged(UINT dpi, const RECT& suggested) override;
    void onDestroy() override;

  private:
    localization::WindowText text_;
    std::unique_ptr<ControlFactory> controls_;
    std::unique_ptr<MessageFont> font_;
    bool quitOnClose_ = false;
    /// The control to give the keyboard focus when the window gets it back.
    HWND focus_ = nullptr;
    std::map<std::string, ClickHandler, std::less<>> clicks_;
    std::map<std::string, CheckHandler, std::less<>> checks_;
    std::map<std::string, TabHandler, std::less<>> tabs_;
};

}  // namespace nightjar::gui
