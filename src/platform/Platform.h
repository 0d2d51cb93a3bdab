#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileLocks.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "platform/Launcher.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/ShellFolders.h"
#include "platform/SignatureVerifier.h"
#include "platform/SingleInstance.h"
#include "platform/SystemRestore.h"
#include "platform/VersionInfo.h"

namespace nightjar::platform {

/// Everything the operating system provides, as one bundle the engine is given.
struct Platform {
    std::unique_ptr<Registry> registry;
    std::unique_ptr<FileSystem> fileSystem;
    std::unique_ptr<ShellFolders> shellFolders;
    std::unique_ptr<Processes> processes;
    std::unique_ptr<VersionInfo> versionInfo;
    std::unique_ptr<Http> http;
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<SingleInstance> singleInstance;
    std::unique_ptr<SystemRestore> systemRestore;
    std::unique_ptr<FileLocks> fileLocks;
    std::unique_ptr<SignatureVerifier> signatureVerifier;
    /// The machine root folder on POSIX (host path); empty on Windows.
    std::string machineRoot;
    /// Where the registry lives: "windows" (the system's own), "sqlite" (the file of a plain
    /// machine root) or "wine" (the files of a Wine prefix).
    std::string registryKind;
    /// What the user should know about the platform as it was opened (a registry that is
    /// only read, say), one sentence each.
    std::vector<std::string> notices;
};

struct PlatformOptions {
    /// POSIX: the machine root folder; empty means $NIGHTJAR_MACHINE_ROOT, else
    /// $XDG_DATA_HOME/nightjar/machine (created with c: -> drive_c and z: -> /).
    /// Ignored on Windows.
    std::string machineRoot;
    /// POSIX, a machine root that is a Windows disk: the profile whose registry and folders
    /// are used; empty means the only one, else the one used last.
    std::string user;
};

/// The platform layer of the OS this program was built for. `error` receives a reason when
/// nullptr is returned.
std::unique_ptr<Platform> createPlatform(const PlatformOptions& options, std::string& error);

}  // namespace nightjar::platform
