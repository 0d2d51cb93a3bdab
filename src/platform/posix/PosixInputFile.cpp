#include "platform/posix/PosixInputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace nightjar::platform::posix {

std::unique_ptr<PosixInputFile> PosixInputFile::open(const std::string& hostPath) {
    if (hostPath.empty()) {
        return nullptr;
    }
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
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
