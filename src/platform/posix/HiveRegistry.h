#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace nightjar::platform::posix {

class HiveFile;

/// The registry of an offline Windows installation, read from and written to its hive
/// files through hivex. HKEY_LOCAL_MACHINE holds SOFTWARE and SYSTEM (with
/// CurrentControlSet leading to the control set that Select\Current names),
/// HKEY_CURRENT_USER is the user's NTUSER.DAT with Software\Classes in the user's
/// UsrClass.dat, and HKEY_CLASSES_ROOT shows the user's classes over the machine's.
/// HKEY_USERS holds .DEFAULT and the user's hives under the user's security id;
/// HKEY_CURRENT_CONFIG is the current hardware profile of the control set in use.
///
/// String values (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are stored in UTF-16LE and handed
/// over in UTF-8 with their zero terminators, as the other registries keep them. An offline
/// hive has no rights of its own: every key opens with either access. Each change is
/// written to the hive file at once (new file, rename); before the first change of a hive,
/// a copy of the file as it was is kept in the backup folder, and a change whose copy cannot
/// be made is refused. A hive file that another program replaced is read again.
class HiveRegistry : public Registry {
  public:
    /// Host paths of the hive files; an empty or missing one leaves its part empty.
    struct Files {
        std::string software;
        std::string system;
        std::string user;         ///< NTUSER.DAT
        std::string userClasses;  ///< UsrClass.dat
        std::string defaultUser;  ///< DEFAULT: HKEY_USERS\.DEFAULT
        /// The user's security id: HKEY_USERS\<sid> and <sid>_Classes show the user's hives.
        std::string userSid;
    };

    /// `backupFolder` (host path) is created on the first change.
    HiveRegistry(Files files, std::string backupFolder);
    ~HiveRegistry() override;
    HiveRegistry(const HiveRegistry&) = delete;
    HiveRegistry& operator=(const HiveRegistry&) = delete;

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

    /// UTF-16LE string data as UTF-8, zero terminators kept; a lone surrogate becomes
    /// U+FFFD and an odd last byte is dropped, so that a damaged string still reads.
    static std::string textFromHive(std::string_view utf16);

    /// Where the next backup copies go (host path).
    void setBackupFolder(std::string folder) { backupFolder_ = std::move(folder); }

    /// Host paths of the copies kept so far, in the order they were made.
    const std::vector<std::string>& backups() const { return backups_; }

  private:
    struct Slot;
    /// A key path inside one hive file.
    struct Place {
        Slot* slot = nullptr;
        std::vector<std::string> parts;
    };

    Slot* slot(std::size_t index);
    /// Where a key lives: nothing for a path outside every hive file, one place mostly,
    /// the user's place before the machine's for HKEY_CLASSES_ROOT.
    std::vector<Place> places(Hive hive, std::string_view path);
    /// A predefined key, or HKEY_LOCAL_MACHINE's own level, that holds no hive file itself.
    bool isOuterKey(Hive hive, std::string_view path) const;
    std::vector<std::string> outerSubkeys(Hive hive);
    std::size_t node(const Place& place);
    /// Reads the slot's hive file (into memory when `writable`); false, the slot as it
    /// was, when it cannot be opened.
    bool load(Slot& slot, bool writable);
    /// The slot's hive opened for writing, the backup copy made first; nullptr on failure.
    HiveFile* writable(Slot& slot);
    bool backup(Slot& slot);
    /// Commits the slot's hive; on failure reopens it, dropping the change.
    bool commit(Slot& slot);
    /// Drops the changes in memory: the hive is read from its file again.
    void discard(Slot& slot);

    std::vector<std::unique_ptr<Slot>> slots_;
    std::string backupFolder_;
    std::vector<std::string> backups_;
    /// "ControlSet00N", the control set in use.
    const std::string& controlSet();

    std::string userSid_;
    std::optional<std::string> controlSet_;
};

}  // namespace nightjar::platform::posix
