#pragma once
#include "platform/FileSystem.h"
#include "platform/win32/WinHandle.h"

namespace nightjar::platform::win32 {

/// A file opened for sequential reading.
class Win32InputFile : public InputFile {
  public:
    explicit Win32InputFile(WinHandle handle) : handle_(std::move(handle)) {}
    std::size_t read(char* buffer, std::size_t size) override;

  private:
    WinHandle handle_;
};

}  // namespace nightjar::platform::win32
