#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <string_view>

namespace nightjar::server {

class RequestHandler;
struct Reply;

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8080;                 ///< 0 picks a free port
    int threads = 8;                 ///< workers; a worker is busy only while a request is answered
    int requestTimeoutSeconds = 10;  ///< total time to receive one request
    int idleTimeoutSeconds = 5;      ///< an idle kept-alive connection is closed after this
    int writeTimeoutSeconds = 10;    ///< total time to send one answer
    int maxPerAddress = 128;         ///< open connections of one client address
    int maxConnections = 8192;       ///< open connections in all (bounded by the file limit)
    int backlog = 1024;              ///< connections waiting to be accepted
};

/// The HTTP front of the server: answers every request through a RequestHandler and logs
/// one line per request (time, address, method, path, status, bytes), written within a
/// fifth of a second and all of them by the time listen() returns.
///
/// Connections are read and written without blocking on one event queue shared by the
/// workers, so a slow client holds a worker only for the bytes it actually sends; a
/// request must arrive whole within its deadline, and one address may hold only so many
/// connections. Methods other than GET and HEAD are answered 405. An answer's signature
/// travels in the signature header.
class DefinitionServer {
  public:
    DefinitionServer(RequestHandler& handler, ServerOptions options, std::ostream& log);
    ~DefinitionServer();
    DefinitionServer(const DefinitionServer&) = delete;
    DefinitionServer& operator=(const DefinitionServer&) = delete;

    /// Binds the listening socket; the bound port is then port(). False with a reason.
    bool bind(std::string& error);
    int port() const { return port_; }
    /// Serves until stop(); false when serving could not start.
    bool listen();
    /// Stops serving; safe from any thread, also before listen().
    void stop();

  private:
    struct Connection;
    using Clock = std::chrono::steady_clock;

    void work();
    void acceptAll();
    void sweep();
    /// Reads what arrived and answers every complete request; false when it is closed.
    bool onReadable(Connection& c);
    bool onWritable(Connection& c);
    /// Answers the complete requests in the buffer; false when the connection ends.
    bool answerBuffered(Connection& c);
    void queueReply(Connection& c, const Reply& reply, std::string_view method,
                    std::string_view target, bool headOnly, bool keepAlive);
    /// Sends what is queued; false on a failed send. `done` tells whether all went.
    bool flush(Connection& c, bool& done);
    void arm(Connection& c, std::uint32_t events);
    void close(Connection* c);
    void refuse(int fd, const std::string& address, const char* reason);
    void logLine(const std::string& address, std::string_view method, std::string_view target,
                 int status, std::size_t bytes);
    void flushLog();

    RequestHandler& handler_;
    ServerOptions options_;
    std::ostream& log_;
    std::mutex logMutex_;
    std::string logBuffer_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int stopFd_ = -1;
    int timerFd_ = -1;
    int port_ = -1;
    std::atomic<bool> stopping_{false};

    std::mutex connectionsMutex_;  // guards the two below and closing
    std::set<Connection*> connections_;
    std::map<std::string, int> perAddress_;
};

}  // namespace nightjar::server
