#pragma once
#include <functional>
#include <utility>

#include "app/ControlName.h"

namespace nightjar::app {

/// An abstract interval timer: the desktop program binds it to a system timer, tests tick
/// it from a fake clock.
class Timer {
  public:
    Timer(ControlName name, int intervalMs) : name_(name), interval_(intervalMs) {}

    ControlName name() const { return name_; }
    int interval() const { return interval_; }
    void setInterval(int ms) { interval_ = ms; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    void onTick(std::function<void()> handler) { handler_ = std::move(handler); }
    /// Runs the handler when enabled (the binding calls this on every elapsed interval).
    void tick() {
        if (enabled_ && handler_) {
            handler_();
        }
    }

  private:
    ControlName name_;
    int interval_;
    bool enabled_ = false;
    std::function<void()> handler_;
};

}  // namespace nightjar::app
