#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar::platform::posix {

/// A replacing writer: the content goes to a hidden sibling temporary file; commit() flushes
/// it and renames it over the target, so a crash leaves the old or the new file, never a
/// torn one. Destroyed without commit, it removes the temporary file and the target stays.
class PosixReplaceFile : public OutputFile {
  public:
    /// nullptr when the target's folder does not exist, the target is a folder or the
    /// temporary file cannot be created.
    static std::unique_ptr<PosixReplaceFile> open(const std::string& hostPath);
    ~PosixReplaceFile() override;
    PosixReplaceFile(const PosixReplaceFile&) = delete;
    PosixReplaceFile& operator=(const PosixReplaceFile&) = delete;

    bool write(std::string_view data) override;
    bool commit() override;

    /// The temporary file's host path (for tests).
    const std::string& temporaryPath() const { return tempPath_; }

  private:
    PosixReplaceFile(int fd, std::string target, std::string temp);
    void discard();

    int fd_;
    std::string targetPath_;
    std::string tempPath_;
    bool failed_ = false;
    bool done_ = false;
};

}  // namespace nightjar::platform::posix
