#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ShellFolders.h"

namespace nightjar::definitions {

/// Replaces the bracketed folder placeholders ("[appdata]", "[windir]", ...) of definition
/// locations by the machine's folders, each with a trailing backslash. Folder lookups are
/// cached: they do not change while the program runs.
class PlaceholderExpander {
  public:
    /// Number of rows of the placeholder table.
    static constexpr std::size_t kRowCount = 30;

    explicit PlaceholderExpander(platform::ShellFolders& shell);

    /// The expansion of `text`.
    std::string Expand(std::string_view text);
    /// Expands `text` where it is (for per-line readers that reuse one string).
    void ExpandInPlace(std::string& text);
    /// Writes the expansion of `text` to `out` (which must not alias `text`), reusing its
    /// storage.
    void ExpandInto(std::string_view text, std::string& out);
    /// First three characters of the user's Programs folder ("C:\"), "" when unresolved.
    std::string SystemDriveRoot();
    /// The Windows system directory with a trailing backslash ("" when unresolved).
    std::string SystemDirectory();
    /// The 32-bit programs' system directory of 64-bit Windows (SysWOW64) with a trailing
    /// backslash; "" on a system without one.
    const std::string& SystemWow64Directory();
    /// Every place `text` names: its expansion and, when it names the system folder
    /// ("[system]") on a system that has a second one for 32-bit programs, the expansion
    /// with that folder. One entry for any other text.
    std::vector<std::string> Expansions(std::string_view text);
    /// The second of Expansions, when there is one.
    std::optional<std::string> Wow64Expansion(std::string_view text);
    /// Folder path of a CSIDL with trailing backslash, "" when unresolved (cached).
    const std::string& FolderPath(int csidl);

    /// Placeholder text of table row `row` (0-based), as written in definitions.
    static std::string_view PlaceholderAt(std::size_t row);
    /// The text that replaces the placeholder of row `row`.
    const std::string& RowValue(std::size_t row);

  private:
    /// Row-by-row replacement in table order; the reference behaviour.
    void expandSequential(std::string& text);
    /// Row index of the bracketed name `name` ("[windir]"), or -1.
    static int rowOf(std::string_view name);
    bool rowIsSafe(std::size_t row);

    platform::ShellFolders& shell_;
    std::array<std::optional<std::string>, 64> cache_;
    std::optional<std::string> driveRoot_;
    std::optional<std::string> systemDir_;
    std::optional<std::string> wow64Dir_;
    std::optional<std::string> user_;
    std::optional<std::string> allUsers_;
    std::string outOfRange_;  ///< FolderPath of an id beyond the cache
    /// Per row: 0 not yet known, 1 the value can be spliced in a single pass, 2 it cannot.
    std::array<std::uint8_t, kRowCount> rowSafe_{};
    std::string scratch_;
};

}  // namespace nightjar::definitions
