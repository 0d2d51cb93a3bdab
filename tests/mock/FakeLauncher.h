#pragma once
#include <string>
#include <vector>

#include "platform/Launcher.h"

namespace nightjar::mock {

/// Records what would have been started.
class FakeLauncher : public platform::Launcher {
  public:
    struct Call {
        std::string command;
        platform::WindowShow show;
    };
    std::vector<Call> runs;
    std::vector<std::string> opened;
    bool succeed = true;

    bool run(std::string_view commandLine, platform::WindowShow show) override {
        runs.push_back({std::string(commandLine), show});
        return succeed;
    }
    bool open(std::string_view path) override {
        opened.emplace_back(path);
        return succeed;
    }
};

}  // namespace nightjar::mock
