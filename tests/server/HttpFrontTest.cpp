#include "DefinitionServer.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>
#include <sstream>
#include <thread>

#include "AnswerSigner.h"
#include "RequestHandler.h"
#include "ServerTestSupport.h"
#include "definitions/LineCodec.h"

namespace nightjar::server {
namespace {

using definitions::ScrambleLine;
using ::testing::HasSubstr;

/// Sends raw bytes to 127.0.0.1:port and returns everything the server answers.
std::string rawRequest(int port, const std::string& bytes) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // A refused request line leaves the connection open for keep-alive; stop waiting
    // after a second of silence.
    timeval tv{};
    tv.tv_sec = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string out;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, 0);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        char buf[4096];
        ssize_t n = 0;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
            out.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return out;
}

std::string get(int port, const std::string& target) {
    return rawRequest(
        port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + "Connection: close\r\n\r\n");
}

std::string bodyOf(const std::string& response) {
    const std::size_t p = response.find("\r\n\r\n");
    return p == std::string::npos ? std::string() : response.substr(p + 4);
}

/// The value of the signature header; nullopt when the answer has none.
std::optional<std::string> signatureOf(const std::string& response) {
    const std::string head = response.substr(0, response.find("\r\n\r\n") + 2);
    const std::string name = "\r\n" + std::string(signing::kSignatureHeader) + ": ";
    const std::size_t p = head.find(name);
    if (p == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t from = p + name.size();
    return head.substr(from, head.find("\r\n", from) - from);
}

int statusOf(const std::string& response) {
    return response.size() >= 12 ? std::atoi(response.substr(9, 3).c_str()) : 0;
}

/// A synchronised log sink that the test can read while the server writes.
class LockedLog : public std::stringbuf {
  public:
    std::string text() {
        std::lock_guard lock(mutex_);
        return str();
    }

  protected:
    int sync() override {
        std::lock_guard lock(mutex_);
        return std::stringbuf::sync();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard lock(mutex_);
        return std::stringbuf::xsputn(s, n);
    }
    int_type overflow(int_type c) override {
        std::lock_guard lock(mutex_);
        return std::stringbuf::overflow(c);
    }

  private:
    std::recursive_mutex mutex_;
};

class HttpFrontTest : public ::testing::Test {
  protected:
    HttpFrontTest() : store(test::openTempStore(dir)), handler(*store), logStream(&log) {
        ServerOptions options;
        options.port = 0;
        options.threads = 4;
        server = std::make_unique<DefinitionServer>(handler, options, logStream);
        std::string error;
        bound = server->bind(error);
        if (bound) {
            thread = std::thread([this] { listened = server->listen(); });
        }
    }
    ~HttpFrontTest() override {
        if (thread.joinable()) {
            stopServer();
        }
    }

    /// Stops the server and waits for it: every request has been answered and logged.
    void stopServer() {
        server->stop();
        thread.join();
    }

    test::TempDir dir;
    std::unique_ptr<DefinitionStore> store;
    RequestHandler handler;
    LockedLog log;
    std::ostream logStream;
    std::unique_ptr<DefinitionServer> server;
    bool bound = false;
    std::atomic<bool> listened{false};
    std::thread thread;
};

TEST_F(HttpFrontTest, RawEightBitBytesAndTheirPercentFormReachTheHandlerAlike) {
    ASSERT_TRUE(bound);
    const std::string name = "t\xE9l\xE9.exe";
    const std::string scrambled = ScrambleLine(name);
    std::string encoded;
    for (const char c : scrambled) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        encoded += hex;
    }
    const std::string raw = get(server->port(), "/asp/getData.asp?data=" + scrambled + "|");
    EXPECT_EQ(statusOf(raw), 200);
    EXPECT_EQ(bodyOf(raw), "Added");
    const std::string pct = get(server->port(), "/asp/getData.asp?data=" + encoded + "%7C");
    EXPECT_EQ(bodyOf(pct), "Skipped");  // the same name, so already known
    const auto subs = store->submissions();
    ASSERT_TRUE(subs);
    ASSERT_EQ(subs->size(), 2u);
    EXPECT_EQ((*subs)[0].first, name);
    EXPECT_EQ((*subs)[1].first, name);
}

TEST_F(HttpFrontTest, APlusSignInAScrambledNameIsNotABlank) {
    ASSERT_TRUE(bound);
    // The byte "+" is how the letter of code 234 travels.
    const std::string name = "caf\xEA.exe";
    ASSERT_NE(ScrambleLine(name).find('+'), std::string::npos);
    EXPECT_EQ(bodyOf(get(server->port(), "/asp/getData.asp?data=" + ScrambleLine(name) + "|")),
              "Added");
    EXPECT_EQ((*store->submissions())[0].first, name);
}

