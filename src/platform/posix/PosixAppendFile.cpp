#include "platform/posix/PosixAppendFile.h"
#include "platform/posix/WriteFully.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace nightjar::platform::posix {

std::unique_ptr<PosixAppendFile> PosixAppendFile::open(const std::string& hostPath) {
    if (hostPath.empty()) {
        return nullptr;
    }
    int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    return std::unique_ptr<PosixAppendFile>(new PosixAppendFile(fd));
}

PosixAppendFile::~PosixAppendFile() {
    ::close(fd_);
}

bool PosixAppendFile::write(std::string_view data) {
    if (!failed_ && !WriteFully(fd_, data)) {
        failed_ = true;
    }
    return !failed_;
}

bool PosixAppendFile::commit() {
    if (failed_) {
        return false;
    }
    return fdatasync(fd_) == 0;
}

}  // namespace nightjar::platform::posix
