#pragma once
#include <string>

#include "platform/SingleInstance.h"

namespace nightjar::platform::posix {

/// One running instance per lock file: an exclusive flock held until this object goes away.
/// The lock ends with the process, so a crashed instance never blocks the next start.
class LockFileSingleInstance : public SingleInstance {
  public:
    explicit LockFileSingleInstance(std::string lockFile);
    ~LockFileSingleInstance() override;
    LockFileSingleInstance(const LockFileSingleInstance&) = delete;
    LockFileSingleInstance& operator=(const LockFileSingleInstance&) = delete;

    /// True when this object holds the lock (again true on later calls).
    bool acquire() override;

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace nightjar::platform::posix
