#include "DefinitionServer.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <ctime>

#include "RequestHandler.h"

namespace nightjar::server {

namespace {

std::string utcStamp() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

// Keeps a log line on one line whatever bytes a request path holds.
std::string printable(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 32 || u == 127) ? '?' : c;
    }
    return out;
}

}  // namespace

DefinitionServer::DefinitionServer(RequestHandler& handler, ServerOptions options,
                                   std::ostream& log)
    : handler_(handler),
      options_(std::move(options)),
      log_(log),
      http_(std::make_unique<httplib::Server>()) {
    const auto threads = static_cast<std::size_t>(options_.threads > 0 ? options_.threads : 1);
    http_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // Address reuse only: with port reuse as well, a second server on a busy port would
    // start without an error and take a share of the first one's clients.
    // No Nagle delay: a short answer goes out with its headers in two writes, and waiting
    // for the peer's delayed acknowledgement would cost every small request ~40 ms.
    // Accepted connections inherit the option from the listening socket.
    http_->set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });
    http_->set_read_timeout(options_.timeoutSeconds, 0);
    http_->set_write_timeout(options_.timeoutSeconds, 0);
    http_->set_keep_alive_timeout(5);
    http_->set_keep_alive_max_count(100);
    http_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        Reply reply = handler_.handle(req.method, req.target, req.remote_addr);
        res.status = reply.status;
        res.set_content(reply.content(), reply.contentType.c_str());
    });
    http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        logLine(utcStamp() + " " + req.remote_addr + " " + req.method + " " + printable(req.path) +
                " " + std::to_string(res.status) + " " + std::to_string(res.body.size()));
    });
}

DefinitionServer::~DefinitionServer() = default;

bool DefinitionServer::bind(std::string& error) {
    if (options_.port == 0) {
        port_ = http_->bind_to_any_port(options_.host.c_str());
    } else {
        port_ = http_->bind_to_port(options_.host.c_str(), options_.port) ? options_.port : -1;
    }
    if (port_ <= 0) {
        error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
        return false;
    }
    return true;
}

bool DefinitionServer::listen() {
    return http_->listen_after_bind();
}

void DefinitionServer::stop() {
    http_->stop();
}

void DefinitionServer::logLine(const std::string& line) {
    std::lock_guard lock(logMutex_);
    log_ << line << '\n';
    log_.flush();
}

}  // namespace nightjar::server
