#pragma once
#include <windows.h>

#include <optional>
#include <string_view>

#include "gui/FormWindow.h"
#include "gui/HeadingFont.h"
#include "gui/MessageLoop.h"

namespace nightjar::gui {

/// The home-page alert (`frmHomePageChangedAlert`): the program name, the information text
/// with both start pages, "Yes" (keep the remembered page) and "No" (adopt the new one).
/// Modal: its owner is disabled while it is up.
class HomePageAlertWindow : public FormWindow {
  public:
    /// `text`: the laid-out frmHomePageChangedAlert with the program name filled in.
    explicit HomePageAlertWindow(localization::WindowText text);

    bool show(HWND owner, std::string_view info);
    /// True for "Yes", false for "No"; none before an answer.
    std::optional<bool> answer() const { return answer_; }

    /// Shows the alert modally until it is answered. When the program is ended meanwhile
    /// (or the window cannot be shown) the answer is "Yes": the remembered page stays.
    static bool Ask(HWND owner, MessageLoop& loop, std::string_view productName,
                    std::string_view info);

  protected:
    bool onClose() override;

  private:
    void answerWith(bool keep);

    std::optional<bool> answer_;
    HWND owner_ = nullptr;
    HeadingFont heading_;
};

}  // namespace nightjar::gui
