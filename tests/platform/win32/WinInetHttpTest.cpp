#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EnvironmentVariable.h"
#include "LoopbackHttpServer.h"
#include "platform/win32/WinInetHttp.h"
#include "util/Text.h"

namespace nightjar::platform::win32 {
namespace {

using test::EnvironmentVariable;
using test::LoopbackHttpServer;

TEST(WinInetHttpTest, RefusedConnectionFails) {
    WinInetHttp http(5000);
    int calls = 0;
    HttpResult r = http.get("http://127.0.0.1:1/", [&](std::size_t) {
        ++calls;
        return true;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(calls, 0);
}

TEST(WinInetHttpTest, ReadsTheWholeBodyInBlocksWithProgress) {
    std::string body;
    for (int i = 0; i < 1000; ++i) {
        body.push_back(static_cast<char>(i % 256));
    }
    LoopbackHttpServer server({{200, body}});
    ASSERT_TRUE(server.started());
    std::vector<std::size_t> seen;
    HttpResult r = WinInetHttp(10000).get(server.url("/asp/date.asp?x=1"), [&](std::size_t n) {
        seen.push_back(n);
        return true;
    });
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, body);
    ASSERT_GE(seen.size(), 4u);  // 256-byte blocks at most
    std::size_t previous = 0;
    for (std::size_t n : seen) {
        EXPECT_GT(n, previous);
        EXPECT_LE(n - previous, 256u);
        previous = n;
    }
    EXPECT_EQ(seen.back(), body.size());

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(text::istartsWith(requests[0], "GET /asp/date.asp?x=1 HTTP/1.")) << requests[0];
    EXPECT_TRUE(text::icontains(requests[0], "\r\nUser-Agent: Mozilla\r\n")) << requests[0];
}

TEST(WinInetHttpTest, ShortBodyIsExactlyItsBytes) {
    LoopbackHttpServer server({{200, "3/16/2006 12:00:00 AM"}, {200, ""}});
    ASSERT_TRUE(server.started());
    WinInetHttp http(10000);
    HttpResult r = http.get(server.url("/a"), nullptr);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, "3/16/2006 12:00:00 AM");
    HttpResult empty = http.get(server.url("/b"), nullptr);
    ASSERT_TRUE(empty.ok) << empty.error;
    EXPECT_TRUE(empty.body.empty());
}

TEST(WinInetHttpTest, ReturnsTheSignatureHeader) {
    LoopbackHttpServer server(
        {{200, "hello", "x-NIGHTJAR-signature:  Ab+/9w== \r\n"},
         {200, "plain", ""},
         {200, "long", "X-Nightjar-Signature: " + std::string(5000, 'A') + "\r\n"}});
    ASSERT_TRUE(server.started());
    WinInetHttp http(10000);
    HttpResult r = http.get(server.url("/signed"), nullptr);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, "hello");
    EXPECT_EQ(r.signature, "Ab+/9w==");
    HttpResult plain = http.get(server.url("/plain"), nullptr);
    ASSERT_TRUE(plain.ok) << plain.error;
    EXPECT_EQ(plain.signature, "");
    // No more than the limit is ever kept.
    HttpResult longer = http.get(server.url("/long"), nullptr);
    ASSERT_TRUE(longer.ok) << longer.error;
    EXPECT_LE(longer.signature.size(), Http::kMaxSignatureBytes);
}

TEST(WinInetHttpTest, HttpErrorStatusFails) {
    LoopbackHttpServer server({{404, "not here"}, {500, "broken"}});
    ASSERT_TRUE(server.started());
    WinInetHttp http(10000);
    HttpResult missing = http.get(server.url("/missing"), nullptr);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.body.empty());
    EXPECT_TRUE(text::icontains(missing.error, "404")) << missing.error;
    HttpResult broken = http.get(server.url("/broken"), nullptr);
    EXPECT_FALSE(broken.ok);
    EXPECT_TRUE(text::icontains(broken.error, "500")) << broken.error;
}

TEST(WinInetHttpTest, ProgressCanGiveUp) {
    LoopbackHttpServer server({{200, std::string(2000, 'x')}});
    ASSERT_TRUE(server.started());
    int calls = 0;
    HttpResult r = WinInetHttp(10000).get(server.url("/big"), [&](std::size_t) {
        ++calls;
        return false;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
    EXPECT_EQ(calls, 1);
}

TEST(WinInetHttpTest, AnswerLongerThanAllowedFails) {
    LoopbackHttpServer server({{200, std::string(2000, 'x')}, {200, std::string(2000, 'x')}});
    ASSERT_TRUE(server.started());
    WinInetHttp http(10000);
    HttpResult r = http.get(server.url("/big"), nullptr, 1999);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.body.empty());
    EXPECT_EQ(r.error, Http::kTooLong);
    EXPECT_TRUE(http.get(server.url("/big"), nullptr, 2000).ok);
}

/// End-to-end hook for a server run from outside the Wine session: NJ_TEST_HTTP_URL is
/// fetched and compared with NJ_TEST_HTTP_EXPECT.
TEST(WinInetHttpTest, FetchesTheExternalUrlWhenGiven) {
    std::string url = EnvironmentVariable("NJ_TEST_HTTP_URL");
    if (url.empty()) {
        GTEST_SKIP() << "NJ_TEST_HTTP_URL is not set";
    }
    HttpResult r = WinInetHttp().get(url, nullptr);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, EnvironmentVariable("NJ_TEST_HTTP_EXPECT"));
}

}  // namespace
}  // namespace nightjar::platform::win32
