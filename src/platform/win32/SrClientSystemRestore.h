#pragma once
#include <cstdint>
#include <string_view>

#include "platform/SystemRestore.h"

namespace nightjar::platform::win32 {

/// System Restore through SRSetRestorePointA of srclient.dll, loaded at run time; not
/// available where the library or the entry point is missing.
class SrClientSystemRestore : public SystemRestore {
  public:
    SrClientSystemRestore();
    ~SrClientSystemRestore() override;
    SrClientSystemRestore(const SrClientSystemRestore&) = delete;
    SrClientSystemRestore& operator=(const SrClientSystemRestore&) = delete;

    bool available() override;
    /// Begins a restore point (at most 63 characters of `description` are kept); fails while
    /// a begun one has not been ended.
    bool begin(std::string_view description) override;
    /// Ends the begun restore point; false when none was begun.
    bool end() override;

  private:
    void* library_ = nullptr;
    void (*setRestorePoint_)() = nullptr;  ///< SRSetRestorePointA
    bool begun_ = false;
    std::int64_t sequence_ = 0;
};

}  // namespace nightjar::platform::win32
