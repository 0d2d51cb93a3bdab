#include "platform/posix/PosixReplaceFile.h"
#include "platform/posix/WriteFully.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>

namespace nightjar::platform::posix {

namespace {

// Keeps the temporary name within the host's name length limit.
constexpr std::size_t kMaxBaseName = 200;

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string uniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d-%x-%u", static_cast<int>(getpid()), seed, ++counter);
    return buf;
}

// Makes the rename itself durable: without it a crash can bring back the old entry.
void syncFolder(const std::string& folder, const PosixReplaceFile::SyncFunction& sync) {
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        sync(dfd);
        ::close(dfd);
    }
}

}  // namespace

std::unique_ptr<PosixReplaceFile> PosixReplaceFile::open(const std::string& hostPath,
                                                         SyncFunction sync) {
    if (hostPath.empty() || hostPath.back() == '/') {
        return nullptr;
    }
    struct stat st {};
    bool targetExists = stat(hostPath.c_str(), &st) == 0;
    if (targetExists && S_ISDIR(st.st_mode)) {
        return nullptr;
    }
    const std::string folder = folderOf(hostPath);
    std::string base = nameOf(hostPath).substr(0, kMaxBaseName);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp =
            folder + (folder == "/" ? "" : "/") + "." + base + ".njtmp-" + uniqueSuffix();
        // The umask applies to a new file as it would to the target created directly.
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (targetExists) {
                fchmod(fd, st.st_mode & 07777);
            }
            return std::unique_ptr<PosixReplaceFile>(
                new PosixReplaceFile(fd, hostPath, temp, std::move(sync)));
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

PosixReplaceFile::PosixReplaceFile(int fd, std::string target, std::string temp, SyncFunction sync)
    : fd_(fd), targetPath_(std::move(target)), tempPath_(std::move(temp)), sync_(std::move(sync)) {}

PosixReplaceFile::~PosixReplaceFile() {
    if (!done_) {
        discard();
    }
}

void PosixReplaceFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ::unlink(tempPath_.c_str());
    done_ = true;
}

bool PosixReplaceFile::write(std::string_view data) {
    if (done_) {
        return false;
    }
    if (!failed_ && !WriteFully(fd_, data)) {
        failed_ = true;
    }
    return !failed_;
}

bool PosixReplaceFile::commit() {
    if (done_) {
        return false;
    }
    if (failed_ || sync_(fd_) != 0) {
        discard();
        return false;
    }
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) {
        discard();
        return false;
    }
    done_ = true;
    syncFolder(folderOf(targetPath_), sync_);
    return true;
}

}  // namespace nightjar::platform::posix
