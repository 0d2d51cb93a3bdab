#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"

namespace nightjar::removal {

/// The user's exclusion list, kept in "ENoSignature.dat" in the data folder (plain text,
/// CR LF). In memory it is the text of every non-blank line followed by "|"; comparisons
/// ignore letter case.
class ExclusionList {
  public:
    ExclusionList(platform::FileSystem& fs, std::string dataFolder);

    /// Called after every line read while loading (yield to the message loop).
    void setPump(std::function<void()> pump) { pump_ = std::move(pump); }

    /// Rebuilds the in-memory list from the file (empty when the file does not exist).
    void LoadExclusions();
    /// Appends the trimmed entry followed by an empty line, then reloads.
    void AddExclusion(std::string_view entry);
    /// Appends the trimmed entry as one line (the alert form, no empty line); reloads the
    /// list unless `reload` is false.
    void AppendAlertExclusion(std::string_view entry, bool reload = true);

    /// True when the candidate, as given or trimmed, equals one of the parts.
    bool IsExcluded(std::string_view candidate) const;
    /// True when IsExcluded, or when one of the parts contains the candidate.
    bool IsExcludedPart(std::string_view candidate) const;

    /// The in-memory text ("a|b|").
    const std::string& text() const { return text_; }
    /// The parts of the text as a "|" split gives them (the last one empty); empty list
    /// when nothing is excluded.
    const std::vector<std::string>& parts() const { return parts_; }
    /// "ENoSignature.dat" in the data folder.
    std::string filePath() const;

  private:
    void append(std::string_view data);

    platform::FileSystem& fs_;
    std::string dataFolder_;
    std::function<void()> pump_;
    std::string text_;
    std::vector<std::string> parts_;       // as split
    std::vector<std::string> lowerParts_;  // lower-cased, same order
    std::unordered_set<std::string> lookup_;
};

}  // namespace nightjar::removal
