#include "util/Text.h"

#include <algorithm>
#include <cstdint>

namespace nightjar::text {

namespace {

constexpr unsigned char kLatin1Lead = 0xC3;    // U+00C0..U+00FF
constexpr unsigned char kLatinExtLead = 0xC5;  // U+0140..U+017F

unsigned char byteAt(std::string_view s, std::size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

/// A character that has no other case: a two-byte sequence whole (so that both texts of a
/// comparison step over it alike), any other byte with `ascii` applied.
std::size_t copyAt(std::string_view s, std::size_t i, char out[2], char (*ascii)(char)) {
    const unsigned char c = byteAt(s, i);
    const unsigned char n = byteAt(s, i + 1);
    out[0] = ascii(static_cast<char>(c));
    if (c >= 0xC0 && c < 0xE0 && n >= 0x80 && n < 0xC0) {
        out[1] = static_cast<char>(n);
        return 2;
    }
    return 1;
}

/// The lower-case form of the character at s[i], written to `out`; returns its length in
/// bytes, which is also the length of the lower-case form (1 or 2).
std::size_t lowerAt(std::string_view s, std::size_t i, char out[2]) {
    const unsigned char c = byteAt(s, i);
    const unsigned char n = byteAt(s, i + 1);
    if (c == kLatin1Lead && n >= 0x80 && n <= 0x9E && n != 0x97) {  // À..Þ but ×
        out[0] = static_cast<char>(c);
        out[1] = static_cast<char>(n + 0x20);
        return 2;
    }
    if (c == kLatinExtLead && (n == 0x92 || n == 0xA0 || n == 0xBD)) {  // Œ Š Ž
        out[0] = static_cast<char>(c);
        out[1] = static_cast<char>(n + 1);
        return 2;
    }
    if (c == kLatinExtLead && n == 0xB8) {  // Ÿ, whose small form is ÿ
        out[0] = static_cast<char>(kLatin1Lead);
        out[1] = static_cast<char>(0xBF);
        return 2;
    }
    return copyAt(s, i, out, toLowerChar);
}

/// toUpper's counterpart of lowerAt.
std::size_t upperAt(std::string_view s, std::size_t i, char out[2]) {
    const unsigned char c = byteAt(s, i);
    const unsigned char n = byteAt(s, i + 1);
    if (c == kLatin1Lead && n >= 0xA0 && n <= 0xBE && n != 0xB7) {  // à..þ but ÷
        out[0] = static_cast<char>(c);
        out[1] = static_cast<char>(n - 0x20);
        return 2;
    }
    if (c == kLatin1Lead && n == 0xBF) {  // ÿ
        out[0] = static_cast<char>(kLatinExtLead);
        out[1] = static_cast<char>(0xB8);
        return 2;
    }
    if (c == kLatinExtLead && (n == 0x93 || n == 0xA1 || n == 0xBE)) {  // œ š ž
        out[0] = static_cast<char>(c);
        out[1] = static_cast<char>(n - 1);
        return 2;
    }
    return copyAt(s, i, out, toUpperChar);
}

}  // namespace

bool isAscii(std::string_view s) {
    // No early exit: a loop without one is cheaper for the short texts this sees.
    unsigned char allBits = 0;
    for (char c : s) {
        allBits |= static_cast<unsigned char>(c);
    }
    return allBits < 0x80;
}

void lowerInto(std::string& out, std::string_view in) {
    out.resize(in.size());
    // One pass lowers the ASCII letters and notes whether any byte is not ASCII. Only
    // such text (rare) takes the character-wise pass, over the half-lowered copy: the
    // first pass changed nothing that the second one reads differently.
    char* dst = out.data();
    unsigned char allBits = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        allBits |= static_cast<unsigned char>(in[i]);
        dst[i] = toLowerChar(in[i]);
    }
    if (allBits < 0x80) {
        return;
    }
    char folded[2];
    for (std::size_t i = 0; i < out.size();) {
        const std::size_t n = lowerAt(out, i, folded);
        std::copy_n(folded, n, out.begin() + static_cast<std::ptrdiff_t>(i));
        i += n;
    }
}

std::string toLower(std::string_view s) {
    std::string r;
    lowerInto(r, s);
    return r;
}

std::string toUpper(std::string_view s) {
    std::string r(s);
    char folded[2];
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = upperAt(s, i, folded);
        std::copy_n(folded, n, r.begin() + static_cast<std::ptrdiff_t>(i));
        i += n;
    }
    return r;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    char x[2];
    char y[2];
    for (std::size_t i = 0; i < a.size();) {
        const bool ascii =
            static_cast<unsigned char>(a[i]) < 0x80 && static_cast<unsigned char>(b[i]) < 0x80;
        if (ascii) {  // most text: no call per byte
            if (toLowerChar(a[i]) != toLowerChar(b[i])) {
                return false;
            }
            ++i;
            continue;
        }
        const std::size_t n = lowerAt(a, i, x);
        if (lowerAt(b, i, y) != n || x[0] != y[0] || (n == 2 && x[1] != y[1])) {
            return false;
        }
        i += n;
    }
    return true;
}

