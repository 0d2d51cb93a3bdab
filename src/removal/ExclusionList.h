#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"

namespace nightjar::removal {

/// The user's exclusion list, kept in "ENoSignature.dat" in the data folder (plain text,
/// CR LF). Every non-blank line is one entry, whatever it holds (a registry key may hold
/// "|"); comparisons ignore letter case.
class ExclusionList {
  public:
    /// What became of an entry given to be written.
    enum class AddResult {
        Added,       ///< written to the file
        Refused,     ///< empty, or holding a line break: it cannot be one line
        NotWritten,  ///< the file could not be written
    };

    ExclusionList(platform::FileSystem& fs, std::string dataFolder);

    /// Called after every line read while loading (yield to the message loop).
    void setPump(std::function<void()> pump) { pump_ = std::move(pump); }

    /// Rebuilds the in-memory list from the file (empty when the file does not exist).
    void LoadExclusions();
    /// Appends the trimmed entry followed by an empty line, then reloads.
    AddResult AddExclusion(std::string_view entry);
    /// Appends the trimmed entry as one line (the alert form, no empty line); reloads the
    /// list unless `reload` is false.
    AddResult AppendAlertExclusion(std::string_view entry, bool reload = true);

    /// True when the candidate, as given or trimmed, equals an entry.
    bool IsExcluded(std::string_view candidate) const;
    /// True when IsExcluded, or when the candidate is a folder that an entry names or that
    /// lies on an entry's path: the entry begins with the folder followed by "\" (whole
    /// path components only; a final "\" and surrounding blanks do not count).
    bool IsExcludedPart(std::string_view candidate) const;

    /// The entries: every non-blank line of the file, as read.
    const std::vector<std::string>& entries() const { return entries_; }
    /// "ENoSignature.dat" in the data folder.
    std::string filePath() const;

  private:
    AddResult append(std::string_view entry, std::string_view lineEnd, bool reload);
    /// Trimmed, lower-cased, without a final "\".
    static std::string folderForm(std::string_view path);

    platform::FileSystem& fs_;
    std::string dataFolder_;
    std::function<void()> pump_;
    std::vector<std::string> entries_;
    std::vector<std::string> folderForms_;    // folderForm of each entry
    std::unordered_set<std::string> lookup_;  // lower-cased entries
};

}  // namespace nightjar::removal
