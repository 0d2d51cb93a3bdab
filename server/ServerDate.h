#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "update/DateText.h"

namespace nightjar::server {

/// The server keeps times as Unix seconds (UTC) and shows them in the client's date text
/// form. Definitions dates are compared to the second, as the client does.
class ServerDate {
  public:
    /// The date a client without date.dat reports: "3/16/2006 12:00:00 AM".
    static std::int64_t defaultClientDate();

    static update::DateText toDateText(std::int64_t unixSeconds);
    static std::int64_t fromDateText(const update::DateText& date);

    /// Always with the time: "M/D/YYYY h:mm:ss AM".
    static std::string text(std::int64_t unixSeconds);

    /// A date as a client or an admin writes it: the date text form with or without a time,
    /// a time alone (on the zero date), a trailing zone word; "+" counts as a blank.
    static std::optional<std::int64_t> parse(std::string_view text);

    /// The current time, whole seconds.
    static std::int64_t now();
};

}  // namespace nightjar::server
