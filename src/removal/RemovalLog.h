#pragma once
#include <string_view>

namespace nightjar::removal {

/// Where registry deletions are recorded (the quarantine log). The default records nothing;
/// the quarantine store overrides it.
class RemovalLog {
  public:
    virtual ~RemovalLog() = default;
    /// A registry deletion: key text and value name ("All Values" for a whole key).
    virtual void logRegistryRemoval(std::string_view /*keyText*/, std::string_view /*valueText*/) {}
};

}  // namespace nightjar::removal
