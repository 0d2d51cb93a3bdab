// Where the servers are and the server layout listing.
#include <gtest/gtest.h>

#include <map>

#include "mock/FakeRegistry.h"
#include "nightjar/Identity.h"
#include "settings/SettingsStore.h"
#include "update/ServerConfig.h"
#include "update/ServerLayoutListing.h"

namespace nightjar::update {
namespace {

struct Env {
    std::map<std::string, std::string> vars;
    ServerConfig::EnvLookup lookup() {
        return [this](const char* name) -> std::optional<std::string> {
            auto it = vars.find(name);
            return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
    }
};

TEST(ServerConfig, PriorityIsFlagThenEnvironmentThenSettingThenDefault) {
    mock::FakeRegistry registry;
    settings::SettingsStore store(registry, "Nightjar");
    Env env;
    ServerConfig config(&store, env.lookup());
    EXPECT_EQ(config.definitionServer(), NJ_DEFINITION_SERVER);
    EXPECT_EQ(config.languageServer(), NJ_LANGUAGE_SERVER);

    store.Write("OptionAndSettings", "DefinitionServer", "http://stored.example:8080/");
    store.Write("OptionAndSettings", "LanguageServer", "lang.stored");
    EXPECT_EQ(config.definitionServer(), "http://stored.example:8080");
    EXPECT_EQ(config.languageServer(), "http://lang.stored");

    env.vars["NIGHTJAR_DEFINITION_SERVER"] = "http://127.0.0.1:9000";
    EXPECT_EQ(config.definitionServer(), "http://127.0.0.1:9000");
    EXPECT_EQ(config.languageServer(), "http://lang.stored");
    env.vars["NIGHTJAR_LANGUAGE_SERVER"] = "https://l.example/";
    EXPECT_EQ(config.languageServer(), "https://l.example");

    config.setDefinitionOverride("http://flag.example");
    EXPECT_EQ(config.definitionServer(), "http://flag.example");
    EXPECT_EQ(config.definitionUrl("/asp/date.asp"), "http://flag.example/asp/date.asp");
    config.setLanguageOverride("http://lflag");
    EXPECT_EQ(config.languageUrl("/Languages/3/Localization.txt"),
              "http://lflag/Languages/3/Localization.txt");

    // An empty value at a level falls through to the next.
    env.vars["NIGHTJAR_DEFINITION_SERVER"] = "";
    config.setDefinitionOverride("");
    EXPECT_EQ(config.definitionServer(), "http://stored.example:8080");
}

TEST(ServerConfig, WorksWithoutSettings) {
    Env env;
    ServerConfig config(nullptr, env.lookup());
    EXPECT_EQ(config.definitionServer(), ServerConfig::NormalizeBase(NJ_DEFINITION_SERVER));
}

TEST(ServerLayoutListing, BaseFromTheWebSite) {
    const std::string host = "http://defs.example";
    EXPECT_EQ(ServerLayoutListing::Base("vendor.example", host), "http://www.vendor.example");
    // A scheme and a trailing path give the same base as the bare host.
    EXPECT_EQ(ServerLayoutListing::Base("HTTP://vendor.example/some/path", host),
              "http://www.vendor.example");
    EXPECT_EQ(ServerLayoutListing::Base("www.vendor.example", host), "http://www.vendor.example");
    EXPECT_EQ(ServerLayoutListing::Base("http://WWW.vendor.example/", host),
              "http://WWW.vendor.example");
    // The unconfigured build lists the default definition host.
    EXPECT_EQ(ServerLayoutListing::Base("nightjar.example", host + "/"), host);
}

TEST(ServerLayoutListing, EightLinesInOrder) {
    std::string text = ServerLayoutListing::Text("vendor.example", "");
    EXPECT_EQ(text,
              "http://www.vendor.example/definitions/version/R.HTM\r\n"
              "http://www.vendor.example/definitions/version/F.HTM\r\n"
              "http://www.vendor.example/definitions/version/E.HTM\r\n"
              "http://www.vendor.example/definitions/version/C.HTM\r\n"
              "http://www.vendor.example/definitions/data/BlockedCookies.dat\r\n"
              "http://www.vendor.example/definitions/data/RegistryDefinition.dat\r\n"
              "http://www.vendor.example/definitions/data/FileDefinition.dat\r\n"
              "http://www.vendor.example/definitions/data/ExeDefinition.dat\r\n");
}

}  // namespace
}  // namespace nightjar::update
