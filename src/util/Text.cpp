#include "util/Text.h"

#include <cstdint>

namespace nightjar::text {

namespace {
bool isUpperLatin(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}
bool isLowerLatin(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
}
}  // namespace

char toLowerChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return isUpperLatin(u) ? static_cast<char>(u + 32) : c;
}

char toUpperChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return isLowerLatin(u) ? static_cast<char>(u - 32) : c;
}

std::string toLower(std::string_view s) {
    std::string r(s);
    for (auto& c : r) {
        c = toLowerChar(c);
    }
    return r;
}

std::string toUpper(std::string_view s) {
    std::string r(s);
    for (auto& c : r) {
        c = toUpperChar(c);
    }
    return r;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && toLowerChar(a[i]) != toLowerChar(b[i])) {
            return false;
        }
    }
    return true;
}

std::size_t ifind(std::string_view hay, std::string_view needle, std::size_t from) {
    if (needle.empty()) {
        return from <= hay.size() ? from : std::string_view::npos;
    }
    if (needle.size() > hay.size()) {
        return std::string_view::npos;
    }
    const char first = toLowerChar(needle[0]);
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        if (toLowerChar(hay[i]) != first) {
            continue;
        }
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

std::string trim(std::string_view s) { return std::string(trimView(s)); }

std::string replaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(s);
    }
    std::string r;
    r.reserve(s.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos) {
            r.append(s.substr(pos));
            return r;
        }
        r.append(s.substr(pos, hit - pos));
        r.append(to);
        pos = hit + from.size();
    }
}

std::string ireplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(s);
    }
    std::string r;
    r.reserve(s.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = ifind(s, from, pos);
        if (hit == std::string_view::npos) {
            r.append(s.substr(pos));
            return r;
        }
        r.append(s.substr(pos, hit - pos));
        r.append(to);
        pos = hit + from.size();
    }
}

std::vector<std::string> split(std::string_view s, std::string_view sep) {
    std::vector<std::string> parts;
    if (sep.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = s.find(sep, pos);
        if (hit == std::string_view::npos) {
            parts.emplace_back(s.substr(pos));
            return parts;
        }
        parts.emplace_back(s.substr(pos, hit - pos));
        pos = hit + sep.size();
    }
}

std::vector<std::string> isplit(std::string_view s, std::string_view sep) {
    std::vector<std::string> parts;
    if (sep.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = ifind(s, sep, pos);
        if (hit == std::string_view::npos) {
            parts.emplace_back(s.substr(pos));
            return parts;
        }
        parts.emplace_back(s.substr(pos, hit - pos));
        pos = hit + sep.size();
    }
}

std::string collapseBackslashes(std::string_view s) { return replaceAll(s, "\\\\", "\\"); }

std::string capitalizeFirst(std::string_view s) {
    std::string r(s);
    if (!r.empty()) {
        r[0] = toUpperChar(r[0]);
    }
    return r;
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

}  // namespace nightjar::text
