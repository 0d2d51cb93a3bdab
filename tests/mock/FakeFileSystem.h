#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace nightjar::mock {

/// An in-memory file system addressed by Windows paths, case-insensitive and
/// case-preserving. Drive roots ("C:\\") exist for the drives given to it (C: by default).
class FakeFileSystem : public platform::FileSystem {
  public:
    FakeFileSystem();

    // Test set-up.
    /// Creates the file (and its folders) with the content and attributes.
    void addFile(std::string_view path, std::string_view content = {},
                 std::uint32_t attributes = platform::attr::Normal);
    /// Creates the folder and its parents; `attributes` always includes Directory.
    void addFolder(std::string_view path, std::uint32_t attributes = platform::attr::Directory);
    void setAttributes(std::string_view path, std::uint32_t attributes);
    /// Content of a file, nullopt when it does not exist.
    std::optional<std::string> content(std::string_view path) const;
    /// Replaces the drive table.
    void setDrives(std::vector<platform::DriveInfo> drives);
    /// Drives whose volume information cannot be read.
    void setVolumeUnreadable(char letter, bool unreadable);
    /// How many times openRead was called for the path.
    int readCount(std::string_view path) const;
    /// Makes every write, commit, copy, move and delete fail from now on.
    void setFailWrites(bool fail) { failWrites_ = fail; }
    /// Makes every write into the folder (and below it) fail; existing content stays.
    void setReadOnlyTree(std::string_view folder) { readOnlyTrees_.push_back(key(folder)); }
    /// Makes deleting the file or folder (or anything below it) fail, as an open file does.
    void setLocked(std::string_view path) { locked_.push_back(key(path)); }
    /// Makes commits of replacing writers fail once `n` more commits have succeeded.
    void failCommitAfter(int n) { commitBudget_ = n; }
    /// All paths (original case), sorted, for assertions.
    std::vector<std::string> allPaths() const;

    // FileSystem.
    std::optional<std::vector<platform::DirEntry>> list(std::string_view folder) override;
    std::optional<std::uint32_t> attributes(std::string_view path) override;
    std::optional<std::string> storedName(std::string_view path) override;
    std::unique_ptr<platform::InputFile> openRead(std::string_view path) override;
    std::unique_ptr<platform::OutputFile> openAppend(std::string_view path) override;
    std::unique_ptr<platform::OutputFile> openReplace(std::string_view path) override;
    bool createFolder(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool deleteFolder(std::string_view path) override;
    bool copyFile(std::string_view from, std::string_view to, bool overwrite) override;
    bool copyFolder(std::string_view from, std::string_view to) override;
    bool moveFile(std::string_view from, std::string_view to) override;
    std::vector<platform::DriveInfo> drives() override;
    std::optional<platform::VolumeInfo> volumeInfo(std::string_view root) override;
    std::string hostPath(std::string_view windowsPath) override;
    std::string windowsPath(std::string_view hostPath) override;

    /// Normalised key of a path: lower case, no trailing backslash except on a drive root.
    static std::string key(std::string_view path);

  private:
    struct Node {
        std::string path;  // original case, normalised form
        std::uint32_t attributes = 0;
        std::string data;
    };
    friend class FakeOutputFile;

    static std::string normalize(std::string_view path);
    static std::string parentOf(const std::string& normalized);
    bool ensureFolders(const std::string& normalized);
    bool driveExists(std::string_view normalized) const;
    bool consumeCommit();
    bool refusesWrite(std::string_view path) const;
    bool locked(std::string_view path) const;

    std::map<std::string, Node> nodes_;
    std::map<std::string, int> reads_;
    std::vector<platform::DriveInfo> drives_;
    std::map<char, bool> volumeUnreadable_;
    bool failWrites_ = false;
    std::vector<std::string> readOnlyTrees_;
    std::vector<std::string> locked_;
    int commitBudget_ = -1;
};

}  // namespace nightjar::mock
