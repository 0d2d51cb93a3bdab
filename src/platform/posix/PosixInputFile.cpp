#include "platform/posix/PosixInputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/DeepPath.h"

namespace nightjar::platform::posix {

std::unique_ptr<PosixInputFile> PosixInputFile::open(const std::string& hostPath) {
    if (hostPath.empty()) {
        return nullptr;
    }
    // Opened without blocking, so that a FIFO without a writer or a device cannot hold the
    // open; the kind is then checked on the open descriptor, so that nothing can swap the
    // entry between the check and the open.
    int fd = DeepPath::open(hostPath, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<PosixInputFile>(new PosixInputFile(fd));
}

PosixInputFile::~PosixInputFile() {
    ::close(fd_);
}

std::size_t PosixInputFile::read(char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

}  // namespace nightjar::platform::posix
