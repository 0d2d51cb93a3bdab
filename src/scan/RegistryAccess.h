#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"
#include "removal/RemovalLog.h"

namespace nightjar::scan {

/// The registry operations the scan, the removal and the home-page shield use. Keys are
/// opened with the 0x3F rights, so a key the user may only read counts as not openable.
class RegistryAccess {
  public:
    /// `log` receives the deletions; without one they are not recorded.
    explicit RegistryAccess(platform::Registry& registry, removal::RemovalLog* log = nullptr);

    void setRemovalLog(removal::RemovalLog* log) { log_ = log; }

    /// Hive of a code "0".."5"; nullopt for any other text. Sets the current hive name
    /// (empty when there is no hive).
    std::optional<platform::Hive> HiveFromCode(std::string_view code);
    /// The name the last HiveFromCode found ("" when none).
    const std::string& currentHiveName() const { return currentHiveName_; }

    bool KeyExists(platform::Hive hive, std::string_view path);
    /// Text, expandable text (without the final terminator) or a 32-bit number as decimal
    /// text; false for any other type or when the key or value cannot be read.
    bool ReadValue(platform::Hive hive, std::string_view path, std::string_view name,
                   std::string& out);
    /// Values up to 1024 bytes: text as stored (final zero dropped), a 32-bit number as
    /// decimal text; false when the key or value cannot be read or has another type.
    bool ReadValueText(platform::Hive hive, std::string_view path, std::string_view name,
                       std::string& out);
    /// ReadValueText under HKEY_CURRENT_USER.
    bool ReadUserKeyValue(std::string_view path, std::string_view name, std::string& out);
    /// A whole decimal number is written as a 32-bit number, anything else as the trimmed
    /// text. The key is created when missing. Failures are ignored.
    void WriteValue(platform::Hive hive, std::string_view path, std::string_view name,
                    std::string_view value);
    /// Deletes the value; a deleted named value is logged with the key text
    /// "HIVE NAME\path".
    void DeleteValue(platform::Hive hive, std::string_view path, std::string_view name);
    /// Deletes the key with everything below it; logged with the key text
    /// "<handle value>\path" and "All Values". True when deleted.
    bool DeleteKeyTree(platform::Hive hive, std::string_view path);
    /// Self-registration lookup of a component server file. The platform layer offers no
    /// library loader (and the entry point would not be called anyway), so nothing is
    /// loaded; always true.
    bool RegisterServerEntry(std::string_view dllPath, bool registerFlag);

    platform::Registry& registry() { return registry_; }

  private:
    platform::Registry& registry_;
    removal::RemovalLog* log_;
    std::string currentHiveName_;
};

}  // namespace nightjar::scan
