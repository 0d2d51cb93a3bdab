#pragma once
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace nightjar::settings {

/// Per-user string settings addressed by application name, section and key. Values live
/// under one fixed per-user root for every application name
/// (HKEY_CURRENT_USER\Software\VB and VBA Program Settings\APP\SECTION), so a companion
/// program finds the record. Reads never fail (a missing key gives the default) and
/// nothing is cached.
class SettingsStore {
  public:
    static constexpr std::string_view kRoot = "Software\\VB and VBA Program Settings";

    SettingsStore(platform::Registry& registry, std::string appName);

    const std::string& appName() const { return appName_; }

    std::string Read(std::string_view section, std::string_view key,
                     std::string_view defaultValue) const;
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    /// Under an explicit application name (the companion record).
    std::string ReadApp(std::string_view app, std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;
    bool WriteApp(std::string_view app, std::string_view section, std::string_view key,
                  std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);

    /// Check box form: integer conversion of the stored text (default on failure).
    int ReadInt(std::string_view section, std::string_view key, int defaultValue) const;
    /// Option button form: "True"/"False", also "1"/"0" and other numbers (non-zero true).
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  private:
    platform::Registry& registry_;
    std::string appName_;
};

/// Converts a stored text the way a boolean test does; false with ok=false when it is
/// neither "True"/"False" nor a number.
bool ToBool(std::string_view text, bool& ok);

}  // namespace nightjar::settings
