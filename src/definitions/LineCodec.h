#pragma once
#include <string>
#include <string_view>

namespace nightjar::definitions {

/// Stored form of a definition line: every byte a becomes a + 64, or a - 191 when that
/// would reach 256. Same length. The letters É (201) and Ì (204) become LF and CR, which
/// is why stored lines are separated by CR LF and nothing else.
std::string ScrambleLine(std::string_view plain);
/// Inverse shift: a - 64, or a + 191 when that would be negative. Code 255 does not
/// survive a round trip (255 -> 64 -> 0); no byte makes either function fail.
std::string UnscrambleLine(std::string_view stored);
/// UnscrambleLine of one character, for readers that decode into a buffer of their own.
inline char UnscrambleChar(char stored) {
    const int a = static_cast<unsigned char>(stored);
    return static_cast<char>(a < 64 ? a + 191 : a - 64);
}

}  // namespace nightjar::definitions
