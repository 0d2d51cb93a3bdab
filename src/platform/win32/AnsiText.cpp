#include "platform/win32/AnsiText.h"

#include <windows.h>

namespace nightjar::platform::win32 {

namespace {

/// `text` converted from code page `from` to code page `to` through UTF-16.
std::string convert(std::string_view text, UINT from, UINT to) {
    if (text.empty()) {
        return {};
    }
    const int n = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(from, 0, text.data(), n, nullptr, 0);
    if (wide <= 0) {
        return std::string(text);
    }
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), n, w.data(), wide);
    const int bytes = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return std::string(text);
    }
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(to, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::string ToAnsi(std::string_view utf8) {
    return convert(utf8, CP_UTF8, CP_ACP);
}

std::string FromAnsi(std::string_view ansi) {
    return convert(ansi, CP_ACP, CP_UTF8);
}

}  // namespace nightjar::platform::win32
