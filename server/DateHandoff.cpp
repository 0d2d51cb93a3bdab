#include "DateHandoff.h"

#include <iterator>

namespace nightjar::server {

DateHandoff::DateHandoff(std::chrono::seconds window, std::size_t capacity, std::size_t perAddress)
    : window_(window), capacity_(capacity), perAddress_(perAddress < 2 ? 2 : perAddress) {}

void DateHandoff::dropExpired(Outstanding& dates, Clock::time_point now) {
    // Only the oldest date is ever answered, so only from there on must expired ones go;
    // the rest are bounded by the limits.
    while (!dates.empty() && now - dates.begin()->second > window_) {
        dates.erase(dates.begin());
        --total_;
    }
}

void DateHandoff::remember(const std::string& address, std::int64_t date, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    // A later hand-off of a date not below an earlier one outlives it and is never the
    // oldest, so the earlier one can go.
    while (!recent_.empty() && recent_.back().date >= date) {
        recent_.pop_back();
    }
    recent_.push_back(Sent{date, now});

    if (total_ >= capacity_) {
        // Flooded: forgetting is safe, the window's oldest date still answers.
        byAddress_.clear();
        total_ = 0;
    }
    Outstanding& dates = byAddress_[address];
    if (dates.size() >= perAddress_) {
        // Retiring the newest keeps the oldest, which is what is answered.
        dates.erase(std::prev(dates.end()));
        --total_;
    }
    dates.emplace(date, now);
    ++total_;
}

std::optional<std::int64_t> DateHandoff::take(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    while (!recent_.empty() && now - recent_.front().at > window_) {
        recent_.pop_front();
    }
    const auto it = byAddress_.find(address);
    if (it != byAddress_.end()) {
        Outstanding& dates = it->second;
        dropExpired(dates, now);
        if (!dates.empty()) {
            const std::int64_t oldest = dates.begin()->first;
            dates.erase(std::prev(dates.end()));
            --total_;
            if (dates.empty()) {
                byAddress_.erase(it);
            }
            return oldest;
        }
        byAddress_.erase(it);
    }
    if (!recent_.empty()) {
        return recent_.front().date;
    }
    return std::nullopt;
}

}  // namespace nightjar::server
