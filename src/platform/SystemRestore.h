#pragma once
#include <string_view>

namespace nightjar::platform {

/// System Restore points.
class SystemRestore {
  public:
    virtual ~SystemRestore() = default;
    virtual bool available() = 0;
    virtual bool begin(std::string_view description) = 0;
    virtual bool end() = 0;
};

}  // namespace nightjar::platform
