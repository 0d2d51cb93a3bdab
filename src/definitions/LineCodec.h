#pragma once
#include <array>
#include <cstddef>
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
/// UnscrambleLine of every stored byte, looked up rather than worked out byte by byte.
inline constexpr std::array<char, 256> kUnscrambled = [] {
    std::array<char, 256> plain{};
    for (int a = 0; a < 256; ++a) {
        plain[static_cast<std::size_t>(a)] = static_cast<char>(a < 64 ? a + 191 : a - 64);
    }
    return plain;
}();

/// UnscrambleLine of one character, for readers that decode into a buffer of their own.
inline char UnscrambleChar(char stored) {
    return kUnscrambled[static_cast<unsigned char>(stored)];
}

}  // namespace nightjar::definitions
