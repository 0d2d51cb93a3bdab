#include "app/ProgramFolder.h"

#include "platform/Platform.h"
#include "platform/VersionInfo.h"

namespace nightjar::app {

std::string ExecutableFolder(platform::Platform& platform) {
    const std::string exe = platform.versionInfo->executablePath();
    const auto slash = exe.find_last_of("\\/");
    return slash == std::string::npos ? exe : exe.substr(0, slash);
}

}  // namespace nightjar::app
