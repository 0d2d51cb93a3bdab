#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "app/GeneralDate.h"
#include "cli/CliEnv.h"
#include "cli/CliText.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "removal/QuarantineStore.h"

namespace nightjar::cli {

namespace {

std::string_view kindName(removal::QuarantineKind kind) {
    switch (kind) {
        case removal::QuarantineKind::File:
            return "file";
        case removal::QuarantineKind::Folder:
            return "folder";
        case removal::QuarantineKind::RegistryValue:
            return "registry value";
        case removal::QuarantineKind::RegistryKey:
            return "registry key";
    }
    return "file";
}

std::string_view resultText(removal::RestoreResult result) {
    switch (result) {
        case removal::RestoreResult::Restored:
            return "restored";
        case removal::RestoreResult::NotFound:
            return "not found";
        case removal::RestoreResult::TargetExists:
            return "target exists (use --force to replace it)";
        case removal::RestoreResult::Failed:
            return "failed";
    }
    return "failed";
}

/// The quarantine of the machine's data folder, stamping log entries with the platform clock.
struct QuarantineAccess {
    definitions::PlaceholderExpander expander;
    removal::QuarantineStore store;
    explicit QuarantineAccess(platform::Platform& p)
        : expander(*p.shellFolders),
          store(*p.fileSystem, *p.registry, definitions::DataFolder(expander),
                [clock = p.clock.get()] { return app::FormatGeneralDate(clock->now()); }) {}
};

}  // namespace

void addQuarantineCommands(CLI::App& app, CliEnv& env) {
    auto* quarantine =
        app.add_subcommand("quarantine", "List and restore what the removal quarantined");
    quarantine->require_subcommand(1);

    auto* list = quarantine->add_subcommand(
        "list", "Print time, original location, quarantined name and kind, one item a line");
    static bool json = false;
    list->add_flag("--json", json, "Print one JSON array");
    list->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        QuarantineAccess access(*p);
        nlohmann::json j = nlohmann::json::array();
        for (const removal::QuarantineItem& item : access.store.items()) {
            const bool isValue = item.kind == removal::QuarantineKind::RegistryValue;
            if (json) {
                nlohmann::json e;
                e["time"] = item.time;
                e["original"] = item.original;
                if (isValue) {
                    e["value"] = item.valueName;
                }
                e["name"] = item.name;
                e["kind"] = std::string(kindName(item.kind));
                j.push_back(std::move(e));
                continue;
            }
            std::cout << item.time << '\t' << item.original
                      << (isValue ? " (value \"" + item.valueName + "\")" : std::string()) << '\t'
                      << item.name << '\t' << kindName(item.kind) << '\n';
        }
        if (json) {
            std::cout << jsonText(j) << '\n';
        }
    });

    auto* restore = quarantine->add_subcommand(
        "restore", "Put quarantined items back where they were, by quarantined name");
    static std::vector<std::string> names;
    static bool all = false;
    static bool force = false;
    auto* namesOpt = restore->add_option("NAME", names, "Quarantined names (see list)");
    auto* allOpt = restore->add_flag("--all", all, "Restore everything the quarantine holds");
    namesOpt->excludes(allOpt);
    restore->add_flag("--force", force, "Replace what is at the original location now");
    restore->footer("Exit status: 0 when every item was restored, 2 otherwise.");
    restore->callback([&env]() {
        if (names.empty() && !all) {
            env.fail("give the names to restore, or --all");
            return;
        }
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        QuarantineAccess access(*p);
        std::vector<std::string> targets = names;
        if (all) {
            for (const removal::QuarantineItem& item : access.store.items()) {
                targets.push_back(item.name);
            }
        }
        for (const std::string& name : targets) {
            const removal::RestoreResult result = access.store.restore(name, force);
            std::cout << name << ": " << resultText(result) << '\n';
            if (result != removal::RestoreResult::Restored) {
                env.exitCode = exitcode::Error;
            }
        }
    });
}

}  // namespace nightjar::cli
