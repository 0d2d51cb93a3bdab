#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace nightjar::e2e {

/// Output and exit code of one run of a program.
struct CommandResult {
    int exitCode = -1;  ///< -1 when it could not be run or did not exit normally
    std::string out;
    std::string err;
};

/// Runs `program` with `args` and waits for it.
CommandResult runProgram(const std::string& program, const std::vector<std::string>& args);

/// The definition server binary running as a child process on 127.0.0.1 with a free port.
class ServerProcess {
  public:
    /// The binary the build made.
    static std::string binary();

    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    /// Starts "serve" on `db`, its log (standard error) going to `logPath`, with `serveArgs`
    /// added; waits for the "listening on" line. False when it did not start.
    bool start(const std::string& db, const std::string& logPath,
               const std::vector<std::string>& serveArgs = {});
    /// Sends SIGTERM and waits; the exit code, -1 when it did not exit normally.
    int stop();

    int port() const { return port_; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
    bool running() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
    int port_ = -1;
};

}  // namespace nightjar::e2e
