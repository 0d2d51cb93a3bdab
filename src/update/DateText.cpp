#include "update/DateText.h"

#include "util/Text.h"

namespace nightjar::update {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days between 1970-01-01 and a civil date (proleptic Gregorian), and back.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2 ? 1 : 0), m, d};
}

// The zero date, 30 December 1899, in days since 1970-01-01.
const std::int64_t kZeroDay = daysFromCivil(1899, 12, 30);

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool isLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
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

// Two-digit years follow the classic window: 0..29 are 2000..2029, 30..99 are 1930..1999.
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
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month)) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    std::int64_t days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kZeroDay;
    return DateText(days * kSecondsPerDay + hour * 3600 + minute * 60 + second);
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
    return static_cast<int>(civilFromDays(floorDiv(seconds_, kSecondsPerDay) + kZeroDay).year);
}
int DateText::month() const {
    return static_cast<int>(civilFromDays(floorDiv(seconds_, kSecondsPerDay) + kZeroDay).month);
}
int DateText::day() const {
    return static_cast<int>(civilFromDays(floorDiv(seconds_, kSecondsPerDay) + kZeroDay).day);
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
    const std::int64_t days = floorDiv(seconds_, kSecondsPerDay);
    const std::int64_t secs = seconds_ - days * kSecondsPerDay;
    std::string out;
    if (days != 0) {
        Civil c = civilFromDays(days + kZeroDay);
        out = std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + std::to_string(c.year);
    }
    if (secs != 0 || days == 0) {
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
