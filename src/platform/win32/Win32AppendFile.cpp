#include "platform/win32/Win32AppendFile.h"

#include "platform/win32/WriteAllBytes.h"

namespace nightjar::platform::win32 {

bool Win32AppendFile::write(std::string_view data) {
    if (failed_ || !handle_ || !writeAllBytes(handle_.get(), data)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool Win32AppendFile::commit() {
    if (failed_ || !handle_) {
        return false;
    }
    return FlushFileBuffers(handle_.get()) != FALSE;
}

}  // namespace nightjar::platform::win32
