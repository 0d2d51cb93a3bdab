#pragma once

namespace nightjar::platform {

/// Tells whether another instance of the program runs.
class SingleInstance {
  public:
    virtual ~SingleInstance() = default;
    /// Claims the instance; false when another instance holds it.
    virtual bool acquire() = 0;
};

}  // namespace nightjar::platform
