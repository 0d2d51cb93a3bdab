#pragma once
#include <string>
#include <string_view>

namespace nightjar::cli {

/// Windows-1252 bytes as UTF-8, so that any 8-bit text can go into JSON or a terminal.
std::string ansiToUtf8(std::string_view ansi);

/// Reads a host file whole; false when it cannot be read.
bool readHostFile(const std::string& path, std::string& out);
/// Writes a host file whole through a temporary sibling and a rename.
bool writeHostFile(const std::string& path, std::string_view data);

}  // namespace nightjar::cli
