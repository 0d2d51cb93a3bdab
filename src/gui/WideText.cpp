#include "gui/WideText.h"

#include <optional>

#include "util/Utf16Text.h"
#include "util/Windows1252.h"

namespace nightjar::gui {

std::wstring Widen(std::string_view utf8) {
    std::optional<std::string> bytes = utf16::fromUtf8(utf8);
    if (!bytes) {
        bytes = utf16::fromUtf8(text::windows1252ToUtf8(utf8));
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

std::string Narrow(std::wstring_view wide) {
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        auto unit = static_cast<unsigned>(wide[i]);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
            unit = static_cast<unsigned>(wide[++i]);
        } else if (high || low) {
            unit = 0xFFFD;
        }
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return utf16::toUtf8(bytes).value_or(std::string());
}

}  // namespace nightjar::gui
