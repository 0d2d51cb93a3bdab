#pragma once
#include <string>

#include "platform/FileSystem.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// The host file system seen through a machine root. Attributes: directory; hidden for a
/// name that starts with "."; read-only when the owner may not write; reparse point for a
/// link (so a walk does not follow it); normal for a plain file with none of these. Archive
/// and system are never set. Drives are the machine root's dosdevices entries.
class PosixFileSystem : public FileSystem {
  public:
    explicit PosixFileSystem(MachineRoot machine);

    std::optional<std::vector<DirEntry>> list(std::string_view folder) override;
    /// With ListDetail::PlainFolders only folders (and entries whose kind the listing
    /// does not give) are read for their status; files and links get their attributes from
    /// their kind and name alone (no read-only bit, no size).
    std::optional<std::vector<DirEntry>> listEntries(std::string_view folder,
                                                     ListDetail detail) override;
    std::optional<std::uint32_t> attributes(std::string_view path) override;
    std::optional<std::string> storedName(std::string_view path) override;

    std::unique_ptr<InputFile> openRead(std::string_view path) override;
    std::unique_ptr<OutputFile> openAppend(std::string_view path) override;
    std::unique_ptr<OutputFile> openReplace(std::string_view path) override;

    bool createFolder(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool deleteFolder(std::string_view path) override;
    bool copyFile(std::string_view from, std::string_view to, bool overwrite) override;
    bool copyFolder(std::string_view from, std::string_view to) override;
    bool moveFile(std::string_view from, std::string_view to) override;

    /// Every dosdevices entry in letter order: fixed (remote or CD-ROM for such mounts),
    /// ready when its target is an existing folder.
    std::vector<DriveInfo> drives() override;
    /// For a drive root ("C:\\" or "C:"): succeeds when the drive's folder exists.
    std::optional<VolumeInfo> volumeInfo(std::string_view root) override;

    std::string hostPath(std::string_view windowsPath) override;
    std::string windowsPath(std::string_view hostPath) override;

    const MachineRoot& machine() const { return machine_; }

  private:
    MachineRoot machine_;
};

}  // namespace nightjar::platform::posix
