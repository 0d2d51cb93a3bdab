#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "app/UserInterface.h"

namespace nightjar::app {

/// Stands between the application model and the real user interface: forwards every call
/// and remembers the last caption, enabled state, visibility and progress value of each
/// control, for a front end that draws its controls from the model. The model's decisions
/// never read these back; they read its typed run state and outcomes. Controls never
/// touched read as enabled and visible with an empty caption.
class ControlStateTracker : public UserInterface {
  public:
    explicit ControlStateTracker(UserInterface& target) : target_(target) {}

    /// The wrapped user interface.
    UserInterface& target() { return target_; }

    std::string text(ControlName control) const;
    bool isEnabled(ControlName control) const;
    bool isVisible(ControlName control) const;
    /// Last value given to a progress bar; nullopt when never set.
    std::optional<int> progress(ControlName control) const;

    MsgAnswer messageBox(std::string_view text, std::string_view title, MsgButtons buttons,
                         MsgIcon icon) override;
    std::optional<std::string> chooseFile() override;
    std::optional<std::string> chooseFolder() override;
    std::optional<std::string> inputBox(std::string_view prompt, std::string_view title) override;
    void setStatusText(ControlName control, std::string_view text) override;
    void setProgress(ControlName control, int value) override;
    void setEnabled(ControlName control, bool enabled) override;
    void Pump() override;
    void setVisible(ControlName control, bool visible) override;
    void showPage(ControlName page) override;
    void resetPointer() override;
    std::optional<SpywareAlertAnswer> showSpywareAlert(const SpywareAlertView& alert) override;
    bool showHomePageAlert(std::string_view productName, std::string_view info) override;

  private:
    UserInterface& target_;
    std::map<std::string, std::string, std::less<>> texts_;
    std::map<std::string, bool, std::less<>> enabled_;
    std::map<std::string, bool, std::less<>> visible_;
    std::map<std::string, int, std::less<>> progress_;
};

}  // namespace nightjar::app
