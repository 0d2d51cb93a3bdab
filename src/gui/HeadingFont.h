#pragma once
#include <windows.h>

namespace nightjar::gui {

/// A larger, bold variant of the system's message font for the headings of small windows.
/// Deleted with the object; the controls using it must be gone or use another font by then.
class HeadingFont {
  public:
    HeadingFont() = default;
    ~HeadingFont();
    HeadingFont(const HeadingFont&) = delete;
    HeadingFont& operator=(const HeadingFont&) = delete;

    /// Gives `control` the heading font at `points` and `weight` for the DPI of its window.
    void apply(HWND control, int points, int weight = FW_BOLD);

  private:
    HFONT font_ = nullptr;
};

}  // namespace nightjar::gui
