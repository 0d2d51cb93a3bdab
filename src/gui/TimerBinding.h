#pragma once
#include <windows.h>

#include <vector>

#include "app/Timer.h"
#include "gui/Window.h"

namespace nightjar::gui {

/// Runs the model's abstract timers on system timers (SetTimer, WM_TIMER) of a hidden
/// message-only window. `sync` arms a system timer for each enabled timer and kills the
/// others; a timer enabled again starts its interval afresh. Ticks never overlap: a timer
/// falling due while a tick runs (its handler yields to the message loop) is skipped.
class TimerBinding : public Window {
  public:
    TimerBinding() = default;

    /// Creates the message-only window; false on failure.
    bool create();
    /// The timer must outlive the binding.
    void add(app::Timer& timer);
    /// Matches the system timers to the timers' enabled states and intervals. The message
    /// loop calls it after each message, and every tick ends with it.
    void sync();

  protected:
    void onTimer(UINT_PTR id) override;

  private:
    struct Entry {
        app::Timer* timer;
        /// The interval the system timer runs at; 0 when it is not armed.
        int armed = 0;
    };
    std::vector<Entry> entries_;
    bool ticking_ = false;
};

}  // namespace nightjar::gui
