#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ShellFolders.h"

namespace nightjar::definitions {

/// Replaces the bracketed folder placeholders ("[appdata]", "[windir]", ...) of definition
/// locations by the machine's folders, each with a trailing backslash. Folder lookups are
/// cached: they do not change while the program runs.
class PlaceholderExpander {
public:
    explicit PlaceholderExpander(platform::ShellFolders& shell);

    /// Expands every placeholder of `text` (in place) and returns the result.
    std::string ExpandPlaceholders(std::string& text);
    /// Convenience for a temporary.
    std::string Expand(std::string_view text);
    /// First three characters of the user's Programs folder ("C:\"), "" when unresolved.
    std::string SystemDriveRoot();
    /// The Windows system directory with a trailing backslash.
    std::string SystemDirectory();
    /// Folder path of a CSIDL with trailing backslash, "" when unresolved (cached).
    const std::string& FolderPath(int csidl);

private:
    platform::ShellFolders& shell_;
    std::array<std::optional<std::string>, 64> cache_;
    std::optional<std::string> driveRoot_;
    std::optional<std::string> systemDir_;
    std::optional<std::string> user_;
    std::optional<std::string> allUsers_;
};

}  // namespace nightjar::definitions
