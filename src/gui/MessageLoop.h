#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

namespace nightjar::gui {

/// The thread's message loop: dialog keyboard navigation in windows that hold controls
/// (WS_EX_CONTROLPARENT), and hooks run after each message, such as re-arming timers.
class MessageLoop {
  public:
    /// Runs after every message this loop dispatches.
    void afterEachMessage(std::function<void()> hook);

    /// Waits for and dispatches messages until `done` returns true or WM_QUIT arrives.
    /// Returns the exit code of WM_QUIT, which is posted again for an outer loop when
    /// `done` was given; nullopt when `done` ended the loop.
    std::optional<int> runUntil(const std::function<bool()>& done);
    /// Dispatches the messages waiting now. False when WM_QUIT came (it is posted again, so
    /// the outer loop ends too).
    bool pumpPending();

  private:
    void dispatch(MSG& msg);

    std::vector<std::function<void()>> hooks_;
};

}  // namespace nightjar::gui
