#pragma once
#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/Registry.h"

namespace nightjar::mock {

/// An in-memory registry: case-insensitive, case-preserving keys and value names; keys can
/// be marked read-only so that opening them with full rights fails.
class FakeRegistry : public platform::Registry {
  public:
    FakeRegistry();

    void setReadOnly(platform::Hive hive, std::string_view path, bool readOnly);
    /// Makes every change fail from now on.
    void setFailWrites(bool fail) { failWrites_ = fail; }
    /// Number of keys (excluding the roots).
    std::size_t keyCount() const;

    bool keyExists(platform::Hive hive, std::string_view path, platform::KeyAccess access) override;
    std::optional<platform::RegValue> queryValue(platform::Hive hive, std::string_view path,
                                                 std::string_view name,
                                                 platform::KeyAccess access) override;
    bool createKey(platform::Hive hive, std::string_view path) override;
    bool setValue(platform::Hive hive, std::string_view path, std::string_view name,
                  const platform::RegValue& value) override;
    bool deleteValue(platform::Hive hive, std::string_view path, std::string_view name) override;
    bool deleteTree(platform::Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> subkeys(platform::Hive hive,
                                                    std::string_view path) override;
    std::optional<std::vector<std::string>> valueNames(platform::Hive hive,
                                                       std::string_view path) override;

  private:
    struct Key {
        std::string name;  // last component, original case
        bool readOnly = false;
        std::map<std::string, std::pair<std::string, platform::RegValue>>
            values;  // lower -> (name, value)
    };
    using Id = std::pair<std::uint32_t, std::string>;  // hive, lower-cased normalised path

    static std::string normalize(std::string_view path);
    static Id id(platform::Hive hive, std::string_view path);
    Key* find(platform::Hive hive, std::string_view path, platform::KeyAccess access);

    std::map<Id, Key> keys_;
    bool failWrites_ = false;
};

}  // namespace nightjar::mock
