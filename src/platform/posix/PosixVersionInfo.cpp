#include "platform/posix/PosixVersionInfo.h"

#include <unistd.h>

#include <climits>

#include "nightjar/Identity.h"

namespace nightjar::platform::posix {

PosixVersionInfo::PosixVersionInfo(MachineRoot machine) : machine_(std::move(machine)) {}

VersionInfoData PosixVersionInfo::read() {
    VersionInfoData data;
    data.productName = NJ_PRODUCT_NAME;
    data.companyName = NJ_COMPANY_NAME;
    data.comments = NJ_WEBSITE;
    data.major = NJ_VERSION_MAJOR;
    data.minor = NJ_VERSION_MINOR;
    data.patch = NJ_VERSION_PATCH;
    return data;
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
