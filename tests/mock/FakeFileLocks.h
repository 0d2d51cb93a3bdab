#pragma once
#include <set>
#include <string>

#include "platform/FileLocks.h"

namespace nightjar::mock {

/// Locks held in memory: a path is locked once until unlocked; never waits.
class FakeFileLocks : public platform::FileLocks {
  public:
    bool lock(std::string_view path, std::chrono::milliseconds wait) override;
    void unlock(std::string_view path) override;
    bool held(std::string_view path) const;

  private:
    std::set<std::string> held_;  ///< lower-case paths
};

}  // namespace nightjar::mock
