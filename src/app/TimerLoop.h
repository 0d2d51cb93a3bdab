#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/Timer.h"

namespace nightjar::app {

/// A small event loop over abstract timers, for a front end without a message loop of its
/// own: each enabled timer ticks once every interval; a timer found disabled starts its
/// interval afresh when it is enabled again. Ticks run one at a time, so a handler that
/// takes long delays the others instead of overlapping them.
class TimerLoop {
  public:
    /// Monotonic milliseconds.
    using Now = std::function<std::int64_t()>;
    /// Waits about the given number of milliseconds.
    using Sleep = std::function<void(std::int64_t ms)>;

    /// The longest single wait, so that a stop request and newly enabled timers are seen.
    static constexpr std::int64_t kMaxWaitMs = 100;

    TimerLoop(Now now, Sleep sleep);

    void add(Timer& timer);
    /// Ticks every timer that is due now, earliest first. Returns the milliseconds until the
    /// next timer is due, or nullopt when none is enabled.
    std::optional<std::int64_t> RunDue();
    /// Runs the timers until `stop` returns true (tested between waits).
    void Run(const std::function<bool()>& stop);

  private:
    struct Entry {
        Timer* timer;
        std::optional<std::int64_t> due;
    };
    /// Forgets the due time of every disabled timer and gives one to every newly enabled.
    void sync(std::int64_t now);

    Now now_;
    Sleep sleep_;
    std::vector<Entry> entries_;
};

}  // namespace nightjar::app
