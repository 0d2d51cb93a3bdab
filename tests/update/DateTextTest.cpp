#include "update/DateText.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace nightjar::update {
namespace {

DateText civil(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    auto v = DateText::FromCivil(y, mo, d, h, mi, s);
    EXPECT_TRUE(v.has_value());
    return v.value_or(DateText());
}

TEST(DateText, TextFormOmitsMidnightAndTheZeroDate) {
    EXPECT_EQ(civil(2006, 3, 16).ToText(), "3/16/2006");
    EXPECT_EQ(civil(2009, 1, 5, 15, 4, 5).ToText(), "1/5/2009 3:04:05 PM");
    EXPECT_EQ(civil(2010, 12, 31, 0, 0, 1).ToText(), "12/31/2010 12:00:01 AM");
    EXPECT_EQ(civil(2010, 12, 31, 12, 30, 0).ToText(), "12/31/2010 12:30:00 PM");
    EXPECT_EQ(DateText().ToText(), "12:00:00 AM");
    EXPECT_EQ(civil(1899, 12, 30, 9, 5, 7).ToText(), "9:05:07 AM");
    EXPECT_EQ(civil(1899, 12, 31).ToText(), "12/31/1899");
    EXPECT_EQ(civil(1899, 12, 29, 23, 0, 0).ToText(), "12/29/1899 11:00:00 PM");
}

TEST(DateText, ParsesItsOwnFormsBack) {
    for (const char* text : {"3/16/2006 12:00:00 AM", "3/16/2006", "1/5/2009 3:04:05 PM",
                             "12:00:00 AM", "2/29/2024 11:59:59 PM", "12/29/1899 11:00:00 PM"}) {
        auto d = DateText::Parse(text);
        ASSERT_TRUE(d.has_value()) << text;
        auto again = DateText::Parse(d->ToText());
        ASSERT_TRUE(again.has_value()) << text;
        EXPECT_EQ(*again, *d) << text;
    }
    EXPECT_EQ(DateText::Parse("3/16/2006 12:00:00 AM"), civil(2006, 3, 16));
    EXPECT_EQ(DateText::Parse("  03/16/2006  "), civil(2006, 3, 16));
    EXPECT_EQ(DateText::Parse("3/16/2006 12:00:00 PM"), civil(2006, 3, 16, 12));
    EXPECT_EQ(DateText::Parse("3/16/2006 15:30"), civil(2006, 3, 16, 15, 30));
    EXPECT_EQ(DateText::Parse("3/16/06"), civil(2006, 3, 16));
    EXPECT_EQ(DateText::Parse("3:04 pm"), civil(1899, 12, 30, 15, 4));
}

TEST(DateText, TwoDigitYearsPivotAtThirty) {
    const std::pair<const char*, int> cases[] = {
        {"1/1/00", 2000}, {"1/1/29", 2029},   {"1/1/30", 1930}, {"1/1/99", 1999},
        {"1/1/5", 2005},  {"1/1/1930", 1930}, {"1/1/0100", 100}};
    for (const auto& [text, year] : cases) {
        auto d = DateText::Parse(text);
        ASSERT_TRUE(d.has_value()) << text;
        EXPECT_EQ(d->year(), year) << text;
    }
    EXPECT_FALSE(DateText::Parse("1/1/0099").has_value());
}

TEST(DateText, RejectsWhatIsNotADate) {
    for (const char* text :
         {"", "   ", "PST", "13/1/2006", "2/30/2006", "2/29/2023", "1/1/2006 25:00:00",
          "1/1/2006 13:00:00 PM", "1/1/2006 1:60 AM", "1/1/2006 x", "1/1/20060", "1/1", "5",
          "1/1/2006 3", "99999999999/1/1", "1/1/2006 12:00:00 AM PST", "1/1/99 1:2:3:4 AM"}) {
        EXPECT_FALSE(DateText::Parse(text).has_value()) << text;
    }
}

TEST(DateText, OrdersByTime) {
    EXPECT_LT(civil(2006, 3, 16), civil(2006, 3, 16, 0, 0, 1));
    EXPECT_LT(civil(2006, 3, 16, 23, 59, 59), civil(2006, 3, 17));
    EXPECT_LT(DateText(), civil(2006, 3, 16));
    EXPECT_EQ(civil(2009, 1, 5, 15, 4, 5).year(), 2009);
    EXPECT_EQ(civil(2009, 1, 5, 15, 4, 5).hour(), 15);
    EXPECT_EQ(civil(1899, 12, 29, 23, 1, 2).day(), 29);
    EXPECT_EQ(civil(1899, 12, 29, 23, 1, 2).minute(), 1);
}

TEST(ParseServerDate, CutsAfterTheMeridiemAndDropsLineBreaks) {
    // 1/5/2009 3:04:05 PM PST followed by CR LF is 5 January 2009 15:04:05.
    EXPECT_EQ(ParseServerDate("1/5/2009 3:04:05 PM PST\r\n"), civil(2009, 1, 5, 15, 4, 5));
    EXPECT_EQ(ParseServerDate("  \t1/5/2009 3:04:05 am GMT  "), civil(2009, 1, 5, 3, 4, 5));
    EXPECT_EQ(ParseServerDate("1/5/2009\r\n3:04:05 PM"), std::nullopt);  // "1/5/20093:04:05 PM"
    EXPECT_EQ(ParseServerDate("1/5/2009 \r\n3:04:05 PM"), civil(2009, 1, 5, 15, 4, 5));
    EXPECT_EQ(ParseServerDate("3/16/2006\r\n"), civil(2006, 3, 16));
    EXPECT_EQ(ParseServerDate("12:00:00 AM"), DateText());
    EXPECT_EQ(ParseServerDate(""), std::nullopt);
    EXPECT_EQ(ParseServerDate("<html>Server Error</html>"), std::nullopt);
    EXPECT_EQ(ParseServerDate("PM"), std::nullopt);
}

TEST(ParseServerDate, AnyBytesGiveAResultOrNothing) {
    std::mt19937 rng(7);
    const std::string pieces[] = {
        "1",  "12", "/",  ":",    " ",     "AM", "PM",   "pm",
        "\r", "\n", "\t", "2006", "99999", "-",  "\xff", std::string(1, '\0'),
        "x"};
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        int n = static_cast<int>(rng() % 12);
        for (int k = 0; k < n; ++k) {
            s += pieces[rng() % std::size(pieces)];
        }
        auto d = ParseServerDate(s);
        if (d) {
            // Whatever converted must print and convert back to the same moment.
            auto again = DateText::Parse(d->ToText());
            ASSERT_TRUE(again.has_value()) << s;
            ASSERT_EQ(*again, *d) << s;
        }
    }
}

}  // namespace
}  // namespace nightjar::update
