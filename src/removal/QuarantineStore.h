#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "removal/RemovalLog.h"

namespace nightjar::removal {

struct RegFileKey;

/// What a quarantined object was.
enum class QuarantineKind { File, Folder, RegistryValue, RegistryKey };

/// One object the quarantine holds, as the index beside the log records it.
struct QuarantineItem {
    std::string time;  ///< when it was quarantined (general date form)
    QuarantineKind kind = QuarantineKind::File;
    /// Files and folders: the original full path. Registry: the key as "HIVE NAME\path".
    std::string original;
    /// Registry values: the value name ("" is the key's default value).
    std::string valueName;
    /// The name inside the quarantine folder: the copy, the folder copy or the ".reg" backup.
    std::string name;
};

/// How quarantining and deleting a folder ended.
enum class FolderRemoval {
    Removed,       ///< copied completely, then deleted
    CopyFailed,    ///< no complete copy could be made: the folder was left in place
    DeleteFailed,  ///< copied, but the folder (or part of it) is still there
};

/// How restoring one quarantined object ended.
enum class RestoreResult {
    Restored,
    NotFound,      ///< no such name in the index, or its copy is gone
    TargetExists,  ///< the original path (or registry value) exists and `force` was not given
    Failed,        ///< the copy back or the registry import failed; the quarantine keeps it
};

/// The quarantine folder `DataFolder`\quarantine: copies of removed files and folders,
/// ".reg" backups of removed registry values and keys, the quarantine log
/// "QuarantineLog.txt", and an index of what it holds so that everything can be restored.
/// A name already taken in the folder never loses its copy: a second object of the same
/// name is kept under a new name ("setup.exe.001"). No call throws.
class QuarantineStore : public RemovalLog {
  public:
    /// `now` gives the current date and time in the general date form for log lines.
    QuarantineStore(platform::FileSystem& fs, platform::Registry& registry, std::string dataFolder,
                    std::function<std::string()> now);
    ~QuarantineStore() override;
    QuarantineStore(const QuarantineStore&) = delete;
    QuarantineStore& operator=(const QuarantineStore&) = delete;

    /// `DataFolder`\quarantine, without a trailing backslash.
    const std::string& folder() const { return folder_; }
    /// Creates the quarantine folder (an existing one is fine); true when it exists after.
    bool QuarantineFolder();

    /// Starts a removal: copies made from now on are remembered by source path, so that the
    /// retries and the second pass of one removal reuse the first copy instead of making
    /// another.
    void beginRemoval();
    /// Log entries and registry backups are written only while this is set.
    void setFirstRemovalPass(bool on) { firstPass_ = on; }
    bool FirstRemovalPass() const { return firstPass_; }

    /// Copies the file into the quarantine (under `fileName`, or a new unique name when that
    /// is taken), checks the copy is complete, and records it in the index. Returns the
    /// quarantined name, or nullopt when no complete copy exists: the caller must then not
    /// delete the source. A source already copied in this removal returns its first copy.
    std::optional<std::string> QuarantineCopy(std::string_view source, std::string_view fileName);
    /// Copies the folder tree into the quarantine under its last path component (made unique
    /// like files), checks the copy, records it, then deletes the source folder forcibly.
    FolderRemoval QuarantineFolderCopy(std::string_view folder);
    /// Appends a file entry to the log (first pass only): "File:" names the quarantined
    /// copy, "Location:" the source path.
    void LogQuarantinedFile(std::string_view source, std::string_view quarantinedName);

    /// Writes a ".reg" backup of one value as it is now (type and data), named from the
    /// hive, key and value, and records it. First pass only. Returns the backup's name, or
    /// nullopt when the value does not exist, the pass is not the first, or the backup could
    /// not be written: the caller must then not delete the value.
    std::optional<std::string> BackupRegistryValue(platform::Hive hive, std::string_view path,
                                                   std::string_view valueName);
    /// The same for a whole key with every value and subkey below it.
    std::optional<std::string> BackupRegistryKey(platform::Hive hive, std::string_view path);

    /// Appends a registry entry to the log (first pass only): key text and value name, or
    /// "All Values" for a whole key.
    void LogRegistryRemoval(std::string_view keyText, std::string_view valueText);
    void logRegistryRemoval(std::string_view keyText, std::string_view valueText) override {
        LogRegistryRemoval(keyText, valueText);
    }

    /// What the quarantine holds, oldest first.
    std::vector<QuarantineItem> items() const;
    /// Puts a quarantined object back: a file or folder byte-identical at its original path
    /// (refused when something is there, unless `force`), a registry backup imported through
    /// the registry (refused when a value it holds exists, unless `force`). A restored object
    /// leaves the quarantine and the index, and the restore is logged.
    RestoreResult restore(std::string_view name, bool force);

  private:
    class Impl;
    std::string pathOf(std::string_view name) const;
    /// `stem` + `extension`, or with ".001", ".002"... before the extension when a file,
    /// folder, index entry or reserved name of that name (in any case) exists.
    std::optional<std::string> uniqueName(std::string_view stem, std::string_view extension);
    /// Whether `copy` holds the same bytes as `original`; for folders, every file below it.
    bool sameFile(std::string_view original, std::string_view copy);
    bool sameTree(std::string_view original, std::string_view copy, int depth);
    std::vector<QuarantineItem> loadIndex() const;
    bool saveIndex(const std::vector<QuarantineItem>& items);
    void record(QuarantineKind kind, std::string original, std::string valueName, std::string name);
    /// Appends a log entry: the current time with `first`, then `second`.
    void appendEntry(std::string_view first, std::string_view second);
    std::optional<std::string> writeBackup(QuarantineKind kind, platform::Hive hive,
                                           std::string_view path, std::string_view valueName,
                                           const std::vector<RegFileKey>& keys);
    bool gatherKey(platform::Hive hive, const std::string& path, int depth,
                   std::vector<RegFileKey>& keys);
    /// A file or folder back at its original path, checked like the copy that kept it.
    RestoreResult restorePath(const QuarantineItem& item, bool force);
    RestoreResult restoreRegistry(const QuarantineItem& item, bool force);

    platform::FileSystem& fs_;
    platform::Registry& registry_;
    std::string dataFolder_;
    std::string folder_;
    std::function<std::string()> now_;
    bool firstPass_ = true;
    std::unique_ptr<Impl> impl_;
};

}  // namespace nightjar::removal
