#pragma once
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace nightjar::platform::posix {

/// A host file opened for reading.
class PosixInputFile : public InputFile {
  public:
    /// nullptr when the file cannot be opened or is not a regular file (a folder, FIFO,
    /// socket or device, also through a link): only regular files have content to read.
    static std::unique_ptr<PosixInputFile> open(const std::string& hostPath);
    ~PosixInputFile() override;
    PosixInputFile(const PosixInputFile&) = delete;
    PosixInputFile& operator=(const PosixInputFile&) = delete;

    std::size_t read(char* buffer, std::size_t size) override;

  private:
    explicit PosixInputFile(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace nightjar::platform::posix
