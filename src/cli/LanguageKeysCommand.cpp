#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "app/ProgramWindows.h"
#include "cli/CliEnv.h"
#include "localization/MessageCatalog.h"
#include "localization/TranslationKeys.h"

namespace nightjar::cli {

namespace {

/// Every translatable key with its English text: the windows' texts, then the messages.
template <typename Out>
void forEachEnglishItem(Out out) {
    for (localization::WindowText w : app::ProgramWindows()) {
        for (const localization::TranslatableText& t : localization::TranslatableTexts(w)) {
            out(t.key, *t.text);
        }
    }
    for (auto table : {localization::DefaultMessages(), localization::SupplementaryMessages()}) {
        for (const localization::DefaultMessage& m : table) {
            out(std::string(m.key), std::string(m.text));
        }
    }
}

}  // namespace

void addLanguageKeysCommand(CLI::App& language, CliEnv& /*env*/) {
    auto* keys = language.add_subcommand(
        "keys", "List every translatable key: the texts of every window, then every MSG_ key");
    static bool items = false;
    keys->add_flag("--items", items,
                   "Print item lines with the English texts (the English group of "
                   "Localization.txt)");
    keys->callback([]() {
        forEachEnglishItem([](const std::string& key, const std::string& text) {
            if (items) {
                std::cout << "\t\t\t<" << key << '>' << text << "</" << key << ">\n";
            } else {
                std::cout << key << '\n';
            }
        });
    });
}

}  // namespace nightjar::cli
