#include "app/TimerLoop.h"

#include <algorithm>

namespace nightjar::app {

TimerLoop::TimerLoop(Now now, Sleep sleep) : now_(std::move(now)), sleep_(std::move(sleep)) {}

void TimerLoop::add(Timer& timer) {
    entries_.push_back({&timer, std::nullopt});
}

void TimerLoop::sync(std::int64_t now) {
    for (Entry& e : entries_) {
        if (!e.timer->enabled()) {
            e.due.reset();
        } else if (!e.due) {
            e.due = now + std::max(1, e.timer->interval());
        }
    }
}

std::optional<std::int64_t> TimerLoop::RunDue() {
    for (;;) {
        const std::int64_t now = now_();
        sync(now);
        Entry* next = nullptr;
        for (Entry& e : entries_) {
            if (e.due && (next == nullptr || *e.due < *next->due)) {
                next = &e;
            }
        }
        if (next == nullptr) {
            return std::nullopt;
        }
        if (*next->due > now) {
            return *next->due - now;
        }
        // The next interval counts from the end of this tick: ticks that fell due while a
        // handler ran are not made up.
        next->timer->tick();
        next->due = now_() + std::max(1, next->timer->interval());
    }
}

void TimerLoop::Run(const std::function<bool()>& stop) {
    while (!stop()) {
        const std::optional<std::int64_t> wait = RunDue();
        if (stop()) {
            break;
        }
        sleep_(std::clamp<std::int64_t>(wait.value_or(kMaxWaitMs), 1, kMaxWaitMs));
    }
}

}  // namespace nightjar::app
