#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nightjar::platform::win32::test {

/// A one-thread HTTP server on 127.0.0.1 inside the test process, so that WinINet can be
/// tested end to end under Wine. It answers each connection with the next canned response
/// and records the request heads.
class LoopbackHttpServer {
  public:
    struct Response {
        Response(int status_, std::string body_, std::string headers_ = {})
            : status(status_), body(std::move(body_)), headers(std::move(headers_)) {}
        int status = 200;
        std::string body;
        std::string headers;  ///< extra header lines, each ending in "\r\n"
    };

    explicit LoopbackHttpServer(std::vector<Response> responses);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool started() const { return port_ != 0; }
    std::string url(const std::string& path) const;
    /// Request heads received so far.
    std::vector<std::string> requests();

  private:
    void serve();

    std::vector<Response> responses_;
    std::uintptr_t listener_;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace nightjar::platform::win32::test
