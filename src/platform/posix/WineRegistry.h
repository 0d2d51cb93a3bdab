#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"
#include "platform/posix/WineRegFile.h"

namespace nightjar::platform::posix {

/// The registry of a Wine prefix, read and written in Wine's own files: system.reg holds
/// HKEY_LOCAL_MACHINE, user.reg HKEY_CURRENT_USER, userdef.reg HKEY_USERS\.Default.
/// HKEY_CLASSES_ROOT is Software\Classes of the user over that of the machine;
/// HKEY_USERS also holds the user under the name user.reg gives it; HKEY_CURRENT_CONFIG is
/// the current hardware profile of the machine.
///
/// Every call looks at the files afresh (a file changed on the disk is read again). A change
/// rewrites the one file it touches in full, atomically, with every other line as it was.
/// While a wineserver runs for the prefix nothing is changed: it would write its own copy
/// of the registry over the files when it ends. Keys still open with KeyAccess::Full then,
/// so that a scan finds what it would find otherwise; only the changes fail.
class WineRegistry : public Registry {
  public:
    /// Seconds since 1970, stamped on the keys a change touches.
    using Clock = std::function<std::int64_t()>;

    /// True when `folder` holds system.reg, user.reg and userdef.reg.
    static bool isPrefix(const std::string& folder);

    /// `clock` is the system clock unless a test sets one.
    explicit WineRegistry(std::string prefix, Clock clock = {});

    /// Why the files are not changed now (a wineserver runs for the prefix); empty when
    /// they may be.
    std::string readOnlyReason() const;

    bool keyExists(Hive hive, std::string_view path, KeyAccess access) override;
    std::optional<RegValue> queryValue(Hive hive, std::string_view path, std::string_view name,
                                       KeyAccess access) override;
    bool createKey(Hive hive, std::string_view path) override;
    bool setValue(Hive hive, std::string_view path, std::string_view name,
                  const RegValue& value) override;
    bool deleteValue(Hive hive, std::string_view path, std::string_view name) override;
    bool deleteTree(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> subkeys(Hive hive, std::string_view path) override;
    std::optional<std::vector<std::string>> valueNames(Hive hive, std::string_view path) override;

  private:
    enum FileId { kSystem, kUser, kUserDefault, kFileCount };
    /// A key as one file holds it.
    struct Place {
        FileId file;
        std::string path;
    };
    /// What a hive path stands for: the places holding it, in the order they are read, or
    /// HKEY_USERS itself, which no file holds.
    struct Target {
        std::vector<Place> places;
        bool usersRoot = false;
    };
    struct Loaded {
        std::string hostPath;
        std::optional<WineRegFile> reg;
        /// Device, inode, size and modification time of the file read; all 0 for none.
        std::uint64_t identity[4] = {};
    };

    Target target(Hive hive, std::string_view path);
    using NameList =
        std::optional<std::vector<std::string>> (WineRegFile::*)(std::string_view) const;
    /// The names `list` gives for each place of `t`, the first spelling of each name kept;
    /// nullopt when no place holds the key.
    std::optional<std::vector<std::string>> mergedNames(const Target& t, NameList list);
    /// The file, read again when it changed on the disk; null when it cannot be read.
    WineRegFile* file(FileId id);
    /// Writes the file when it was changed; false when that fails.
    bool save(FileId id);
    bool writable() const;
    /// The name user.reg gives its user under HKEY_USERS ("S-1-5-21-0-0-0-1000").
    std::string userName();
    /// The place a new key or value goes to: the first one holding the key, else the last.
    std::optional<Place> writePlace(const Target& t);

    std::string prefix_;
    Clock clock_;
    Loaded files_[kFileCount];
};

}  // namespace nightjar::platform::posix