TEST_F(HttpFrontTest, ARawBlankTargetIsAnsweredAndRejectedRequestsNameAddressAndMethod) {
    ASSERT_TRUE(bound);
    ASSERT_TRUE(store->add("FILE", {"a.exe=A|x"}, 1'500'000'000).ok);
    // Stored clients send their date unescaped; the answer is that of the encoded form.
    const std::string raw =
        get(server->port(), "/asp/getDefsNEW.asp?prog=P&comp=C&date=7/14/2017 2:39:59 AM");
    EXPECT_EQ(statusOf(raw), 200);
    EXPECT_EQ(bodyOf(raw),
              bodyOf(get(server->port(),
                         "/asp/getDefsNEW.asp?prog=P&comp=C&date=7/14/2017%202:39:59%20AM")));
    EXPECT_FALSE(bodyOf(raw).empty());
    EXPECT_EQ(statusOf(rawRequest(server->port(),
                                  "POST /asp/date.asp HTTP/1.1\r\nHost: x\r\n"
                                  "Content-Length: 3\r\nConnection: close\r\n\r\nabc")),
              405);
    EXPECT_EQ(statusOf(rawRequest(server->port(), "BREW /pot\r\n\r\n")), 400);
    stopServer();
    const std::string text = log.text();
    EXPECT_THAT(text, HasSubstr(" 127.0.0.1 POST /asp/date.asp 405 "));
    EXPECT_THAT(text, HasSubstr(" 127.0.0.1 BREW /pot 400 "));
}

TEST_F(HttpFrontTest, EveryRequestIsLoggedOnOneLine) {
    ASSERT_TRUE(bound);
    get(server->port(), "/asp/date.asp");
    get(server->port(), "/nothing/here?x=\x01\x02");
    // A request is logged after its answer went out; stopping waits for every worker.
    stopServer();
    const std::string text = log.text();
    EXPECT_THAT(text, HasSubstr(" 127.0.0.1 GET /asp/date.asp 200 21\n"));
    EXPECT_THAT(text, HasSubstr(" 127.0.0.1 GET /nothing/here 404 9\n"));
}

TEST_F(HttpFrontTest, ConcurrentClientsGetConsistentAnswers) {
    ASSERT_TRUE(bound);
    std::vector<std::string> bodies;
    for (int i = 0; i < 50; ++i) {
        bodies.push_back("n" + std::to_string(i) + ".exe=T|[windir]|Adware");
    }
    ASSERT_TRUE(store->add("FILE", bodies, 1000).ok);
    const std::string expected =
        bodyOf(get(server->port(), "/asp/getDefsNEW.asp?prog=P&comp=C&date=3/16/2006"));
    ASSERT_FALSE(expected.empty());
    std::atomic<int> good{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 6; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                const std::string r =
                    get(server->port(), "/asp/getDefsNEW.asp?prog=P&comp=C&date=3/16/2006");
                if (statusOf(r) == 200 && bodyOf(r) == expected) {
                    ++good;
                }
            }
        });
    }
    for (std::thread& c : clients) {
        c.join();
    }
    EXPECT_EQ(good, 120);
}

