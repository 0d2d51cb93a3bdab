#pragma once
#include <optional>
#include <string>
#include <vector>

#include "removal/RegFileKey.h"

namespace nightjar::removal {

/// Writes registry editor files ("Windows Registry Editor Version 5.00") that the
/// registry editor imports and RegFileReader reads back to the same types and bytes.
///
/// Values: a string value of one line of text ending in one NUL as "name"="text"; a
/// four-byte number as dword:0000000a; binary data as hex:..; every other value as
/// hex(type):.. with string types (1, 2, 7) in UTF-16LE as the registry holds them. String
/// data that is not UTF-8 is taken as Windows-1252 text. Long hex data is wrapped with ",\"
/// and continued on a line indented by two blanks.
class RegFileWriter {
  public:
    /// The file as UTF-16LE text with a byte-order mark, lines ending in CR LF; nullopt
    /// when a key path or value name cannot be written (not UTF-8, or holding a NUL or a
    /// line break).
    static std::optional<std::string> fileBytes(const std::vector<RegFileKey>& keys);
    /// The same text as UTF-8, without a byte-order mark.
    static std::optional<std::string> text(const std::vector<RegFileKey>& keys);
};

}  // namespace nightjar::removal