std::size_t ifind(std::string_view hay, std::string_view needle, std::size_t from) {
    if (from > hay.size()) {
        return std::string_view::npos;
    }
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        if (iequals(hay.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool icontains(std::string_view hay, std::string_view needle) {
    return ifind(hay, needle) != std::string_view::npos;
}

bool istartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

bool iendsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && iequals(s.substr(s.size() - suffix.size()), suffix);
}

std::string_view trimView(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && s[b] == ' ') {
        ++b;
    }
    while (e > b && s[e - 1] == ' ') {
        --e;
    }
    return s.substr(b, e - b);
}

std::string trim(std::string_view s) {
    return std::string(trimView(s));
}

namespace {

// The matching below finds `needle` in `hay`, which has the offsets of `s` (`s` itself, or
// `s` lower-cased: lower-casing keeps offsets), and cuts `s` at those offsets.

std::string replaceMatches(std::string_view s, std::string_view hay, std::string_view needle,
                           std::string_view to) {
    std::string r;
    r.reserve(s.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = hay.find(needle, pos);
        if (hit == std::string_view::npos) {
            r.append(s.substr(pos));
            return r;
        }
        r.append(s.substr(pos, hit - pos));
        r.append(to);
        pos = hit + needle.size();
    }
}

std::vector<std::string> splitAtMatches(std::string_view s, std::string_view hay,
                                        std::string_view needle) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = hay.find(needle, pos);
        if (hit == std::string_view::npos) {
            parts.emplace_back(s.substr(pos));
            return parts;
        }
        parts.emplace_back(s.substr(pos, hit - pos));
        pos = hit + needle.size();
    }
}

}  // namespace

std::string replaceAll(std::string_view s, std::string_view from, std::string_view to) {
    return from.empty() ? std::string(s) : replaceMatches(s, s, from, to);
}

std::string ireplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    return from.empty() ? std::string(s) : replaceMatches(s, toLower(s), toLower(from), to);
}

std::vector<std::string> split(std::string_view s, std::string_view sep) {
    return sep.empty() ? std::vector<std::string>{std::string(s)} : splitAtMatches(s, s, sep);
}

std::vector<std::string> isplit(std::string_view s, std::string_view sep) {
    return sep.empty() ? std::vector<std::string>{std::string(s)}
                       : splitAtMatches(s, toLower(s), toLower(sep));
}

std::string collapseBackslashes(std::string_view s) {
    return replaceAll(s, "\\\\", "\\");
}

std::string capitalizeFirst(std::string_view s) {
    const std::size_t first = s.empty() ? 0 : ((s[0] & 0xE0) == 0xC0 ? 2 : 1);
    return toUpper(s.substr(0, first)) + std::string(s.substr(std::min(first, s.size())));
}

bool parseInt(std::string_view s, long long& out) {
    s = trimView(s);
    if (s.empty()) {
        return false;
    }
    bool neg = false;
    std::size_t i = 0;
    if (s[0] == '-' || s[0] == '+') {
        neg = s[0] == '-';
        i = 1;
    }
    if (i >= s.size()) {
        return false;
    }
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        if (v > (INT64_MAX - 9) / 10) {
            return false;
        }
        v = v * 10 + (s[i] - '0');
    }
    out = neg ? -v : v;
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace nightjar::text
