#pragma once
#include <optional>
#include <string>

#include "platform/Registry.h"
#include "platform/ShellFolders.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// Special folders of a user of an offline Windows disk (drive C:): what the user's and the
/// machine's Shell Folders keys (then User Shell Folders) name, else the usual place below
/// the user's profile folder.
class DiskShellFolders : public ShellFolders {
  public:
    /// `profile` is the user's profile folder as a Windows path ("C:\Users\name");
    /// `registry` is the disk's and outlives this object; `machine` reaches the disk as C:.
    DiskShellFolders(Registry& registry, std::string userName, std::string profile,
                     MachineRoot machine);

    std::optional<std::string> specialFolder(int csidl) override;
    std::optional<std::string> folderLocationPath(int csidl) override;
    std::string systemDirectory() override;
    std::optional<std::string> systemWow64Directory() override;
    std::string userName() override;

  private:
    /// The folder a Shell Folders key names for `csidl`, nullopt when it names none.
    std::optional<std::string> fromRegistry(int csidl);

    Registry& registry_;
    std::string user_;
    std::string profile_;
    MachineRoot machine_;
};

}  // namespace nightjar::platform::posix
