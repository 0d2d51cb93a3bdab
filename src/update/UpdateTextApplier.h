#pragma once
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "update/UpdateObserver.h"

namespace nightjar::update {

class DefinitionCommit;

/// Outcome of applying one update text.
struct ApplyResult {
    /// ADD records appended (an "EXE" record counts once per file) plus one for every file
    /// whose outdated entries were removed. 0 when nothing was written.
    long count = 0;
    /// Records of an accepted kind without "[DEF]" or without an operation: left out, the
    /// rest applied. Each counts once, whatever number of files its kind goes to.
    long skipped = 0;
    /// False when a file could not be read, written or put in place: then every definition
    /// file is as it was and count is 0.
    bool complete = true;
    /// The file of the pass that failed, empty when complete.
    std::string failedFile;
};

/// Applies an incremental update text to the six definition files of the data folder.
///
/// Each file's new content (its old bytes, the appended lines, minus the removed ones) is
/// written aside with a replacing writer; the files are put in place together, and only
/// after every pass succeeded (DefinitionCommit). A failing pass or a failing rename
/// therefore leaves every file exactly as it was, and the update can be fetched and
/// applied again without appending anything twice. Stored lines end at CR LF only.
class UpdateTextApplier {
  public:
    static constexpr std::string_view kApplying = "Applying new updates...";
    static constexpr std::string_view kChecking = "Removing outdated definitions: checking entry ";
    /// Followed by the number of records left out.
    static constexpr std::string_view kSkipped = "Malformed update records skipped: ";

    UpdateTextApplier(platform::FileSystem& fs, std::string dataFolder, UpdateObserver& observer);

    /// Applies `updateText` for good; see ApplyResult.
    ApplyResult ApplyUpdateText(std::string_view updateText);
    /// Applies `updateText` through `commit`, which on success is committed but not yet
    /// finished: the caller finishes it, or rolls it back.
    ApplyResult ApplyUpdateText(std::string_view updateText, DefinitionCommit& commit);

  private:
    platform::FileSystem& fs_;
    std::string dataFolder_;
    UpdateObserver& observer_;
};

}  // namespace nightjar::update
