#include <gtest/gtest.h>

#include <random>
#include <string>

#include "definitions/LineCodec.h"

namespace nightjar::definitions {
namespace {

unsigned char scrambled(int code) {
    return static_cast<unsigned char>(ScrambleLine(std::string(1, static_cast<char>(code)))[0]);
}
unsigned char unscrambled(int code) {
    return static_cast<unsigned char>(UnscrambleLine(std::string(1, static_cast<char>(code)))[0]);
}

TEST(LineCodec, ShiftTableBoundaries) {
    EXPECT_EQ(scrambled(191), 255);
    EXPECT_EQ(scrambled(192), 1);
    EXPECT_EQ(scrambled(255), 64);
    EXPECT_EQ(scrambled(0), 64);
    EXPECT_EQ(scrambled('a'), 161);
    EXPECT_EQ(unscrambled(1), 192);
    EXPECT_EQ(unscrambled(64), 0);
    EXPECT_EQ(unscrambled(0), 191);
    EXPECT_EQ(unscrambled(161), 'a');
}

TEST(LineCodec, EveryByteMapsAsTheShiftSays) {
    for (int a = 0; a < 256; ++a) {
        int s = a + 64 >= 256 ? a - 191 : a + 64;
        int u = a - 64 < 0 ? a + 191 : a - 64;
        EXPECT_EQ(scrambled(a), s) << a;
        EXPECT_EQ(unscrambled(a), u) << a;
    }
}

TEST(LineCodec, RoundTripKeepsEveryCodeButTheLast) {
    for (int a = 0; a < 255; ++a) {
        EXPECT_EQ(unscrambled(scrambled(a)), a) << a;
    }
    // 255 -> 64 -> 0: the one code that does not come back.
    EXPECT_EQ(unscrambled(scrambled(255)), 0);
}

TEST(LineCodec, PrintableTextNeverBecomesALineBreak) {
    std::string printable;
    for (int c = 32; c <= 126; ++c) {
        printable.push_back(static_cast<char>(c));
    }
    std::string s = ScrambleLine(printable);
    ASSERT_EQ(s.size(), printable.size());
    EXPECT_EQ(s.find('\r'), std::string::npos);
    EXPECT_EQ(s.find('\n'), std::string::npos);
    for (unsigned char c : s) {
        EXPECT_GE(c, 96);
        EXPECT_LE(c, 190);
    }
}

TEST(LineCodec, WholeLinesKeepLengthAndOrder) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all.push_back(static_cast<char>(c));
    }
    std::string s = ScrambleLine(all);
    ASSERT_EQ(s.size(), 256u);
    std::string back = UnscrambleLine(s);
    ASSERT_EQ(back.size(), 256u);
    EXPECT_EQ(back.substr(0, 255), all.substr(0, 255));
    EXPECT_EQ(back[255], '\0');  // NUL inside the text, the line goes on
    EXPECT_EQ(ScrambleLine(""), "");
    EXPECT_EQ(UnscrambleLine("\xa1\xa2\xa3"), "abc");
}

}  // namespace
}  // namespace nightjar::definitions
