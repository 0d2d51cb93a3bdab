#include "util/Utf16Text.h"

#include <cstdint>
#include <type_traits>

#include "util/Text.h"
#include "util/Windows1252.h"

namespace nightjar::utf16 {

namespace {

/// Decodes the UTF-8 sequence at s[i]; returns its length, 0 when it is not well-formed.
std::size_t decodeAt(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1Fu;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0Fu;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07u;
        min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < len) {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

/// A code unit of a wide string (wchar_t is signed on some platforms).
std::uint32_t unitOf(wchar_t c) {
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
}

void putUnit(std::string& out, std::uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    char32_t cp = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = decodeAt(s, i, cp);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::optional<std::string> fromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    char32_t cp = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = decodeAt(utf8, i, cp);
        if (n == 0) {
            return std::nullopt;
        }
        i += n;
        if (cp >= 0x10000) {
            putUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
            putUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            putUnit(out, cp);
        }
    }
    return out;
}

std::optional<std::string> toUtf8(std::string_view utf16le) {
    if (utf16le.size() % 2 != 0) {
        return std::nullopt;
    }
    auto unitAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(utf16le[i])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(utf16le[i + 1])) << 8);
    };
    std::string out;
    out.reserve(utf16le.size() / 2);
    for (std::size_t i = 0; i < utf16le.size(); i += 2) {
        const std::uint32_t unit = unitAt(i);
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 4 > utf16le.size()) {
                return std::nullopt;
            }
            const std::uint32_t low = unitAt(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) {
                return std::nullopt;
            }
            text::appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            i += 2;
        } else {
            text::appendUtf8(out, unit);
        }
    }
    return out;
}

std::wstring widen(std::string_view utf8) {
    std::optional<std::string> bytes = fromUtf8(utf8);
    if (!bytes) {
        bytes = fromUtf8(text::windows1252ToUtf8(utf8));
    }
    std::wstring out;
    if (!bytes) {
        return out;
    }
    out.reserve(bytes->size() / 2);
    for (std::size_t i = 0; i + 1 < bytes->size(); i += 2) {
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>((*bytes)[i]) |
                                           (static_cast<unsigned char>((*bytes)[i + 1]) << 8)));
    }
    return out;
}

std::string narrow(std::wstring_view wide) {
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        std::uint32_t unit = unitOf(wide[i]);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        const bool paired = high && i + 1 < wide.size() && unitOf(wide[i + 1]) >= 0xDC00 &&
                            unitOf(wide[i + 1]) <= 0xDFFF;
        if (paired) {
            putUnit(bytes, unit);
            unit = unitOf(wide[++i]);
        } else if (high || low || unit > 0xFFFF) {
            unit = 0xFFFD;
        }
        putUnit(bytes, unit);
    }
    return toUtf8(bytes).value_or(std::string());
}

}  // namespace nightjar::utf16
