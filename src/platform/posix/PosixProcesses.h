#pragma once
#include <string>

#include "platform/Processes.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// Processes read from /proc. A process whose executable link cannot be read (another
/// user's, a kernel thread) cannot be opened, as protected processes cannot be on Windows.
/// Executables are named by their Windows path through the machine root.
class PosixProcesses : public Processes {
  public:
    explicit PosixProcesses(MachineRoot machine);

    std::optional<std::vector<std::uint32_t>> processIds() override;
    /// The last component of the executable's path (Windows form when a drive holds it).
    std::optional<std::string> moduleBaseName(std::uint32_t pid) override;
    /// The executable's Windows path; nullopt when it cannot be read or no drive holds it.
    std::optional<std::string> firstModulePath(std::uint32_t pid) override;
    /// Every process with its executable's Windows path, or its command name when the
    /// executable cannot be read.
    std::optional<std::vector<SnapshotEntry>> snapshot() override;
    /// Always granted: signals reach what the user may signal.
    bool setDebugPrivilege(bool enable) override;
    /// SIGTERM, then SIGKILL when the process has not ended within about two seconds. True
    /// when the signal was delivered. The process is held through a pidfd while its image
    /// is compared, so a reused id is never signalled.
    bool terminate(std::uint32_t pid, std::uint32_t exitCode, std::string_view image) override;
    /// The same, comparing the snapshot's text.
    bool terminateLegacy(std::uint32_t pid, std::string_view exeFile) override;
    /// Signaled when the process no longer runs (gone or a zombie), TimedOut otherwise.
    WaitResult wait(std::uint32_t pid, std::uint32_t milliseconds) override;
    int platformId() override;

    /// True while the process exists and is not a zombie.
    static bool isRunning(std::uint32_t pid);

  private:
    /// The snapshot's text for the process: its executable's Windows path, else its
    /// command name.
    std::string snapshotName(std::uint32_t pid) const;
    /// The host path of the executable, without the " (deleted)" mark; empty when unreadable.
    static std::string executableHostPath(std::uint32_t pid);

    MachineRoot machine_;
};

}  // namespace nightjar::platform::posix
