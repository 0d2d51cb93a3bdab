#pragma once
#include <string>

#include "platform/FileSystem.h"
#include "platform/win32/WinHandle.h"

namespace nightjar::platform::win32 {

/// Writes a sibling temporary file; commit() flushes it and renames it over the target with
/// MoveFileEx (replace existing, write through), so the target is always the old or the new
/// content. Without a successful commit the temporary file is removed.
class Win32ReplacingFile : public OutputFile {
  public:
    Win32ReplacingFile(WinHandle handle, std::string tempPath, std::string targetPath);
    ~Win32ReplacingFile() override;
    Win32ReplacingFile(const Win32ReplacingFile&) = delete;
    Win32ReplacingFile& operator=(const Win32ReplacingFile&) = delete;

    bool write(std::string_view data) override;
    bool commit() override;

    /// Where the content goes until commit (for tests).
    const std::string& tempPath() const { return tempPath_; }

  private:
    void discard();

    WinHandle handle_;
    std::string tempPath_;
    std::string targetPath_;
    bool failed_ = false;
    bool done_ = false;
};

}  // namespace nightjar::platform::win32
