#include "LoopbackHttpServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace nightjar::platform::win32::test {

LoopbackHttpServer::LoopbackHttpServer(std::vector<Response> responses)
    : responses_(std::move(responses)), listener_(INVALID_SOCKET) {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        return;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof addr;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, 4) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        closesocket(s);
        return;
    }
    listener_ = s;
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (listener_ != INVALID_SOCKET) {
        closesocket(static_cast<SOCKET>(listener_));
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    WSACleanup();
}

std::string LoopbackHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackHttpServer::requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::serve() {
    for (const auto& response : responses_) {
        // Never block for good: a client that does not come ends the server.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(static_cast<SOCKET>(listener_), &readable);
        timeval wait{30, 0};
        if (select(0, &readable, nullptr, nullptr, &wait) != 1) {
            return;
        }
        SOCKET c = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
        if (c == INVALID_SOCKET) {
            return;
        }
        DWORD timeout = 10000;
        setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof timeout);
        std::string head;
        char buf[1024];
        while (head.find("\r\n\r\n") == std::string::npos) {
            int n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) {
                break;
            }
            head.append(buf, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(head);
        }
        std::string out = "HTTP/1.1 " + std::to_string(response.status) +
                          (response.status < 400 ? " OK" : " Error") +
                          "\r\nContent-Type: text/plain\r\nContent-Length: " +
                          std::to_string(response.body.size()) + "\r\nConnection: close\r\n" +
                          response.headers + "\r\n" + response.body;
        std::size_t sent = 0;
        while (sent < out.size()) {
            int n = send(c, out.data() + sent, static_cast<int>(out.size() - sent), 0);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        shutdown(c, SD_SEND);
        // Let the client read everything before the connection goes.
        while (recv(c, buf, sizeof buf, 0) > 0) {
        }
        closesocket(c);
    }
}

}  // namespace nightjar::platform::win32::test
