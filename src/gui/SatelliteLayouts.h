#pragma once
#include <string_view>

#include "localization/WindowText.h"

/// Layouts of the windows around the main window (alerts, popups, splash, report,
/// language, download and "Delete Failed"), in 96-DPI pixels.
namespace nightjar::gui {

/// Gives the named controls of `window` their bounds when it is one of the satellite
/// windows; other windows are left as they are.
void LayOutSatellite(localization::WindowText& window);

/// The program's window of that name with "[ProgramName]" filled in and laid out; an empty
/// window of that name when the program has none.
localization::WindowText SatelliteWindow(std::string_view name, std::string_view productName);

}  // namespace nightjar::gui
