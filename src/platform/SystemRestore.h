#pragma once
#include <string_view>

namespace nightjar::platform {

/// Whether a Windows version has System Restore: Windows Me (9x family, minor version 90),
/// and the NT family from XP on (5.1, or any major version above 5). `platformId` is 1 for
/// the 9x family, 2 for NT.
bool SystemRestoreVersionAllows(int platformId, int major, int minor);

/// System Restore points.
class SystemRestore {
  public:
    virtual ~SystemRestore() = default;
    virtual bool available() = 0;
    virtual bool begin(std::string_view description) = 0;
    virtual bool end() = 0;
};

}  // namespace nightjar::platform
