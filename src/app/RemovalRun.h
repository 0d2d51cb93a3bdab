#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/DeleteFailedList.h"
#include "removal/ProtectedLocations.h"

namespace nightjar::removal {
class QuarantineStore;
}

namespace nightjar::app {

class MainState;

/// How a removal of the checked results ended.
enum class RemovalOutcome {
    /// Nothing was removed: no row was checked, or the user said No.
    NotRun,
    /// Every checked entry is gone.
    Removed,
    /// Some entries are still there; the problem list says which and why.
    SomeLeft,
};

/// What the last removal did.
struct RemovalSummary {
    RemovalOutcome outcome = RemovalOutcome::NotRun;
    /// Locations removed (files, folders, registry entries, cookies), in removal order.
    std::vector<std::string> removed;
    /// The stored total of removed entries after this removal.
    std::int64_t removedTotal = 0;
};

/// The removal of the checked results: confirmation, restore point, two passes over the
/// hidden work lists with a quarantine copy or registry backup before every deletion, the
/// problem list, and the removed total. Nothing is deleted that could not be kept first,
/// and no protected location is ever deleted.
class RemovalRun {
  public:
    RemovalRun(MainState& state, removal::QuarantineStore& quarantine);

    /// "Repair Now": the selection test, the confirmation (no questions with
    /// `AutoRemoveAfterScan` set), then the removal.
    RemovalOutcome RepairNow();
    /// The whole removal of the checked entries; the run state is `Removing` throughout.
    RemovalOutcome RemoveSelected();
    /// One pass over the file, registry and cookie work lists.
    void RemovalPass(bool firstPass);

    /// 0 path without "\", -1 not found, 2 its program could not be stopped, 1 deleted,
    /// 0 otherwise.
    int RemoveExecutable(std::string_view path);
    /// Quarantines and deletes the file (up to 8 attempts); true when a deletion was tried.
    bool QuarantineAndDelete(std::string_view path, std::string_view name);
    /// A component server file: 0 path without "\" or not deleted, -1 not found, 1 deleted.
    int RemoveServerFile(std::string_view path);
    /// A file or folder; true when a deletion was tried.
    bool RemovePath(std::string_view path);
    void RemoveCookieFile(std::string_view path);

    /// The problem list of the "Delete Failed" window.
    DeleteFailedList& problems() { return problems_; }
    const RemovalSummary& lastSummary() const { return summary_; }
    /// The anonymous-data step run after a removal when "chkSendData" is on.
    void setSendAnonymousData(std::function<void()> step) { sendAnonymousData_ = std::move(step); }

  private:
    void showProgress(std::size_t index, std::size_t count, std::string_view caption);
    void setProgressVisible(bool on);
    /// Copies into the quarantine (once per removal) and logs the first copy; false when
    /// no complete copy exists.
    bool keepCopy(std::string_view path, std::string_view name);
    void removeFileEntry(std::size_t index, bool firstPass);
    void removeRegistryEntry(std::size_t index, bool firstPass);
    void removeCookieEntry(std::size_t index, bool firstPass);
    void noteProblem(std::string_view location, RemovalProblem reason);
    /// Unchecks the first result titled `title` and every result at `location`.
    void uncheckResult(std::string_view title, std::string_view location);

    MainState& state_;
    removal::QuarantineStore& quarantine_;
    removal::ProtectedLocations protected_;
    DeleteFailedList problems_;
    RemovalSummary summary_;
    std::function<void()> sendAnonymousData_;
    bool problemAdded_ = false;
    // Per removal: why a location was kept, sources already logged, registry entries
    // backed up in the first pass (by work-list index).
    std::vector<std::pair<std::string, RemovalProblem>> reasons_;
    std::set<std::string> logged_;
    std::set<std::size_t> backedUp_;
};

}  // namespace nightjar::app
