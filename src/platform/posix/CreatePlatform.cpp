#include <cstdlib>
#include <optional>

#include "platform/Platform.h"
#include "platform/posix/CurlHttp.h"
#include "platform/posix/FlockFileLocks.h"
#include "platform/posix/LockFileSingleInstance.h"
#include "platform/posix/MachineRoot.h"
#include "platform/posix/NoSystemRestore.h"
#include "platform/posix/OpenSslSignatureVerifier.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixShellFolders.h"
#include "platform/posix/PosixVersionInfo.h"
#include "platform/posix/SqliteRegistry.h"
#include "platform/posix/SystemClock.h"
#include "platform/posix/WindowsDisk.h"
#include "platform/posix/WineRegistry.h"

namespace nightjar::platform {

namespace {

/// The registry of a plain machine root: Wine's own files in a Wine prefix, else the
/// emulated registry in the root's SQLite file. Sets the platform's registry kind and
/// notices; null with a reason in `error` when it cannot be opened. (A Windows disk brings
/// its hives along and does not come here.)
std::unique_ptr<Registry> openRegistry(const posix::MachineRoot& machine, Platform& platform,
                                       std::string& error) {
    using namespace posix;
    if (WineRegistry::isPrefix(machine.root())) {
        auto wine = std::make_unique<WineRegistry>(machine.root());
        if (std::string reason = wine->readOnlyReason(); !reason.empty()) {
            platform.notices.push_back(reason);
        }
        platform.registryKind = "wine";
        return wine;
    }
    platform.registryKind = "sqlite";
    return SqliteRegistry::open(machine.registryFile(), error);
}

}  // namespace

std::unique_ptr<Platform> createPlatform(const PlatformOptions& options, std::string& error) {
    using namespace posix;
    const std::string location =
        options.machineRoot.empty() ? MachineRoot::defaultLocation() : options.machineRoot;
    // A mounted Windows system drive: its hive files and profiles, drive C: through a
    // machine root of its own outside the disk.
    std::optional<WindowsDisk::PlatformParts> disk;
    if (!MachineRoot::looksLikeMachineRoot(location) && WindowsDisk::isWindowsDisk(location)) {
        disk = WindowsDisk::open(location, options.user, error);
        if (!disk) {
            return nullptr;
        }
    }
    // A machine root is made on first use; an existing one (a Wine prefix, say) is taken as
    // it is.
    if (!disk && !MachineRoot::looksLikeMachineRoot(location) &&
        !MachineRoot::create(location, error)) {
        return nullptr;
    }
    MachineRoot machine(disk ? disk->machineRoot : location);
    auto platform = std::make_unique<Platform>();
    std::unique_ptr<Registry> registry;
    if (disk) {
        registry = std::move(disk->registry);
        platform->registryKind = "hives";
    } else {
        registry = openRegistry(machine, *platform, error);
    }
    if (!registry) {
        return nullptr;
    }
    std::string record;
    if (const char* env = std::getenv(PosixLauncher::kRecordVariable); env != nullptr) {
        record = env;
    }
    platform->registry = std::move(registry);
    platform->fileSystem = std::make_unique<PosixFileSystem>(machine);
    if (disk) {
        platform->shellFolders = std::move(disk->shellFolders);
    } else {
        platform->shellFolders =
            std::make_unique<PosixShellFolders>(PosixShellFolders::loginName(), machine);
    }
    platform->processes = std::make_unique<PosixProcesses>(machine);
    platform->versionInfo = std::make_unique<PosixVersionInfo>(machine);
    platform->http = std::make_unique<CurlHttp>();
    platform->launcher = std::make_unique<PosixLauncher>(machine, record);
    platform->clock = std::make_unique<SystemClock>();
    platform->singleInstance = std::make_unique<LockFileSingleInstance>(machine.instanceLockFile());
    platform->systemRestore = std::make_unique<NoSystemRestore>();
    platform->fileLocks = std::make_unique<FlockFileLocks>(machine);
    platform->signatureVerifier = std::make_unique<OpenSslSignatureVerifier>();
    platform->machineRoot = location;
    return platform;
}

}  // namespace nightjar::platform
