#pragma once
#include <string>
#include <vector>

#include "localization/WindowText.h"

namespace nightjar::localization {

/// One translatable text of a window and the key the localization file gives it.
struct TranslatableText {
    std::string key;
    std::string* text = nullptr;
};

/// Every translatable text of `window` with its key: the controls in window order (each
/// tab and column of a control in its own order), then the window caption. Controls of a
/// kind that carries no translatable text are left out.
std::vector<TranslatableText> TranslatableTexts(WindowText& window);

/// The keys of TranslatableTexts, in the same order.
std::vector<std::string> TranslationKeys(const WindowText& window);

}  // namespace nightjar::localization
