#include "DefinitionServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "HttpRequestHead.h"
#include "RequestHandler.h"
#include "util/SignedAnswer.h"

namespace nightjar::server {

namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr std::size_t kMaxBody = 64 * 1024;
constexpr int kAcceptBurst = 128;
constexpr long kSweepMillis = 200;
// Log lines are written in batches, at the latest by the next sweep.
constexpr std::size_t kLogFlushBytes = 16 * 1024;

std::string utcStamp() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

// Keeps a log line on one line whatever bytes a request holds.
std::string printable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 32 || u == 127) ? '?' : c;
    }
    return out;
}

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 413:
            return "Payload Too Large";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

std::string addressOf(const sockaddr_storage& sa) {
    char buf[INET6_ADDRSTRLEN] = "";
    if (sa.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(sa).sin_addr, buf, sizeof buf);
    } else if (sa.ss_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6&>(sa).sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a)) {
            inet_ntop(AF_INET, a.s6_addr + 12, buf, sizeof buf);
        } else {
            inet_ntop(AF_INET6, &a, buf, sizeof buf);
        }
    }
    return buf;
}

std::string_view pathOf(std::string_view target) {
    return target.substr(0, target.find('?'));
}

Reply plainReply(int status) {
    Reply r;
    r.status = status;
    r.body = reason(status);
    return r;
}

}  // namespace

/// One client connection. Only the worker that took its event touches the buffers; the
/// sweeper reads the deadline and may shut the socket down.
struct DefinitionServer::Connection {
    int fd = -1;
    std::string address;
    std::string in;
    bool idle = false;     ///< between requests of a kept-alive connection
    bool eof = false;      ///< the client sent all it will send
    bool writing = false;  ///< an answer is partly sent
    std::string head;
    std::shared_ptr<const std::string> body;
    std::size_t sent = 0;
    bool closeAfter = false;
    std::string logMethod;
    std::string logTarget;
    int logStatus = 0;
    std::size_t logBytes = 0;
    std::atomic<Clock::rep> deadline{0};
    std::atomic<bool> expired{false};

    void setDeadline(int seconds) {
        deadline = (Clock::now() + std::chrono::seconds(seconds)).time_since_epoch().count();
    }
};

DefinitionServer::DefinitionServer(RequestHandler& handler, ServerOptions options,
                                   std::ostream& log)
    : handler_(handler), options_(std::move(options)), log_(log) {
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    stopFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    timerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    // Every accepted connection holds a descriptor; keep a margin for the database and logs.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        const auto room = static_cast<long>(files.rlim_cur) - 64;
        if (room < options_.maxConnections) {
            options_.maxConnections = static_cast<int>(room > 16 ? room : 16);
        }
    }
}

DefinitionServer::~DefinitionServer() {
    for (const int fd : {listenFd_, epollFd_, stopFd_, timerFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool DefinitionServer::bind(std::string& error) {
    error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
    if (epollFd_ < 0 || stopFd_ < 0 || timerFd_ < 0) {
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options_.port);
    if (::getaddrinfo(options_.host.c_str(), port.c_str(), &hints, &found) != 0) {
        return false;
    }
    for (addrinfo* a = found; a != nullptr && listenFd_ < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            continue;
        }
        // Address reuse only: with port reuse as well, a second server on a busy port would
        // start without an error and take a share of the first one's clients.
        int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, options_.backlog) == 0) {
            listenFd_ = fd;
        } else {
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    if (listenFd_ < 0) {
        return false;
    }
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &len);
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                              : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    error.clear();
    return true;
}

bool DefinitionServer::listen() {
    if (listenFd_ < 0) {
        return false;
    }
    epoll_event ev{};
    ev.events = EPOLLIN;  // level-triggered: wakes every worker once stop() is called
    ev.data.ptr = &stopFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, stopFd_, &ev);
    ev.events = EPOLLIN | EPOLLONESHOT;
    ev.data.ptr = &listenFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, listenFd_, &ev);
    itimerspec tick{};
    tick.it_interval.tv_nsec = kSweepMillis * 1'000'000;
    tick.it_value = tick.it_interval;
    ::timerfd_settime(timerFd_, 0, &tick, nullptr);
    ev.data.ptr = &timerFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, timerFd_, &ev);

    std::vector<std::thread> workers;
    for (int i = 1; i < options_.threads; ++i) {
        workers.emplace_back([this] { work(); });
    }
    work();
    for (std::thread& w : workers) {
        w.join();
    }
    ::close(listenFd_);
    listenFd_ = -1;
    flushLog();
    std::lock_guard lock(connectionsMutex_);
    for (Connection* c : connections_) {
        ::close(c->fd);
        delete c;
    }
    connections_.clear();
    perAddress_.clear();
    return true;
}

