#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "app/ControlName.h"

namespace nightjar::app {

enum class MsgButtons { Ok, OkCancel, YesNo, AbortRetryIgnore };
enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgAnswer { Ok, Cancel, Yes, No, Abort, Retry, Ignore };

/// Everything the application model needs from a user interface. The desktop program shows
/// real windows, the CLI answers from its flags, tests script the answers.
class UserInterface {
  public:
    virtual ~UserInterface() = default;

    virtual MsgAnswer messageBox(std::string_view text, std::string_view title, MsgButtons buttons,
                                 MsgIcon icon) = 0;
    /// Open-file dialog; nullopt when cancelled.
    virtual std::optional<std::string> chooseFile() = 0;
    /// Folder browser; nullopt when cancelled.
    virtual std::optional<std::string> chooseFolder() = 0;
    /// Input box; nullopt when cancelled.
    virtual std::optional<std::string> inputBox(std::string_view prompt, std::string_view title) {
        (void)prompt;
        (void)title;
        return std::nullopt;
    }
    /// A named status text of the main window changed (`lblStatus`, `lblDefVersion`, ...).
    virtual void setStatusText(ControlName control, std::string_view text) = 0;
    /// A progress bar changed (`pb1`, `pb2`, `pbgMain`).
    virtual void setProgress(ControlName control, int value) = 0;
    /// A control was enabled or disabled (`cmdScanNow`, `cmdStop`, ...).
    virtual void setEnabled(ControlName control, bool enabled) = 0;
    /// Yield to the message loop.
    virtual void Pump() = 0;

    /// A control or window was shown or hidden (`cmdRemove`, `pbgMain`, `frmQuarantine`).
    virtual void setVisible(ControlName control, bool visible) {
        (void)control;
        (void)visible;
    }
    /// A page of the main window is shown, the others hidden (`frmScan`, `frmResults`,
    /// `frmStatus`, `frmOptions`).
    virtual void showPage(ControlName page) { (void)page; }
    /// The mouse pointer goes back to the default arrow.
    virtual void resetPointer() {}
};

}  // namespace nightjar::app
