#pragma once
#include "platform/Clock.h"

namespace nightjar::platform::win32 {

/// The local wall clock (GetLocalTime).
class SystemClock : public Clock {
  public:
    std::chrono::sys_seconds now() override;
};

}  // namespace nightjar::platform::win32
