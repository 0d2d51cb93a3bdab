#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "app/LanguageWindow.h"
#include "gui/TrayIcon.h"
#include "localization/WindowText.h"

namespace nightjar::app {
class MainState;
}

namespace nightjar::gui {

class DeleteFailedWindow;
class DownloadWindow;
class GuiUserInterface;
class LanguageSelectionWindow;
class MainWindow;
class ReportWindow;
class SlideUpPopup;

/// The windows around the main window, tied to it: the tray icon and its slide-up menu,
/// the Live Update progress and result windows, the report, the language chooser and
/// "Delete Failed". The model decides when they open (through the named windows it shows
/// and the main window's hooks); this object only creates, fills and closes them.
class SatelliteWindows {
  public:
    /// All three must outlive this object; `attach` connects it to them.
    SatelliteWindows(app::MainState& state, GuiUserInterface& ui, MainWindow& main);
    ~SatelliteWindows();
    SatelliteWindows(const SatelliteWindows&) = delete;
    SatelliteWindows& operator=(const SatelliteWindows&) = delete;

    /// Sets the main window's hooks and the user interface's window routes.
    void attach();

    /// The tray menu `frmMenuPopUp`, sliding up with its entries enabled for the run state.
    void openTrayMenu();
    /// The report window over the last scan report.
    void showReport();
    /// The language chooser `frmLanguage`.
    void chooseLanguage();

    TrayIcon& tray() { return tray_; }
    /// The last window of each kind opened, null before the first; a popup that closed
    /// by itself stays until the next one opens (its phase says so).
    SlideUpPopup* trayMenu() const { return menu_.get(); }
    SlideUpPopup* updateResult() const { return updated_.get(); }
    DownloadWindow* download() const { return download_.get(); }
    ReportWindow* report() const { return report_.get(); }
    DeleteFailedWindow* deleteFailed() const { return deleteFailed_.get(); }
    LanguageSelectionWindow* language() const { return language_.get(); }

  private:
    bool showWindow(std::string_view name, bool visible);
    bool setText(std::string_view name, std::string_view text);
    void restoreMain();
    void exitProgram();
    void openUpdateResult();
    void closeAll();
    /// Whether the main window's navigation lets the user leave the program now.
    bool mayExit();
    localization::WindowText window(std::string_view name) const;

    app::MainState& state_;
    GuiUserInterface& ui_;
    MainWindow& main_;
    TrayIcon tray_;
    std::unique_ptr<SlideUpPopup> menu_;
    std::unique_ptr<SlideUpPopup> updated_;
    std::unique_ptr<DownloadWindow> download_;
    std::unique_ptr<ReportWindow> report_;
    std::unique_ptr<DeleteFailedWindow> deleteFailed_;
    localization::WindowText languageText_;
    std::unique_ptr<app::LanguageWindow> languageModel_;
    std::unique_ptr<LanguageSelectionWindow> language_;
};

}  // namespace nightjar::gui
