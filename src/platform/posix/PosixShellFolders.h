#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ShellFolders.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// Special folders laid out as Wine lays out a fresh prefix (the Windows Vista and later
/// layout under drive C): the user's folders below C:\users\LOGIN, the shared ones below
/// C:\ProgramData and C:\users\Public. The paths do not depend on what exists on disk.
class PosixShellFolders : public ShellFolders {
  public:
    /// For the login name of the running user ($USER, else the password database).
    PosixShellFolders();
    explicit PosixShellFolders(std::string userName);
    /// The same, with the machine root whose C:\windows\syswow64 is looked for.
    PosixShellFolders(std::string userName, MachineRoot machine);

    std::optional<std::string> specialFolder(int csidl) override;
    std::optional<std::string> folderLocationPath(int csidl) override;
    std::string systemDirectory() override;
    /// C:\windows\syswow64 when the machine root holds that folder (a 64-bit Wine prefix
    /// does); nullopt otherwise or without a machine root.
    std::optional<std::string> systemWow64Directory() override;
    std::string userName() override;

    /// The folder of `csidl` for `user`; nullopt for a virtual or unsupported folder. The
    /// one table of the layout: everything else asks here.
    static std::optional<std::string> folderFor(int csidl, std::string_view user);
    /// Every folder of the table for `user`, in table order (what a new machine root holds).
    static std::vector<std::string> allFolders(std::string_view user);
    /// $USER when set and not empty, else the password database's name for the real user id,
    /// else "user".
    static std::string loginName();

  private:
    std::string user_;
    std::optional<MachineRoot> machine_;
};

}  // namespace nightjar::platform::posix
