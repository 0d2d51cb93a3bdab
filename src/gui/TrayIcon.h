#pragma once
#include <windows.h>

#include <functional>
#include <string_view>

namespace nightjar::gui {

/// The program's icon in the notification area. Its mouse events arrive at the window it
/// was shown for as kCallbackMessage; that window passes them to `handleMessage`. A single
/// or right click opens the tray menu, a double click restores the main window.
class TrayIcon {
  public:
    /// The message the icon's mouse events arrive with (lParam: the mouse message).
    static constexpr UINT kCallbackMessage = WM_APP + 0x200;
    /// The icon's id within its window.
    static constexpr UINT kIconId = 1;

    TrayIcon() = default;
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    /// Adds the icon for `window` with the window's icon and `tip` (cut to fit). Counts as
    /// shown even when the system has no notification area; the result says whether the
    /// system took it.
    bool show(HWND window, std::wstring_view tip);
    /// Removes the icon; nothing when it is not shown.
    void remove();
    /// A new tip; nothing while the icon is not shown.
    bool changeToolTip(std::wstring_view tip);
    bool shown() const { return shown_; }

    /// What a click on the icon opens (left or right button).
    void onOpenMenu(std::function<void()> handler) { openMenu_ = std::move(handler); }
    /// What a double click does (left or right button).
    void onRestore(std::function<void()> handler) { restore_ = std::move(handler); }
    /// Decodes a message of the window; true when it was the icon's.
    bool handleMessage(UINT msg, WPARAM wp, LPARAM lp);

  private:
    bool notify(DWORD action, std::wstring_view tip);

    HWND window_ = nullptr;
    bool shown_ = false;
    std::function<void()> openMenu_;
    std::function<void()> restore_;
};

}  // namespace nightjar::gui
