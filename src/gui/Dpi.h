#pragma once
#include <windows.h>

/// Dots per inch of windows, for layouts drawn at 96 DPI.
namespace nightjar::gui {

/// The DPI of the layouts and of ControlBounds.
inline constexpr UINT kDesignDpi = 96;

/// The window's DPI (its monitor's under per-monitor awareness); the system DPI on systems
/// without per-window DPI.
UINT DpiOf(HWND window);
/// A length at 96 DPI scaled to `dpi`.
int Scale(int length, UINT dpi);
/// AdjustWindowRectEx at `dpi` (the DPI-aware variant where the system has it).
void AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi);

}  // namespace nightjar::gui
