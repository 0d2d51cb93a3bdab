#include "platform/posix/DeepPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>

namespace nightjar::platform::posix {

namespace {

// The longest stretch handed to one call, with room for its terminating zero.
constexpr std::size_t kMaxStretch = PATH_MAX - 1;

}  // namespace

DeepPath::DeepPath(const std::string& hostPath) : fd_(AT_FDCWD), name_(hostPath.c_str()) {
    if (hostPath.empty()) {
        ok_ = false;
        return;
    }
    if (hostPath.size() <= kMaxStretch) {
        return;  // the common case: the path as it is
    }
    std::size_t start = 0;
    while (hostPath.size() - start > kMaxStretch) {
        // The last separator that keeps this stretch within the limit; a stretch always
        // holds at least one whole name, as names are far shorter than the limit.
        const std::size_t cut = hostPath.rfind('/', start + kMaxStretch);
        if (cut == std::string::npos || cut < start) {
            ok_ = false;
            return;
        }
        const std::string stretch =
            cut == start ? std::string("/") : hostPath.substr(start, cut - start);
        const int next = ::openat(fd_, stretch.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd_ != AT_FDCWD) {
            ::close(fd_);
        }
        fd_ = next;
        if (fd_ < 0) {
            fd_ = AT_FDCWD;
            ok_ = false;
            return;
        }
        start = cut + 1;
        while (start < hostPath.size() && hostPath[start] == '/') {
            ++start;
        }
    }
    rest_ = hostPath.substr(start);
    if (rest_.empty()) {
        rest_.push_back('.');
    }
    name_ = rest_.c_str();
}

DeepPath::~DeepPath() {
    if (fd_ != AT_FDCWD) {
        ::close(fd_);
    }
}

int DeepPath::open(const std::string& hostPath, int flags) {
    DeepPath p(hostPath);
    return p.ok() ? ::openat(p.at(), p.name(), flags | O_CLOEXEC) : -1;
}

bool DeepPath::status(const std::string& hostPath, struct stat& st, bool follow) {
    DeepPath p(hostPath);
    return p.ok() && ::fstatat(p.at(), p.name(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

DIR* DeepPath::openFolder(const std::string& hostPath) {
    const int fd = open(hostPath, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
    }
    return dir;
}

}  // namespace nightjar::platform::posix
