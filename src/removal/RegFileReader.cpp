#include "removal/RegFileReader.h"

#include <cstdint>

#include "util/Text.h"
#include "util/Utf16Text.h"
#include "util/Windows1252.h"

namespace nightjar::removal {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
/// Types whose hex data is UTF-16LE text.
constexpr std::uint32_t kSz = 1;
constexpr std::uint32_t kExpandSz = 2;
constexpr std::uint32_t kMultiSz = 7;

std::optional<std::string> decodeFile(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) {
        return utf16::toUtf8(bytes.substr(2));
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (utf16::isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return text::windows1252ToUtf8(bytes);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

/// Names and paths as the registry can hold them.
bool acceptableName(std::string_view s) {
    return s.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

/// A number of 1 to 8 hex digits, the whole of `s`.
std::optional<std::uint32_t> hexNumber(std::string_view s) {
    if (s.empty() || s.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t n = 0;
    for (char c : s) {
        const int d = text::hexDigitValue(c);
        if (d < 0) {
            return std::nullopt;
        }
        n = (n << 4) | static_cast<std::uint32_t>(d);
    }
    return n;
}

/// Comma-separated bytes of one or two hex digits; a final comma is allowed.
std::optional<std::string> hexBytes(std::string_view s) {
    std::string out;
    s = trimBlanks(s);
    if (s.ends_with(",")) {
        s.remove_suffix(1);
    }
    if (s.empty()) {
        return out;
    }
    for (const std::string& piece : text::split(s, ",")) {
        std::string_view part = trimBlanks(piece);
        if (part.size() > 2) {
            return std::nullopt;
        }
        auto n = hexNumber(part);
        if (!n) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(*n));
    }
    return out;
}

/// A quoted text starting at s[pos] (the opening quote); "\\" and "\"" are unescaped, any
/// other backslash stays. `pos` ends past the closing quote.
std::optional<std::string> quoted(std::string_view s, std::size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[++i]);
            continue;
        }
        out.push_back(c);
    }
    return std::nullopt;
}

class Parser {
  public:
    explicit Parser(std::string_view text) : lines_(text::split(text, "\n")) {
        for (std::string& line : lines_) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
        }
    }

    std::optional<std::vector<RegFileKey>> run() {
        std::size_t i = 0;
        while (i < lines_.size() && trimBlanks(lines_[i]).empty()) {
            ++i;
        }
        if (i == lines_.size() || trimBlanks(lines_[i]) != kHeader) {
            return std::nullopt;
        }
        std::vector<RegFileKey> keys;
        for (++i; i < lines_.size(); ++i) {
            std::string_view line = trimBlanks(lines_[i]);
            if (line.empty() || line.front() == ';') {
                continue;
            }
            if (line.front() == '[') {
                auto key = section(line);
                if (!key) {
                    return std::nullopt;
                }
                keys.push_back(std::move(*key));
                continue;
            }
            if (keys.empty()) {
                return std::nullopt;
            }
            auto value = valueLine(line, i);
            if (!value) {
                return std::nullopt;
            }
            keys.back().values.push_back(std::move(*value));
        }
        return keys;
    }

  private:
    static std::optional<RegFileKey> section(std::string_view line) {
        if (line.size() < 2 || line.back() != ']' || line[1] == '-') {
            return std::nullopt;
        }
        std::string_view inner = line.substr(1, line.size() - 2);
        const std::size_t slash = inner.find('\\');
        auto hive = platform::hiveFromName(inner.substr(0, slash));
        if (!hive) {
            return std::nullopt;
        }
        std::string_view path =
            slash == std::string_view::npos ? std::string_view() : inner.substr(slash + 1);
        while (!path.empty() && path.back() == '\\') {
            path.remove_suffix(1);
        }
        if (!acceptableName(path)) {
            return std::nullopt;
        }
        RegFileKey key;
        key.hive = *hive;
        key.path = std::string(path);
        return key;
    }

    /// One value; a hex line ending in "\" takes the following lines with it (`i` moves on).
    std::optional<RegFileValue> valueLine(std::string_view line, std::size_t& i) {
        RegFileValue v;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else {
            auto name = quoted(line, pos);
            if (!name || !acceptableName(*name)) {
                return std::nullopt;
            }
            v.name = std::move(*name);
        }
        std::string_view rest = trimBlanks(line.substr(pos));
        if (!rest.starts_with("=")) {
            return std::nullopt;
        }
        rest = trimBlanks(rest.substr(1));
        if (rest.starts_with("\"")) {
            std::size_t end = 0;
            auto data = quoted(rest, end);
            if (!data || end != rest.size()) {
                return std::nullopt;
            }
            v.value = platform::RegValue::string(*data);
            return v;
        }
        if (text::istartsWith(rest, "dword:")) {
            auto n = hexNumber(rest.substr(6));
            if (!n) {
                return std::nullopt;
            }
            v.value = platform::RegValue::dword(*n);
            return v;
        }
        std::uint32_t type = static_cast<std::uint32_t>(platform::RegType::Binary);
        if (text::istartsWith(rest, "hex:")) {
            rest.remove_prefix(4);
        } else if (text::istartsWith(rest, "hex(")) {
            const std::size_t close = rest.find("):");
            auto n = close == std::string_view::npos ? std::nullopt
                                                     : hexNumber(rest.substr(4, close - 4));
            if (!n) {
                return std::nullopt;
            }
            type = *n;
            rest.remove_prefix(close + 2);
        } else {
            return std::nullopt;
        }
        std::string data(rest);
        while (!data.empty() && data.back() == '\\') {
            data.pop_back();
            if (++i >= lines_.size()) {
                return std::nullopt;
            }
            data += trimBlanks(lines_[i]);
        }
        auto bytes = hexBytes(data);
        if (!bytes) {
            return std::nullopt;
        }
        if (type == kSz || type == kExpandSz || type == kMultiSz) {
            bytes = utf16::toUtf8(*bytes);
            if (!bytes) {
                return std::nullopt;
            }
        }
        v.value.type = static_cast<platform::RegType>(type);
        v.value.data = std::move(*bytes);
        return v;
    }

    std::vector<std::string> lines_;
};

}  // namespace

std::optional<std::vector<RegFileKey>> RegFileReader::parse(std::string_view fileBytes) {
    auto text = decodeFile(fileBytes);
    if (!text) {
        return std::nullopt;
    }
    return Parser(*text).run();
}

}  // namespace nightjar::removal
