#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Processes.h"

namespace nightjar::removal {

/// Lists running processes and stops them.
class ProcessControl {
  public:
    explicit ProcessControl(platform::Processes& processes);

    /// Fills the parallel lists with the processes whose name is not empty and (for a
    /// non-empty filter) contains `filter` (exact case). `byId` chooses the process-id
    /// source, otherwise the snapshot. Returns the count, or -1 (lists empty) on failure.
    /// In the by-id source id 0 is "System Idle Process" and id 2 is "System".
    int ListProcesses(std::vector<std::string>& names, std::vector<std::uint32_t>& ids,
                      std::string_view filter, bool byId);
    /// Terminates the process (debug privilege raised around it on the NT family); true when
    /// it was terminated. With an `image` (the module path the process was matched by) a
    /// process whose id now belongs to another image is left alone. The memory scan and
    /// the memory shield stop what they matched through this.
    bool StopProcessById(std::uint32_t pid, std::uint32_t exitCode, std::string_view image = {});
    /// Finds the process by executable name and stops it; true when it counts as stopped
    /// (also when no process bears the name). `pump` is called after each listed process.
    bool StopProcessByName(std::string_view name, const std::function<void()>& pump = {});
    /// Stops every process whose first module is the file `path` (compared ignoring case),
    /// each by its id with the retries of StopProcessByName, so that a program of the same
    /// name elsewhere is never touched. True when none of them is left running (also when
    /// none ran); false when the listing failed or one could not be stopped.
    bool StopProcessesOfImage(std::string_view path, const std::function<void()>& pump = {});
    /// Terminates with terminate rights only, using the process's own exit code; true when
    /// terminated. With an `exeFile` (the snapshot text the process was matched by) a
    /// process whose id now belongs to another program is left alone.
    bool StopProcessLegacy(std::uint32_t pid, std::string_view exeFile = {});

    /// Short-name form of an executable name ("LongProcessName.exe" gives "LONGPR~1").
    static std::string ShortNameForm(std::string_view name);
    /// Name form compared when stopping by name: last path part, first 15 characters when
    /// longer, else the upper-cased part before the first "." when it has one.
    static std::string ComparableName(std::string_view name);

  private:
    /// StopProcessById, then a short wait, up to 11 times; true once the process is gone.
    bool stopWithRetries(std::uint32_t pid, std::string_view image);

    platform::Processes& processes_;
};

}  // namespace nightjar::removal
