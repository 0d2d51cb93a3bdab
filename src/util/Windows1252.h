#pragma once
#include <string>
#include <string_view>

namespace nightjar::text {

/// Windows-1252 text (the definition files' code page) as UTF-8. The five codes the code
/// page leaves unassigned become the control characters of the same number, as Windows
/// converts them.
std::string windows1252ToUtf8(std::string_view ansi);

}  // namespace nightjar::text
