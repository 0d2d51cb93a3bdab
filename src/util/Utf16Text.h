#pragma once
#include <optional>
#include <string>
#include <string_view>

/// UTF-16LE (registry editor files, registry string values, the wide Windows API) to and
/// from the engine's UTF-8.
namespace nightjar::utf16 {

/// Whether `s` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past
/// U+10FFFF); NUL bytes are allowed.
bool isValidUtf8(std::string_view s);
/// The UTF-16LE bytes of well-formed UTF-8 text; nullopt for any other text.
std::optional<std::string> fromUtf8(std::string_view utf8);
/// The UTF-8 text of UTF-16LE bytes; nullopt for an odd length or an unpaired surrogate.
/// Every well-formed UTF-8 text comes back unchanged through fromUtf8 and toUtf8.
std::optional<std::string> toUtf8(std::string_view utf16le);

/// UTF-8 text as UTF-16 code units, for the wide Windows API; bytes that are not UTF-8 are
/// read as Windows-1252, so no text is lost.
std::wstring widen(std::string_view utf8);
/// UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD, so no name is lost.
std::string narrow(std::wstring_view wide);

}  // namespace nightjar::utf16
