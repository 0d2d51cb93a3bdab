#pragma once
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

namespace httplib {
class Server;
}

namespace nightjar::server {

class RequestHandler;

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8080;  ///< 0 picks a free port
    int threads = 8;
    int timeoutSeconds = 10;  ///< read and write time-out of one connection
};

/// The HTTP front of the server: answers every GET through a RequestHandler on a pool of
/// worker threads and logs one line per request (time, address, method, path, status,
/// bytes).
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
    void logLine(const std::string& line);

    RequestHandler& handler_;
    ServerOptions options_;
    std::ostream& log_;
    std::mutex logMutex_;
    std::unique_ptr<httplib::Server> http_;
    int port_ = -1;
};

}  // namespace nightjar::server