void DefinitionServer::stop() {
    stopping_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
}

void DefinitionServer::work() {
    epoll_event ev{};
    while (!stopping_) {
        const int n = ::epoll_wait(epollFd_, &ev, 1, -1);
        if (n <= 0) {
            if (n < 0 && errno != EINTR) {
                return;
            }
            continue;
        }
        if (ev.data.ptr == &stopFd_) {
            return;
        }
        if (ev.data.ptr == &listenFd_) {
            acceptAll();
            continue;
        }
        if (ev.data.ptr == &timerFd_) {
            std::uint64_t ticks = 0;
            [[maybe_unused]] const ssize_t r = ::read(timerFd_, &ticks, sizeof ticks);
            sweep();
            ev.events = EPOLLIN | EPOLLONESHOT;
            ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, timerFd_, &ev);
            continue;
        }
        auto* c = static_cast<Connection*>(ev.data.ptr);
        if (!(c->writing ? onWritable(*c) : onReadable(*c))) {
            close(c);
        }
    }
}

void DefinitionServer::acceptAll() {
    bool rearm = true;
    for (int i = 0; i < kAcceptBurst; ++i) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                rearm = false;  // the sweeper listens again once descriptors are freed
            }
            break;
        }
        auto* c = new Connection;
        c->fd = fd;
        c->address = addressOf(peer);
        c->setDeadline(options_.requestTimeoutSeconds);
        const char* refused = nullptr;
        {
            std::lock_guard lock(connectionsMutex_);
            int& mine = perAddress_[c->address];
            if (static_cast<int>(connections_.size()) >= options_.maxConnections) {
                refused = "too many connections";
            } else if (mine >= options_.maxPerAddress) {
                refused = "too many connections from this address";
            } else {
                ++mine;
                connections_.insert(c);
            }
            if (refused != nullptr && mine == 0) {
                perAddress_.erase(c->address);
            }
        }
        if (refused != nullptr) {
            refuse(fd, c->address, refused);
            delete c;
            continue;
        }
        // No Nagle delay: an answer goes out in one write, but waiting for the peer's
        // delayed acknowledgement of the previous one would cost every request ~40 ms.
        int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLONESHOT;
        ev.data.ptr = c;
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev);
    }
    if (rearm) {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLONESHOT;
        ev.data.ptr = &listenFd_;
        ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, listenFd_, &ev);
    }
}

void DefinitionServer::refuse(int fd, const std::string& address, const char* why) {
    const std::string answer = std::string("HTTP/1.1 503 Service Unavailable\r\n") +
                               "Content-Type: text/plain\r\nContent-Length: " +
                               std::to_string(std::string_view(why).size()) +
                               "\r\nConnection: close\r\n\r\n" + why;
    [[maybe_unused]] const ssize_t n =
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
    logLine(address, "-", "-", 503, 0);
}

void DefinitionServer::sweep() {
    flushLog();
    const Clock::rep now = Clock::now().time_since_epoch().count();
    std::lock_guard lock(connectionsMutex_);
    for (Connection* c : connections_) {
        if (c->deadline < now && !c->expired.exchange(true)) {
            // The worker that next sees the connection finds it ended and closes it.
            ::shutdown(c->fd, SHUT_RDWR);
        }
    }
    // Accepting resumes here after running out of descriptors.
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLONESHOT;
    ev.data.ptr = &listenFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, listenFd_, &ev);
}

