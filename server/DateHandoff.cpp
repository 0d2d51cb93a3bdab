#include "DateHandoff.h"

#include <algorithm>
#include <iterator>

namespace nightjar::server {

DateHandoff::DateHandoff(std::chrono::seconds window, std::size_t addresses, std::size_t perAddress)
    : window_(window), addresses_(addresses), perAddress_(perAddress < 2 ? 2 : perAddress) {}

void DateHandoff::dropExpired(Outstanding& dates, Clock::time_point now) const {
    // Only the oldest date is ever answered, so only from there on must expired ones go;
    // the rest are bounded by the per-address limit.
    while (!dates.empty() && now - dates.begin()->second > window_) {
        dates.erase(dates.begin());
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

    auto it = byAddress_.find(address);
    if (it == byAddress_.end()) {
        if (byAddress_.size() >= addresses_) {
            for (auto a = byAddress_.begin(); a != byAddress_.end();) {
                const bool stale =
                    std::all_of(a->second.begin(), a->second.end(),
                                [&](const auto& d) { return now - d.second > window_; });
                a = stale ? byAddress_.erase(a) : std::next(a);
            }
            if (byAddress_.size() >= addresses_) {
                // Flooded: forgetting is safe, the window's oldest date still answers.
                byAddress_.clear();
            }
        }
        it = byAddress_.emplace(address, Outstanding{}).first;
    }
    Outstanding& dates = it->second;
    if (dates.size() >= perAddress_) {
        // Retiring the newest keeps the oldest, which is what is answered.
        dates.erase(std::prev(dates.end()));
    }
    dates.emplace(date, now);
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
