#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliEnv.h"
#include "cli/CliText.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "localization/ProductIdentity.h"
#include "nightjar/Identity.h"

namespace nightjar::cli {

void addInfoCommands(CLI::App& app, CliEnv& env) {
    auto* info = app.add_subcommand("info", "Show the product identity and where its data lives");
    static bool json = false;
    info->add_flag("--json", json, "Print one JSON object");
    info->callback([&env]() {
        platform::Platform* p = env.platform();
        if (!p) {
            return;
        }
        auto identity = localization::ProductIdentity::FromVersionInfo(*p->versionInfo);
        auto version = p->versionInfo->read();
        definitions::PlaceholderExpander expander(*p->shellFolders);
        std::string dataFolder = definitions::DataFolder(expander);
        std::string dataFolderHost = p->fileSystem->hostPath(dataFolder);
        std::string versionText = std::to_string(version.major) + "." +
                                  std::to_string(version.minor) + "." +
                                  std::to_string(version.patch);
        if (json) {
            nlohmann::json j;
            j["product"] = identity.productName;
            j["company"] = identity.companyName;
            j["website"] = identity.website;
            j["version"] = versionText;
            j["data_folder"] = dataFolder;
            j["data_folder_host"] = dataFolderHost;
            j["program_dir"] = env.programFolder();
            j["machine_root"] = p->machineRoot;
            j["registry"] = p->registryKind;
            std::cout << jsonText(j) << '\n';
            return;
        }
        std::cout << identity.productName << ' ' << versionText << " by " << identity.companyName
                  << " (" << identity.website << ")\n"
                  << "Data folder:  " << dataFolder << '\n'
                  << "  on host:    " << dataFolderHost << '\n'
                  << "Program dir:  " << env.programFolder() << '\n'
                  << "Machine root: " << (p->machineRoot.empty() ? "-" : p->machineRoot) << '\n'
                  << "Registry:     " << p->registryKind << '\n';
    });
}

}  // namespace nightjar::cli
