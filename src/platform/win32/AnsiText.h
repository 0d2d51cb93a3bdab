#pragma once
#include <string>
#include <string_view>

namespace nightjar::platform::win32 {

/// The engine's UTF-8 text in the ANSI code page, for the "A" functions. Characters the
/// code page lacks become its default character.
std::string ToAnsi(std::string_view utf8);
/// Text from an "A" function (ANSI code page) as UTF-8.
std::string FromAnsi(std::string_view ansi);

}  // namespace nightjar::platform::win32
