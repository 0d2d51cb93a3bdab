#include "cli/CliEnv.h"

#include <cstdio>
#include <iostream>

#include "app/ProgramFolder.h"
#include "util/Text.h"

namespace nightjar::cli {

platform::Platform* CliEnv::platform() {
    if (!platformTried_) {
        platformTried_ = true;
        platform::PlatformOptions options;
        options.machineRoot = machineRoot;
        options.user = user;
        std::string error;
        platform_ = platform::createPlatform(options, error);
        if (!platform_) {
            fail("cannot open the machine: " + error);
        } else {
            for (const auto& notice : platform_->notices) {
                std::cerr << "nightjar-cli: note: " << notice << '\n';
            }
        }
    }
    return platform_.get();
}

std::string CliEnv::programFolder() {
    platform::Platform* p = platform();
    if (!p) {
        return {};
    }
    if (!programDir.empty()) {
        // A host path is mapped to its Windows form; a Windows path is taken as it is.
        if (programDir.size() >= 2 && programDir[1] == ':') {
            return programDir;
        }
        std::string w = p->fileSystem->windowsPath(programDir);
        return w.empty() ? programDir : w;
    }
    return app::ExecutableFolder(*p);
}

void CliEnv::fail(const std::string& message) {
    std::cerr << "nightjar-cli: " << message << '\n';
    exitCode = exitcode::Error;
}

}  // namespace nightjar::cli
