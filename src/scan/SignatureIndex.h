#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "definitions/SignatureStore.h"

namespace nightjar::scan {

/// Hash index over the file and folder tables so that a walk checks each object with one
/// lookup. It yields exactly the entries a search in table order would consider: the
/// entries whose name (files) or path (folders) equals the checked one, in table order.
/// An entry whose name or path is empty matches nothing and is passed over: one malformed
/// line must not hide the entries after it. Entries that hold "[drive]" depend on the
/// drive of the checked path; they are kept aside and resolved per check.
class SignatureIndex {
  public:
    /// Rebuilds the index when the store's tables changed since the last call.
    void refresh(const definitions::SignatureStore& store);
    /// Builds the index over the given tables, which must outlive it unchanged.
    void rebuild(const definitions::SignatureTable& files,
                 const definitions::SignatureTable& folders);

    /// Table indices of the file entries whose name, with "[drive]" replaced by `drive`,
    /// lower-cased and trimmed, equals `nameKey` (already lower-cased and trimmed).
    void fileCandidates(std::string_view nameKey, std::string_view drive,
                        std::vector<std::uint32_t>& out) const;
    /// Table indices of the folder entries whose path, so replaced, lower-cased, trimmed
    /// and without a final "\" (when longer than one character), equals `folderKey`.
    void folderCandidates(std::string_view folderKey, std::string_view drive,
                          std::vector<std::uint32_t>& out) const;

    /// Key of a file entry name: "[drive]" replaced (ignoring case), lower-cased, trimmed.
    static std::string FileKey(std::string_view entryName, std::string_view drive);
    /// Key of a folder entry path: as FileKey, then a final "\" removed when longer than
    /// one character.
    static std::string FolderKey(std::string_view entryPath, std::string_view drive);

  private:
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    static constexpr std::uint32_t kEnd = 0xFFFFFFFFu;
    /// Entries sharing a key, linked in table order. Keys view either the row's own text
    /// (when it is already in key form, the usual case) or a string kept in `owned`.
    struct Chains {
        std::unordered_map<std::string_view, std::pair<std::uint32_t, std::uint32_t>, KeyHash,
                           std::equal_to<>>
            ends;                         // key -> first and last index
        std::vector<std::uint32_t> next;  // per table index
        std::deque<std::string> owned;

        void clear(std::size_t rows);
        void add(std::string_view stableKey, std::uint32_t index);
        std::uint32_t first(std::string_view key) const;
    };
    /// The entries holding "[drive]" resolved for one drive.
    struct DriveView {
        Chains chains;
    };
    struct Table {
        Chains chains;
        std::vector<std::uint32_t> driveEntries;  // hold "[drive]"
        const definitions::SignatureTable* rows = nullptr;
        bool folders = false;
        // Resolved per drive on first use; a walk meets one drive, so this stays small.
        mutable std::unordered_map<std::string, DriveView, KeyHash, std::equal_to<>> views;
    };
    static constexpr std::size_t kMaxDriveViews = 16;

    static void build(Table& t, const definitions::SignatureTable& rows, bool folders);
    static const DriveView& viewFor(const Table& t, std::string_view drive);
    static void candidates(const Table& t, std::string_view key, std::string_view drive,
                           std::vector<std::uint32_t>& out);

    Table files_;
    Table folders_;
    bool built_ = false;
    std::uint64_t generation_ = 0;
    const void* fileData_ = nullptr;
    std::size_t fileSize_ = 0;
    const void* folderData_ = nullptr;
    std::size_t folderSize_ = 0;
};

}  // namespace nightjar::scan
