#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/posix/CurlHttp.h"

namespace nightjar::platform::posix {
namespace {

/// A small HTTP server on 127.0.0.1 for the duration of one test.
class LocalServer {
  public:
    LocalServer() {
        server_.Get("/small", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello", "text/plain");
        });
        server_.Get("/binary", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(binaryBody(), "application/octet-stream");
        });
        server_.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(100000, 'x'), "application/octet-stream");
        });
        server_.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        server_.Get("/failing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("broken", "text/plain");
        });
        server_.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/small");
        });
        // Header names are case-insensitive; the value's blanks are not part of it.
        server_.Get("/signed", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("x-NIGHTJAR-signature", " \tAb+/9w== ");
            res.set_content("hello", "text/plain");
        });
        // The signature of a redirect is not the signature of the answer it leads to.
        server_.Get("/moved-signed", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Nightjar-Signature", "AAAA");
            res.set_redirect("/small");
        });
        server_.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("User-Agent") + "|" +
                                req.get_header_value("Cache-Control") + "|" +
                                req.get_header_value("Pragma") + "|" + req.target,
                            "text/plain");
        });
        // Headers, then nothing more.
        server_.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(100, "application/octet-stream",
                                     [this](std::size_t, std::size_t, httplib::DataSink&) {
                                         std::unique_lock lock(mutex_);
                                         released_.wait_for(lock, std::chrono::seconds(30),
                                                            [this] { return release_; });
                                         return false;
                                     });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() only ends a server that already runs.
        for (int i = 0; i < 5000 && port_ > 0 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~LocalServer() {
        {
            std::lock_guard lock(mutex_);
            release_ = true;
        }
        released_.notify_all();
        server_.stop();
        thread_.join();
    }

    static std::string binaryBody() {
        std::string body;
        for (int i = 0; i < 300; ++i) {
            body.push_back(static_cast<char>(i * 7));
        }
        return body;
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    bool ok() const { return port_ > 0; }

  private:
    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
};

/// A local port where nothing listens.
int closedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

class CurlHttpTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.ok()); }
    LocalServer server;
    CurlHttp http{std::chrono::seconds(1), std::chrono::seconds(5)};
};

TEST_F(CurlHttpTest, ReturnsTheBodyExactly) {
    auto small = http.get(server.url("/small"), {});
    EXPECT_TRUE(small.ok) << small.error;
    EXPECT_EQ(small.body, "hello");  // nothing added to a short answer

    auto bin = http.get(server.url("/binary"), {});
    EXPECT_TRUE(bin.ok) << bin.error;
    EXPECT_EQ(bin.body, LocalServer::binaryBody());
}

TEST_F(CurlHttpTest, SendsTheAgentAndNoCacheHeaders) {
    auto r = http.get(server.url("/echo?prog=Nightjar%20Pro&comp=A&B"), {});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, "Mozilla|no-cache|no-cache|/echo?prog=Nightjar%20Pro&comp=A&B");
}

TEST_F(CurlHttpTest, ReportsProgressAfterEveryBlock) {
    std::vector<std::size_t> seen;
    auto r = http.get(server.url("/big"), [&](std::size_t received) {
        seen.push_back(received);
        return true;
    });
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body.size(), 100000u);
    ASSERT_GE(seen.size(), 100000u / (16 * 1024));
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100000u);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LE(seen[i] - seen[i - 1], 16u * 1024u);
    }
}

TEST_F(CurlHttpTest, AProgressCallbackCanGiveUp) {
    int calls = 0;
    auto r = http.get(server.url("/big"), [&](std::size_t) {
        ++calls;
        return false;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
    EXPECT_EQ(calls, 1);
}

TEST_F(CurlHttpTest, AnswerLongerThanAllowedFails) {
    auto r = http.get(server.url("/big"), {}, 99999);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
    EXPECT_EQ(r.error, Http::kTooLong);
    EXPECT_TRUE(http.get(server.url("/big"), {}, 100000).ok);
}

TEST_F(CurlHttpTest, HttpErrorsFail) {
    auto missing = http.get(server.url("/missing"), {});
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.body.empty());
    EXPECT_FALSE(missing.error.empty());
    EXPECT_FALSE(http.get(server.url("/failing"), {}).ok);
}

TEST_F(CurlHttpTest, FollowsARedirect) {
    auto r = http.get(server.url("/moved"), {});
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, "hello");
}

TEST_F(CurlHttpTest, ReturnsTheSignatureHeaderOfTheFinalAnswerOnly) {
    auto signed_ = http.get(server.url("/signed"), {});
    ASSERT_TRUE(signed_.ok) << signed_.error;
    EXPECT_EQ(signed_.body, "hello");
    EXPECT_EQ(signed_.signature, "Ab+/9w==");

    auto moved = http.get(server.url("/moved-signed"), {});
    ASSERT_TRUE(moved.ok) << moved.error;
    EXPECT_EQ(moved.body, "hello");
    EXPECT_EQ(moved.signature, "");
}

TEST_F(CurlHttpTest, AServerThatStopsSendingTimesOut) {
    auto r = http.get(server.url("/stall"), {});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
}

TEST_F(CurlHttpTest, UnreachableOrMalformedAddressesFail) {
    EXPECT_FALSE(http.get("http://127.0.0.1:" + std::to_string(closedPort()) + "/x", {}).ok);
    EXPECT_FALSE(http.get("http://nightjar-test.invalid/x", {}).ok);
    // A raw blank is refused even though the server would answer the path.
    EXPECT_FALSE(http.get(server.url("/small extra"), {}).ok);
    EXPECT_FALSE(http.get("", {}).ok);
    EXPECT_FALSE(http.get("not a url", {}).ok);
    EXPECT_FALSE(http.get("file:///etc/hostname", {}).ok);
    EXPECT_FALSE(http.get("ftp://127.0.0.1/x", {}).ok);
}

}  // namespace
}  // namespace nightjar::platform::posix
