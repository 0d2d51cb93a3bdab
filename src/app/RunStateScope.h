#pragma once
#include "app/RunState.h"

namespace nightjar::app {

/// Puts the run state into a new value for its lifetime and gives the previous value back
/// at its end, so that a removal started by a scan returns to the scan and a pause returns
/// to the run it paused.
class RunStateScope {
  public:
    RunStateScope(RunState& slot, RunState state) : slot_(slot), previous_(slot) { slot_ = state; }
    ~RunStateScope() { slot_ = previous_; }
    RunStateScope(const RunStateScope&) = delete;
    RunStateScope& operator=(const RunStateScope&) = delete;

  private:
    RunState& slot_;
    RunState previous_;
};

}  // namespace nightjar::app
