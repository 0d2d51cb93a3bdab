#pragma once
#include "platform/FileSystem.h"
#include "platform/win32/WinHandle.h"

namespace nightjar::platform::win32 {

/// A file opened for appending: every write lands at the end of the file.
class Win32AppendFile : public OutputFile {
  public:
    explicit Win32AppendFile(WinHandle handle) : handle_(std::move(handle)) {}
    bool write(std::string_view data) override;
    /// Flushes to disk; false when a write failed before.
    bool commit() override;

  private:
    WinHandle handle_;
    bool failed_ = false;
};

}  // namespace nightjar::platform::win32
