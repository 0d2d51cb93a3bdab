#include "localization/Languages.h"

#include "localization/LocalizationFile.h"
#include "localization/TranslationKeys.h"
#include "platform/FileSystem.h"
#include "util/Text.h"

namespace nightjar::localization {

Languages::Languages(platform::FileSystem& fs, std::string programFolder, MessageCatalog& catalog)
    : fs_(fs), programFolder_(std::move(programFolder)), catalog_(catalog) {}

void Languages::ChangeLanguage(WindowText& window, std::string_view name) {
    LoadLanguage(name);
    TranslateWindow(window);
    TranslateCatalog();
}

void Languages::ChangeLanguage(std::string_view name) {
    LoadLanguage(name);
    TranslateCatalog();
}

void Languages::LoadLanguage(std::string_view name) {
    current_.assign(name);
    std::string content;
    if (!readFile(content)) {
        return;  // captions and catalog texts stay as they are
    }
    const LocalizationFile file(content);
    const LocalizationFile::Group* group = file.find(name);
    if (group == nullptr && !anyLoaded_) {
        group = file.find(kEnglish);
    }
    if (group != nullptr) {
        loaded_ = group->items;
        anyLoaded_ = true;
    }
}

void Languages::TranslateWindow(WindowText& window) const {
    for (const TranslatableText& t : TranslatableTexts(window)) {
        std::string caption = getCaption(t.key);
        if (!caption.empty()) {
            *t.text = std::move(caption);
        }
    }
}

void Languages::TranslateCatalog() {
    for (std::size_t i = 0; i < catalog_.size(); ++i) {
        std::string caption = getCaption(catalog_.keyAt(i));
        if (!caption.empty()) {
            catalog_.setTextAt(i, std::move(caption));
        }
    }
}

std::string Languages::getCaption(std::string_view key) const {
    std::string result;
    for (const std::string& line : loaded_) {
        // The tag is what stands between the first "<" and the first ">" of the line.
        const std::size_t close = line.find('>');
        const std::string_view head = std::string_view(line).substr(0, close);
        const std::size_t open = head.find('<');
        if (close == std::string::npos || head.size() <= 2 || open == std::string_view::npos ||
            !text::iequals(head.substr(open + 1), key)) {
            continue;
        }
        const std::size_t from = close + 1;
        const std::size_t end = text::ifind(line, "</" + std::string(key) + ">", from);
        if (end != std::string::npos) {
            result = line.substr(from, end - from);
        }
        break;
    }
    return result.empty() ? result : fillPlaceholders(std::move(result));
}

std::string Languages::fillPlaceholders(std::string text) const {
    const ProductIdentity& id = catalog_.identity();
    text = text::ireplaceAll(text, "[ProgramName]", id.productName);
    text = text::ireplaceAll(text, "[CompanyName]", id.companyName);
    text = text::ireplaceAll(text, "[Website]", id.website);
    return text::capitalizeFirst(text);
}

bool Languages::LangFileExists(std::string_view path) const {
    const std::size_t slash = path.find_last_of('\\');
    if (slash == std::string_view::npos) {
        return fs_.fileExists(path);
    }
    const std::string_view name = path.substr(slash + 1);
    const auto entries = fs_.list(path.substr(0, slash + 1));
    if (name.empty() || !entries) {
        return false;
    }
    for (const platform::DirEntry& e : *entries) {
        if (!e.isDirectory() && text::iequals(e.name, name)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> Languages::LanguageNames() const {
    std::string content;
    if (!readFile(content)) {
        return {};
    }
    return LocalizationFile(content).groupNames();
}

std::string Languages::localizationPath() const {
    if (programFolder_.empty()) {
        return {};
    }
    std::string path = programFolder_;
    if (path.back() != '\\') {
        path += '\\';
    }
    return path + std::string(kFileName);
}

bool Languages::readFile(std::string& out) const {
    const std::string path = localizationPath();
    return !path.empty() && LangFileExists(path) && fs_.readAll(path, out);
}

}  // namespace nightjar::localization
