#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/ShortCopy.h"
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

    /// Expands every placeholder of `text` (in place) and returns the result.
    std::string ExpandPlaceholders(std::string& text);
    /// Convenience for a temporary.
    std::string Expand(std::string_view text);
    /// The same as ExpandPlaceholders without the returned copy (for per-line readers).
    void ExpandInPlace(std::string& text);
    /// Writes the expansion of `text` to `out` (which must not alias `text`).
    void ExpandInto(std::string_view text, std::string& out);
    /// The expansion of `text`, lower-cased, written at the start of `buffer` (which grows
    /// as needed and keeps `room` spare characters after the result, `room` at least 32);
    /// `lowered` is `text` lower-cased (text::toLowerChar), of the same length. Both must
    /// be followed by kCopySlack readable characters (a definition line in the reader's
    /// buffer is); neither may lie in `buffer`.
    std::string_view ExpandLower(std::string_view text, std::string_view lowered,
                                 std::string& buffer, std::size_t room);
    /// How LeadingValue() found the start of a text.
    enum class Leading {
        None,     ///< no placeholder there: the text stays as it is
        Value,    ///< a placeholder whose value replaces it
        Complex,  ///< a value that ExpandLower must splice (empty, bracketed or with "\\")
    };
    /// Whether the `span` characters at `text` (lower-cased at `lowered`, each followed by
    /// 16 readable characters) are a placeholder; `value` is then its lower-cased value,
    /// which is followed by kCopySlack readable characters. For loaders that splice a
    /// placeholder at the start of a location themselves.
    Leading LeadingValue(const char* text, const char* lowered, std::size_t span,
                         std::string_view& value);
    /// First three characters of the user's Programs folder ("C:\"), "" when unresolved.
    std::string SystemDriveRoot();
    /// The Windows system directory with a trailing backslash ("" when unresolved).
    std::string SystemDirectory();
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
    /// The same with `name` already lower-cased as `folded`.
    static int rowOf(std::string_view name, std::string_view folded);
    /// The same for `n` characters at `name` and `folded`, each followed by at least 16
    /// readable characters.
    static int rowOfPadded(const char* name, const char* folded, std::size_t n);
    /// Works out every row's lower-cased value and whether it is safe, once.
    void prepareLowered();
    /// ExpandLower of a text of at most 64 characters, by its bracket bits.
    std::string_view expandLowerShort(std::string_view text, std::string_view lowered,
                                      std::string& buffer, std::size_t room);
    /// ExpandLower when a value is unsafe: row by row, then lower-cased.
    std::string_view expandLowerSlowly(std::string_view text, std::string& buffer,
                                       std::size_t room);
    bool rowIsSafe(std::size_t row);

    platform::ShellFolders& shell_;
    std::array<std::optional<std::string>, 64> cache_;
    std::optional<std::string> driveRoot_;
    std::optional<std::string> systemDir_;
    std::optional<std::string> user_;
    std::optional<std::string> allUsers_;
    std::string outOfRange_;  ///< FolderPath of an id beyond the cache
    /// Per row: 0 not yet known, 1 the value can be spliced in a single pass, 2 it cannot.
    std::array<std::uint8_t, kRowCount> rowSafe_{};
    // Every row's value lower-cased (views into the pool), and the longest of them, once
    // prepareLowered() ran.
    std::vector<char> loweredPool_;
    std::array<std::string_view, kRowCount> loweredValues_{};
    std::size_t maxLoweredValue_ = 0;
    /// Per row: the lowered value holds a doubled backslash.
    std::array<bool, kRowCount> valueHasPair_{};
    bool loweredReady_ = false;
    std::string scratch_;
};

}  // namespace nightjar::definitions
