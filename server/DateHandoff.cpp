#include "DateHandoff.h"

namespace nightjar::server {

DateHandoff::DateHandoff(std::chrono::seconds window, std::size_t capacity)
    : window_(window), capacity_(capacity) {}

void DateHandoff::remember(const std::string& address, std::int64_t date, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= capacity_) {
        dropExpired(now);
        if (entries_.size() >= capacity_) {
            // Flooded: forgetting is safe (the answer falls back to the current date).
            entries_.clear();
        }
    }
    entries_[address] = Entry{date, now};
}

std::optional<std::int64_t> DateHandoff::take(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(address);
    if (it == entries_.end()) {
        return std::nullopt;
    }
    const Entry e = it->second;
    entries_.erase(it);
    if (now - e.at > window_) {
        return std::nullopt;
    }
    return e.date;
}

void DateHandoff::dropExpired(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.at > window_) {
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace nightjar::server
