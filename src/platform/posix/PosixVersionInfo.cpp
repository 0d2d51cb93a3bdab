#include "platform/posix/PosixVersionInfo.h"

#include <unistd.h>

#include <climits>

namespace nightjar::platform::posix {

PosixVersionInfo::PosixVersionInfo(MachineRoot machine) : machine_(std::move(machine)) {}

VersionInfoData PosixVersionInfo::read() {
    return builtIn();
}

std::string PosixVersionInfo::executablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) {
        return {};
    }
    std::string host(buf, static_cast<std::size_t>(n));
    std::string windows = machine_.windowsPath(host);
    return windows.empty() ? host : windows;
}

}  // namespace nightjar::platform::posix
