#pragma once
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace nightjar::cli {

/// The JSON text of `j` on one line; bytes that are not UTF-8 become U+FFFD.
std::string jsonText(const nlohmann::json& j);

/// Reads a host file whole; false when it cannot be read.
bool readHostFile(const std::string& path, std::string& out);
/// Writes a host file whole through a temporary sibling and a rename.
bool writeHostFile(const std::string& path, std::string_view data);

}  // namespace nightjar::cli
