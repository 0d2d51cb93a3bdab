#pragma once
#include <optional>
#include <string>

namespace nightjar::platform {

/// Special folders by CSIDL number, as SHGetSpecialFolderPath gives them (no trailing
/// backslash), and the system directory.
class ShellFolders {
  public:
    virtual ~ShellFolders() = default;
    /// The folder path, nullopt for a virtual folder or one that cannot be resolved.
    virtual std::optional<std::string> specialFolder(int csidl) = 0;
    /// The path of the item list of folder `csidl` (SHGetSpecialFolderLocation +
    /// SHGetPathFromIDList); nullopt when it cannot be resolved.
    virtual std::optional<std::string> folderLocationPath(int csidl) = 0;
    /// GetSystemDirectory, as returned (normally without trailing backslash).
    virtual std::string systemDirectory() = 0;
    /// The system directory of 32-bit programs on 64-bit Windows (SysWOW64, as
    /// GetSystemWow64Directory gives it); nullopt on a system without one.
    virtual std::optional<std::string> systemWow64Directory() = 0;
    /// The user's login name.
    virtual std::string userName() = 0;
};

}  // namespace nightjar::platform
