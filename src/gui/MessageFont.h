#pragma once
#include <windows.h>

namespace nightjar::gui {

/// The system's message font (Segoe UI on current Windows) at a given DPI. Owns the font.
class MessageFont {
  public:
    explicit MessageFont(UINT dpi);
    ~MessageFont();
    MessageFont(const MessageFont&) = delete;
    MessageFont& operator=(const MessageFont&) = delete;

    /// The font; the stock GUI font when the system's could not be made.
    HFONT handle() const;
    UINT dpi() const { return dpi_; }

  private:
    HFONT font_ = nullptr;
    UINT dpi_;
};

}  // namespace nightjar::gui
