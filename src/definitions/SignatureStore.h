#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
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
    /// table).
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
        std::size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    using KeySet = std::unordered_set<std::string, KeyHash, std::equal_to<>>;

    /// Loads one of the two tables; false when a stop request ended it.
    bool loadTable(std::string_view fileName, bool fileTable, SignatureTable& table,
                   LoadObserver& observer);
    /// The folder of a location field, written to `folder`: expanded, "\\" collapsed, with
    /// a final "\" in the file table and without one in the folder table; not yet lowered.
    void folderOf(std::string_view location, bool fileTable, std::string& folder);
    /// The rest of folderOf for an expanded `folder`.
    static void finishFolder(bool fileTable, std::string& folder);
    /// The protection test of a lower-cased candidate.
    bool isProtectedLower(std::string_view candidate) const;

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
    /// keyLengths_[n]: some key has n characters.
    std::vector<bool> keyLengths_;
    DefinitionCounts counts_;
};

}  // namespace nightjar::definitions
