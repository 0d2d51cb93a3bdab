#include <cstdlib>

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

namespace nightjar::platform {

std::unique_ptr<Platform> createPlatform(const PlatformOptions& options, std::string& error) {
    using namespace posix;
    const std::string location =
        options.machineRoot.empty() ? MachineRoot::defaultLocation() : options.machineRoot;
    // A machine root is made on first use; an existing one (a Wine prefix, say) is taken as
    // it is.
    if (!MachineRoot::looksLikeMachineRoot(location) && !MachineRoot::create(location, error)) {
        return nullptr;
    }
    MachineRoot machine(location);
    auto registry = SqliteRegistry::open(machine.registryFile(), error);
    if (!registry) {
        return nullptr;
    }
    std::string record;
    if (const char* env = std::getenv(PosixLauncher::kRecordVariable); env != nullptr) {
        record = env;
    }
    auto platform = std::make_unique<Platform>();
    platform->registry = std::move(registry);
    platform->fileSystem = std::make_unique<PosixFileSystem>(machine);
    platform->shellFolders =
        std::make_unique<PosixShellFolders>(PosixShellFolders::loginName(), machine);
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
