#pragma once
#include <windows.h>

#include <functional>

#include "gui/FormWindow.h"
#include "gui/HeadingFont.h"

namespace nightjar::gui {

/// A small window that slides up out of the taskbar at the bottom right of the work area
/// of the main window's monitor, rests there, then slides down and closes by itself: the
/// tray menu (`frmMenuPopUp`) and the update result (`frmSignatureUpdated`). Each phase
/// has its own timer; only one runs at a time.
class SlideUpPopup : public FormWindow {
  public:
    /// Steps in 96-DPI pixels and timer intervals in milliseconds.
    struct Motion {
        int upStep;
        int upIntervalMs;
        int restIntervalMs;
        /// Rest ticks without mouse movement over the window before it slides down.
        int restTicks;
        int downStep;
        int downIntervalMs;
        /// Mouse movement over the window starts the rest count again.
        bool mouseKeepsUp;
    };
    /// The tray menu: fast up, down after six idle seconds, fast down.
    static Motion MenuMotion();
    /// The update result: slow up, down after seven seconds whatever the mouse does.
    static Motion UpdateMotion();

    enum class Phase { Created, SlidingUp, Resting, SlidingDown, Closed };
    /// The timers (WM_TIMER ids) of the three phases.
    static constexpr UINT_PTR kSlideUpTimer = 1;
    static constexpr UINT_PTR kRestTimer = 2;
    static constexpr UINT_PTR kSlideDownTimer = 3;

    SlideUpPopup(localization::WindowText text, Motion motion);

    /// Creates the window hidden, placed for the monitor of `mainWindow` (may be null: the
    /// primary monitor).
    bool create(HWND mainWindow);
    /// Shows the window at the top of the taskbar and starts sliding it up.
    void start();
    /// Slides the window down at once and closes it ("Close This Menu").
    void slideAway();
    /// Closes the window now ("OK").
    void close();
    /// Runs once when the window closed, by itself or by `close`. The object may be
    /// destroyed afterwards, but not from inside this handler.
    void onClosed(std::function<void()> handler) { closed_ = std::move(handler); }

    Phase phase() const { return phase_; }
    /// The work area the window slides in, and the top edge it rests at.
    const RECT& workArea() const { return work_; }
    int restingTop() const { return restingTop_; }

  protected:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void onTimer(UINT_PTR id) override;
    void onDestroy() override;

  private:
    void moveTo(int top);
    void enter(Phase phase);
    int top() const;

    Motion motion_;
    Phase phase_ = Phase::Created;
    RECT work_{};
    int left_ = 0;
    int restingTop_ = 0;
    int idleTicks_ = 0;
    std::function<void()> closed_;
    HeadingFont heading_;
};

}  // namespace nightjar::gui
