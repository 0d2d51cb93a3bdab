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
/// control, so that the model can read its controls back ("no run in progress" is
/// `cmdScanNow` enabled; the removal adds up the numbers shown in the found labels).
/// Controls never touched read as enabled and visible with an empty caption.
class ControlStateTracker : public UserInterface {
  public:
    explicit ControlStateTracker(UserInterface& target) : target_(target) {}

    /// The wrapped user interface.
    UserInterface& target() { return target_; }

    std::string text(std::string_view control) const;
    bool isEnabled(std::string_view control) const;
    bool isVisible(std::string_view control) const;
    /// Last value given to a progress bar; nullopt when never set.
    std::optional<int> progress(std::string_view control) const;

    MsgAnswer messageBox(std::string_view text, std::string_view title, MsgButtons buttons,
                         MsgIcon icon) override;
    std::optional<std::string> chooseFile() override;
    std::optional<std::string> chooseFolder() override;
    std::optional<std::string> inputBox(std::string_view prompt, std::string_view title) override;
    void setStatusText(std::string_view control, std::string_view text) override;
    void setProgress(std::string_view control, int value) override;
    void setEnabled(std::string_view control, bool enabled) override;
    void Pump() override;
    void setVisible(std::string_view control, bool visible) override;
    void showPage(std::string_view page) override;
    void resetPointer() override;

  private:
    UserInterface& target_;
    std::map<std::string, std::string, std::less<>> texts_;
    std::map<std::string, bool, std::less<>> enabled_;
    std::map<std::string, bool, std::less<>> visible_;
    std::map<std::string, int, std::less<>> progress_;
};

}  // namespace nightjar::app
