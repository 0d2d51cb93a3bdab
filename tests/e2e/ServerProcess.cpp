#include "ServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace nightjar::e2e {

namespace {

std::vector<char*> argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> out;
    out.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        out.push_back(const_cast<char*>(a.c_str()));
    }
    out.push_back(nullptr);
    return out;
}

/// Reads everything from `fd` until end of file, polling at most `timeoutMs` per read.
std::string drain(int fd, int timeoutMs) {
    std::string out;
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) {
            break;
        }
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

CommandResult runProgram(const std::string& program, const std::vector<std::string>& args) {
    CommandResult result;
    int out[2];
    int err[2];
    if (::pipe(out) != 0) {
        return result;
    }
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return result;
    }
    std::vector<char*> av = argv(program, args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        ::execv(program.c_str(), av.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (pid > 0) {
        // Admin commands print little; standard error is read after standard output.
        result.out = drain(out[0], 30000);
        result.err = drain(err[0], 30000);
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.exitCode = exitCodeOf(status);
    }
    ::close(out[0]);
    ::close(err[0]);
    return result;
}

std::string ServerProcess::binary() {
    if (const char* env = std::getenv("NJ_DEFSERVER"); env != nullptr && *env != '\0') {
        return env;
    }
    return NJ_DEFSERVER_PATH;
}

ServerProcess::~ServerProcess() {
    stop();
}

bool ServerProcess::start(const std::string& db, const std::string& logPath,
                          const std::vector<std::string>& serveArgs) {
    int out[2];
    if (::pipe(out) != 0) {
        return false;
    }
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string program = binary();
    std::vector<std::string> args = {"--db",   db,  "serve",     "--host", "127.0.0.1",
                                     "--port", "0", "--threads", "4"};
    args.insert(args.end(), serveArgs.begin(), serveArgs.end());
    std::vector<char*> av = argv(program, args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        if (log >= 0) {
            ::dup2(log, 2);
        }
        ::close(out[0]);
        ::execv(program.c_str(), av.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (log >= 0) {
        ::close(log);
    }
    if (pid < 0) {
        ::close(out[0]);
        return false;
    }
    pid_ = pid;
    // The first line is "listening on 127.0.0.1:PORT".
    std::string line;
    char c = 0;
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 20000) <= 0 || ::read(out[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        line += c;
    }
    ::close(out[0]);
    const std::string prefix = "listening on 127.0.0.1:";
    if (line.rfind(prefix, 0) != 0) {
        stop();
        return false;
    }
    port_ = std::atoi(line.c_str() + prefix.size());
    return port_ > 0;
}

int ServerProcess::stop() {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return exitCodeOf(status);
}

}  // namespace nightjar::e2e
