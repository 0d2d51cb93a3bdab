#include "update/ServerConfig.h"

#include <cstdlib>

#include "nightjar/Identity.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "util/Text.h"

namespace nightjar::update {

namespace {

std::optional<std::string> processEnvironment(const char* name) {
    const char* v = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read-only use
    if (v == nullptr) {
        return std::nullopt;
    }
    return std::string(v);
}
}  // namespace

ServerConfig::ServerConfig(const settings::SettingsStore* settings, EnvLookup env)
    : settings_(settings), env_(env ? std::move(env) : EnvLookup(processEnvironment)) {}

std::string ServerConfig::NormalizeBase(std::string_view url) {
    std::string s = text::trim(url);
    while (!s.empty() && s.back() == '/') {
        s.pop_back();
    }
    if (!s.empty() && s.find("://") == std::string::npos) {
        s.insert(0, "http://");
    }
    return s;
}

std::string ServerConfig::resolve(const std::string& cliOverride, const char* envName,
                                  std::string_view key, std::string_view compiledDefault) const {
    std::string v = NormalizeBase(cliOverride);
    if (v.empty()) {
        if (auto e = env_(envName)) {
            v = NormalizeBase(*e);
        }
    }
    if (v.empty() && settings_ != nullptr) {
        v = NormalizeBase(settings_->Read(kSection, key, ""));
    }
    if (v.empty()) {
        v = NormalizeBase(compiledDefault);
    }
    return v;
}

std::string ServerConfig::definitionServer() const {
    return resolve(definitionOverride_, kDefinitionEnv, kDefinitionKey, NJ_DEFINITION_SERVER);
}

std::string ServerConfig::languageServer() const {
    return resolve(languageOverride_, kLanguageEnv, kLanguageKey, NJ_LANGUAGE_SERVER);
}

std::string ServerConfig::definitionPublicKey() const {
    std::string key;
    if (settings_ != nullptr) {
        key = text::trim(settings_->Read(settings::keys::kOptionAndSettings,
                                         settings::keys::kDefinitionPublicKey, ""));
    }
    return key.empty() ? text::trim(NJ_DEFINITION_PUBLIC_KEY) : key;
}

std::string ServerConfig::definitionUrl(std::string_view pathAndQuery) const {
    return definitionServer() + std::string(pathAndQuery);
}

std::string ServerConfig::languageUrl(std::string_view pathAndQuery) const {
    return languageServer() + std::string(pathAndQuery);
}

}  // namespace nightjar::update
