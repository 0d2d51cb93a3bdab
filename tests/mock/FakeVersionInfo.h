#pragma once
#include "platform/VersionInfo.h"

namespace nightjar::mock {

/// Fixed version information ("Nightjar" by "Nightjar Labs" unless changed).
class FakeVersionInfo : public platform::VersionInfo {
  public:
    platform::VersionInfoData data{"Nightjar", "Nightjar Labs", "nightjar.example", 1, 0, 0};
    std::string exePath = "C:\\Program Files\\Nightjar\\Nightjar.exe";

    platform::VersionInfoData read() override { return data; }
    std::string executablePath() override { return exePath; }
};

}  // namespace nightjar::mock
