#include "util/PercentEncoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace nightjar::url {
namespace {

bool isUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

TEST(PercentEncodingTest, EveryByteRoundTripsAndOnlyUnreservedBytesTravelAsThemselves) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string encoded = percentEncode(one);
        if (isUnreserved(one[0])) {
            EXPECT_EQ(encoded, one) << b;
        } else {
            ASSERT_EQ(encoded.size(), 3u) << b;
            EXPECT_EQ(encoded[0], '%');
            EXPECT_EQ(std::stoi(encoded.substr(1), nullptr, 16), b);
            EXPECT_EQ(encoded.substr(1).find_first_of("abcdef"), std::string::npos) << b;
        }
        EXPECT_EQ(percentDecode(encoded), one) << b;
        all += one;
    }
    // Random texts over all bytes, "%" followed by hex digits included.
    std::mt19937 rng(13);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 2000; ++round) {
        std::string text = round == 0 ? all : std::string();
        for (int n = length(rng); n > 0; --n) {
            text += static_cast<char>(round % 3 == 0 ? "%4aZ|+ "[byte(rng) % 7] : byte(rng));
        }
        const std::string encoded = percentEncode(text);
        for (char c : encoded) {
            ASSERT_TRUE(isUnreserved(c) || c == '%') << encoded;
        }
        ASSERT_EQ(percentDecode(encoded), text);
    }
}

TEST(PercentEncodingTest, RawValuesDecodeUnchangedUnlessTheyHoldAnEscape) {
    EXPECT_EQ(percentEncode("two  blanks|x"), "two%20%20blanks%7Cx");
    // The raw form older clients send: blanks, "|", "+" and 8-bit bytes as they are.
    EXPECT_EQ(percentDecode("a b|c+\xE9\xFF%"), "a b|c+\xE9\xFF%");
    EXPECT_EQ(percentDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(percentDecode("%e9%C9"), "\xE9\xC9");
}

}  // namespace
}  // namespace nightjar::url
