#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/Processes.h"

namespace nightjar::platform::win32 {

/// Running processes through psapi, the Toolhelp snapshot and kernel32; the debug privilege
/// through the process token.
class Win32Processes : public Processes {
  public:
    std::optional<std::vector<std::uint32_t>> processIds() override;
    std::optional<std::string> moduleBaseName(std::uint32_t pid) override;
    std::optional<std::string> firstModulePath(std::uint32_t pid) override;
    std::optional<std::vector<SnapshotEntry>> snapshot() override;
    bool setDebugPrivilege(bool enable) override;
    bool terminate(std::uint32_t pid, std::uint32_t exitCode, std::string_view image) override;
    /// A process still running reports STILL_ACTIVE (259) as its exit code; ending it with
    /// that code would make it look alive to anyone who polls it, so 0 is used instead.
    bool terminateLegacy(std::uint32_t pid, std::string_view exeFile) override;
    WaitResult wait(std::uint32_t pid, std::uint32_t milliseconds) override;
    int platformId() override;
    /// The `Name` of every Win32_Process that WMI lists; the snapshot's names where WMI is
    /// missing or fails.
    std::optional<std::vector<std::string>> runningNames() override;

    /// The WMI query alone ("select * from Win32_Process" on the local computer); nullopt
    /// when any step of it fails.
    static std::optional<std::vector<std::string>> WmiProcessNames();
};

}  // namespace nightjar::platform::win32