TEST_F(HttpFrontTest, WithoutAKeyNoAnswerIsSigned) {
    ASSERT_TRUE(bound);
    ASSERT_TRUE(store->add("FILE", {"a.exe=A|x"}, 1'500'000'000).ok);
    for (const char* target : {"/asp/currentDateNEW.asp?prog=P&comp=C", "/asp/date.asp",
                               "/asp/getDefsNEW.asp?prog=P&comp=C&date=1/1/2000%2012:00:00%20AM"}) {
        const std::string response = get(server->port(), target);
        EXPECT_EQ(statusOf(response), 200) << target;
        EXPECT_FALSE(signatureOf(response)) << target;
    }
}

TEST(SignedHttpFrontTest, AnswersTheProgramReadsAreSignedOverTheirTargetAndBody) {
    test::TempDir dir;
    std::string error;
    const std::unique_ptr<AnswerSigner> signer =
        AnswerSigner::generate(dir.file("signing.pem"), error);
    ASSERT_TRUE(signer) << error;
    const std::string publicLine = signer->publicKey();
    auto store = test::openTempStore(dir);
    ASSERT_TRUE(store->add("FILE", {"a.exe=A|x"}, 1'500'000'000).ok);
    ASSERT_TRUE(store->setLanguage(21, "<TRANSLATION_ITEMS>\r\n\xC3\xA4", 1));
    RequestHandler handler(*store, std::chrono::seconds(600), signer.get());
    std::ostringstream log;
    ServerOptions options;
    options.port = 0;
    DefinitionServer server(handler, options, log);
    ASSERT_TRUE(server.bind(error)) << error;
    std::thread serving([&] { server.listen(); });

    // The same update asked with a raw blank and with %20: one answer, two targets, so a
    // signature of one must not pass for the other.
    const std::vector<std::string> targets = {
        "/asp/currentDateNEW.asp?prog=P&comp=C",
        "/asp/getDefsNEW.asp?prog=P&comp=C&date=3/16/2006%2012:00:00%20AM",
        "/asp/getDefsNEW.asp?prog=P&comp=C&date=3/16/2006 12:00:00 AM",
        "/asp/date.asp",
        "/Languages/21/Localization.txt",
        "/definitions/version/F.HTM",
    };
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::string& target = targets[i];
        const std::string response = get(server.port(), target);
        ASSERT_EQ(statusOf(response), 200) << target;
        const std::string body = bodyOf(response);
        const std::optional<std::string> signature = signatureOf(response);
        ASSERT_TRUE(signature) << target;
        EXPECT_TRUE(test::verifiesWith(publicLine, target, body, *signature)) << target;
        std::string changed = body;
        changed[changed.size() / 2] ^= 0x01;
        EXPECT_FALSE(test::verifiesWith(publicLine, target, changed, *signature)) << target;
        EXPECT_FALSE(
            test::verifiesWith(publicLine, targets[(i + 1) % targets.size()], body, *signature))
            << target;
    }
    // A refused update request is signed too; a submission answer is not.
    const std::string refused = get(server.port(), "/asp/getDefsNEW.asp?date=never");
    EXPECT_EQ(statusOf(refused), 400);
    ASSERT_TRUE(signatureOf(refused));
    EXPECT_TRUE(test::verifiesWith(publicLine, "/asp/getDefsNEW.asp?date=never", "",
                                   *signatureOf(refused)));
    EXPECT_FALSE(signatureOf(get(server.port(), "/asp/submitFP.asp?files=a&details=b")));
    server.stop();
    serving.join();
}

TEST_F(HttpFrontTest, StopEndsServing) {
    ASSERT_TRUE(bound);
    EXPECT_EQ(statusOf(get(server->port(), "/asp/date.asp")), 200);
    stopServer();
    EXPECT_EQ(get(server->port(), "/asp/date.asp"), "");
}

/// A connection from `source` (any 127.x.y.z) to the server; -1 on failure.
int connectFrom(int port, const char* source) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

/// True when the server closed `fd` (after whatever it answered) within `seconds`.
bool closedWithin(int fd, int seconds) {
    timeval tv{};
    tv.tv_sec = seconds;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buf[512];
    ssize_t n = 0;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
    }
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

TEST(HttpFrontLoadTest, SlowClientsNeitherStarveOthersNorOutstayTheirDeadline) {
    test::TempDir dir;
    auto store = test::openTempStore(dir);
    RequestHandler handler(*store);
    std::ostringstream log;
    ServerOptions options;
    options.port = 0;
    options.threads = 2;
    options.requestTimeoutSeconds = 2;
    options.maxPerAddress = 24;
    DefinitionServer server(handler, options, log);
    std::string error;
    ASSERT_TRUE(server.bind(error)) << error;
    std::thread serving([&] { server.listen(); });

    // Twenty connections trickle a request head, one byte every 100 ms.
    std::vector<int> slow;
    for (int i = 0; i < 20; ++i) {
        slow.push_back(connectFrom(server.port(), "127.0.0.1"));
        ASSERT_GE(slow.back(), 0);
    }
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        const std::string head = "GET /asp/date.asp HTTP/1.1\r\nX-Slow: ";
        for (std::size_t i = 0; trickling; ++i) {
            for (const int fd : slow) {
                ::send(fd, head.data() + i % head.size(), 1, MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    // Beside them a normal request is answered (get() gives up after a second of silence).
    EXPECT_EQ(statusOf(get(server.port(), "/asp/currentDateNEW.asp?prog=P&comp=C")), 200);
    // One address holds only so many connections; another address is still served.
    const int extra[] = {
        connectFrom(server.port(), "127.0.0.1"), connectFrom(server.port(), "127.0.0.1"),
        connectFrom(server.port(), "127.0.0.1"), connectFrom(server.port(), "127.0.0.1"),
        connectFrom(server.port(), "127.0.0.1")};
    EXPECT_TRUE(closedWithin(extra[4], 1));
    const int other = connectFrom(server.port(), "127.0.0.2");
    const std::string request = "GET /asp/date.asp HTTP/1.1\r\nConnection: close\r\n\r\n";
    ::send(other, request.data(), request.size(), MSG_NOSIGNAL);
    char buf[64] = {};
    EXPECT_GT(::recv(other, buf, sizeof buf - 1, 0), 0);
    EXPECT_EQ(statusOf(buf), 200);
    // The trickling requests are cut off at their deadline though they keep sending.
    for (const int fd : slow) {
        EXPECT_TRUE(closedWithin(fd, 4));
    }
    trickling = false;
    trickle.join();
    for (const int fd : slow) {
        ::close(fd);
    }
    for (const int fd : extra) {
        ::close(fd);
    }
    ::close(other);
    server.stop();
    serving.join();
    EXPECT_NE(log.str().find(" 127.0.0.1 GET - 408 0"), std::string::npos) << log.str();
}

TEST(HttpFrontBindTest, ABusyPortIsReported) {
    test::TempDir dir;
    auto store = test::openTempStore(dir);
    RequestHandler handler(*store);
    std::ostringstream log;
    ServerOptions options;
    options.port = 0;
    DefinitionServer first(handler, options, log);
    std::string error;
    ASSERT_TRUE(first.bind(error));
    options.port = first.port();
    DefinitionServer second(handler, options, log);
    EXPECT_FALSE(second.bind(error));
    EXPECT_NE(error.find(std::to_string(first.port())), std::string::npos);
}

}  // namespace
}  // namespace nightjar::server
