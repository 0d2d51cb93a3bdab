#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "app/CommunitySubmission.h"
#include "app/ControlNames.h"
#include "app/MainState.h"
#include "app/UserInterface.h"
#include "cli/CliEnv.h"
#include "removal/ExclusionList.h"
#include "util/Text.h"

namespace nightjar::cli {

namespace {

/// The submissions without windows: every message box text goes to stdout. The command
/// itself is the request, so OK/Cancel answers OK; Yes/No answers as `--exclude` says; the
/// input box gives the details from the command line; `Label26` is remembered.
class SubmitUi : public app::UserInterface {
  public:
    SubmitUi(std::string details, bool yes) : details_(std::move(details)), yes_(yes) {}

    app::MsgAnswer messageBox(std::string_view text, std::string_view, app::MsgButtons buttons,
                              app::MsgIcon) override {
        std::cout << text::replaceAll(text, "\r\n", "\n") << "\n\n";
        switch (buttons) {
            case app::MsgButtons::YesNo:
                return yes_ ? app::MsgAnswer::Yes : app::MsgAnswer::No;
            case app::MsgButtons::OkCancel:
            case app::MsgButtons::Ok:
                return app::MsgAnswer::Ok;
            case app::MsgButtons::AbortRetryIgnore:
                return app::MsgAnswer::Ignore;
        }
        return app::MsgAnswer::Cancel;
    }
    std::optional<std::string> inputBox(std::string_view, std::string_view) override {
        return details_;
    }
    std::optional<std::string> chooseFile() override { return std::nullopt; }
    std::optional<std::string> chooseFolder() override { return std::nullopt; }
    void setStatusText(app::ControlName control, std::string_view text) override {
        if (control == app::control::Label26) {
            label_ = std::string(text);
        }
    }
    void setProgress(app::ControlName, int) override {}
    void setEnabled(app::ControlName, bool) override {}
    void Pump() override {}

    const std::string& label() const { return label_; }

  private:
    std::string details_;
    bool yes_;
    std::string label_;
};

app::MainStateOptions stateOptions(CliEnv& env) {
    app::MainStateOptions options;
    options.programFolder = env.programFolder();
    options.definitionServer = env.serverUrl;
    return options;
}

}  // namespace

void addSubmitCommands(CLI::App& app, CliEnv& env) {
    auto* submit =
        app.add_subcommand("submit", "Send a program name to the definition server for research");
    static std::string name;
    submit->add_option("NAME", name, "The file name, e.g. tool.exe")->required();
    submit->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        SubmitUi ui({}, false);
        app::MainState state(*p, ui, stateOptions(env));
        const app::SubmitOutcome outcome = state.community().cmdSubmit_Click(name);
        std::cout << ui.label() << '\n';
        env.exitCode = outcome == app::SubmitOutcome::Accepted ? exitcode::Ok : exitcode::Error;
    });

    auto* report = app.add_subcommand(
        "false-positive", "Report found items as false positives, with your explanation");
    static std::string details;
    static bool exclude = false;
    static std::vector<std::string> locations;
    report->add_option("--details", details, "Why these items are harmless")->required();
    report->add_flag("--exclude", exclude,
                     "When the report is accepted, exclude the items from future scans");
    report->add_option("LOCATION", locations, "Locations as a scan listed them")->required();
    report->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        SubmitUi ui(details, exclude);
        app::MainState state(*p, ui, stateOptions(env));
        if (exclude) {
            // The exclusion file lives in the data folder, which a fresh machine lacks.
            if (!p->fileSystem->folderExists(state.dataFolder()) &&
                !p->fileSystem->createFolder(state.dataFolder())) {
                env.fail("cannot create the data folder " + state.dataFolder());
                return;
            }
            state.exclusions().LoadExclusions();
        }
        for (const std::string& location : locations) {
            // No title: the exclusion then names exactly the location, not every file
            // of that name.
            scan::FoundItem row;
            row.icon = scan::icon::File;
            row.location = location;
            row.checked = true;
            state.addFoundItem(std::move(row));
        }
        const app::FalsePositiveOutcome outcome = state.community().cmdFalsePos_Click();
        env.exitCode = outcome == app::FalsePositiveOutcome::Accepted ||
                               outcome == app::FalsePositiveOutcome::Excluded
                           ? exitcode::Ok
                           : exitcode::Error;
    });
}

}  // namespace nightjar::cli
