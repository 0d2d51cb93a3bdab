#pragma once
#include <windows.h>

#include <optional>

#include "app/UserInterface.h"
#include "gui/FormWindow.h"
#include "gui/HeadingFont.h"
#include "gui/MessageLoop.h"

namespace nightjar::gui {

/// The spyware alert (`frmSpywareFoundAlert`): the process's file and company names and the
/// buttons STOP (`cmdYes`) and ALLOW (`cmdNO`). It stays up, on top, until one is pressed;
/// the main window stays usable meanwhile.
class SpywareAlertWindow : public FormWindow {
  public:
    /// `text`: the laid-out frmSpywareFoundAlert.
    explicit SpywareAlertWindow(localization::WindowText text);

    /// Creates the window with the alert's values and shows it; false on failure.
    bool show(HWND owner, const app::SpywareAlertView& alert);
    /// The answer once a button was pressed.
    std::optional<app::SpywareAlertAnswer> answer() const { return answer_; }

    /// Shows the alert and runs the message loop until it is answered. When the program is
    /// ended meanwhile (or the window cannot be shown) the answer is STOP: ALLOW would
    /// exclude the program for good without the user having said so.
    static app::SpywareAlertAnswer Ask(HWND owner, MessageLoop& loop,
                                       const app::SpywareAlertView& alert);

  protected:
    bool onClose() override;
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    void answerWith(app::SpywareAlertAnswer answer);

    std::optional<app::SpywareAlertAnswer> answer_;
    HeadingFont heading_;
};

}  // namespace nightjar::gui
