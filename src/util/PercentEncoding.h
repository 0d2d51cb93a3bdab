#pragma once
#include <string>
#include <string_view>

/// Percent-encoding of URL query values, both ways: the one home of the conversion for the
/// client's requests and the server's reading of them.
namespace nightjar::url {

/// Every byte outside the unreserved set (A-Z a-z 0-9 - . _ ~) as "%XX" with upper-case hex
/// digits; blanks, "|", "&", "+", "%" and 8-bit bytes included. The result is plain ASCII.
std::string percentEncode(std::string_view value);
/// "%XX" with two hex digits (either case) becomes that byte; any other "%" stays, and "+"
/// stays "+". Undoes percentEncode, and reads a value sent raw unchanged unless it holds
/// "%" followed by two hex digits.
std::string percentDecode(std::string_view value);

}  // namespace nightjar::url
