#include "ServerDate.h"

#include <gtest/gtest.h>

namespace nightjar::server {
namespace {

TEST(ServerDateTest, TextAlwaysCarriesTheTimeOnATwelveHourClock) {
    EXPECT_EQ(ServerDate::text(ServerDate::defaultClientDate()), "3/16/2006 12:00:00 AM");
    EXPECT_EQ(ServerDate::text(0), "1/1/1970 12:00:00 AM");
    EXPECT_EQ(ServerDate::text(12 * 3600), "1/1/1970 12:00:00 PM");
    EXPECT_EQ(ServerDate::text(13 * 3600 + 4 * 60 + 5), "1/1/1970 1:04:05 PM");
    EXPECT_EQ(ServerDate::text(1231167845), "1/5/2009 3:04:05 PM");
}

TEST(ServerDateTest, ParsesWhatClientsSend) {
    EXPECT_EQ(ServerDate::parse("3/16/2006"), ServerDate::defaultClientDate());
    EXPECT_EQ(ServerDate::parse("3/16/2006 12:00:00 AM"), ServerDate::defaultClientDate());
    EXPECT_EQ(ServerDate::parse("1/5/2009 3:04:05 PM"), 1231167845);
    EXPECT_EQ(ServerDate::parse("1/5/2009+3:04:05+PM"), 1231167845);
    EXPECT_EQ(ServerDate::parse(" 1/5/2009 3:04:05 PM PST\r\n"), 1231167845);
    // The zero date/time a client stores after an unreadable answer asks for everything.
    const std::optional<std::int64_t> zero = ServerDate::parse("12:00:00 AM");
    ASSERT_TRUE(zero);
    EXPECT_LT(*zero, 0);
    EXPECT_EQ(ServerDate::text(*zero), "12/30/1899 12:00:00 AM");
    EXPECT_FALSE(ServerDate::parse(""));
    EXPECT_FALSE(ServerDate::parse("yesterday"));
    EXPECT_FALSE(ServerDate::parse("13/45/2006"));
}

TEST(ServerDateTest, TextAndParseRoundTrip) {
    for (std::int64_t t : {0LL, 1LL, 86399LL, 1700000000LL, 1231167845LL, 4102444799LL}) {
        EXPECT_EQ(ServerDate::parse(ServerDate::text(t)), t) << t;
    }
}

}  // namespace
}  // namespace nightjar::server
