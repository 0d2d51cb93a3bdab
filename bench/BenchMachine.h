#pragma once
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/posix/MachineRoot.h"
#include "platform/posix/PosixFileSystem.h"

namespace nightjar::bench {

/// A fresh machine root in a new temporary folder (from a mkdtemp template such as
/// "/tmp/nj-x-XXXXXX") with the POSIX file system over it; nullptr on failure.
inline std::unique_ptr<platform::posix::PosixFileSystem> CreateBenchMachine(std::string templ,
                                                                            std::string& hostRoot) {
    if (mkdtemp(templ.data()) == nullptr) {
        return nullptr;
    }
    hostRoot = templ;
    std::string error;
    if (!platform::posix::MachineRoot::create(hostRoot, error, "bench")) {
        std::fprintf(stderr, "machine root: %s\n", error.c_str());
        return nullptr;
    }
    return std::make_unique<platform::posix::PosixFileSystem>(
        platform::posix::MachineRoot(hostRoot));
}

}  // namespace nightjar::bench
