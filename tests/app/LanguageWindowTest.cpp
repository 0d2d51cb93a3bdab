#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "app/LanguageWindow.h"
#include "app/MainState.h"
#include "localization/Languages.h"
#include "mock/FakePlatform.h"
#include "mock/ScriptedUserInterface.h"
#include "settings/SettingsStore.h"
#include "update/ServerConfig.h"
#include "util/SignedAnswer.h"

namespace nightjar::app {
namespace {

using localization::ControlKind;
using localization::WindowText;

constexpr std::string_view kPath = "C:\\Program Files\\Nightjar\\Localization.txt";
constexpr std::string_view kUrl = "http://lang.example/Languages/21/Localization.txt";

std::string file(std::initializer_list<std::pair<std::string_view, std::string_view>> groups) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n";
    for (const auto& [name, items] : groups) {
        out += "<LANGUAGE_GROUP xml:lang=\"xx\">\r\n<LANGUAGE_NAME>" + std::string(name) +
               "</LANGUAGE_NAME>\r\n<TRANSLATION_ITEMS>\r\n" + std::string(items) +
               "\r\n</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n";
    }
    return out + "</XML_DIZ_INFO>";
}

const std::string kGerman =
    "<MSG_TITLELANGUAGE>Sprachauswahl</MSG_TITLELANGUAGE>\r\n<MSG_SURE>Sicher?</MSG_SURE>\r\n"
    "<frmMain_cmdScan>Suchen</frmMain_cmdScan>\r\n<frmLanguage_Command2>OK!</frmLanguage_Command2>";

class LanguageWindowTest : public ::testing::Test {
  protected:
    /// The model over a fresh main state, as the program starts with the stored setting.
    void open() {
        window.reset();
        MainStateOptions options;
        options.programFolder = "C:\\Program Files\\Nightjar";
        state = std::make_unique<MainState>(fake.platform, ui, options);
        state->servers().setLanguageOverride("http://lang.example");
        self = {"frmLanguage",
                "Language",
                {{ControlKind::CommandButton, "Command2", {}, "OK", {}, {}, {}, {}}}};
        main = {"frmMain",
                "Nightjar",
                {{ControlKind::CommandButton, "cmdScan", {}, "Scan", {}, {}, {}, {}}}};
        window = std::make_unique<LanguageWindow>(*state, self, &main);
        window->Form_Load();
    }
    std::string language() { return state->settings().Read("Settings", "Language", "<none>"); }
    /// The signature header the fake verifier accepts under the key "key".
    static std::string sign(std::string_view body) {
        return signing::base64Encode(mock::FakeSignatureVerifier::sign(
            "key", signing::signedMessage(signing::requestTarget(kUrl), body)));
    }

    mock::FakePlatform fake;
    mock::ScriptedUserInterface ui;
    std::unique_ptr<MainState> state;
    WindowText self;
    WindowText main;
    std::unique_ptr<LanguageWindow> window;
};

TEST_F(LanguageWindowTest, ChoosingStoresAndAppliesThePromptDoesNothing) {
    fake.fs.addFile(kPath, file({{"English", ""}, {"German", kGerman}}));
    open();
    EXPECT_EQ(window->languages(), (std::vector<std::string>{"English", "German"}));
    EXPECT_EQ(window->chosen(), "English");
    EXPECT_EQ(self.caption, "Language Selection");

    window->Choose(LanguageWindow::kChoosePrompt);
    EXPECT_EQ(language(), "<none>");
    EXPECT_EQ(main.controls[0].caption, "Scan");

    window->Choose("German");
    EXPECT_EQ(language(), "German");
    EXPECT_EQ(window->chosen(), "German");
    EXPECT_EQ(main.controls[0].caption, "Suchen");
    EXPECT_EQ(self.controls[0].caption, "OK!");
    EXPECT_EQ(self.caption, "Sprachauswahl");
    EXPECT_EQ(state->msg("MSG_SURE"), "Sicher?");

    // The next start is in the stored language from the first catalog text on, whatever
    // the letter case of the setting.
    state->settings().Write("Settings", "Language", "gerMAN");
    open();
    EXPECT_EQ(state->msg("MSG_SURE"), "Sicher?");
    EXPECT_EQ(self.caption, "Sprachauswahl");
    EXPECT_EQ(window->chosen(), "gerMAN");
}

TEST_F(LanguageWindowTest, OnlyASignedAnswerWithItemsReplacesTheFile) {
    const std::string old = file({{"English", ""}});
    fake.fs.addFile(kPath, old);
    open();
    state->settings().Write("OptionAndSettings", "DefinitionPublicKey", "a2V5");  // "key"

    const std::string fresh = file({{"English", ""}, {"German", kGerman}});
    struct Case {
        const char* what;
        std::string body;
        bool signedAnswer;
        bool failWrites;
        LanguageUpdateOutcome outcome;
    };
    const Case cases[] = {
        {"no items", "<html>Not here</html>", true, false, LanguageUpdateOutcome::NoUpdate},
        {"unsigned", fresh, false, false, LanguageUpdateOutcome::Unverified},
        {"write fails", fresh, true, true, LanguageUpdateOutcome::NotWritten},
    };
    for (const Case& c : cases) {
        fake.http.respond(std::string(kUrl), c.body, c.signedAnswer ? sign(c.body) : "");
        fake.fs.setFailWrites(c.failWrites);
        EXPECT_EQ(window->CheckForUpdates(), c.outcome) << c.what;
        EXPECT_EQ(fake.fs.content(kPath), old) << c.what;
        EXPECT_EQ(window->languages().size(), 1u) << c.what;
    }
    fake.fs.setFailWrites(false);
    fake.http.fail(std::string(kUrl), "HTTP 404");
    EXPECT_EQ(window->CheckForUpdates(), LanguageUpdateOutcome::Failed);
    EXPECT_TRUE(ui.boxes.empty());

    // A byte-order mark and blank lines before the first "<" are dropped.
    const std::string answer = "\xef\xbb\xbf\r\n\r\n" + fresh;
    fake.http.respond(std::string(kUrl), answer, sign(answer));
    EXPECT_EQ(window->CheckForUpdates(), LanguageUpdateOutcome::Downloaded);
    EXPECT_EQ(fake.fs.content(kPath), fresh + "\r\n");
    EXPECT_EQ(window->languages(), (std::vector<std::string>{"English", "German"}));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, state->msg("MSG_DOWNLOADED"));
}

TEST_F(LanguageWindowTest, TranslateProgramOpensTheFileOnlyWhenItExists) {
    open();
    EXPECT_FALSE(window->TranslateProgram());
    EXPECT_TRUE(fake.launcher.opened.empty());
    fake.fs.addFile(kPath, file({{"English", ""}}));
    EXPECT_TRUE(window->TranslateProgram());
    EXPECT_EQ(fake.launcher.opened, (std::vector<std::string>{std::string(kPath)}));
}

}  // namespace
}  // namespace nightjar::app
