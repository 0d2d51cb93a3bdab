#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/UserInterface.h"
#include "gui/MessageLoop.h"

namespace nightjar::gui {

class ControlFactory;

/// The model's user interface on real windows: message boxes, the open-file and folder
/// dialogs, the input box, named controls of a window for texts, progress, enabled and
/// visible states, and a throttled yield to the message loop.
class GuiUserInterface : public app::UserInterface {
  public:
    /// Monotonic milliseconds.
    using Now = std::function<std::int64_t()>;
    /// The least work (milliseconds) between two yields that look at the message queue.
    static constexpr std::int64_t kPumpIntervalMs = 10;

    /// `now` defaults to the system's monotonic clock.
    explicit GuiUserInterface(MessageLoop& loop, Now now = {});

    /// The window that owns dialogs, and the controls the model's names address (either may
    /// be null).
    void bind(HWND owner, ControlFactory* controls);
    /// Shows a page of the main window.
    void onShowPage(std::function<void(app::ControlName)> handler) {
        showPage_ = std::move(handler);
    }

    /// Decides whether a control the model shows may appear now (its page may be hidden);
    /// without a check every control may.
    void onVisibilityCheck(std::function<bool(app::ControlName)> check) {
        mayShow_ = std::move(check);
    }

    /// Windows the model names that are not controls of the bound window (the update
    /// windows, "Delete Failed") and their controls; a route that returns true took the call.
    void onOtherWindows(std::function<bool(app::ControlName, bool visible)> visible,
                        std::function<bool(app::ControlName, std::string_view text)> text) {
        otherVisible_ = std::move(visible);
        otherText_ = std::move(text);
    }

    app::MsgAnswer messageBox(std::string_view text, std::string_view title,
                              app::MsgButtons buttons, app::MsgIcon icon) override;
    std::optional<std::string> chooseFile() override;
    std::optional<std::string> chooseFolder() override;
    std::optional<std::string> inputBox(std::string_view prompt, std::string_view title) override;
    void setStatusText(app::ControlName control, std::string_view text) override;
    void setProgress(app::ControlName control, int value) override;
    void setEnabled(app::ControlName control, bool enabled) override;
    void setVisible(app::ControlName control, bool visible) override;
    void showPage(app::ControlName page) override;
    void resetPointer() override;
    /// The alert window, on top until STOP or ALLOW is pressed; the answer comes back here.
    std::optional<app::SpywareAlertAnswer> showSpywareAlert(
        const app::SpywareAlertView& alert) override;
    /// The home-page alert window, modal over the owner.
    bool showHomePageAlert(std::string_view productName, std::string_view info) override;
    /// Dispatches waiting messages, at most once per kPumpIntervalMs.
    void Pump() override;

    /// True once the message loop was asked to end (WM_QUIT seen while yielding).
    bool quitRequested() const { return quit_; }

    /// Puts the text on the clipboard as Unicode text; false when the clipboard is busy.
    static bool CopyToClipboard(HWND owner, std::string_view text);
    /// The clipboard's Unicode text; nullopt when it holds none.
    static std::optional<std::string> ClipboardText(HWND owner);

  private:
    HWND find(app::ControlName control) const;

    MessageLoop& loop_;
    Now now_;
    HWND owner_ = nullptr;
    ControlFactory* controls_ = nullptr;
    std::function<void(app::ControlName)> showPage_;
    std::function<bool(app::ControlName)> mayShow_;
    std::function<bool(app::ControlName, bool)> otherVisible_;
    std::function<bool(app::ControlName, std::string_view)> otherText_;
    std::optional<std::int64_t> lastPump_;
    bool quit_ = false;
};

}  // namespace nightjar::gui
