#pragma once
#include <string>
#include <string_view>

namespace nightjar::definitions {

/// Stored form of a definition line: every byte a becomes a + 64, or a - 191 when that
/// would reach 256. Same length, never produces CR or LF for printable text (32..126).
/// The two Latin-1 letters 201 and 204 do map to LF and CR; a writer that must keep such
/// a line whole has to avoid them.
std::string ScrambleLine(std::string_view plain);
/// Inverse shift: a - 64, or a + 191 when that would be negative. Code 255 does not
/// survive a round trip (255 -> 64 -> 0); no byte makes either function fail.
std::string UnscrambleLine(std::string_view stored);
/// UnscrambleLine without a copy, for readers that reuse one line buffer.
void UnscrambleInPlace(std::string& line);
/// UnscrambleLine into `out`, which has room for stored.size() characters (it may be
/// stored.data() itself).
void UnscrambleInto(char* out, std::string_view stored);

}  // namespace nightjar::definitions
