#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "app/LanguageWindow.h"
#include "app/MainState.h"
#include "cli/CliEnv.h"
#include "cli/CliUserInterface.h"
#include "localization/Languages.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/ServerConfig.h"
#include "util/Text.h"

namespace nightjar::cli {

namespace {

/// The language window without a window: its message box is printed by the command.
class QuietUi : public CliUserInterface {
  public:
    QuietUi() : CliUserInterface(std::nullopt, false) {}
    app::MsgAnswer messageBox(std::string_view, std::string_view, app::MsgButtons,
                              app::MsgIcon) override {
        return app::MsgAnswer::Ok;
    }
};

/// The application model and the language window over it, for one command.
struct LanguageSession {
    QuietUi ui;
    localization::WindowText window{"frmLanguage", {}, {}};
    std::unique_ptr<app::MainState> state;
    std::unique_ptr<app::LanguageWindow> model;

    explicit LanguageSession(platform::Platform& p, std::string programFolder) {
        app::MainStateOptions options;
        options.programFolder = std::move(programFolder);
        state = std::make_unique<app::MainState>(p, ui, std::move(options));
        model = std::make_unique<app::LanguageWindow>(*state, window);
        model->Form_Load();
    }
};

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        out += out.empty() ? "" : ", ";
        out += n;
    }
    return out;
}

}  // namespace

CLI::App* addLanguageCommands(CLI::App& app, CliEnv& env) {
    static std::string name;
    static std::string server;

    auto* language =
        app.add_subcommand("language", "The program's language, from Localization.txt");
    language->require_subcommand(1);

    auto* list = language->add_subcommand(
        "list", "List the languages of Localization.txt; \"*\" marks the chosen one");
    list->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        LanguageSession s(*p, env.programFolder());
        if (s.model->languages().empty()) {
            env.fail("no languages: " + s.state->languages().localizationPath() +
                     " is missing or holds no language group");
            return;
        }
        for (const std::string& n : s.model->languages()) {
            std::cout << (text::iequals(n, s.model->chosen()) ? "* " : "  ") << n << '\n';
        }
    });

    auto* set = language->add_subcommand("set", "Choose the program's language");
    set->add_option("NAME", name, "A language of Localization.txt (letter case ignored)")
        ->required();
    set->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        LanguageSession s(*p, env.programFolder());
        const std::vector<std::string>& names = s.model->languages();
        for (const std::string& n : names) {
            if (text::iequals(n, name)) {
                s.model->Choose(n);
                std::cout << "Language set to " << n << ".\n";
                return;
            }
        }
        env.fail("unknown language \"" + name + "\"; " +
                 (names.empty() ? s.state->languages().localizationPath() + " has none"
                                : "choose one of: " + joined(names)));
    });

    auto* update = language->add_subcommand(
        "update", "Download the newest Localization.txt from the language server");
    update->add_option("--server", server, "Language server base URL");
    update->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        LanguageSession s(*p, env.programFolder());
        if (!server.empty()) {
            s.state->servers().setLanguageOverride(server);
        }
        switch (s.model->CheckForUpdates()) {
            case app::LanguageUpdateOutcome::Downloaded:
                std::cout << s.state->msg("MSG_DOWNLOADED") << '\n';
                break;
            case app::LanguageUpdateOutcome::NoUpdate:
                std::cout << "No language update is available.\n";
                break;
            case app::LanguageUpdateOutcome::Failed:
                env.fail("the language file could not be downloaded from " +
                         s.state->servers().languageServer());
                break;
            case app::LanguageUpdateOutcome::Unverified:
                env.fail("the language server's answer could not be verified; " +
                         s.state->languages().localizationPath() + " was not changed");
                break;
            case app::LanguageUpdateOutcome::NotWritten:
                env.fail("cannot write " + s.state->languages().localizationPath());
                break;
        }
    });
    return language;
}

}  // namespace nightjar::cli
