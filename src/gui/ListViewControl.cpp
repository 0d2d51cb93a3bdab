#include "gui/ListViewControl.h"

#include <commctrl.h>

#include "gui/WideText.h"

namespace nightjar::gui {

int ListViewControl::addRow(const std::vector<std::string>& cells) {
    std::wstring first = cells.empty() ? std::wstring() : Widen(cells[0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = rowCount();
    item.pszText = first.data();
    const int row =
        static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) {
        return -1;
    }
    std::vector<std::string> rest(cells.begin() + (cells.empty() ? 0 : 1), cells.end());
    rest.insert(rest.begin(), std::string());
    setCells(row, rest, 1);
    return row;
}

void ListViewControl::setCells(int row, const std::vector<std::string>& cells) {
    setCells(row, cells, 0);
}

void ListViewControl::setCells(int row, const std::vector<std::string>& cells, std::size_t from) {
    for (std::size_t i = from; i < cells.size(); ++i) {
        std::wstring text = Widen(cells[i]);
        LVITEMW sub{};
        sub.iSubItem = static_cast<int>(i);
        sub.pszText = text.data();
        SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&sub));
    }
}

int ListViewControl::rowCount() const {
    return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
}

void ListViewControl::clear() {
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
}

std::string ListViewControl::cell(int row, int column) const {
    std::wstring buffer(1024, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto n = static_cast<std::size_t>(
        SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    buffer.resize(n);
    return Narrow(buffer);
}

void ListViewControl::setChecked(int row, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool ListViewControl::isChecked(int row) const {
    const auto state =
        static_cast<UINT>(SendMessageW(list_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

}  // namespace nightjar::gui
