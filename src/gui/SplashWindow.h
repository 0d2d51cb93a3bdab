#pragma once
#include <windows.h>

#include <functional>

#include "gui/FormWindow.h"
#include "gui/HeadingFont.h"

namespace nightjar::gui {

/// The splash window (`frmSplash`): shown first, centred on the work area, it counts the
/// ticks of `Timer2` (2 ms) by two; at the 75th tick it stops, hands over to the main
/// window and hides.
class SplashWindow : public FormWindow {
  public:
    static constexpr UINT_PTR kTimerId = 2;
    static constexpr int kTimerIntervalMs = 2;
    /// The tick at which the splash hands over.
    static constexpr int kTicks = 75;

    /// `text`: the laid-out frmSplash; `productName` is the big line it shows.
    SplashWindow(localization::WindowText text, std::wstring productName);

    /// Creates and shows the window and starts `Timer2`.
    bool show();
    /// Runs once, at the last tick: load and show the main window here.
    void onHandOver(std::function<void()> handler) { handOver_ = std::move(handler); }
    /// The counter, 2 per tick.
    int counter() const { return counter_; }

  protected:
    void onTimer(UINT_PTR id) override;

  private:
    std::wstring productName_;
    int counter_ = 0;
    bool running_ = false;
    HeadingFont title_;
    std::function<void()> handOver_;
};

}  // namespace nightjar::gui
