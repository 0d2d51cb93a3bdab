#pragma once
#include <span>
#include <string>
#include <string_view>

#include "localization/WindowText.h"

namespace nightjar::localization {
class Languages;
}

namespace nightjar::app {

/// Every window of the program with its controls in creation order and their English
/// captions: what a front end creates, what the localization file translates and what
/// `nightjar-cli language keys` lists. Built once.
///
/// The main window is `FrmMain`; its four pages (`frmStatus`, `frmScan`, `frmResults`,
/// `frmOptions`) are frames inside it, so their controls are `FrmMain` controls whose parent
/// is the page. Menu items name their menu as parent. A control whose text the program
/// writes at run time (a count, a date, a file name, a status line) has an empty caption:
/// its localization item stays empty, so a change of language never overwrites the live
/// value. Captions may carry "[ProgramName]", "[CompanyName]" and "[Website]", filled like
/// the texts of the localization file. Bounds are zero: the front end lays the windows out.
std::span<const localization::WindowText> ProgramWindows();

/// The window of that name (case ignored), or nullptr.
const localization::WindowText* FindProgramWindow(std::string_view name);

/// The text of a window's localization key (for example "FrmMain_lblLastScanCaption") in
/// the loaded language, or its English caption when the language lacks it; "" for a key
/// no window has.
std::string WindowCaption(const localization::Languages& languages, std::string_view key);

}  // namespace nightjar::app
