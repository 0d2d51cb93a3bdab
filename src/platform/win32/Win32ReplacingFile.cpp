#include "platform/win32/Win32ReplacingFile.h"

#include "platform/win32/LongPath.h"
#include "platform/win32/WriteAllBytes.h"

namespace nightjar::platform::win32 {

Win32ReplacingFile::Win32ReplacingFile(WinHandle handle, std::string tempPath,
                                       std::string targetPath)
    : handle_(std::move(handle)),
      tempPath_(std::move(tempPath)),
      targetPath_(std::move(targetPath)) {}

Win32ReplacingFile::~Win32ReplacingFile() {
    if (!done_) {
        discard();
    }
}

bool Win32ReplacingFile::write(std::string_view data) {
    if (done_ || failed_ || !handle_ || !writeAllBytes(handle_.get(), data)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool Win32ReplacingFile::commit() {
    if (done_) {
        return false;
    }
    done_ = true;
    if (failed_ || !handle_ || !FlushFileBuffers(handle_.get())) {
        discard();
        return false;
    }
    handle_.reset();
    if (!MoveFileExW(LongPath(tempPath_).c_str(), LongPath(targetPath_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        discard();
        return false;
    }
    return true;
}

void Win32ReplacingFile::discard() {
    handle_.reset();
    DeleteFileW(LongPath(tempPath_).c_str());
}

}  // namespace nightjar::platform::win32
