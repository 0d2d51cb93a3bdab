#include "platform/posix/PosixLauncher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/WriteFully.h"
#include "util/Text.h"

namespace nightjar::platform::posix {

namespace {

std::string unquote(std::string_view s) {
    s = text::trimView(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') {
        s = s.substr(1, s.size() - 2);
    }
    return std::string(s);
}

/// The program's name without folder and ".exe", in lower case.
std::string programName(std::string_view program) {
    std::size_t sep = program.find_last_of("\\/");
    std::string name =
        text::toLower(sep == std::string_view::npos ? program : program.substr(sep + 1));
    if (name.ends_with(".exe")) {
        name.resize(name.size() - 4);
    }
    return name;
}

std::vector<std::string> splitWords(std::string_view s) {
    std::vector<std::string> words;
    std::string word;
    for (char c : s) {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

bool isUrl(std::string_view s) {
    return text::istartsWith(s, "http://") || text::istartsWith(s, "https://") ||
           text::istartsWith(s, "mailto:");
}

}  // namespace

PosixLauncher::PosixLauncher(MachineRoot machine, std::string recordFile)
    : machine_(std::move(machine)), recordFile_(std::move(recordFile)) {}

std::pair<std::string, std::string> PosixLauncher::splitCommand(std::string_view commandLine) {
    std::string_view s = text::trimView(commandLine);
    std::string_view program;
    std::string_view rest;
    if (!s.empty() && s.front() == '"') {
        std::size_t close = s.find('"', 1);
        program = s.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        rest = close == std::string_view::npos ? std::string_view{} : s.substr(close + 1);
    } else {
        std::size_t blank = s.find(' ');
        program = s.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view{} : s.substr(blank + 1);
    }
    return {std::string(program), unquote(rest)};
}

bool PosixLauncher::record(std::string_view line) {
    int fd = ::open(recordFile_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    std::string text(line);
    text += '\n';
    bool ok = WriteFully(fd, text);
    ::close(fd);
    return ok;
}

bool PosixLauncher::spawn(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return false;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    pid_t child = fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // The grandchild is adopted by init, so nothing is left to reap here.
        setsid();
        if (fork() == 0) {
            int devNull = ::open("/dev/null", O_RDWR);
            if (devNull >= 0) {
                dup2(devNull, STDIN_FILENO);
                dup2(devNull, STDOUT_FILENO);
            }
            execvp(args[0], args.data());
            int err = errno;
            ssize_t ignored = ::write(report[1], &err, sizeof err);
            static_cast<void>(ignored);
            _exit(127);
        }
        _exit(0);
    }
    ::close(report[1]);
    int status = 0;
    waitpid(child, &status, 0);
    // The pipe closes on a successful exec; an error number arrives when exec failed.
    int err = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return n == 0;
}

bool PosixLauncher::openWithDesktop(std::string_view target) {
    return spawn({"xdg-open", std::string(target)});
}

bool PosixLauncher::run(std::string_view commandLine, WindowShow /*show*/) {
    if (!recordFile_.empty()) {
        return record("run " + std::string(commandLine));
    }
    auto [program, argument] = splitCommand(commandLine);
    const std::string name = programName(program);
    if (name == "explorer") {
        std::string host = machine_.hostPath(argument.empty() ? "C:\\" : argument);
        return !host.empty() && openWithDesktop(host);
    }
    if (name == "notepad") {
        std::string host = machine_.hostPath(argument);
        if (host.empty()) {
            return false;
        }
        const char* editor = std::getenv("VISUAL");
        if (editor == nullptr || *editor == '\0') {
            editor = std::getenv("EDITOR");
        }
        if (editor != nullptr && *editor != '\0') {
            std::vector<std::string> argv = splitWords(editor);
            argv.push_back(host);
            return spawn(argv);
        }
        return openWithDesktop(host);
    }
    if (name == "regedit" || name.empty()) {
        return false;
    }
    std::string host = machine_.hostPath(program);
    struct stat st {};
    if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        access(host.c_str(), X_OK) != 0) {
        return false;
    }
    std::vector<std::string> argv{host};
    if (!argument.empty()) {
        argv.push_back(argument);
    }
    return spawn(argv);
}

bool PosixLauncher::open(std::string_view path) {
    if (!recordFile_.empty()) {
        return record("open " + std::string(path));
    }
    std::string target = unquote(path);
    if (isUrl(target)) {
        return openWithDesktop(target);
    }
    std::string host = machine_.hostPath(target);
    struct stat st {};
    if (host.empty() || stat(host.c_str(), &st) != 0) {
        return false;
    }
    if (S_ISREG(st.st_mode) && access(host.c_str(), X_OK) == 0) {
        return spawn({host});
    }
    return openWithDesktop(host);
}

}  // namespace nightjar::platform::posix
