#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/DiskShellFolders.h"
#include "platform/posix/HiveRegistry.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// A mounted Windows system drive, seen as drive C: of a machine root: its hive files and
/// its user profiles. Profiles come from the ProfileList of the SOFTWARE hive (the service
/// accounts left out), else from the folders below C:\Users that hold an NTUSER.DAT.
class WindowsDisk {
  public:
    /// One user profile of the disk.
    struct Profile {
        std::string name;         ///< the profile folder's name
        std::string windowsPath;  ///< "C:\Users\name"
        std::string hostPath;
        std::string sid;  ///< the security id the ProfileList gives, else empty
    };

    /// What the platform layer of a disk has of its own.
    struct PlatformParts {
        std::string machineRoot;  ///< the host folder of the machine root whose C: is the disk
        std::unique_ptr<HiveRegistry> registry;
        std::unique_ptr<DiskShellFolders> shellFolders;
    };

    /// Opens the disk mounted at `diskFolder` for the profile named `user` (empty: see
    /// chooseProfile()). Hive backups go to the folder "Hive backups" in the user's data
    /// folder, beside the quarantine. nullopt with a reason in `error` when the machine
    /// root cannot be made or no profile has that name.
    static std::optional<PlatformParts> open(const std::string& diskFolder, const std::string& user,
                                             std::string& error);
    /// The machine root kept for a disk: $XDG_DATA_HOME/nightjar/disks/<the mount path with
    /// '/' as '_'> (~/.local/share when XDG_DATA_HOME is not set); nothing is written on
    /// the disk but what the program keeps in its data folder.
    static std::string machineRootFor(const std::string& diskFolder);

    /// True when `hostFolder` holds Windows/System32/config/SOFTWARE, in any letter case.
    static bool isWindowsDisk(const std::string& hostFolder);
    /// Makes `machineRoot` (host path) a machine root whose only drive, C:, is
    /// `diskFolder`. False with a reason in `error` when it cannot be made.
    static bool makeMachineRoot(const std::string& machineRoot, const std::string& diskFolder,
                                std::string& error);

    /// `text` with %SystemDrive%, %SystemRoot%, %windir% and (when `profile` is given)
    /// %USERPROFILE% expanded for the disk as drive C:; a path on another drive letter is
    /// taken to be on the disk.
    static std::string expand(std::string_view text, std::string_view profile);

    /// `machine` must have the disk as drive C:.
    explicit WindowsDisk(MachineRoot machine);

    std::vector<Profile> profiles() const;
    /// The profile named `wanted` (any case) when given, else the only one, else the one
    /// whose NTUSER.DAT changed last; nullopt when there is none (or none of that name).
    std::optional<Profile> chooseProfile(std::string_view wanted) const;
    /// The hive files, with the user's ones taken from `profile` when given.
    HiveRegistry::Files hiveFiles(const std::optional<Profile>& profile) const;

  private:
    /// Host path of a file of the disk, empty when it does not exist.
    std::string existing(std::string_view windowsPath) const;

    MachineRoot machine_;
};

}  // namespace nightjar::platform::posix
