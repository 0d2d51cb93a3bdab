#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::platform {

/// File attribute bits (FILE_ATTRIBUTE_*).
namespace attr {
inline constexpr std::uint32_t ReadOnly = 0x01;
inline constexpr std::uint32_t Hidden = 0x02;
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;
inline constexpr std::uint32_t Normal = 0x80;
/// A link (junction, symbolic link): a walk does not enter it, so link cycles end.
inline constexpr std::uint32_t ReparsePoint = 0x400;
}  // namespace attr

/// One entry of a folder listing; "." and ".." are never returned.
struct DirEntry {
    std::string name;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    bool isDirectory() const { return (attributes & attr::Directory) != 0; }
};

/// How much a listing must tell about each entry.
enum class ListDetail {
    /// Every attribute and the size of every entry.
    Full,
    /// Enough to tell plain folders from everything else, which is all a walk needs: an
    /// entry whose attributes are exactly attr::Directory comes back so, and every other
    /// entry comes back with attributes that are not, though they may lack bits a full
    /// listing would show (read-only, the Directory bit of a link to a folder) and its size.
    /// Lets a platform skip the per-entry status read that only those bits need.
    PlainFolders,
};

/// Drive types as GetDriveType reports them.
enum class DriveType {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6
};

struct DriveInfo {
    char letter = 'C';  ///< upper-case drive letter
    DriveType type = DriveType::Unknown;
    bool ready = false;
    /// The drive is the host's whole file system (a machine root's z: -> /), not the
    /// machine's own: a Full Scan leaves it out unless the user checks it.
    bool hostRoot = false;
};

struct VolumeInfo {
    std::string volumeName;
    std::string fileSystemName;
    std::uint32_t serial = 0;
};

/// A file opened for reading; read returns the number of bytes read, 0 at the end or on error.
class InputFile {
  public:
    virtual ~InputFile() = default;
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

/// A file opened for writing. Nothing is guaranteed on disk until commit() returned true;
/// for a replacing writer, commit() flushes the sibling temporary file and renames it over
/// the target, so a crash leaves the old or the new file, never a torn one. Destroying an
/// uncommitted replacing writer discards its temporary file.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual bool write(std::string_view data) = 0;
    virtual bool commit() = 0;
};

/// The file system, addressed by Windows paths ("C:\\x\\y"). No call throws; failures give
/// false, nullopt or empty results.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    /// Entries of a folder (path with or without trailing backslash); nullopt when the
    /// folder cannot be listed.
    virtual std::optional<std::vector<DirEntry>> list(std::string_view folder) = 0;
    /// The same listing, telling about each entry what `detail` asks for (at least). The
    /// default lists in full.
    virtual std::optional<std::vector<DirEntry>> listEntries(std::string_view folder,
                                                             ListDetail detail) {
        (void)detail;
        return list(folder);
    }
    /// Attributes of a file or folder, nullopt when it does not exist.
    virtual std::optional<std::uint32_t> attributes(std::string_view path) = 0;
    /// The name the file system stores for the last component of `path` (its real letter
    /// case), nullopt when it does not exist.
    virtual std::optional<std::string> storedName(std::string_view path) = 0;

    /// Opens a file for reading its content.
    virtual std::unique_ptr<InputFile> openRead(std::string_view path) = 0;
    /// The "CompanyName" of the file's version resource as the system itself reads it (""
    /// when it has none); nullopt when the platform has no such reader and leaves the
    /// file's bytes to the caller. The default has none.
    virtual std::optional<std::string> companyNameOf(std::string_view path) {
        (void)path;
        return std::nullopt;
    }
    /// Opens for appending (created when missing).
    virtual std::unique_ptr<OutputFile> openAppend(std::string_view path) = 0;
    /// Opens a replacing writer: the content goes to a sibling temporary file which commit()
    /// renames over `path`.
    virtual std::unique_ptr<OutputFile> openReplace(std::string_view path) = 0;

    virtual bool createFolder(std::string_view path) = 0;  ///< with missing parents
    virtual bool deleteFile(std::string_view path) = 0;
    virtual bool deleteFolder(std::string_view path) = 0;  ///< with everything inside
    virtual bool copyFile(std::string_view from, std::string_view to, bool overwrite) = 0;
    virtual bool copyFolder(std::string_view from, std::string_view to) = 0;
    virtual bool moveFile(std::string_view from, std::string_view to) = 0;  ///< replaces `to`

    virtual std::vector<DriveInfo> drives() = 0;
    virtual std::optional<VolumeInfo> volumeInfo(std::string_view root) = 0;

    /// Where a Windows path lies on the host (identity on Windows); empty when unmapped.
    virtual std::string hostPath(std::string_view windowsPath) = 0;
    /// The Windows path of a host path (identity on Windows); empty when no drive holds it.
    virtual std::string windowsPath(std::string_view hostPath) = 0;

    // Conveniences built on the calls above.
    bool exists(std::string_view path) { return attributes(path).has_value(); }
    bool fileExists(std::string_view path);
    bool folderExists(std::string_view path);
    /// Whole file into `out`; false when it cannot be read.
    bool readAll(std::string_view path, std::string& out);
    /// Replaces the file atomically with `data`.
    bool writeAll(std::string_view path, std::string_view data);
};

}  // namespace nightjar::platform
