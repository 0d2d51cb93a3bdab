#pragma once
#include <array>
#include <string>
#include <string_view>

namespace nightjar::app {

/// The words kept off the status line. Longer words come before the words they contain,
/// so that a compound is removed whole.
extern const std::array<std::string_view, 41> kFilteredStatusWords;

/// Removes every occurrence of each filtered word, ignoring case, one word after another
/// in list order, from a text about to be shown in the status line (file names of a walk
/// can hold anything).
std::string FilterStatusWords(std::string_view text);

}  // namespace nightjar::app
