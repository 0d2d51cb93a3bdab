#include "gui/WideText.h"

#include "util/Utf16Text.h"

namespace nightjar::gui {

std::wstring Widen(std::string_view utf8) {
    return utf16::widen(utf8);
}

std::string Narrow(std::wstring_view wide) {
    return utf16::narrow(wide);
}

}  // namespace nightjar::gui
