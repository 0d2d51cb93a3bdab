#pragma once
#include <string>

#include "platform/VersionInfo.h"

namespace nightjar::platform::win32 {

/// The VERSIONINFO resource of the running executable (or of `modulePath` when given).
/// A file without the resource, such as a test executable, reports the identity compiled
/// into the program, which the same build options write into the resource.
class Win32VersionInfo : public VersionInfo {
  public:
    explicit Win32VersionInfo(std::string modulePath = {}) : modulePath_(std::move(modulePath)) {}
    VersionInfoData read() override;
    std::string executablePath() override;

  private:
    std::string modulePath_;
};

}  // namespace nightjar::platform::win32
