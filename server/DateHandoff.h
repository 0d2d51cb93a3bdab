#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace nightjar::server {

/// Remembers, per client address, the definitions date of the update text it was just
/// sent, so that its following "/asp/date.asp" confirms that date rather than a newer one.
///
/// The confirmation request carries nothing that ties it to the update it follows. Were a
/// definition changed between the two requests, answering with the newest date would make
/// the client store a date later than the change it never received, and it would never ask
/// for that change again. The remembered date is used once, within `window`.
class DateHandoff {
  public:
    using Clock = std::chrono::steady_clock;

    explicit DateHandoff(std::chrono::seconds window = std::chrono::seconds(600),
                         std::size_t capacity = 65536);

    /// The update text just sent to `address` brings it to `date`.
    void remember(const std::string& address, std::int64_t date, Clock::time_point now);
    /// The date remembered for `address`, forgotten by this call; nullopt when there is
    /// none or it is older than the window.
    std::optional<std::int64_t> take(const std::string& address, Clock::time_point now);

  private:
    struct Entry {
        std::int64_t date;
        Clock::time_point at;
    };
    void dropExpired(Clock::time_point now);

    std::chrono::seconds window_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

}  // namespace nightjar::server
