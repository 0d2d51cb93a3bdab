#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "localization/WindowText.h"

namespace nightjar::app {

class MainState;

/// How "Check for language updates" ended.
enum class LanguageUpdateOutcome {
    /// A new Localization.txt was stored and the list refilled.
    Downloaded,
    /// The server answered without a translation list; nothing changed.
    NoUpdate,
    /// The request failed (no network, HTTP error); nothing changed.
    Failed,
    /// The answer's signature was missing or wrong; nothing changed.
    Unverified,
    /// The new file could not be written; the old one is kept.
    NotWritten,
};

/// The language window `frmLanguage`: the list of languages (`Combo1`), choosing one,
/// "Check for language updates" (`Command1`) and "Translate this program" (`Command3`).
class LanguageWindow {
  public:
    /// The entry of the list that chooses nothing.
    static constexpr std::string_view kChoosePrompt = "Choose Language Here";
    /// The build's language package on the language server.
    static constexpr int kLanguagePackage = 21;

    /// `self` is this window's texts; `mainWindow` the main window's, null when the front
    /// end has none (a choice then translates the catalog and this window only). Both must
    /// outlive the model.
    LanguageWindow(MainState& state, localization::WindowText& self,
                   localization::WindowText* mainWindow = nullptr);

    /// On load: translates this window into the stored language, sets its caption to
    /// MSG_TITLELANGUAGE and fills the list.
    void Form_Load();
    /// Refills the list with the group names of Localization.txt in file order, and sets
    /// its text to the stored language ("English" when none is stored).
    void FillList();
    /// A choice from the list: stores it as the language and applies it to the main window
    /// and to this window. The prompt entry does nothing.
    void Choose(std::string_view name);
    /// "Check for language updates": fetches the build's language file from the language
    /// server. An answer with a translation list replaces Localization.txt (from its first
    /// "<", followed by CR LF), refills the list and shows MSG_DOWNLOADED; anything else
    /// changes nothing and shows nothing.
    LanguageUpdateOutcome CheckForUpdates();
    /// "Translate this program": opens Localization.txt in its editor when it exists;
    /// false when there is no file or it could not be opened.
    bool TranslateProgram();

    /// `Combo1`'s entries.
    const std::vector<std::string>& languages() const { return list_; }
    /// `Combo1`'s text: the language shown as chosen.
    const std::string& chosen() const { return chosen_; }

    /// Path of the language file on the server.
    static std::string LanguagePath();

  private:
    std::string storedLanguage() const;
    void applyTitle();

    MainState& state_;
    localization::WindowText& self_;
    localization::WindowText* mainWindow_;
    std::vector<std::string> list_;
    std::string chosen_;
};

}  // namespace nightjar::app
