#include "platform/Platform.h"
#include "platform/win32/CngSignatureVerifier.h"
#include "platform/win32/NamedMutexSingleInstance.h"
#include "platform/win32/SrClientSystemRestore.h"
#include "platform/win32/SystemClock.h"
#include "platform/win32/Win32FileLocks.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Launcher.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32ShellFolders.h"
#include "platform/win32/Win32VersionInfo.h"
#include "platform/win32/WinInetHttp.h"

namespace nightjar::platform {

std::unique_ptr<Platform> createPlatform(const PlatformOptions& /*options*/, std::string& error) {
    error.clear();
    auto p = std::make_unique<Platform>();
    auto versionInfo = std::make_unique<win32::Win32VersionInfo>();
    // One instance per product, so that two white-label builds do not block each other.
    std::string instanceName = versionInfo->read().productName;
    if (instanceName.empty()) {
        instanceName = win32::Win32VersionInfo::builtIn().productName;
    }
    p->registry = std::make_unique<win32::Win32Registry>();
    p->registryKind = "windows";
    p->fileSystem = std::make_unique<win32::Win32FileSystem>();
    p->shellFolders = std::make_unique<win32::Win32ShellFolders>();
    p->processes = std::make_unique<win32::Win32Processes>();
    p->versionInfo = std::move(versionInfo);
    p->http = std::make_unique<win32::WinInetHttp>();
    p->launcher = std::make_unique<win32::Win32Launcher>();
    p->clock = std::make_unique<win32::SystemClock>();
    p->singleInstance =
        std::make_unique<win32::NamedMutexSingleInstance>(instanceName + ".SingleInstance");
    p->systemRestore = std::make_unique<win32::SrClientSystemRestore>();
    p->fileLocks = std::make_unique<win32::Win32FileLocks>();
    p->signatureVerifier = std::make_unique<win32::CngSignatureVerifier>();
    return p;
}

}  // namespace nightjar::platform
