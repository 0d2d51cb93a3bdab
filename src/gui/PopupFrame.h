#pragma once
#include <windows.h>

namespace nightjar::gui {

/// Gives a created top-level window another frame (style and extended style), keeping its
/// client size: a form made with a caption becomes a borderless popup or a tool window.
void SetFrameKeepingClient(HWND window, DWORD style, DWORD exStyle);

/// Centres `window` on the work area of `owner`'s monitor (the primary one without owner).
void CenterOnWorkArea(HWND window, HWND owner);

/// The work area (the screen without the taskbar) of the monitor `window` is on, or of the
/// primary monitor when `window` is null.
RECT WorkAreaOf(HWND window);

}  // namespace nightjar::gui