bool DefinitionServer::onReadable(Connection& c) {
    char buf[16384];
    while (c.in.size() <= kMaxHead + kMaxBody) {
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            if (c.idle) {
                // A new request: its whole time starts with its first byte.
                c.idle = false;
                c.setDeadline(options_.requestTimeoutSeconds);
            }
            c.in.append(buf, static_cast<std::size_t>(n));
            if (static_cast<std::size_t>(n) < sizeof buf) {
                break;  // all there was; the event queue tells when more comes
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // End of input, or a failure other than "nothing more for now".
        c.eof = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    if (c.expired) {
        if (!c.in.empty()) {
            std::string method;
            HttpRequestHead::parse(c.in, method);
            logLine(c.address, method.empty() ? "-" : method, "-", 408, 0);
        }
        return false;
    }
    return answerBuffered(c);
}

bool DefinitionServer::onWritable(Connection& c) {
    bool done = false;
    if (c.expired || !flush(c, done)) {
        return false;
    }
    if (!done) {
        arm(c, EPOLLOUT);
        return true;
    }
    return answerBuffered(c);
}

bool DefinitionServer::answerBuffered(Connection& c) {
    for (;;) {
        if (c.writing) {
            // The answer before this one is fully sent: log it, then go on.
            c.writing = false;
            logLine(c.address, c.logMethod, c.logTarget, c.logStatus, c.logBytes);
            if (c.closeAfter) {
                return false;
            }
            c.idle = c.in.empty();
            c.setDeadline(c.idle ? options_.idleTimeoutSeconds : options_.requestTimeoutSeconds);
        }
        const std::size_t headLength = HttpRequestHead::headLength(c.in);
        if (headLength == 0 && c.in.size() <= kMaxHead) {
            if (c.eof) {
                return false;
            }
            arm(c, EPOLLIN);
            return true;
        }
        std::string method;
        std::optional<HttpRequestHead> head =
            headLength == 0
                ? std::nullopt
                : HttpRequestHead::parse(std::string_view(c.in).substr(0, headLength), method);
        if (!head) {
            if (method.empty()) {
                HttpRequestHead::parse(c.in, method);
            }
            // For the log: the line between its first and last blank, as far as it goes.
            std::string_view line = std::string_view(c.in).substr(0, c.in.find('\n'));
            line = line.substr(0, line.find('\r'));
            const std::size_t first = line.find(' ');
            const std::size_t last = line.rfind(' ');
            const std::string target(first == std::string_view::npos ? "-"
                                     : last > first ? line.substr(first + 1, last - first - 1)
                                                    : line.substr(first + 1));
            queueReply(c, plainReply(headLength == 0 ? 431 : 400), method.empty() ? "-" : method,
                       target, false, false);
        } else if (head->contentLength > kMaxBody) {
            queueReply(c, plainReply(413), head->method, head->target, false, false);
        } else if (!head->chunked && c.in.size() < headLength + head->contentLength) {
            // The body is still on its way.
            if (c.eof) {
                return false;
            }
            arm(c, EPOLLIN);
            return true;
        } else {
            const bool headOnly = head->method == "HEAD";
            // A chunked body is never read: answer and close.
            const bool keepAlive = head->keepAlive && !head->chunked && !stopping_;
            c.in.erase(0, head->chunked ? c.in.size() : headLength + head->contentLength);
            // The request is in; from here the answer has its own time.
            c.setDeadline(options_.writeTimeoutSeconds);
            const Reply reply = handler_.handle(head->method, head->target, c.address);
            queueReply(c, reply, head->method, head->target, headOnly, keepAlive);
            if (head->http10 && keepAlive) {
                c.head.insert(c.head.size() - 2, "Connection: keep-alive\r\n");
            }
        }
        bool done = false;
        if (!flush(c, done)) {
            return false;
        }
        if (!done) {
            arm(c, EPOLLOUT);
            return true;
        }
    }
}

void DefinitionServer::queueReply(Connection& c, const Reply& reply, std::string_view method,
                                  std::string_view target, bool headOnly, bool keepAlive) {
    const std::size_t size = reply.size();
    c.head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
             "\r\nContent-Type: " + reply.contentType +
             "\r\nContent-Length: " + std::to_string(size) + "\r\n";
    if (reply.status == 405) {
        c.head += "Allow: GET, HEAD\r\n";
    }
    if (!reply.signature.empty()) {
        c.head += std::string(signing::kSignatureHeader) + ": " + reply.signature + "\r\n";
    }
    if (!keepAlive) {
        c.head += "Connection: close\r\n";
    }
    c.head += "\r\n";
    if (headOnly || size == 0) {
        c.body.reset();
    } else {
        c.body = reply.shared ? reply.shared : std::make_shared<const std::string>(reply.body);
    }
    c.sent = 0;
    c.writing = true;
    c.closeAfter = !keepAlive;
    c.logMethod = std::string(method);
    c.logTarget = std::string(target);
    c.logStatus = reply.status;
    c.logBytes = headOnly ? 0 : size;
    if (!keepAlive) {
        // Nothing more is read from this connection.
        c.in.clear();
    }
}

bool DefinitionServer::flush(Connection& c, bool& done) {
    const std::size_t total = c.head.size() + (c.body ? c.body->size() : 0);
    while (c.sent < total) {
        iovec parts[2];
        int count = 0;
        if (c.sent < c.head.size()) {
            parts[count++] = {c.head.data() + c.sent, c.head.size() - c.sent};
        }
        if (c.body) {
            const std::size_t from = c.sent > c.head.size() ? c.sent - c.head.size() : 0;
            parts[count++] = {const_cast<char*>(c.body->data()) + from, c.body->size() - from};
        }
        msghdr msg{};
        msg.msg_iov = parts;
        msg.msg_iovlen = static_cast<std::size_t>(count);
        const ssize_t n = ::sendmsg(c.fd, &msg, MSG_NOSIGNAL);
        if (n > 0) {
            c.sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            done = false;
            return true;
        } else {
            return false;
        }
    }
    done = true;
    return true;
}

void DefinitionServer::arm(Connection& c, std::uint32_t events) {
    // The last touch of `c` by this worker: once armed, another may take it.
    epoll_event ev{};
    ev.events = events | EPOLLONESHOT;
    ev.data.ptr = &c;
    ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, c.fd, &ev);
}

void DefinitionServer::close(Connection* c) {
    {
        std::lock_guard lock(connectionsMutex_);
        connections_.erase(c);
        if (auto it = perAddress_.find(c->address); it != perAddress_.end() && --it->second <= 0) {
            perAddress_.erase(it);
        }
        // Closed under the lock, so the sweeper never shuts down a reused descriptor.
        ::close(c->fd);
    }
    delete c;
}

void DefinitionServer::logLine(const std::string& address, std::string_view method,
                               std::string_view target, int status, std::size_t bytes) {
    const std::string line = utcStamp() + " " + address + " " + printable(method) + " " +
                             printable(pathOf(target)) + " " + std::to_string(status) + " " +
                             std::to_string(bytes) + "\n";
    std::lock_guard lock(logMutex_);
    logBuffer_ += line;
    if (logBuffer_.size() >= kLogFlushBytes) {
        log_ << logBuffer_;
        log_.flush();
        logBuffer_.clear();
    }
}

void DefinitionServer::flushLog() {
    std::lock_guard lock(logMutex_);
    if (!logBuffer_.empty()) {
        log_ << logBuffer_;
        log_.flush();
        logBuffer_.clear();
    }
}

}  // namespace nightjar::server
