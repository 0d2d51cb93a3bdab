#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace nightjar::platform::posix {

/// A host file opened for appending; every write goes to the end of the file at once,
/// commit() flushes it to the disk.
class PosixAppendFile : public OutputFile {
  public:
    /// Creates the file when missing; nullptr when it cannot be opened.
    static std::unique_ptr<PosixAppendFile> open(const std::string& hostPath);
    ~PosixAppendFile() override;
    PosixAppendFile(const PosixAppendFile&) = delete;
    PosixAppendFile& operator=(const PosixAppendFile&) = delete;

    bool write(std::string_view data) override;
    /// True when every write succeeded and the data reached the disk.
    bool commit() override;

  private:
    explicit PosixAppendFile(int fd) : fd_(fd) {}
    int fd_;
    bool failed_ = false;
};

}  // namespace nightjar::platform::posix
