#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliEnv.h"
#include "localization/ProductIdentity.h"
#include "settings/SettingsStore.h"

namespace nightjar::cli {

void addSettingsCommands(CLI::App& app, CliEnv& env) {
    static std::string section;
    static std::string key;
    static std::string value;
    static std::string defaultValue;

    auto* settings = app.add_subcommand("settings", "Read and write the program's settings");
    settings->require_subcommand(1);

    auto* get = settings->add_subcommand("get", "Print a setting (or its default)");
    get->add_option("SECTION", section, "Section, e.g. OptionAndSettings")->required();
    get->add_option("KEY", key, "Key, e.g. chkScanCookies")->required();
    get->add_option("--default", defaultValue, "Printed when the setting does not exist");
    get->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        auto id = localization::ProductIdentity::FromVersionInfo(*p->versionInfo);
        settings::SettingsStore store(*p->registry, id.productName);
        std::cout << store.Read(section, key, defaultValue) << '\n';
    });

    auto* set = settings->add_subcommand("set", "Store a setting");
    set->add_option("SECTION", section, "Section")->required();
    set->add_option("KEY", key, "Key")->required();
    set->add_option("VALUE", value, "Value")->required();
    set->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        auto id = localization::ProductIdentity::FromVersionInfo(*p->versionInfo);
        settings::SettingsStore store(*p->registry, id.productName);
        if (!store.Write(section, key, value)) {
            env.fail("cannot store " + section + "\\" + key);
        }
    });
}

}  // namespace nightjar::cli
