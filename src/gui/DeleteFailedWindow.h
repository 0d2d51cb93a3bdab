#pragma once
#include <windows.h>

#include <string>

#include "app/DeleteFailedList.h"
#include "gui/FormWindow.h"

namespace nightjar::gui {

/// The "Delete Failed" window (`frmDelete`): what a removal could not delete, "Copy List"
/// (every location and CR LF on the clipboard) and "Ok". Shown on top, not modal.
class DeleteFailedWindow : public FormWindow {
  public:
    /// `text`: the laid-out frmDelete.
    explicit DeleteFailedWindow(localization::WindowText text);

    /// Creates the window with the list's locations and shows it on top.
    bool show(HWND owner, const app::DeleteFailedList& problems);
    /// What "Copy List" puts on the clipboard.
    const std::string& copyText() const { return copyText_; }

  private:
    std::string copyText_;
};

}  // namespace nightjar::gui
