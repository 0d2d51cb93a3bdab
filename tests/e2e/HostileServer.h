#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nightjar::e2e {

/// What a hostile server does with one request.
struct HostileReply {
    std::string bytes;  ///< sent as they are (status line and headers included, or not)
    bool hang = false;  ///< after sending, keep the connection open and say nothing more
    /// After `bytes`, this many filler bytes, sent until the client stops reading.
    std::size_t flood = 0;
};

/// A tiny TCP server on 127.0.0.1 that answers every request with whatever the test
/// decides: garbage, a cut-off body, or silence.
class HostileServer {
  public:
    /// Gets the request target ("/asp/date.asp?...") and decides the reply.
    using Behaviour = std::function<HostileReply(const std::string& target)>;

    explicit HostileServer(Behaviour behaviour);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    bool ok() const { return listenFd_ >= 0; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
    /// The request targets seen so far.
    std::vector<std::string> targets();

    /// A complete HTTP/1.1 200 response with this body.
    static std::string ok200(const std::string& body);

  private:
    void serve();

    Behaviour behaviour_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::string> targets_;
    std::vector<int> hung_;  // connections kept open until the end
    std::thread thread_;
};

}  // namespace nightjar::e2e
