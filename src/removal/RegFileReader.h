#pragma once
#include <optional>
#include <string_view>
#include <vector>

#include "removal/RegFileKey.h"

namespace nightjar::removal {

/// Reads registry editor files ("Windows Registry Editor Version 5.00"), as UTF-16LE with
/// a byte-order mark or as 8-bit text (UTF-8, else Windows-1252). Takes what RegFileWriter
/// writes and the registry editor's own exports: sections "[HIVE\path]" (full or short hive
/// names), "name"= or @= with a quoted string, dword:, hex: or hex(type): data (continued
/// over lines ending in "\"), blank lines and ";" comments. Files the reader cannot take
/// whole are refused, and so are deletions ("[-key]", "name"=-): a backup only adds.
class RegFileReader {
  public:
    /// The sections of the file in order; nullopt when any line cannot be read.
    static std::optional<std::vector<RegFileKey>> parse(std::string_view fileBytes);
};

}  // namespace nightjar::removal
