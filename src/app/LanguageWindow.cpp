#include "app/LanguageWindow.h"

#include "app/MainState.h"
#include "localization/Languages.h"
#include "platform/Platform.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/HttpReader.h"
#include "update/ServerConfig.h"
#include "update/SignedAnswerCheck.h"
#include "util/Text.h"

namespace nightjar::app {

namespace keys = settings::keys;

LanguageWindow::LanguageWindow(MainState& state, localization::WindowText& self,
                               localization::WindowText* mainWindow)
    : state_(state), self_(self), mainWindow_(mainWindow) {}

std::string LanguageWindow::LanguagePath() {
    return "/Languages/" + std::to_string(kLanguagePackage) + "/Localization.txt";
}

void LanguageWindow::Form_Load() {
    state_.languages().ChangeLanguage(self_, storedLanguage());
    applyTitle();
    FillList();
}

void LanguageWindow::FillList() {
    list_ = state_.languages().LanguageNames();
    chosen_ = storedLanguage();
}

void LanguageWindow::Choose(std::string_view name) {
    if (name == kChoosePrompt) {
        return;
    }
    chosen_.assign(name);
    state_.settings().Write(keys::kSettings, keys::kLanguage, name);
    localization::Languages& languages = state_.languages();
    if (mainWindow_ != nullptr) {
        languages.ChangeLanguage(*mainWindow_, name);
    }
    languages.ChangeLanguage(self_, name);
    // The title is a catalog text, which the new language may have just changed.
    applyTitle();
}

LanguageUpdateOutcome LanguageWindow::CheckForUpdates() {
    platform::Platform& p = state_.platform();
    update::HttpReader reader(*p.http, [this] { state_.ui().Pump(); });
    // Language files come from the same publisher as the definitions and are checked the
    // same way: with a public key configured, only a signed answer is taken.
    std::optional<update::SignedAnswerCheck> check;
    if (const std::string key = state_.servers().definitionPublicKey(); !key.empty()) {
        check.emplace(*p.signatureVerifier, key);
        reader.requireSignedAnswers(&*check);
    }
    const update::FetchResult r = reader.FetchUrlText(state_.servers().languageUrl(LanguagePath()));
    if (r.unverified) {
        return LanguageUpdateOutcome::Unverified;
    }
    if (!r.ok) {
        return LanguageUpdateOutcome::Failed;
    }
    if (!text::icontains(r.text, "<TRANSLATION_ITEMS>")) {
        return LanguageUpdateOutcome::NoUpdate;
    }
    // A byte-order mark or blank lines before the first "<" are not stored.
    std::string_view body = r.text;
    body.remove_prefix(body.find('<'));
    // The new file replaces the old one in a single step, so a failed write keeps the old
    // translations rather than leaving none.
    const std::string path = state_.languages().localizationPath();
    if (path.empty() || !p.fileSystem->writeAll(path, std::string(body) + "\r\n")) {
        return LanguageUpdateOutcome::NotWritten;
    }
    FillList();
    state_.ui().messageBox(state_.msg("MSG_DOWNLOADED"), state_.productName(), MsgButtons::Ok,
                           MsgIcon::Information);
    return LanguageUpdateOutcome::Downloaded;
}

bool LanguageWindow::TranslateProgram() {
    const std::string path = state_.languages().localizationPath();
    return !path.empty() && state_.languages().LangFileExists(path) &&
           state_.platform().launcher->open(path);
}

std::string LanguageWindow::storedLanguage() const {
    return state_.settings().Read(keys::kSettings, keys::kLanguage, keys::kDefaultLanguage);
}

void LanguageWindow::applyTitle() {
    if (std::string title = state_.msg("MSG_TITLELANGUAGE"); !title.empty()) {
        self_.caption = std::move(title);
    }
}

}  // namespace nightjar::app
