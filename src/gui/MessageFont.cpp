#include "gui/MessageFont.h"

#include "gui/Dpi.h"

namespace nightjar::gui {
namespace {

/// The metrics at `dpi`: asked at that DPI where the system can, else at the system DPI and
/// scaled.
bool messageFontAt(UINT dpi, LOGFONTW& font) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto forDpi = user32 == nullptr
                            ? nullptr
                            : reinterpret_cast<ForDpiFn>(reinterpret_cast<void*>(
                                  GetProcAddress(user32, "SystemParametersInfoForDpi")));
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi)) {
        font = metrics.lfMessageFont;
        return true;
    }
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
        return false;
    }
    font = metrics.lfMessageFont;
    const UINT system = DpiOf(nullptr);
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(system));
    return true;
}

}  // namespace

MessageFont::MessageFont(UINT dpi) : dpi_(dpi) {
    LOGFONTW font{};
    if (messageFontAt(dpi, font)) {
        font_ = CreateFontIndirectW(&font);
    }
}

MessageFont::~MessageFont() {
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

HFONT MessageFont::handle() const {
    return font_ != nullptr ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace nightjar::gui
