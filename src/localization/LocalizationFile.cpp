#include "localization/LocalizationFile.h"

#include "util/Text.h"

namespace nightjar::localization {

namespace {

constexpr std::string_view kGroupStart = "<LANGUAGE_GROUP";
constexpr std::string_view kGroupEnd = "</LANGUAGE_GROUP>";
constexpr std::string_view kNameStart = "<LANGUAGE_NAME>";
constexpr std::string_view kNameEnd = "</LANGUAGE_NAME>";
constexpr std::string_view kItemsStart = "<TRANSLATION_ITEMS>";
constexpr std::string_view kItemsEnd = "</TRANSLATION_ITEMS>";

/// The text between `open` and the next `close` after it; nullopt when either is missing.
std::optional<std::string_view> between(std::string_view s, std::string_view open,
                                        std::string_view close) {
    const std::size_t start = text::ifind(s, open);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t from = start + open.size();
    const std::size_t end = text::ifind(s, close, from);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return s.substr(from, end - from);
}

}  // namespace

LocalizationFile::LocalizationFile(std::string_view text) {
    std::size_t pos = 0;
    while (true) {
        const std::size_t start = text::ifind(text, kGroupStart, pos);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = text::ifind(text, kGroupEnd, start);
        if (end == std::string_view::npos) {
            break;  // an unterminated group ends the search
        }
        const std::string_view group = text.substr(start, end - start);
        Group g;
        if (const auto name = between(group, kNameStart, kNameEnd)) {
            g.name.assign(*name);
        }
        g.items = ItemLines(group);
        groups_.push_back(std::move(g));
        pos = end + kGroupEnd.size();
    }
}

std::vector<std::string> LocalizationFile::groupNames() const {
    std::vector<std::string> out;
    for (const Group& g : groups_) {
        if (!g.name.empty()) {
            out.push_back(g.name);
        }
    }
    return out;
}

const LocalizationFile::Group* LocalizationFile::find(std::string_view name) const {
    for (const Group& g : groups_) {
        if (text::iequals(g.name, name)) {
            return &g;
        }
    }
    return nullptr;
}

std::vector<std::string> LocalizationFile::ItemLines(std::string_view group) {
    std::vector<std::string> lines;
    const std::optional<std::string_view> items = between(group, kItemsStart, kItemsEnd);
    if (!items) {
        return lines;
    }
    for (std::string& line : text::split(*items, "\n")) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace nightjar::localization
