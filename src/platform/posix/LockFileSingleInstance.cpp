#include "platform/posix/LockFileSingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace nightjar::platform::posix {

LockFileSingleInstance::LockFileSingleInstance(std::string lockFile) : path_(std::move(lockFile)) {}

LockFileSingleInstance::~LockFileSingleInstance() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool LockFileSingleInstance::acquire() {
    if (fd_ >= 0) {
        return true;
    }
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

}  // namespace nightjar::platform::posix
