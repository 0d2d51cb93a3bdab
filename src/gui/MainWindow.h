#pragma once
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/ControlName.h"
#include "gui/FormWindow.h"
#include "localization/WindowText.h"

namespace nightjar::app {
class MainState;
}

namespace nightjar::gui {

class GuiUserInterface;

/// The main window `FrmMain`: the navigation column and the four pages (home, scan,
/// results, options) over the application model. Every command and menu entry calls the
/// model; the model's control states reach the window through the GuiUserInterface; the
/// scan feed, the result list and the drive list mirror the model's rows, check marks
/// both ways.
class MainWindow : public FormWindow {
  public:
    /// What other windows of the program do for the main window; an empty hook does
    /// nothing.
    struct Hooks {
        /// "Log File", "Show Report" and the file menu's "View Log".
        std::function<void()> showLog;
        /// "Minimize" and the file menu's "Minimize to Tray" (after the window is hidden).
        std::function<void()> minimizeToTray;
        /// The language menu's "Change Language".
        std::function<void()> chooseLanguage;
        /// The main window is being closed (tray icon removal, other windows).
        std::function<void()> closing;
        /// Sees every message of the window first (the tray icon's events); true when it
        /// took the message.
        std::function<bool(UINT msg, WPARAM wp, LPARAM lp)> message;
    };

    /// Both must outlive the window.
    MainWindow(app::MainState& state, GuiUserInterface& ui);
    ~MainWindow() override;

    /// Creates the window hidden, in the stored language, binds the user interface to it and
    /// shows the home page. Closing it ends the message loop.
    bool create();
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    /// Shows one page (`frmStatus`, `frmScan`, `frmResults`, `frmOptions`), hiding the others
    /// and the removal progress.
    void showPage(app::ControlName page);
    /// The page shown now.
    const std::string& page() const { return page_; }
    /// Opens the options page on tab 0..3.
    void showOptionsTab(int tab);
    /// Re-captions the window in the language (English when the file has no such group).
    void changeLanguage(std::string_view language);
    /// Puts the stored options into the option controls; the drive list, the window state
    /// and the result list's column widths follow the stored values.
    void LoadOptionsIntoControls();
    /// "Minimize": minimises and hides the window and remembers it; the tray takes over.
    void minimizeToTray();
    /// The home page's protection summary from the stored shield options.
    void refreshProtectionState();
    /// The exit path's first steps: the run state "STOPPED", "RESTART" = "False", the
    /// result list's column widths and the window state stored.
    void writeExitState();

  protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    bool onCommand(int id, int code, HWND control) override;
    std::optional<LRESULT> onNotify(const NMHDR& header) override;
    void onDpiChanged(UINT dpi, const RECT& suggested) override;
    bool onClose() override;

  private:
    void bindCommands();
    void bindOptions();
    void bindLists();
    void fillResultList();
    void fillFeed();
    void fillDrives();
    void showSchedulePanel();
    void readSchedulePickers();
    void storeCheck(std::string_view control, std::string_view section);
    bool isChecked(std::string_view control) const;
    void setChecked(std::string_view control, bool on);
    void showTab(int tab);
    void makeHeadingFont();
    LRESULT drawResultRow(NMLVCUSTOMDRAW& draw) const;
    void close();

    app::MainState& state_;
    GuiUserInterface& ui_;
    Hooks hooks_;
    std::string page_;
    int tab_ = 0;
    bool protected_ = false;
    /// The window was minimised (or sent to the tray) and has not been restored yet.
    bool minimized_ = false;
    /// Set while the window writes check marks, so that they are not reported back.
    bool syncing_ = false;
    HFONT headingFont_ = nullptr;
    /// Shows the stored shield options in their boxes and buttons.
    std::function<void()> shieldsView_;
};

}  // namespace nightjar::gui
