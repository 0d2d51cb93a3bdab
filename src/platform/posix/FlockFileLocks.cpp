#include "platform/posix/FlockFileLocks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

namespace nightjar::platform::posix {

namespace {
constexpr std::chrono::milliseconds kPoll{20};
}

FlockFileLocks::FlockFileLocks(MachineRoot machine) : machine_(std::move(machine)) {}

FlockFileLocks::~FlockFileLocks() {
    for (const auto& held : held_) {
        ::close(held.second);
    }
}

bool FlockFileLocks::lock(std::string_view path, std::chrono::milliseconds wait) {
    const std::string host = machine_.hostPath(path);
    if (host.empty() || held_.count(host) != 0) {
        return false;
    }
    const int fd = ::open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    held_[host] = fd;
    return true;
}

void FlockFileLocks::unlock(std::string_view path) {
    auto it = held_.find(machine_.hostPath(path));
    if (it != held_.end()) {
        ::close(it->second);  // closing the only descriptor of the open file releases it
        held_.erase(it);
    }
}

}  // namespace nightjar::platform::posix
