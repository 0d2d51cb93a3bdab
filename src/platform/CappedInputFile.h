#pragma once
#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/FileSystem.h"

namespace nightjar::platform {

/// A file read no further than a given number of bytes: what the scan reads of a file it
/// meets is bounded, whatever the file holds.
class CappedInputFile : public InputFile {
  public:
    CappedInputFile(std::unique_ptr<InputFile> file, std::uint64_t cap)
        : file_(std::move(file)), left_(cap) {}

    std::size_t read(char* buffer, std::size_t size) override {
        if (!file_ || left_ == 0) {
            return 0;
        }
        const std::size_t n =
            file_->read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, left_)));
        left_ -= n;
        return n;
    }

  private:
    std::unique_ptr<InputFile> file_;
    std::uint64_t left_;
};

}  // namespace nightjar::platform
