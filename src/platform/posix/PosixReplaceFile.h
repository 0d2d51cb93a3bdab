#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

#include <unistd.h>

namespace nightjar::platform::posix {

/// A replacing writer: the content goes to a hidden sibling temporary file; commit() flushes
/// it and renames it over the target, so a crash leaves the old or the new file, never a
/// torn one. Destroyed without commit, it removes the temporary file and the target stays.
class PosixReplaceFile : public OutputFile {
  public:
    /// Flushes an open file or folder to the disk; 0 on success (fsync's contract).
    using SyncFunction = std::function<int(int fd)>;

    /// nullptr when the target's folder does not exist, the target is a folder or the
    /// temporary file cannot be created. `sync` is fsync unless a test watches the calls.
    static std::unique_ptr<PosixReplaceFile> open(const std::string& hostPath,
                                                  SyncFunction sync = ::fsync);
    ~PosixReplaceFile() override;
    PosixReplaceFile(const PosixReplaceFile&) = delete;
    PosixReplaceFile& operator=(const PosixReplaceFile&) = delete;

    bool write(std::string_view data) override;
    bool commit() override;

    /// The temporary file's host path (for tests).
    const std::string& temporaryPath() const { return tempPath_; }

  private:
    PosixReplaceFile(int fd, std::string target, std::string temp, SyncFunction sync);
    void discard();

    int fd_;
    std::string targetPath_;
    std::string tempPath_;
    SyncFunction sync_;
    bool failed_ = false;
    bool done_ = false;
};

}  // namespace nightjar::platform::posix
