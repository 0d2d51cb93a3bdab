#pragma once
#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace nightjar::app {

/// What changed in a RowModel, for a view that mirrors it.
enum class RowChange {
    Reset,     ///< everything may have changed (clear, sort, removal of several rows)
    Inserted,  ///< rows [first, first + count) were appended
    Updated,   ///< row `first` changed (check mark, cells)
};

/// The rows of one list control of the main window (scan feed, result list, hidden work
/// lists). The application model owns the rows; a front end binds a view to them through
/// the change listener. Rows with a `checked` member carry the list's check marks.
template <class Row>
class RowModel {
  public:
    using Listener = std::function<void(RowChange change, std::size_t first, std::size_t count)>;

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const Row& operator[](std::size_t i) const { return rows_[i]; }
    const std::vector<Row>& rows() const { return rows_; }
    typename std::vector<Row>::const_iterator begin() const { return rows_.begin(); }
    typename std::vector<Row>::const_iterator end() const { return rows_.end(); }

    void add(Row row) {
        rows_.push_back(std::move(row));
        notify(RowChange::Inserted, rows_.size() - 1, 1);
    }
    void clear() {
        rows_.clear();
        notify(RowChange::Reset, 0, 0);
    }
    /// Replaces row `i`; out-of-range indexes are ignored.
    void set(std::size_t i, Row row) {
        if (i < rows_.size()) {
            rows_[i] = std::move(row);
            notify(RowChange::Updated, i, 1);
        }
    }
    /// Sets the check mark of row `i` (rows without check marks do not compile this).
    void setChecked(std::size_t i, bool on) {
        if (i < rows_.size() && rows_[i].checked != on) {
            rows_[i].checked = on;
            notify(RowChange::Updated, i, 1);
        }
    }
    /// Removes every row for which `pred` is true, keeping the order of the others;
    /// returns how many were removed.
    template <class Pred>
    std::size_t removeIf(Pred pred) {
        auto it = std::stable_partition(rows_.begin(), rows_.end(),
                                        [&](const Row& r) { return !pred(r); });
        const auto removed = static_cast<std::size_t>(rows_.end() - it);
        rows_.erase(it, rows_.end());
        if (removed > 0) {
            notify(RowChange::Reset, 0, 0);
        }
        return removed;
    }
    /// Reorders the rows with a strict weak order; equal rows keep their order.
    template <class Less>
    void sort(Less less) {
        std::stable_sort(rows_.begin(), rows_.end(), less);
        notify(RowChange::Reset, 0, 0);
    }
    /// Applies `edit` to every row, then announces a reset.
    template <class Edit>
    void editAll(Edit edit) {
        for (Row& r : rows_) {
            edit(r);
        }
        notify(RowChange::Reset, 0, 0);
    }

    void setListener(Listener listener) { listener_ = std::move(listener); }

  private:
    void notify(RowChange change, std::size_t first, std::size_t count) {
        if (listener_) {
            listener_(change, first, count);
        }
    }

    std::vector<Row> rows_;
    Listener listener_;
};

}  // namespace nightjar::app
