#pragma once
#include <cstddef>

namespace nightjar::app {

class MainState;

/// The two lists whose column headers sort them.
enum class SortableList { ScanFeed, ResultList };

/// The user's actions on the result list: check marks and their copies in the hidden work
/// lists, "Select All", "Browse", double-click and column sorting.
class ResultActions {
  public:
    explicit ResultActions(MainState& state);

    /// The item-check event: sets the FoundItem's check mark and copies it to its work rows.
    void setChecked(std::size_t index, bool checked);
    /// Copies the FoundItem's check mark to the work rows that stand for it, chosen by its
    /// small icon: cookie rows by location, registry rows by key path or else threat name,
    /// file rows by threat name (files) or by path (folders).
    void SyncWorkListCheck(std::size_t index);
    /// Checks every unchecked FoundItem in list order, synchronising each.
    void cmdSelectAll_Click();
    /// Opens the location of every checked FoundItem in the file browser (minimized); after
    /// the sixth window asks once whether to go on.
    void cmdBrowse_Click();
    /// Double-click: the registry editor for a registry row, else the file browser on the
    /// row's folder.
    void OpenResultLocation(std::size_t index);
    /// Column-header click: sorts the list as text by the column, the order flipping
    /// between descending and ascending with every click. An empty list is left alone.
    void SortListByColumn(SortableList list, int column);

    /// Sort state of a list (for a view that shows the sort indicator).
    bool sorted(SortableList list) const;
    bool descending(SortableList list) const;

  private:
    struct SortState {
        bool sorted = false;
        bool descending = false;
    };
    SortState& sortState(SortableList list);
    const SortState& sortState(SortableList list) const;

    MainState& state_;
    SortState feedSort_;
    SortState resultSort_;
};

}  // namespace nightjar::app
