#pragma once
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nightjar::update {

/// A date and time to the second, counted from the zero date 30 December 1899 00:00:00
/// (the origin stored dates count from), with its text form "3/16/2006 12:00:00 AM": month/day/year
/// without leading zeros, a 12-hour clock with two-digit minutes and seconds.
class DateText {
  public:
    /// The zero date/time (30 December 1899, midnight).
    DateText() = default;
    /// From a civil date and time; nullopt when a field is out of range (years 100..9999).
    static std::optional<DateText> FromCivil(int year, int month, int day, int hour = 0,
                                             int minute = 0, int second = 0);
    /// Seconds since the zero date/time (negative before it).
    static DateText FromSerialSeconds(std::int64_t seconds) { return DateText(seconds); }

    /// Converts a text in the date text form. Accepts a date alone ("3/16/2006"), a time
    /// alone ("3:04 PM", on the zero date), or both; surrounding blanks are allowed. Any
    /// other input gives nullopt; no input makes it fail otherwise.
    static std::optional<DateText> Parse(std::string_view text);

    /// The text form: midnight omits the time ("3/16/2006"), the zero date omits the date
    /// ("12:00:00 AM" for the zero date/time).
    std::string ToText() const;

    std::int64_t serialSeconds() const { return seconds_; }
    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;

    auto operator<=>(const DateText&) const = default;

  private:
    explicit DateText(std::int64_t seconds) : seconds_(seconds) {}
    std::int64_t seconds_ = 0;
};

/// Reads a server's date answer: trims blanks, removes TAB, CR and LF, cuts just after the
/// first "PM" (else the first "AM", letter case ignored) so a zone word such as " PST" is
/// dropped, then converts. nullopt when the rest cannot be converted.
std::optional<DateText> ParseServerDate(std::string_view text);

}  // namespace nightjar::update
