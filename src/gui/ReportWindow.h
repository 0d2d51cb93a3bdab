#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "gui/FormWindow.h"

namespace nightjar::gui {

/// The report window (`frmReport`): the last scan report's lines, read-only, and "OK".
class ReportWindow : public FormWindow {
  public:
    /// `text`: the laid-out frmReport with the program name filled in.
    explicit ReportWindow(localization::WindowText text);

    /// Creates the window with the lines and shows it.
    bool show(HWND owner, const std::vector<std::string>& lines);
};

}  // namespace nightjar::gui
