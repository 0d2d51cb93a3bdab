#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace nightjar::server {

/// Remembers, per client address, the definitions dates of the update texts it was sent,
/// so that a following "/asp/date.asp" never confirms a date later than what the asking
/// client received.
///
/// The confirmation request carries nothing that ties it to the update it follows, and
/// several clients may share one address. Every outstanding hand-off of an address is
/// kept (within `window`, at most `perAddress`); a confirmation answers the oldest of them
/// and retires the newest, so whichever client of the address asks, it is told a date no
/// later than its own. Too old a date only makes a client fetch a change again; too new a
/// one would hide a change from it for good.
class DateHandoff {
  public:
    using Clock = std::chrono::steady_clock;

    /// At most `capacity` hand-offs are kept in all, `perAddress` for one address.
    explicit DateHandoff(std::chrono::seconds window = std::chrono::seconds(600),
                         std::size_t capacity = 1 << 18, std::size_t perAddress = 256);

    /// The update text just sent to `address` brings it to `date`.
    void remember(const std::string& address, std::int64_t date, Clock::time_point now);
    /// The date to confirm to `address`: the oldest of its outstanding hand-offs; without
    /// one, the oldest date handed to any address within the window; nullopt when there is
    /// none at all (the caller then answers a date that makes the client fetch again).
    std::optional<std::int64_t> take(const std::string& address, Clock::time_point now);

  private:
    struct Sent {
        std::int64_t date;
        Clock::time_point at;
    };
    using Outstanding = std::multimap<std::int64_t, Clock::time_point>;

    void dropExpired(Outstanding& dates, Clock::time_point now);

    std::chrono::seconds window_;
    std::size_t capacity_;
    std::size_t perAddress_;
    std::size_t total_ = 0;
    std::mutex mutex_;
    std::map<std::string, Outstanding> byAddress_;
    /// Hand-offs to every address in the window, reduced to those that can still be the
    /// oldest: dates strictly rising from front to back.
    std::deque<Sent> recent_;
};

}  // namespace nightjar::server
