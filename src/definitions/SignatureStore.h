#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "definitions/LoadObserver.h"
#include "definitions/PlaceholderExpander.h"
#include "platform/FileSystem.h"

namespace nightjar::definitions {

/// One row of the file or folder table.
struct SignatureEntry {
    std::string folder;  ///< lower case; files: ends in "\" (or empty); folders: no trailing "\"
    std::string name;    ///< lower case, trimmed
    std::string type;    ///< threat type ("TYPE" in the file table reads as "Spyware")
    std::string threatName;  ///< as written
};

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
    /// stops at such an entry, or at the end of the vector.
    void LoadFileSignatures(LoadObserver& observer);
    bool filesLoaded() const { return filesLoaded_; }
    /// Incremented each time the tables are (re)filled; lets indexes know they are stale.
    std::uint64_t generation() const { return generation_; }
    const std::vector<SignatureEntry>& FileSignatures() const { return fileSignatures_; }
    const std::vector<SignatureEntry>& DirectorySignatures() const { return directorySignatures_; }

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

    /// Loads one of the two tables; false when a stop request ended it.
    bool loadTable(std::string_view fileName, bool fileTable, std::vector<SignatureEntry>& table,
                   LoadObserver& observer);
    /// A lower-cased candidate trimmed, moved to drive C and stripped of one final "/" and
    /// one final "\"; `scratch` holds the text when it had to change.
    static std::string_view normaliseCandidate(std::string_view c, std::string& scratch);
    /// The protection test on a normalised candidate.
    bool isProtectedNormalised(std::string_view c) const;
    /// Bit of the key filter for a text.
    static std::uint32_t filterSlot(std::string_view s);
    static constexpr std::uint32_t kFilterBits = 1u << 16;

    platform::FileSystem& fs_;
    PlaceholderExpander& expander_;
    std::string dataFolder_;
    std::vector<SignatureEntry> fileSignatures_;
    std::vector<SignatureEntry> directorySignatures_;
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
