#pragma once
#include <windows.h>

#include <string>

#include "platform/win32/Win32FileSystem.h"

namespace nightjar::platform::win32::test {

/// A fresh folder under the user's temporary folder, deleted with its content at the end.
class TempFolder {
  public:
    TempFolder() {
        static unsigned counter = 0;
        char base[MAX_PATH + 1] = {};
        DWORD n = GetTempPathA(sizeof base, base);
        path_.assign(base, n);
        if (!path_.empty() && path_.back() != '\\') {
            path_.push_back('\\');
        }
        path_ += "njtest_" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(GetTickCount()) + "_" + std::to_string(counter++);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() { Win32FileSystem().deleteFolder(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};

}  // namespace nightjar::platform::win32::test
