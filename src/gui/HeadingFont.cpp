#include "gui/HeadingFont.h"

#include "gui/Dpi.h"

namespace nightjar::gui {

HeadingFont::~HeadingFont() {
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void HeadingFont::apply(HWND control, int points, int weight) {
    if (control == nullptr) {
        return;
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return;
    }
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = -MulDiv(points, static_cast<int>(DpiOf(control)), 72);
    font.lfWeight = weight;
    HFONT made = CreateFontIndirectW(&font);
    if (made == nullptr) {
        return;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    font_ = made;
}

}  // namespace nightjar::gui
