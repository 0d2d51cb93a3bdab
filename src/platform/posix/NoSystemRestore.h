#pragma once
#include "platform/SystemRestore.h"

namespace nightjar::platform::posix {

/// The host has no System Restore: nothing is available and no point can be made.
class NoSystemRestore : public SystemRestore {
  public:
    bool available() override { return false; }
    bool begin(std::string_view /*description*/) override { return false; }
    bool end() override { return false; }
};

}  // namespace nightjar::platform::posix
