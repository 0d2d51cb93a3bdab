#pragma once
#include "platform/Registry.h"

namespace nightjar::platform::win32 {

/// The Windows registry through advapi32 (and shlwapi for whole trees). Every call opens and
/// closes its own key; texts travel in the ANSI code page.
class Win32Registry : public Registry {
  public:
    bool keyExists(Hive hive, std::string_view path, KeyAccess access) override;
    std::optional<RegValue> queryValue(Hive hive, std::string_view path, std::string_view name,
                                       KeyAccess access) override;
    bool createKey(Hive hive, std::string_view path) override;
    bool setValue(Hive hive, std::string_view path, std::string_view name,
                  const RegValue& value) override;
    bool deleteValue(Hive hive, std::string_view path, std::string_view name) override;
    /// Refuses an empty path: SHDeleteKey would otherwise empty the whole hive.
    bool deleteTree(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> subkeys(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> valueNames(Hive hive, std::string_view path) override;
};

}  // namespace nightjar::platform::win32
