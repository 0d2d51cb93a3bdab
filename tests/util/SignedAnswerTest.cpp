#include "util/SignedAnswer.h"

#include <gtest/gtest.h>

#include <random>

namespace nightjar::signing {
namespace {

TEST(SignedAnswerTest, Base64RoundTripsAndRejectsEveryOtherForm) {
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        std::string bytes(rng() % 40, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(rng());
        }
        const std::string text = base64Encode(bytes);
        ASSERT_EQ(base64Decode(text), bytes);
        // Any single changed character either fails or decodes to other bytes.
        if (!text.empty()) {
            std::string changed = text;
            changed[rng() % changed.size()] ^= 0x01;
            EXPECT_NE(base64Decode(changed), bytes);
        }
    }
    EXPECT_EQ(base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(base64Decode(" Zm9vYg== "), "foob");
    for (const char* bad :
         {"Zm9vYg=", "Zm9vYh==", "Zm=vYg==", "Zm9v Yg==", "Zm9vYg=a", "====", "Zm9*"}) {
        EXPECT_FALSE(base64Decode(bad).has_value()) << bad;
    }
}

TEST(SignedAnswerTest, TargetIsPathAndQueryAsSent) {
    EXPECT_EQ(requestTarget("http://h:8080/update.php?date=1%2F2&x=y#frag"),
              "/update.php?date=1%2F2&x=y");
    EXPECT_EQ(requestTarget("https://h"), "/");
    EXPECT_EQ(requestTarget("http://h?x=1"), "/?x=1");
    EXPECT_EQ(signedMessage("/a?b", "body\r\n"), "/a?b\nbody\r\n");
}

}  // namespace
}  // namespace nightjar::signing
