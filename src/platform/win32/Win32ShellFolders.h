#pragma once
#include "platform/ShellFolders.h"

namespace nightjar::platform::win32 {

/// Special folders from shell32, the system directory and the user name from kernel32 and
/// advapi32. Folders are looked up afresh on every call and never created.
class Win32ShellFolders : public ShellFolders {
  public:
    std::optional<std::string> specialFolder(int csidl) override;
    std::optional<std::string> folderLocationPath(int csidl) override;
    std::string systemDirectory() override;
    std::optional<std::string> systemWow64Directory() override;
    std::string userName() override;
};

}  // namespace nightjar::platform::win32
