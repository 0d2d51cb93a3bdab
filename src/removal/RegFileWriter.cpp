#include "removal/RegFileWriter.h"

#include <cstdio>

#include "util/Utf16Text.h"
#include "util/Windows1252.h"

namespace nightjar::removal {

namespace {

constexpr std::string_view kEol = "\r\n";
/// Hex lines are wrapped before they grow past this width (the "\" included).
constexpr std::size_t kLineWidth = 80;

/// Text that fits between quotes or brackets on one line of the file.
bool writableName(std::string_view s) {
    return s.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
           utf16::isValidUtf8(s);
}

std::string escaped(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

/// The text of a REG_SZ value that can be written between quotes: one NUL at the end,
/// none before it, no line break, well-formed UTF-8.
std::optional<std::string_view> quotableText(const platform::RegValue& v) {
    if (v.type != platform::RegType::Sz || v.data.empty() || v.data.back() != '\0') {
        return std::nullopt;
    }
    std::string_view t(v.data.data(), v.data.size() - 1);
    if (!writableName(t)) {
        return std::nullopt;
    }
    return t;
}

bool isStringType(platform::RegType t) {
    return t == platform::RegType::Sz || t == platform::RegType::ExpandSz ||
           t == platform::RegType::MultiSz;
}

/// The bytes a hex(...) line carries: string types as UTF-16LE, the rest as stored.
std::string hexPayload(const platform::RegValue& v) {
    if (!isStringType(v.type)) {
        return v.data;
    }
    if (auto wide = utf16::fromUtf8(v.data)) {
        return *wide;
    }
    return utf16::fromUtf8(text::windows1252ToUtf8(v.data)).value_or(std::string());
}

void appendHex(std::string& out, std::string_view prefix, std::string_view bytes) {
    out += prefix;
    std::size_t column = prefix.size();
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        // "xx," then room for the "\" that would end the line.
        if (i > 0 && column + 3 + 1 > kLineWidth) {
            out += "\\";
            out += kEol;
            out += "  ";
            column = 2;
        }
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buf;
        column += 2;
        if (!last) {
            out.push_back(',');
            ++column;
        }
    }
}

void appendValue(std::string& out, const RegFileValue& value) {
    std::string lead = value.name.empty() ? "@=" : "\"" + escaped(value.name) + "\"=";
    const platform::RegValue& v = value.value;
    if (auto t = quotableText(v)) {
        out += lead + "\"" + escaped(*t) + "\"";
    } else if (v.type == platform::RegType::Dword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.number()));
        out += lead + buf;
    } else if (v.type == platform::RegType::Binary) {
        appendHex(out, lead + "hex:", v.data);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
        appendHex(out, lead + buf, hexPayload(v));
    }
    out += kEol;
}

}  // namespace

std::optional<std::string> RegFileWriter::text(const std::vector<RegFileKey>& keys) {
    std::string out = "Windows Registry Editor Version 5.00";
    out += kEol;
    out += kEol;
    for (const RegFileKey& key : keys) {
        if (!writableName(key.path)) {
            return std::nullopt;
        }
        out += "[";
        out += platform::hiveName(key.hive);
        if (!key.path.empty()) {
            out += "\\" + key.path;
        }
        out += "]";
        out += kEol;
        for (const RegFileValue& value : key.values) {
            if (!writableName(value.name)) {
                return std::nullopt;
            }
            appendValue(out, value);
        }
        out += kEol;
    }
    return out;
}

std::optional<std::string> RegFileWriter::fileBytes(const std::vector<RegFileKey>& keys) {
    auto t = text(keys);
    if (!t) {
        return std::nullopt;
    }
    auto wide = utf16::fromUtf8(*t);
    if (!wide) {
        return std::nullopt;
    }
    return "\xFF\xFE" + *wide;
}

}  // namespace nightjar::removal
