#pragma once
#include <string>
#include <string_view>

#include "app/RowModel.h"

namespace nightjar::app {

/// Why an entry of a removal is still there.
enum class RemovalProblem {
    /// Still present after both passes (locked, in use, no rights).
    StillPresent,
    /// Its running program could not be stopped.
    ProcessNotStopped,
    /// No complete quarantine copy could be made, so it was not deleted.
    NotQuarantined,
    /// No registry backup could be written, so it was not deleted.
    NotBackedUp,
    /// A drive root, a system or profile folder, or the program's own: never removed.
    Protected,
};

/// One row of the problem list: the location and why it was not removed.
struct ProblemRow {
    std::string location;
    RemovalProblem reason = RemovalProblem::StillPresent;
};

/// The problem list `lstProblem` of the "Delete Failed" window (`frmDelete`): what a
/// removal could not remove, with the window's texts and the text "Copy List" puts on the
/// clipboard.
class DeleteFailedList {
  public:
    static constexpr std::string_view kText1 =
        "The following files could not be deleted.  You should save your work, close all "
        "running programs (especially browsers) and try to delete them again.";
    static constexpr std::string_view kText2 =
        "If you still cannot delete them, you should start your computer in Safe Mode and "
        "either scan again or delete them manually.";

    RowModel<ProblemRow>& rows() { return rows_; }
    const RowModel<ProblemRow>& rows() const { return rows_; }

    /// Adds a location once; a second report of the same location keeps the first reason.
    void add(std::string_view location, RemovalProblem reason);
    /// "Copy List": every location followed by CR LF.
    std::string copyText() const;

  private:
    RowModel<ProblemRow> rows_;
};

/// Short English name of a problem, for the command line ("still present", ...).
std::string_view problemName(RemovalProblem problem);

}  // namespace nightjar::app
