#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "definitions/LoadObserver.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureTable.h"
#include "platform/FileSystem.h"

namespace nightjar::definitions {

/// Line counts of the definition files.
struct DefinitionCounts {
    long cookies = 0;
    long exe = 0;
    long registry = 0;
    long files = 0;  ///< FileDefinition.dat and DirectoryDefinition.dat together
    long total = 0;
};

/// The in-memory signature tables, the protected-item list and the definition counts.
class SignatureStore {
  public:
    static constexpr std::size_t kTableSize = 100001;

    SignatureStore(platform::FileSystem& fs, PlaceholderExpander& expander, std::string dataFolder);

    /// Fills the file and folder tables unless they are filled already. A stop request
    /// during loading leaves them unfilled, so the next scan loads them whole.
    /// The tables hold only the filled entries, contiguous in file order (at most
    /// kTableSize each). An entry may have an empty name (file table) or folder (folder
    /// table); a search that stops at the first empty slot of the classic fixed-size table
    /// stops at such an entry, or at the end of the table.
    void LoadFileSignatures(LoadObserver& observer);
    bool filesLoaded() const { return filesLoaded_; }
    /// Incremented each time the tables are (re)filled; lets indexes know they are stale.
    std::uint64_t generation() const { return generation_; }
    /// The tables. Their rows view text the store keeps until the tables are refilled or
    /// the store ends.
    const SignatureTable& FileSignatures() const { return fileSignatures_; }
    const SignatureTable& DirectorySignatures() const { return directorySignatures_; }

    /// Rebuilds the protected-item list from Safety.dat. Always returns true.
    bool LoadSafetyEntries(LoadObserver& observer);
    /// Elements of the list, in file order (the last one is always empty).
    const std::vector<std::string>& SafetyEntries() const { return safetyEntries_; }
    /// True when the path or registry key must be left alone.
    bool IsProtectedPath(std::string_view candidate) const;

    /// Recounts the definition lines; returns the total.
    long CountDefinitions();
    const DefinitionCounts& counts() const { return counts_; }

    const std::string& dataFolder() const { return dataFolder_; }

  private:
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept;
    };
    using KeySet = std::unordered_set<std::string, KeyHash, std::equal_to<>>;

    /// What loading one table keeps between lines: the folders and types already kept.
    struct LoadState;
    struct LocationSlot;
    /// Loads one of the two tables; false when a stop request ended it.
    bool loadTable(std::string_view fileName, bool fileTable, SignatureTable& table,
                   LoadState& state, LoadObserver& observer);
    /// The folder of a location field in the reader's buffer (`lowered` is the field
    /// lower-cased; both are read past their ends): expanded,
    /// "\\" collapsed, lower case, with a final "\" in the file table and without one in
    /// the folder table; kept in `table` as `ref` unless a recent field was the same.
    /// `slot` is the cache slot that now holds it, if any. False when the table is full.
    bool folderOf(std::string_view location, std::string_view lowered, bool fileTable,
                  SignatureTable& table, LoadState& state, LocationSlot*& slot,
                  std::string_view& folder, SignatureTable::Ref& ref);
    /// What fastFolderOf() did.
    enum class FastFolder { Kept, Full, Other };
    /// folderOf() for a field of at most 64 characters of the common shapes (a plain
    /// path, or one placeholder at its start; no doubled backslash), built in the table
    /// directly; Other leaves it to the general steps.
    FastFolder fastFolderOf(std::string_view location, std::string_view lowered, bool fileTable,
                            SignatureTable& table, std::string_view& folder,
                            SignatureTable::Ref& ref);
    /// The type text kept in `table` (once per distinct text, mostly; "Spyware" for "TYPE"
    /// in the file table); `type` lies in the reader's buffer (it is read past its end).
    /// False when the table is full.
    static bool typeOf(std::string_view type, bool fileTable, SignatureTable& table,
                       LoadState& state, SignatureTable::Ref& ref);
    /// The protection test of a folder-table folder, normalising it only when the filter
    /// does not settle it.
    bool isProtectedFolder(std::string_view folder, LoadState& state) const;
    /// The protection test of folder + name, joining them only when the filter does not
    /// settle it.
    bool isProtectedJoined(std::string_view folder, std::string_view name, LoadState& state) const;
    /// A lower-cased candidate trimmed, moved to drive C and stripped of one final "/" and
    /// one final "\"; `scratch` holds the text when it had to change.
    static std::string_view normaliseCandidate(std::string_view c, std::string& scratch);
    /// The protection test on a normalised candidate.
    bool isProtectedNormalised(std::string_view c) const;
    /// Bit of the key filter for a text.
    static std::uint32_t filterSlot(std::string_view s);
    /// The same from a text's length and its characters at n - 1, n / 2 and n / 4.
    static std::uint32_t filterSlot(std::size_t n, char last, char half, char quarter);
    static constexpr std::uint32_t kFilterBits = 1u << 16;

    platform::FileSystem& fs_;
    PlaceholderExpander& expander_;
    std::string dataFolder_;
    SignatureTable fileSignatures_;
    SignatureTable directorySignatures_;
    bool filesLoaded_ = false;
    std::uint64_t generation_ = 0;
    std::vector<std::string> safetyEntries_;
    // Every text a normalised candidate may equal to be protected, built with the list:
    // each normalised element s, s + "\", and s without a final "\". One lookup answers
    // what comparing against every element would.
    KeySet protectedKeys_;
    // One bit per filterSlot of every key: a clear bit answers "not protected" without
    // hashing the candidate.
    std::vector<std::uint64_t> keyFilter_ = std::vector<std::uint64_t>(kFilterBits / 64, 0);
    bool anySafetyEntry_ = false;
    DefinitionCounts counts_;
};

}  // namespace nightjar::definitions
