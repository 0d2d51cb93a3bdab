#pragma once
#include <string>
#include <string_view>

/// The engine's UTF-8 text at the edge of the wide Windows API.
namespace nightjar::gui {

/// UTF-16 of UTF-8 text; bytes that are not UTF-8 are read as Windows-1252.
std::wstring Widen(std::string_view utf8);
/// UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view wide);

}  // namespace nightjar::gui
