#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace nightjar::gui {

/// Rows of a report-view list with check boxes, in the engine's UTF-8 text.
class ListViewControl {
  public:
    explicit ListViewControl(HWND list) : list_(list) {}

    /// Appends a row (first cell, then the sub-items); returns its index, -1 on failure.
    int addRow(const std::vector<std::string>& cells);
    /// Replaces the cells of an existing row.
    void setCells(int row, const std::vector<std::string>& cells);
    int rowCount() const;
    void clear();
    std::string cell(int row, int column) const;
    void setChecked(int row, bool checked);
    bool isChecked(int row) const;

  private:
    void setCells(int row, const std::vector<std::string>& cells, std::size_t from);

    HWND list_;
};

}  // namespace nightjar::gui
