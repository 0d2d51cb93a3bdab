#pragma once
#include <string>
#include <string_view>

namespace nightjar::definitions {

/// Stored form of a definition line: every byte a becomes a + 64, or a - 191 when that
/// would reach 256. Same length, never produces CR or LF for printable text.
std::string ScrambleLine(std::string_view plain);
/// Inverse shift: a - 64, or a + 191 when that would be negative. Code 255 does not
/// survive a round trip (255 -> 64 -> 0); no byte makes either function fail.
std::string UnscrambleLine(std::string_view stored);

}  // namespace nightjar::definitions
