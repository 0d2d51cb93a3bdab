#include "ServerDate.h"

#include <chrono>

#include "util/Text.h"

namespace nightjar::server {

namespace {
// 1 January 1970 counted in days from the zero date 30 December 1899.
constexpr std::int64_t kUnixEpochSerialSeconds = 25569LL * 86400LL;
}  // namespace

std::int64_t ServerDate::defaultClientDate() {
    return fromDateText(*update::DateText::FromCivil(2006, 3, 16));
}

update::DateText ServerDate::toDateText(std::int64_t unixSeconds) {
    return update::DateText::FromSerialSeconds(unixSeconds + kUnixEpochSerialSeconds);
}

std::int64_t ServerDate::fromDateText(const update::DateText& date) {
    return date.serialSeconds() - kUnixEpochSerialSeconds;
}

std::string ServerDate::text(std::int64_t unixSeconds) {
    const update::DateText d = toDateText(unixSeconds);
    int hour12 = d.hour() % 12;
    if (hour12 == 0) {
        hour12 = 12;
    }
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return std::to_string(d.month()) + "/" + std::to_string(d.day()) + "/" +
           std::to_string(d.year()) + " " + std::to_string(hour12) + ":" + two(d.minute()) + ":" +
           two(d.second()) + (d.hour() < 12 ? " AM" : " PM");
}

std::optional<std::int64_t> ServerDate::parse(std::string_view text) {
    const std::string blanks = text::replaceAll(text, "+", " ");
    std::optional<update::DateText> d = update::ParseServerDate(blanks);
    if (!d) {
        return std::nullopt;
    }
    return fromDateText(*d);
}

std::int64_t ServerDate::now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace nightjar::server
