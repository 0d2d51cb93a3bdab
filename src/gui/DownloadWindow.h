#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "gui/FormWindow.h"
#include "gui/TrayIcon.h"

namespace nightjar::gui {

/// The Live Update progress window (`frmDownload`): a blinking line (`lblProduct`, every
/// 800 ms through the steps of a connection), the update's status lines (`txtStatus`) and
/// "Cancel", which closes the window while the update goes on. Its own tray icon tells
/// that definitions are being fetched; a double click on it brings the window back.
class DownloadWindow : public FormWindow {
  public:
    static constexpr UINT_PTR kBlinkTimer = 1;
    static constexpr UINT kBlinkIntervalMs = 800;

    /// `text`: the laid-out frmDownload.
    explicit DownloadWindow(localization::WindowText text);

    bool show(HWND owner);
    /// Appends a status line (a repeat of the last one is dropped).
    void addStatus(std::string_view line);

  protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void onTimer(UINT_PTR id) override;
    void onDestroy() override;

  private:
    void setProduct(const wchar_t* text);

    TrayIcon tray_;
    int step_ = 0;
    std::string last_;
};

}  // namespace nightjar::gui
