#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nightjar::settings {
class SettingsStore;
}

namespace nightjar::update {

/// Where the definition server and the language server are. Each base URL is, from the
/// highest priority down: the command-line override, the environment variable
/// (NIGHTJAR_DEFINITION_SERVER / NIGHTJAR_LANGUAGE_SERVER), the setting
/// OptionAndSettings\DefinitionServer / LanguageServer, the compiled default
/// (NJ_DEFINITION_SERVER / NJ_LANGUAGE_SERVER). Values are read at the moment of use.
class ServerConfig {
  public:
    static constexpr std::string_view kSection = "OptionAndSettings";
    static constexpr std::string_view kDefinitionKey = "DefinitionServer";
    static constexpr std::string_view kLanguageKey = "LanguageServer";
    static constexpr const char* kDefinitionEnv = "NIGHTJAR_DEFINITION_SERVER";
    static constexpr const char* kLanguageEnv = "NIGHTJAR_LANGUAGE_SERVER";

    /// Looks up an environment variable; nullopt when unset.
    using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

    /// `settings` may be null (no stored override); `env` defaults to the process
    /// environment.
    explicit ServerConfig(const settings::SettingsStore* settings = nullptr, EnvLookup env = {});

    void setDefinitionOverride(std::string url) { definitionOverride_ = std::move(url); }
    void setLanguageOverride(std::string url) { languageOverride_ = std::move(url); }

    /// Base URL without a trailing "/", with "http://" added when no scheme was given.
    std::string definitionServer() const;
    std::string languageServer() const;

    /// Base URL + path ("/asp/date.asp").
    std::string definitionUrl(std::string_view pathAndQuery) const;
    std::string languageUrl(std::string_view pathAndQuery) const;

    /// The public key answers of the definition server must be signed with (one line of
    /// base64 DER): the setting OptionAndSettings\DefinitionPublicKey, else the compiled
    /// NJ_DEFINITION_PUBLIC_KEY. Empty: answers are taken unsigned.
    std::string definitionPublicKey() const;

    /// Trims blanks and trailing "/", adds "http://" when the text has no "://".
    static std::string NormalizeBase(std::string_view url);

  private:
    std::string resolve(const std::string& cliOverride, const char* envName, std::string_view key,
                        std::string_view compiledDefault) const;

    const settings::SettingsStore* settings_;
    EnvLookup env_;
    std::string definitionOverride_;
    std::string languageOverride_;
};

}  // namespace nightjar::update
