#include "platform/posix/WineServerProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace nightjar::platform::posix {

namespace {

bool lockHeld(const std::string& lockFile) {
    int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool held = fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

/// The folder name written in the prefix's "wineserver" file ("wine-XXXXXX"); empty when
/// there is none or it is no plain name.
std::string namedServerFolder(const std::string& prefix) {
    std::ifstream in(prefix + "/wineserver");
    std::string name;
    if (!in || !std::getline(in, name)) {
        return {};
    }
    while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) {
        name.pop_back();
    }
    if (name.empty() || name.size() > 255 || name.find('/') != std::string::npos || name == "." ||
        name == "..") {
        return {};
    }
    return name;
}

}  // namespace

bool WineServerProbe::running(const std::string& prefix) {
    struct stat st {};
    if (stat(prefix.c_str(), &st) != 0) {
        return false;
    }
    char server[64];
    std::snprintf(server, sizeof server, "/server-%llx-%llx",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::vector<std::string> bases;
    if (std::string name = namedServerFolder(prefix); !name.empty()) {
        if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp == '/') {
            bases.push_back(std::string(tmp) + "/" + name);
        }
        bases.push_back("/tmp/" + name);
    }
    // The server runs as the prefix's owner, who is not always the one asking.
    bases.push_back("/tmp/.wine-" + std::to_string(getuid()));
    if (st.st_uid != getuid()) {
        bases.push_back("/tmp/.wine-" + std::to_string(st.st_uid));
    }
    for (const auto& base : bases) {
        if (lockHeld(base + server + "/lock")) {
            return true;
        }
    }
    return false;
}

}  // namespace nightjar::platform::posix
