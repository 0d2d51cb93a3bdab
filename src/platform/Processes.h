#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nightjar::platform {

struct SnapshotEntry {
    std::uint32_t pid = 0;
    std::string exeFile;  ///< szExeFile as the snapshot gives it
};

enum class WaitResult { Signaled, TimedOut, Failed };

/// Running processes. No call throws.
class Processes {
  public:
    virtual ~Processes() = default;
    /// EnumProcesses: every process id, nullopt when listing fails.
    virtual std::optional<std::vector<std::uint32_t>> processIds() = 0;
    /// Opens the process with query + VM read rights and enumerates its modules; nullopt
    /// when either fails. Otherwise the first module's base name, or "" when only the name
    /// lookup fails.
    virtual std::optional<std::string> moduleBaseName(std::uint32_t pid) = 0;
    /// GetModuleFileNameEx of the first module, nullopt when the process cannot be opened
    /// or read.
    virtual std::optional<std::string> firstModulePath(std::uint32_t pid) = 0;
    /// CreateToolhelp32Snapshot listing, nullopt on failure.
    virtual std::optional<std::vector<SnapshotEntry>> snapshot() = 0;
    /// Raise or drop SeDebugPrivilege; false when the token cannot be adjusted.
    virtual bool setDebugPrivilege(bool enable) = 0;
    /// Open with all access and TerminateProcess, but only while the id still belongs to
    /// `image` (the path firstModulePath gave, compared ignoring case; any image when
    /// empty): an id freed and reused since it was listed must not reach another program.
    /// True when terminated.
    virtual bool terminate(std::uint32_t pid, std::uint32_t exitCode, std::string_view image) = 0;
    /// Open with terminate rights only and, while the id still belongs to `exeFile` (the
    /// snapshot's text, compared ignoring case; any when empty), terminate with the
    /// process's own exit code. True when terminated.
    virtual bool terminateLegacy(std::uint32_t pid, std::string_view exeFile) = 0;
    /// Wait for the process to end.
    virtual WaitResult wait(std::uint32_t pid, std::uint32_t milliseconds) = 0;
    /// GetVersionEx platform id: 2 for the NT family, 1 for Windows 9x.
    virtual int platformId() = 0;
    /// The names of the running processes as the system lists them: an image's file name
    /// ("svchost.exe"), the system's own entries by their names ("System"). nullopt when no
    /// listing works. Here: every snapshot text from its last "\" on.
    virtual std::optional<std::vector<std::string>> runningNames();
};

}  // namespace nightjar::platform
