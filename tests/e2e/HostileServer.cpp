#include "HostileServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace nightjar::e2e {

HostileServer::HostileServer(Behaviour behaviour) : behaviour_(std::move(behaviour)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) {
        return;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = 0;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

HostileServer::~HostileServer() {
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
    for (const int fd : hung_) {
        ::close(fd);
    }
}

std::vector<std::string> HostileServer::targets() {
    std::lock_guard lock(mutex_);
    return targets_;
}

std::string HostileServer::ok200(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void HostileServer::serve() {
    while (!stopping_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            continue;
        }
        // Read the request head.
        std::string head;
        char buf[1024];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            pollfd q{fd, POLLIN, 0};
            if (::poll(&q, 1, 2000) <= 0) {
                break;
            }
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                break;
            }
            head.append(buf, static_cast<std::size_t>(n));
        }
        std::string target;
        const std::size_t sp1 = head.find(' ');
        const std::size_t sp2 = sp1 == std::string::npos ? sp1 : head.find(' ', sp1 + 1);
        if (sp2 != std::string::npos) {
            target = head.substr(sp1 + 1, sp2 - sp1 - 1);
        }
        const HostileReply reply = behaviour_(target);
        {
            std::lock_guard lock(mutex_);
            targets_.push_back(target);
        }
        std::size_t sent = 0;
        while (sent < reply.bytes.size()) {
            const ssize_t n =
                ::send(fd, reply.bytes.data() + sent, reply.bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        const std::string filler(64 * 1024, 'x');
        for (std::size_t left = reply.flood; left > 0 && sent == reply.bytes.size();) {
            const ssize_t n =
                ::send(fd, filler.data(), std::min(left, filler.size()), MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            left -= static_cast<std::size_t>(n);
        }
        if (reply.hang) {
            hung_.push_back(fd);
        } else {
            ::close(fd);
        }
    }
}

}  // namespace nightjar::e2e
