#pragma once
#include <map>
#include <string>

#include "platform/FileLocks.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// File locks as flock() on the host file: each lock is its own open file, so two locks of
/// one process on the same file exclude each other as two processes do.
class FlockFileLocks : public FileLocks {
  public:
    explicit FlockFileLocks(MachineRoot machine);
    ~FlockFileLocks() override;
    FlockFileLocks(const FlockFileLocks&) = delete;
    FlockFileLocks& operator=(const FlockFileLocks&) = delete;

    bool lock(std::string_view path, std::chrono::milliseconds wait) override;
    void unlock(std::string_view path) override;

  private:
    MachineRoot machine_;
    std::map<std::string, int> held_;  ///< host path -> descriptor holding the lock
};

}  // namespace nightjar::platform::posix
