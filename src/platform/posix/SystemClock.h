#pragma once
#include "platform/Clock.h"

namespace nightjar::platform::posix {

/// The host's clock in local time (the time zone of the process).
class SystemClock : public Clock {
  public:
    std::chrono::sys_seconds now() override;
};

}  // namespace nightjar::platform::posix
