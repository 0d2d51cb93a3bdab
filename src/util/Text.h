#pragma once
#include <string>
#include <string_view>
#include <vector>

/// Text helpers. Names are UTF-8 throughout the engine. Letter case is that of ASCII and of
/// the Latin letters Windows-1252 has (À..Þ, Š, Œ, Ž, Ÿ and their small forms); each of
/// those folds to a UTF-8 sequence of the same length, so lower-cased text keeps the
/// offsets and the length of the original.
namespace nightjar::text {

/// One ASCII character in the other case; any other byte unchanged (drive letters and
/// other single characters; text goes through toLower and toUpper).
inline char toLowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}
inline char toUpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}
/// Whether every byte of `s` is ASCII (below 0x80).
bool isAscii(std::string_view s);
/// `out` = `in` lower-cased, reusing out's storage (`in` may view `out`): the one
/// lower-casing routine.
void lowerInto(std::string& out, std::string_view in);
std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
/// Position of `needle` in `hay` from `from`, ignoring case; npos when absent.
std::size_t ifind(std::string_view hay, std::string_view needle, std::size_t from = 0);
bool icontains(std::string_view hay, std::string_view needle);
bool istartsWith(std::string_view s, std::string_view prefix);
bool iendsWith(std::string_view s, std::string_view suffix);

/// Appends the UTF-8 form of the code point `cp`.
void appendUtf8(std::string& out, char32_t cp);

/// Removes leading and trailing blanks (spaces only).
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

/// Every "\\\\" replaced by "\\" in one left-to-right pass, as a plain Replace does
/// ("\\\\\\" becomes "\\\\").
std::string collapseBackslashes(std::string_view s);

/// Upper-cases the first character.
std::string capitalizeFirst(std::string_view s);

/// Parses a whole decimal integer (optional sign, surrounding blanks allowed).
bool parseInt(std::string_view s, long long& out);
/// The value of a hexadecimal digit (either case), -1 for any other character.
int hexDigitValue(char c);

}  // namespace nightjar::text
