#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::platform::posix {

class FolderNameCache;

/// A host folder laid out like a Wine prefix: "dosdevices/<letter>:" entries (folders or
/// links such as c: -> ../drive_c and z: -> /) give the drives. Maps Windows paths to host
/// paths and back. Cheap to copy; every call looks at the disk afresh, so drives added or
/// removed while the program runs are seen.
class MachineRoot {
  public:
    /// Uses `hostRoot` as it is (made absolute); see create() for making one.
    explicit MachineRoot(const std::string& hostRoot);

    /// $NIGHTJAR_MACHINE_ROOT, else $XDG_DATA_HOME/nightjar/machine, else
    /// ~/.local/share/nightjar/machine.
    static std::string defaultLocation();

    /// Makes `hostRoot` a machine root: creates it, dosdevices/c: -> ../drive_c and
    /// dosdevices/z: -> / when no c: or z: entry exists yet, C:\windows\system32 and every
    /// special folder for `userName` (the login name when empty). Keeps whatever exists.
    /// False with a reason in `error` when a part cannot be made.
    static bool create(const std::string& hostRoot, std::string& error,
                       const std::string& userName = {});

    /// True when `hostRoot` already holds a dosdevices folder.
    static bool looksLikeMachineRoot(const std::string& hostRoot);

    const std::string& root() const { return root_; }
    /// The emulated registry's file.
    std::string registryFile() const { return root_ + "/registry.sqlite"; }
    /// The lock file that marks a running instance.
    std::string instanceLockFile() const { return root_ + "/instance.lock"; }

    /// Upper-case letters that have a dosdevices entry, in letter order.
    std::vector<char> driveLetters() const;
    /// The dosdevices entry of a drive (the link or folder itself); empty when there is none.
    std::string driveEntry(char letter) const;
    /// The real folder the drive stands for (links resolved); empty when the entry is missing
    /// or does not lead to an existing folder.
    std::string driveTarget(char letter) const;

    /// Host path of a Windows path ("C:\\x\\y", '/' accepted as separator, "." and ".."
    /// folded): the drive's folder, then each component matched without regard to case (an
    /// exact match first, else the first matching name in byte order). Components that do
    /// not exist keep their spelling, so new files can be created. Empty when the path has
    /// no drive letter or the drive does not exist.
    std::string hostPath(std::string_view windowsPath) const;

    /// The host path that reaches a Windows path through the drive's dosdevices entry (the
    /// lower-case one, as Wine writes it) with every component as spelled, without looking
    /// at the disk. When it leads to an existing entry it names the same entry as
    /// hostPath() (which takes an exact spelling first), so a caller may try it first and
    /// fall back to hostPath() when it leads nowhere. Empty when the path has no drive
    /// letter.
    std::string spelledHostPath(std::string_view windowsPath) const;

    /// Windows path of a host path: the drive whose folder holds it, the deepest folder
    /// winning (so C: beats Z: -> / for files below drive_c). Empty when no drive holds it.
    std::string windowsPath(std::string_view hostPath) const;

  private:
    std::string root_;
    /// Shared by the copies of one machine root.
    std::shared_ptr<FolderNameCache> names_;
};

}  // namespace nightjar::platform::posix
