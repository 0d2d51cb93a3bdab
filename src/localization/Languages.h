#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "localization/MessageCatalog.h"
#include "localization/WindowText.h"

namespace nightjar::platform {
class FileSystem;
}

namespace nightjar::localization {

/// The program's one language object: the loaded translation of the current language
/// from Localization.txt in the program folder, applied to windows and to the message
/// catalog it shares with every window.
class Languages {
  public:
    static constexpr std::string_view kFileName = "Localization.txt";
    static constexpr std::string_view kEnglish = "English";

    /// `programFolder` in Windows form; empty when the program has no folder of its own
    /// (then no file is ever read).
    Languages(platform::FileSystem& fs, std::string programFolder, MessageCatalog& catalog);

    /// Loads the group `name` (see LoadLanguage), translates `window` and then the catalog.
    void ChangeLanguage(WindowText& window, std::string_view name);
    /// The same without a window: only the catalog is translated (front ends without one).
    void ChangeLanguage(std::string_view name);

    /// Remembers `name` as the current language and loads the first group of that name
    /// (case ignored). When none matches and nothing was loaded before, loads "English";
    /// otherwise the previous translation stays loaded.
    void LoadLanguage(std::string_view name);
    /// Sets every text of `window` whose key the loaded translation carries; an empty
    /// translation leaves the text.
    void TranslateWindow(WindowText& window) const;
    /// Overwrites every catalog entry whose MSG_ key the loaded translation carries.
    void TranslateCatalog();

    /// The translation of `key` (case ignored) in the loaded group with "[ProgramName]",
    /// "[CompanyName]" and "[Website]" filled and the first letter upper case; "" when the
    /// group does not carry the key.
    std::string getCaption(std::string_view key) const;

    /// `text` with "[ProgramName]", "[CompanyName]" and "[Website]" (case ignored) filled
    /// and its first letter upper case.
    std::string fillPlaceholders(std::string text) const;

    /// True when a file (not a folder) exists whose name, after the last "\", equals that
    /// of `path` with letter case ignored.
    bool LangFileExists(std::string_view path) const;

    /// The group names of Localization.txt in file order; empty when there is no file.
    std::vector<std::string> LanguageNames() const;

    /// Path of Localization.txt in the program folder ("" without a program folder).
    std::string localizationPath() const;
    /// The name last asked for, whether or not a group of that name was found.
    const std::string& currentLanguage() const { return current_; }
    MessageCatalog& catalog() { return catalog_; }

  private:
    /// The text of Localization.txt; false when it does not exist or cannot be read.
    bool readFile(std::string& out) const;

    platform::FileSystem& fs_;
    std::string programFolder_;
    MessageCatalog& catalog_;
    std::string current_;
    std::vector<std::string> loaded_;
    bool anyLoaded_ = false;
};

}  // namespace nightjar::localization
