#pragma once
#include <string_view>

#include "localization/WindowText.h"

/// Where the controls of the main window sit: a column of page buttons on the left and
/// the page area on the right, at 96 DPI.
namespace nightjar::gui {

/// The options tab (0..3) that holds the control, -1 when it is not on a tab.
int OptionsTabOf(std::string_view name);

/// Fills the bounds of `FrmMain`'s controls by name. Controls left with zero bounds are
/// not shown.
void LayOutMainWindow(localization::WindowText& window);

}  // namespace nightjar::gui
