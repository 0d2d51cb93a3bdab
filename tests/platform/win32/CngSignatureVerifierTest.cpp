#include "platform/win32/CngSignatureVerifier.h"

#include <gtest/gtest.h>

#include <string>

#include "util/SignedAnswer.h"

namespace nightjar::platform::win32 {
namespace {

// Made once with the openssl command line on a P-256 key; the same bytes the definition
// server would send.
constexpr std::string_view kPublicKey =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEuMjPnQbqauKKltyeKN8Yi9zeBjS2QiXg2RskiTd2nuCDZcA9ICIb"
    "NFXPDXVoP9/6xWaKd4wJV/2fe8HTEBlzPA==";
constexpr std::string_view kMessage = "/asp/date.asp\n1/5/2009 3:04:05 PM";
/// r and s of 32 bytes each, both with a leading zero byte (high bit set), and one shorter
/// than 32 bytes: every width the raw form has to pad.
constexpr std::string_view kSignatures[] = {
    "MEQCICn5jcSiDDoHql4MyWpyW9CjCle3X2TKj7dA20RBSpk6AiA9Gko1hBKqSR+n+ZBjh9/sfdKTLVO3LIaxaXa/"
    "zYFeSw==",
    "MEYCIQDBJpiBXE5ZAwBgcWEp1uIZQBa2KPSGUSjVrPd4swP1VQIhAP75nrhedxdAYg4vPKV4TW9cybmkiijQw9mJ"
    "abnVJp60",
    "MEMCH35u6WLyRdKpTd/nVcuTQNUKe3+xHR5Y1IyksSKZ8rMCIHM12qa14GG1ZKmHeqj7cZLPQyCoBnry/"
    "eajeuUZtkJH",
};

std::string decoded(std::string_view base64) {
    return signing::base64Decode(base64).value();
}

TEST(CngSignatureVerifierTest, AcceptsOpenSslSignaturesAndNothingChanged) {
    CngSignatureVerifier verifier;
    const std::string key = decoded(kPublicKey);
    const std::string message(kMessage);
    for (std::string_view text : kSignatures) {
        const std::string sig = decoded(text);
        EXPECT_TRUE(verifier.verify(key, message, sig)) << text;
        EXPECT_FALSE(verifier.verify(key, message + " ", sig));
        for (std::size_t i = 0; i < sig.size(); ++i) {
            std::string changed = sig;
            changed[i] = static_cast<char>(changed[i] ^ 0x10);
            EXPECT_FALSE(verifier.verify(key, message, changed)) << text << " byte " << i;
        }
    }
    const std::string sig = decoded(kSignatures[0]);
    for (std::size_t i = 0; i < message.size(); ++i) {
        std::string changed = message;
        changed[i] = static_cast<char>(changed[i] ^ 1);
        EXPECT_FALSE(verifier.verify(key, changed, sig)) << i;
    }
    // The point's last byte changed: off the curve, or another key.
    std::string otherKey = key;
    otherKey.back() = static_cast<char>(otherKey.back() ^ 1);
    EXPECT_FALSE(verifier.verify(otherKey, message, sig));
    EXPECT_FALSE(verifier.verify(key.substr(1), message, sig));
    EXPECT_FALSE(verifier.verify("", message, sig));
    EXPECT_FALSE(verifier.verify(key, message, ""));
    EXPECT_FALSE(verifier.verify(key, message, sig + std::string(1, '\0')));
}

}  // namespace
}  // namespace nightjar::platform::win32
