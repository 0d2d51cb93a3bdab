#pragma once
#include <chrono>

namespace nightjar::platform {

/// Wall clock in local time, injectable so that tests run on a fake.
class Clock {
  public:
    virtual ~Clock() = default;
    /// Local date and time, seconds resolution.
    virtual std::chrono::sys_seconds now() = 0;
};

}  // namespace nightjar::platform
