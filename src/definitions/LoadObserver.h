#pragma once
#include <string_view>

namespace nightjar::definitions {

/// What a long-running reader needs from the program around it: the stop request, a
/// yield to the message loop, and the loading display.
class LoadObserver {
  public:
    virtual ~LoadObserver() = default;
    virtual bool stopRequested() const { return false; }
    /// Yield to the message loop (called after every line).
    virtual void pump() {}
    /// "Loading definitions, please wait..." is shown; Pause and Stop are disabled.
    virtual void loadingStarted(std::string_view /*status*/) {}
    /// Pause and Stop are enabled again.
    virtual void loadingFinished() {}
};

}  // namespace nightjar::definitions
