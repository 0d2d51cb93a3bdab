#include "update/HttpReader.h"

#include <gtest/gtest.h>

#include "mock/FakeHttp.h"

namespace nightjar::update {
namespace {

TEST(HttpReader, ShortResponseYieldsExactlyItsBytes) {
    mock::FakeHttp http;
    http.respond("http://h/x", "3/16/2006");
    HttpReader reader(http);
    auto r = reader.FetchUrlText("http://h/x");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, "3/16/2006");
}

TEST(HttpReader, ProgressVariantReportsBytesAfterEveryBlockAndPumps) {
    mock::FakeHttp http;
    http.respond("http://h/big", std::string(600, 'x'));
    int pumps = 0;
    HttpReader reader(http, [&pumps] { ++pumps; });
    std::vector<std::string> status;
    auto r = reader.FetchUrlTextWithProgress("http://h/big",
                                             [&](std::string_view t) { status.emplace_back(t); });
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text.size(), 600u);
    EXPECT_EQ(status, (std::vector<std::string>{"Downloaded 256 bytes.", "Downloaded 512 bytes.",
                                                "Downloaded 600 bytes."}));
    EXPECT_EQ(pumps, 3);
    // The plain variant pumps too, without status.
    reader.FetchUrlText("http://h/big");
    EXPECT_EQ(pumps, 6);
}

TEST(HttpReader, FailureIsVisibleAndGivesAnEmptyText) {
    mock::FakeHttp http;
    http.fail("http://h/err", "HTTP 500");
    HttpReader reader(http);
    auto r = reader.FetchUrlText("http://h/err");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(r.error, "HTTP 500");
    auto unknown = reader.FetchUrlText("http://nowhere/");
    EXPECT_FALSE(unknown.ok);
    EXPECT_FALSE(unknown.error.empty());
}

TEST(HttpReader, EmptyBodyIsASuccess) {
    mock::FakeHttp http;
    http.respond("http://h/empty", "");
    HttpReader reader(http);
    auto r = reader.FetchUrlText("http://h/empty");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, "");
}

}  // namespace
}  // namespace nightjar::update
