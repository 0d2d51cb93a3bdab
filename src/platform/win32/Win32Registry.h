#pragma once
#include "platform/Registry.h"

namespace nightjar::platform::win32 {

/// The Windows registry through advapi32's wide functions. Every call opens and closes its
/// own key, always in the 64-bit view (so the 32-bit programs' keys show under Wow6432Node,
/// whatever this build's bitness). Names and text data are the engine's UTF-8, UTF-16 at
/// the system.
class Win32Registry : public Registry {
  public:
    bool keyExists(Hive hive, std::string_view path, KeyAccess access) override;
    std::optional<RegValue> queryValue(Hive hive, std::string_view path, std::string_view name,
                                       KeyAccess access) override;
    bool createKey(Hive hive, std::string_view path) override;
    bool setValue(Hive hive, std::string_view path, std::string_view name,
                  const RegValue& value) override;
    bool deleteValue(Hive hive, std::string_view path, std::string_view name) override;
    /// Refuses an empty path: the hive itself would otherwise be emptied.
    bool deleteTree(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> subkeys(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> valueNames(Hive hive, std::string_view path) override;
};

}  // namespace nightjar::platform::win32
