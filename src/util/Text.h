#pragma once
#include <string>
#include <string_view>
#include <vector>

/// Text helpers for 8-bit (ANSI) strings. Letter case follows Windows-1252: ASCII letters
/// and the Latin-1 letters 0xC0..0xDE / 0xE0..0xFE (except the multiplication and
/// division signs).
namespace nightjar::text {

char toLowerChar(char c);
char toUpperChar(char c);
std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
/// Position of `needle` in `hay` from `from`, ignoring case; npos when absent.
std::size_t ifind(std::string_view hay, std::string_view needle, std::size_t from = 0);
bool icontains(std::string_view hay, std::string_view needle);
bool istartsWith(std::string_view s, std::string_view prefix);
bool iendsWith(std::string_view s, std::string_view suffix);

/// Removes leading and trailing blanks (spaces only, like the classic Trim).
std::string trim(std::string_view s);
std::string_view trimView(std::string_view s);

/// Every occurrence of `from` replaced by `to` (exact case). An empty `from` changes nothing.
std::string replaceAll(std::string_view s, std::string_view from, std::string_view to);
/// The same, ignoring letter case when searching.
std::string ireplaceAll(std::string_view s, std::string_view from, std::string_view to);

/// Splits at every `sep`; an empty text gives one empty element.
std::vector<std::string> split(std::string_view s, std::string_view sep);
/// Splits at every `sep`, ignoring case.
std::vector<std::string> isplit(std::string_view s, std::string_view sep);

/// Collapses every "\\\\" to "\\" repeatedly-free: one left-to-right replacement pass, as
/// a plain Replace does ("\\\\\\" becomes "\\\\").
std::string collapseBackslashes(std::string_view s);

/// Upper-cases the first character.
std::string capitalizeFirst(std::string_view s);

/// Parses a whole decimal integer (optional sign, surrounding blanks allowed).
bool parseInt(std::string_view s, long long& out);

}  // namespace nightjar::text
