#include "platform/win32/LongPath.h"

#include <algorithm>
#include <vector>

#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/// `prefix` followed by the folded components of `rest`.
std::string folded(std::string prefix, std::string_view rest, bool trailingSeparator) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos <= rest.size()) {
        std::size_t end = rest.find('\\', pos);
        if (end == std::string_view::npos) {
            end = rest.size();
        }
        std::string_view part = rest.substr(pos, end - pos);
        if (part == "..") {
            // Above the root stays at the root, as the usual path parsing does.
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    // The usual parsing drops trailing dots and spaces of the last name.
    if (!parts.empty() && !trailingSeparator) {
        std::string_view& last = parts.back();
        while (!last.empty() && (last.back() == '.' || last.back() == ' ')) {
            last.remove_suffix(1);
        }
        if (last.empty()) {
            parts.pop_back();
        }
    }
    std::string out = std::move(prefix);
    for (std::string_view part : parts) {
        out.push_back('\\');
        out.append(part);
    }
    if (trailingSeparator && !parts.empty()) {
        out.push_back('\\');
    }
    return out;
}

}  // namespace

std::string LongPathForm(std::string_view path) {
    std::string s(path);
    for (char& c : s) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (s.rfind("\\\\?\\", 0) == 0 || s.rfind("\\\\.\\", 0) == 0) {
        return s;
    }
    const bool trailing = !s.empty() && s.back() == '\\';
    if (s.size() >= 3 && isLetter(s[0]) && s[1] == ':' && s[2] == '\\') {
        // The root keeps its separator: "\\?\C:" alone names the volume, not its root.
        std::string out =
            folded("\\\\?\\" + s.substr(0, 2), std::string_view(s).substr(3), trailing);
        if (out.size() == 6) {
            out.push_back('\\');
        }
        return out;
    }
    if (s.size() > 2 && s[0] == '\\' && s[1] == '\\') {
        const std::size_t serverEnd = s.find('\\', 2);
        if (serverEnd == std::string::npos || serverEnd == 2) {
            return s;
        }
        std::size_t shareEnd = s.find('\\', serverEnd + 1);
        if (shareEnd == std::string::npos) {
            shareEnd = s.size();
        }
        if (shareEnd == serverEnd + 1) {
            return s;
        }
        return folded("\\\\?\\UNC\\" + s.substr(2, shareEnd - 2),
                      std::string_view(s).substr(std::min(shareEnd + 1, s.size())), trailing);
    }
    return s;
}

std::wstring LongPath(std::string_view path) {
    return utf16::widen(LongPathForm(path));
}

std::string PlainPathForm(std::string_view path) {
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
        return "\\\\" + std::string(path.substr(8));
    }
    if (path.rfind("\\\\?\\", 0) == 0) {
        return std::string(path.substr(4));
    }
    return std::string(path);
}

}  // namespace nightjar::platform::win32
