#include "platform/posix/PosixProcesses.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <fstream>
#include <string_view>
#include <thread>

#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

constexpr auto kGracePeriod = std::chrono::milliseconds(2000);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

/// A pid that names exactly one process: 0 and values that turn negative would signal
/// whole process groups.
bool isSinglePid(std::uint32_t pid) {
    return pid > 0 && pid <= static_cast<std::uint32_t>(INT_MAX);
}

bool allDigits(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::string procFile(std::uint32_t pid, const char* name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

std::string commandName(std::uint32_t pid) {
    std::ifstream in(procFile(pid, "comm"));
    std::string name;
    std::getline(in, name);
    return name;
}

std::string lastComponent(const std::string& path, char sep) {
    std::size_t pos = path.rfind(sep);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

/// Holds the process while its identity is checked and it is signalled: a pidfd keeps
/// naming the process it was opened for, so an id reused meanwhile is never signalled.
class ProcessHandle {
  public:
    explicit ProcessHandle(std::uint32_t pid)
        : fd_(isSinglePid(pid)
                  ? static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0u))
                  : -1) {}
    ~ProcessHandle() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    bool valid() const { return fd_ >= 0; }
    // Called through syscall: the C library's header of these calls is not C++-ready here.
    bool signal(int sig) const {
        return syscall(SYS_pidfd_send_signal, fd_, sig, nullptr, 0u) == 0;
    }
    /// True when the process ended within the time.
    bool waitEnded(std::chrono::milliseconds limit) const {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, static_cast<int>(limit.count())) > 0;
    }

  private:
    int fd_;
};

/// Signals and waits up to the grace period, then kills. `holdsImage` is asked while the
/// process is held.
template <typename Check>
bool endProcess(std::uint32_t pid, Check holdsImage) {
    ProcessHandle process(pid);
    if (!process.valid() || !holdsImage()) {
        return false;
    }
    if (!process.signal(SIGTERM)) {
        return false;
    }
    if (!process.waitEnded(kGracePeriod)) {
        process.signal(SIGKILL);
    }
    return true;
}

}  // namespace

PosixProcesses::PosixProcesses(MachineRoot machine) : machine_(std::move(machine)) {}

bool PosixProcesses::isRunning(std::uint32_t pid) {
    if (!isSinglePid(pid)) {
        return false;
    }
    std::ifstream in(procFile(pid, "stat"));
    std::string line;
    if (!std::getline(in, line)) {
        return false;
    }
    // The state follows the command name, which is in parentheses and may hold anything.
    std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) {
        return false;
    }
    char state = line[close + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

std::string PosixProcesses::executableHostPath(std::uint32_t pid) {
    if (!isSinglePid(pid)) {
        return {};
    }
    std::string link = procFile(pid, "exe");
    char buf[PATH_MAX];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) {
        return {};
    }
    std::string path(buf, static_cast<std::size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

std::optional<std::vector<std::uint32_t>> PosixProcesses::processIds() {
    DIR* dir = opendir("/proc");
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> ids;
    while (const dirent* e = readdir(dir)) {
        std::string_view name(e->d_name);
        std::uint32_t pid = 0;
        if (allDigits(name) &&
            std::from_chars(name.data(), name.data() + name.size(), pid).ec == std::errc()) {
            ids.push_back(pid);
        }
    }
    closedir(dir);
    return ids;
}

std::optional<std::string> PosixProcesses::moduleBaseName(std::uint32_t pid) {
    std::string host = executableHostPath(pid);
    if (host.empty()) {
        return std::nullopt;
    }
    std::string windows = machine_.windowsPath(host);
    return windows.empty() ? lastComponent(host, '/') : lastComponent(windows, '\\');
}

std::optional<std::string> PosixProcesses::firstModulePath(std::uint32_t pid) {
    std::string host = executableHostPath(pid);
    if (host.empty()) {
        return std::nullopt;
    }
    std::string windows = machine_.windowsPath(host);
    if (windows.empty()) {
        return std::nullopt;
    }
    return windows;
}

std::string PosixProcesses::snapshotName(std::uint32_t pid) const {
    std::string name;
    if (std::string host = executableHostPath(pid); !host.empty()) {
        name = machine_.windowsPath(host);
    }
    return name.empty() ? commandName(pid) : name;
}

std::optional<std::vector<SnapshotEntry>> PosixProcesses::snapshot() {
    auto ids = processIds();
    if (!ids) {
        return std::nullopt;
    }
    std::vector<SnapshotEntry> entries;
    entries.reserve(ids->size());
    for (std::uint32_t pid : *ids) {
        entries.push_back({pid, snapshotName(pid)});
    }
    return entries;
}

bool PosixProcesses::setDebugPrivilege(bool /*enable*/) {
    return true;
}

bool PosixProcesses::terminate(std::uint32_t pid, std::uint32_t /*exitCode*/,
                               std::string_view image) {
    return endProcess(pid, [&] {
        return image.empty() || text::iequals(firstModulePath(pid).value_or(""), image);
    });
}

bool PosixProcesses::terminateLegacy(std::uint32_t pid, std::string_view exeFile) {
    return endProcess(pid,
                      [&] { return exeFile.empty() || text::iequals(snapshotName(pid), exeFile); });
}

WaitResult PosixProcesses::wait(std::uint32_t pid, std::uint32_t milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (!isRunning(pid)) {
            return WaitResult::Signaled;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return WaitResult::TimedOut;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now));
    }
}

int PosixProcesses::platformId() {
    return 2;
}

}  // namespace nightjar::platform::posix
