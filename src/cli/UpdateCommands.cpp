#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "app/ControlNames.h"
#include "app/UpdateController.h"
#include "app/UserInterface.h"
#include "cli/CliEnv.h"
#include "cli/CliText.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "localization/Languages.h"
#include "localization/MessageCatalog.h"
#include "localization/ProductIdentity.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "update/ServerConfig.h"

namespace nightjar::cli {

namespace {

/// The update runs without windows: progress goes to stderr when asked for, boxes answer
/// OK.
class HeadlessUpdateUi : public app::UserInterface {
  public:
    explicit HeadlessUpdateUi(bool verbose) : verbose_(verbose) {}
    app::MsgAnswer messageBox(std::string_view, std::string_view, app::MsgButtons,
                              app::MsgIcon) override {
        return app::MsgAnswer::Ok;
    }
    std::optional<std::string> chooseFile() override { return std::nullopt; }
    std::optional<std::string> chooseFolder() override { return std::nullopt; }
    void setStatusText(app::ControlName control, std::string_view text) override {
        if (verbose_ && control == app::control::txtStatus && text != last_) {
            last_ = std::string(text);
            std::cerr << text << '\n';
        }
    }
    void setProgress(app::ControlName, int) override {}
    void setEnabled(app::ControlName, bool) override {}
    void Pump() override {}

  private:
    bool verbose_;
    std::string last_;
};

}  // namespace

void addUpdateCommands(CLI::App& app, CliEnv& env) {
    auto* cmd = app.add_subcommand("update", "Run Live Update against the definition server");
    static std::string server;
    static bool json = false;
    static bool verbose = false;
    cmd->add_option("--server", server, "Definition server base URL (overrides the global one)");
    cmd->add_flag("--json", json, "Print one JSON object");
    cmd->add_flag("-v,--verbose", verbose, "Show the progress texts on stderr");
    cmd->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        const auto identity = localization::ProductIdentity::FromVersionInfo(*p->versionInfo);
        localization::MessageCatalog catalog(identity);
        catalog.LoadDefaultMessages();
        settings::SettingsStore settings(*p->registry, identity.productName);
        localization::Languages languages(*p->fileSystem, env.programFolder(), catalog);
        languages.ChangeLanguage(settings.Read(settings::keys::kSettings, settings::keys::kLanguage,
                                               settings::keys::kDefaultLanguage));

        update::ServerConfig servers(&settings);
        const std::string& chosen = server.empty() ? env.serverUrl : server;
        if (!chosen.empty()) {
            servers.setDefinitionOverride(chosen);
        }

        definitions::PlaceholderExpander expander(*p->shellFolders);
        const std::string dataFolder = definitions::DataFolder(expander);
        if (!p->fileSystem->folderExists(dataFolder) && !p->fileSystem->createFolder(dataFolder)) {
            env.fail("cannot create the data folder " + dataFolder);
            return;
        }
        definitions::SignatureStore store(*p->fileSystem, expander, dataFolder);

        HeadlessUpdateUi ui(verbose);
        app::UpdateController controller(*p->fileSystem, *p->http, *p->signatureVerifier,
                                         *p->fileLocks, store, settings, catalog, ui, servers, {},
                                         {});
        controller.RunUpdate();
        const update::UpdateResult& r = controller.lastResult();

        if (json) {
            nlohmann::json j;
            j["count"] = r.count;
            j["skipped"] = r.skipped;
            j["date"] = r.date;
            j["outcome"] = std::string(update::OutcomeName(r.outcome));
            j["unverified"] = r.unverified;
            std::cout << jsonText(j) << '\n';
        } else if (r.outcome == update::UpdateOutcome::Busy) {
            std::cout << "Another update of this data folder is running.\n";
        } else if (r.unverified) {
            std::cout << catalog.getMessages("MSG_UNVERIFIED") << '\n';
        } else {
            const char* key = r.outcome == update::UpdateOutcome::Updated   ? "MSG_UPDATED_DEFS"
                              : r.outcome == update::UpdateOutcome::Current ? "MSG_RECENT_DEFS"
                                                                            : "MSG_INTERNET";
            std::cout << catalog.getMessages(key) << '\n';
        }
        // A busy lock and an update that could not be stored both leave the definitions as
        // they were.
        env.exitCode =
            r.outcome == update::UpdateOutcome::Failed || r.outcome == update::UpdateOutcome::Busy
                ? exitcode::Error
                : exitcode::Ok;
    });
}

}  // namespace nightjar::cli
