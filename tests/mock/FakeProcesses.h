#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Processes.h"

namespace nightjar::mock {

/// A process table the test fills; terminating a process removes it.
class FakeProcesses : public platform::Processes {
  public:
    struct Proc {
        std::uint32_t pid = 0;
        std::string baseName;      ///< "" with openable: the name lookup fails ("unknown")
        std::string modulePath;    ///< first module, Windows path
        bool openable = true;      ///< false: OpenProcess/EnumProcessModules fail
        bool terminable = true;    ///< false: TerminateProcess fails and the process stays
        std::string snapshotName;  ///< szExeFile of the snapshot (defaults to modulePath)
    };

    void add(Proc p) { procs_.push_back(std::move(p)); }
    /// Adds an openable process with its base name taken from the module path.
    void add(std::uint32_t pid, std::string modulePath);
    void clear() { procs_.clear(); }
    bool running(std::uint32_t pid) const;
    void setListingFails(bool fail) { listingFails_ = fail; }
    void setPrivilegeFails(bool fail) { privilegeFails_ = fail; }
    void setPlatformId(int id) { platformId_ = id; }
    const std::vector<std::uint32_t>& terminated() const { return terminated_; }
    int privilegeChanges() const { return privilegeChanges_; }

    std::optional<std::vector<std::uint32_t>> processIds() override;
    std::optional<std::string> moduleBaseName(std::uint32_t pid) override;
    std::optional<std::string> firstModulePath(std::uint32_t pid) override;
    std::optional<std::vector<platform::SnapshotEntry>> snapshot() override;
    bool setDebugPrivilege(bool enable) override;
    /// Refuses when `image` is given and differs from the process's module path.
    bool terminate(std::uint32_t pid, std::uint32_t exitCode, std::string_view image) override;
    /// Refuses when `exeFile` is given and differs from the process's snapshot text.
    bool terminateLegacy(std::uint32_t pid, std::string_view exeFile) override;
    platform::WaitResult wait(std::uint32_t pid, std::uint32_t milliseconds) override;
    int platformId() override { return platformId_; }

  private:
    const Proc* find(std::uint32_t pid) const;
    bool end(std::uint32_t pid);

    std::vector<Proc> procs_;
    std::vector<std::uint32_t> terminated_;
    bool listingFails_ = false;
    bool privilegeFails_ = false;
    int platformId_ = 2;
    int privilegeChanges_ = 0;
};

}  // namespace nightjar::mock
