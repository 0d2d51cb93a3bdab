#pragma once
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "update/UpdateObserver.h"

namespace nightjar::update {

/// Outcome of applying one update text.
struct ApplyResult {
    /// ADD records appended (an "EXE" record counts once per file) plus one for every file
    /// whose outdated entries were removed. 0 when nothing was written.
    long count = 0;
    /// False when a pass failed (a malformed record of an accepted kind, or a file error):
    /// then no definition file was changed and count is 0. Also false, with the count,
    /// when renaming a finished file into place failed (files renamed before it stay).
    bool complete = true;
    /// The file of the pass that failed, empty when complete.
    std::string failedFile;
};

/// Applies an incremental update text to the six definition files of the data folder.
///
/// Each file's new content (its old bytes, the appended lines, minus the removed ones) is
/// written aside with a replacing writer; the replacements are committed only after every
/// pass succeeded. A failing pass therefore leaves every file exactly as it was, and the
/// update can be fetched and applied again without appending anything twice.
class UpdateTextApplier {
  public:
    static constexpr std::string_view kApplying = "Applying new updates...";
    static constexpr std::string_view kChecking = "Removing outdated definitions: checking entry ";

    UpdateTextApplier(platform::FileSystem& fs, std::string dataFolder, UpdateObserver& observer);

    /// Applies `updateText`; see ApplyResult.
    ApplyResult ApplyUpdateText(std::string_view updateText);

  private:
    platform::FileSystem& fs_;
    std::string dataFolder_;
    UpdateObserver& observer_;
};

}  // namespace nightjar::update
