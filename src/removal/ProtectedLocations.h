#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/ShellFolders.h"

namespace nightjar::removal {

/// Places a removal never deletes, whatever a definition names: drive roots, the Windows
/// and system folders, Program Files, the special folders themselves (a user's profile
/// among them, and every profile beside it), and the program's own data and program
/// folders with everything inside them. Files inside the system folders stay removable:
/// that is where spyware puts itself.
class ProtectedLocations {
  public:
    /// Protects `path` itself (not what lies inside it).
    void addFolder(std::string_view path);
    /// Protects `path` and everything below it.
    void addTree(std::string_view path);
    /// Protects every direct child of `path` (the profiles folder: each user's profile).
    void addChildrenOf(std::string_view path);

    /// True when removing `path` must be refused. Paths compare case-insensitively, with
    /// "." and ".." parts resolved and trailing backslashes ignored; a path that is not
    /// absolute ("x.exe", "\\x") is refused too.
    bool isProtected(std::string_view path) const;

    /// The set for this machine: the folders the shell reports, the system directory, the
    /// data folder and the program folder (either may be empty).
    static ProtectedLocations forMachine(platform::ShellFolders& shell, std::string_view dataFolder,
                                         std::string_view programFolder);

    /// Lower case, "." and ".." resolved, no trailing backslash ("c:" for a drive root); empty
    /// when the path is not a drive path or climbs above its root.
    static std::string normalize(std::string_view path);

  private:
    std::vector<std::string> folders_;
    std::vector<std::string> trees_;
    std::vector<std::string> parents_;
};

}  // namespace nightjar::removal
