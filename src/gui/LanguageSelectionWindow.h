#pragma once
#include <windows.h>

#include <functional>

#include "app/LanguageWindow.h"
#include "gui/FormWindow.h"

namespace nightjar::gui {

/// The language window (`frmLanguage`) over app::LanguageWindow: the list of languages
/// (`Combo1`), "Check for language updates", "Translate this program" and "OK". Choosing a
/// language re-captions this window and tells the main window.
class LanguageSelectionWindow : public FormWindow {
  public:
    /// `self` is the WindowText the model translates; both must outlive the window.
    LanguageSelectionWindow(app::LanguageWindow& model, localization::WindowText& self);

    /// Loads the model (translation, caption, list), creates the window and shows it.
    bool show(HWND owner);
    /// Runs after a language was chosen and applied to the model's windows.
    void onLanguageChanged(std::function<void()> handler) { changed_ = std::move(handler); }

  protected:
    bool onCommand(int id, int code, HWND control) override;

  private:
    void fillList();

    app::LanguageWindow& model_;
    localization::WindowText& self_;
    std::function<void()> changed_;
};

}  // namespace nightjar::gui
