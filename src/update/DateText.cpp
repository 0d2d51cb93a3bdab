#include "update/DateText.h"

#include "util/Text.h"

#include <chrono>

namespace nightjar::update {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

// The zero date, 30 December 1899.
constexpr sys_days kZeroDay{std::chrono::year{1899} / 12 / 30};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

year_month_day civilFromSerialDays(std::int64_t serialDays) {
    return year_month_day{kZeroDay + days{serialDays}};
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A small cursor over the text being converted.
class Scanner {
  public:
    explicit Scanner(std::string_view s) : s_(s) {}
    bool atEnd() const { return i_ >= s_.size(); }
    char peek() const { return atEnd() ? '\0' : s_[i_]; }
    void skipBlanks() {
        while (!atEnd() && s_[i_] == ' ') {
            ++i_;
        }
    }
    bool accept(char c) {
        if (peek() == c) {
            ++i_;
            return true;
        }
        return false;
    }
    /// 1..maxDigits decimal digits; false when there are none or too many.
    bool number(int maxDigits, int& value, int& digits) {
        value = 0;
        digits = 0;
        while (!atEnd() && isDigit(s_[i_])) {
            if (digits == maxDigits) {
                return false;
            }
            value = value * 10 + (s_[i_] - '0');
            ++digits;
            ++i_;
        }
        return digits > 0;
    }
    /// "AM" or "PM" (letter case ignored): 0 none, 1 AM, 2 PM.
    int meridiem() {
        if (s_.size() - i_ >= 2) {
            std::string_view w = s_.substr(i_, 2);
            if (text::iequals(w, "AM")) {
                i_ += 2;
                return 1;
            }
            if (text::iequals(w, "PM")) {
                i_ += 2;
                return 2;
            }
        }
        return 0;
    }
    std::size_t pos() const { return i_; }
    void seek(std::size_t p) { i_ = p; }

  private:
    std::string_view s_;
    std::size_t i_ = 0;
};

// Two-digit years pivot at 30: 0..29 are 2000..2029, 30..99 are 1930..1999.
int expandYear(int year, int digits) {
    if (digits <= 2) {
        return year < 30 ? 2000 + year : 1900 + year;
    }
    return year;
}

bool parseDatePart(Scanner& sc, int& y, int& m, int& d) {
    int digits = 0;
    if (!sc.number(2, m, digits)) {
        return false;
    }
    char sep = sc.peek();
    if (sep != '/' && sep != '-') {
        return false;
    }
    sc.accept(sep);
    if (!sc.number(2, d, digits) || !sc.accept(sep)) {
        return false;
    }
    if (!sc.number(4, y, digits)) {
        return false;
    }
    y = expandYear(y, digits);
    return true;
}

bool parseTimePart(Scanner& sc, int& h, int& mi, int& s) {
    int digits = 0;
    mi = 0;
    s = 0;
    if (!sc.number(2, h, digits)) {
        return false;
    }
    bool hasMinutes = false;
    if (sc.accept(':')) {
        if (!sc.number(2, mi, digits)) {
            return false;
        }
        hasMinutes = true;
        if (sc.accept(':') && !sc.number(2, s, digits)) {
            return false;
        }
    }
    sc.skipBlanks();
    int ampm = sc.meridiem();
    if (ampm == 0) {
        // A bare number is not a time; "15:04" is.
        return hasMinutes && h <= 23;
    }
    if (h > 12) {
        return false;
    }
    if (ampm == 1 && h == 12) {
        h = 0;
    } else if (ampm == 2 && h < 12) {
        h += 12;
    }
    return true;
}

}  // namespace

std::optional<DateText> DateText::FromCivil(int year, int month, int day, int hour, int minute,
                                            int second) {
    const year_month_day date{std::chrono::year{year},
                              std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || !date.ok() || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    const std::int64_t serialDays = (sys_days{date} - kZeroDay).count();
    return DateText(serialDays * kSecondsPerDay + hour * 3600 + minute * 60 + second);
}

std::optional<DateText> DateText::Parse(std::string_view text) {
    Scanner sc(text);
    sc.skipBlanks();
    int y = 1899;
    int m = 12;
    int d = 30;
    int h = 0;
    int mi = 0;
    int s = 0;
    bool any = false;
    std::size_t start = sc.pos();
    if (parseDatePart(sc, y, m, d)) {
        any = true;
        sc.skipBlanks();
        if (!sc.atEnd()) {
            if (!parseTimePart(sc, h, mi, s)) {
                return std::nullopt;
            }
        }
    } else {
        // No date: the text may be a time alone, on the zero date.
        sc.seek(start);
        y = 1899;
        m = 12;
        d = 30;
        if (!parseTimePart(sc, h, mi, s)) {
            return std::nullopt;
        }
        any = true;
    }
    sc.skipBlanks();
    if (!any || !sc.atEnd()) {
        return std::nullopt;
    }
    return FromCivil(y, m, d, h, mi, s);
}

int DateText::year() const {
    return static_cast<int>(civilFromSerialDays(floorDiv(seconds_, kSecondsPerDay)).year());
}
int DateText::month() const {
    return static_cast<int>(
        static_cast<unsigned>(civilFromSerialDays(floorDiv(seconds_, kSecondsPerDay)).month()));
}
int DateText::day() const {
    return static_cast<int>(
        static_cast<unsigned>(civilFromSerialDays(floorDiv(seconds_, kSecondsPerDay)).day()));
}
int DateText::hour() const {
    return static_cast<int>((seconds_ - floorDiv(seconds_, kSecondsPerDay) * kSecondsPerDay) /
                            3600);
}
int DateText::minute() const {
    return static_cast<int>((seconds_ - floorDiv(seconds_, kSecondsPerDay) * kSecondsPerDay) %
                            3600 / 60);
}
int DateText::second() const {
    return static_cast<int>((seconds_ - floorDiv(seconds_, kSecondsPerDay) * kSecondsPerDay) % 60);
}

std::string DateText::ToText() const {
    const std::int64_t serialDays = floorDiv(seconds_, kSecondsPerDay);
    const std::int64_t secs = seconds_ - serialDays * kSecondsPerDay;
    std::string out;
    if (serialDays != 0) {
        const year_month_day c = civilFromSerialDays(serialDays);
        out = std::to_string(static_cast<unsigned>(c.month())) + "/" +
              std::to_string(static_cast<unsigned>(c.day())) + "/" +
              std::to_string(static_cast<int>(c.year()));
    }
    if (secs != 0 || serialDays == 0) {
        const auto h = static_cast<int>(secs / 3600);
        const auto mi = static_cast<int>(secs % 3600 / 60);
        const auto s = static_cast<int>(secs % 60);
        int h12 = h % 12 == 0 ? 12 : h % 12;
        auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
        if (!out.empty()) {
            out += ' ';
        }
        out += std::to_string(h12) + ":" + two(mi) + ":" + two(s) + (h < 12 ? " AM" : " PM");
    }
    return out;
}

std::optional<DateText> ParseServerDate(std::string_view text) {
    std::string t = text::trim(text);
    std::string cleaned;
    cleaned.reserve(t.size());
    for (char c : t) {
        if (c != '\t' && c != '\r' && c != '\n') {
            cleaned.push_back(c);
        }
    }
    std::size_t at = text::ifind(cleaned, "PM");
    if (at == std::string::npos) {
        at = text::ifind(cleaned, "AM");
    }
    if (at != std::string::npos) {
        cleaned.resize(at + 2);
    }
    return DateText::Parse(cleaned);
}

}  // namespace nightjar::update
