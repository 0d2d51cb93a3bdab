#pragma once
#include "platform/VersionInfo.h"
#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix {

/// The program's identity as compiled in from the build's identity settings (the same values
/// the Windows build writes into its version resource).
class PosixVersionInfo : public VersionInfo {
  public:
    explicit PosixVersionInfo(MachineRoot machine);

    VersionInfoData read() override;
    /// /proc/self/exe as a Windows path; the host path when no drive holds it.
    std::string executablePath() override;

  private:
    MachineRoot machine_;
};

}  // namespace nightjar::platform::posix
