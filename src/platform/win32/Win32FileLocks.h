#pragma once
#include <map>
#include <string>

#include "platform/FileLocks.h"
#include "platform/win32/WinHandle.h"

namespace nightjar::platform::win32 {

/// File locks as the file opened with no sharing at all: while one handle is open, every
/// other open of the file fails with a sharing violation.
class Win32FileLocks : public FileLocks {
  public:
    bool lock(std::string_view path, std::chrono::milliseconds wait) override;
    void unlock(std::string_view path) override;

  private:
    std::map<std::string, WinHandle> held_;  ///< path as given -> the open handle
};

}  // namespace nightjar::platform::win32
