#include "localization/TranslationKeys.h"

#include "util/Text.h"

namespace nightjar::localization {

std::vector<TranslatableText> TranslatableTexts(WindowText& window) {
    std::vector<TranslatableText> out;
    const std::string& form = window.name;
    for (ControlText& c : window.controls) {
        const std::string base = form + "_" + c.name;
        switch (c.kind) {
            case ControlKind::Label:
            case ControlKind::CommandButton:
            case ControlKind::SkinLabel:
            case ControlKind::Frame:
            case ControlKind::CheckBox:
                out.push_back({base, &c.caption});
                break;
            case ControlKind::OptionButton:
                // An option button outside an array gets a suffix of its own, so that "opt1"
                // alone never shares a key with member 1 of an array named "opt".
                out.push_back(
                    {c.index ? base + std::to_string(*c.index) : base + "_OPT", &c.caption});
                break;
            case ControlKind::Menu:
                out.push_back({base + std::to_string(c.index.value_or(0)), &c.caption});
                break;
            case ControlKind::TabStrip:
                for (std::size_t i = 0; i < c.tabs.size(); ++i) {
                    out.push_back({base + "_TABS" + std::to_string(i + 1), &c.tabs[i]});
                }
                break;
            case ControlKind::ListView:
                for (std::size_t i = 0; i < c.columns.size(); ++i) {
                    out.push_back({base + "_COL" + std::to_string(i + 1), &c.columns[i]});
                }
                break;
            default:
                break;
        }
    }
    out.push_back({text::toUpper(form) + "_CAPTION", &window.caption});
    return out;
}

std::vector<std::string> TranslationKeys(const WindowText& window) {
    WindowText copy = window;
    std::vector<std::string> keys;
    for (const TranslatableText& t : TranslatableTexts(copy)) {
        keys.push_back(t.key);
    }
    return keys;
}

}  // namespace nightjar::localization
