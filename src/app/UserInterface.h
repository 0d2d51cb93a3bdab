#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "app/ControlName.h"

namespace nightjar::app {

enum class MsgButtons { Ok, OkCancel, YesNo, AbortRetryIgnore };
enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgAnswer { Ok, Cancel, Yes, No, Abort, Retry, Ignore };

/// The user's answer to the spyware alert.
enum class SpywareAlertAnswer { Stop, Allow };

/// The spyware alert window `frmSpywareFoundAlert`: fixed texts and the two value labels.
struct SpywareAlertView {
    static constexpr std::string_view kHeading = "Malicious Program Found";
    static constexpr std::string_view kDetected = "Spyware/Adware has been detected.";
    static constexpr std::string_view kFileNameCaption = "File Name:";
    static constexpr std::string_view kCompanyNameCaption = "Company Name:";
    static constexpr std::string_view kStopHint = "Click STOP to stop it from running.";
    static constexpr std::string_view kAllowHint = "Click ALLOW to allow the program to run.";
    static constexpr std::string_view kStopCaption = "STOP";
    static constexpr std::string_view kAllowCaption = "ALLOW";

    /// `lblAlertFileName`.
    std::string fileName;
    /// `lblAlertCompanyName`.
    std::string companyName;

    /// The alert as one text, for a front end without the window.
    std::string text() const {
        std::string out(kDetected);
        out += "\r\n\r\n";
        out += kFileNameCaption;
        out += ' ';
        out += fileName;
        out += "\r\n";
        out += kCompanyNameCaption;
        out += ' ';
        out += companyName;
        out += "\r\n\r\n";
        out += kStopHint;
        out += "\r\n";
        out += kAllowHint;
        return out;
    }
};

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

    /// Shows the spyware alert without blocking. A front end that asks at once returns the
    /// answer; one that leaves the window open returns nullopt and its STOP and ALLOW
    /// buttons answer later while the model yields. Here: a Yes (STOP) / No (ALLOW) box.
    virtual std::optional<SpywareAlertAnswer> showSpywareAlert(const SpywareAlertView& alert) {
        return messageBox(alert.text(), SpywareAlertView::kHeading, MsgButtons::YesNo,
                          MsgIcon::Exclamation) == MsgAnswer::Yes
                   ? SpywareAlertAnswer::Stop
                   : SpywareAlertAnswer::Allow;
    }
    /// Shows the home-page alert `frmHomePageChangedAlert` modally with its information
    /// text; true for "Yes" (keep the remembered page), false for "No".
    virtual bool showHomePageAlert(std::string_view productName, std::string_view info) {
        return messageBox(info, productName, MsgButtons::YesNo, MsgIcon::Question) ==
               MsgAnswer::Yes;
    }
};

}  // namespace nightjar::app
