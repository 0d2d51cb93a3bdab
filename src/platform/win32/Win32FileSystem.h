#pragma once
#include "platform/FileSystem.h"

namespace nightjar::platform::win32 {

/// The file system through the Win32 file API. Windows paths are host paths here, so
/// hostPath and windowsPath are the identity.
class Win32FileSystem : public FileSystem {
  public:
    std::optional<std::vector<DirEntry>> list(std::string_view folder) override;
    std::optional<std::uint32_t> attributes(std::string_view path) override;
    std::optional<std::string> storedName(std::string_view path) override;

    std::unique_ptr<InputFile> openRead(std::string_view path) override;
    /// GetFileVersionInfoW and VerQueryValueW: the CompanyName of the first translation's
    /// string table that has one, else of the usual English tables.
    std::optional<std::string> companyNameOf(std::string_view path) override;
    std::unique_ptr<OutputFile> openAppend(std::string_view path) override;
    std::unique_ptr<OutputFile> openReplace(std::string_view path) override;

    bool createFolder(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    /// Deletes read-only and hidden content too; a junction inside is removed, not entered.
    bool deleteFolder(std::string_view path) override;
    bool copyFile(std::string_view from, std::string_view to, bool overwrite) override;
    /// Copies the tree into `to` (created when missing), overwriting files of the same name.
    bool copyFolder(std::string_view from, std::string_view to) override;
    bool moveFile(std::string_view from, std::string_view to) override;

    /// GetLogicalDriveStrings in system order; `ready` when the volume information reads.
    std::vector<DriveInfo> drives() override;
    /// GetVolumeInformation with the classic 14- and 32-character buffers, retried with
    /// full-size buffers when a long volume label does not fit.
    std::optional<VolumeInfo> volumeInfo(std::string_view root) override;

    std::string hostPath(std::string_view windowsPath) override { return std::string(windowsPath); }
    std::string windowsPath(std::string_view hostPath) override { return std::string(hostPath); }
};

}  // namespace nightjar::platform::win32
