#pragma once
#include "platform/Clock.h"

namespace nightjar::mock {

/// A clock the test sets and advances.
class FakeClock : public platform::Clock {
  public:
    std::chrono::sys_seconds now() override { return now_; }
    void set(std::chrono::sys_seconds t) { now_ = t; }
    void advance(std::chrono::seconds s) { now_ += s; }

  private:
    std::chrono::sys_seconds now_{std::chrono::sys_days{std::chrono::year{2026} / 1 / 1}};
};

}  // namespace nightjar::mock
