#pragma once

namespace nightjar::platform {

/// Makes the console show the program's UTF-8 output as text (Windows: the UTF-8 output
/// code page; elsewhere the terminal already reads UTF-8).
void PrepareConsoleForUtf8();

/// True when the console belongs to this program alone, as when it was started by a
/// double-click: the window then closes the moment the program ends.
bool ConsoleClosesOnExit();

/// Waits until a key is pressed in the console.
void WaitForKeyPress();

}  // namespace nightjar::platform
