#include "platform/posix/OpenSslSignatureVerifier.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

#include "platform/EcdsaP256Encoding.h"

namespace nightjar::platform::posix {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

/// A fresh key pair and signatures made with it, the way the definition server signs.
class KeyPair {
  public:
    explicit KeyPair(const char* curve = "P-256") : key_(EVP_EC_gen(curve)) {}

    std::string publicKey() const {
        unsigned char* der = nullptr;
        const int n = i2d_PUBKEY(key_.get(), &der);
        std::string out(reinterpret_cast<const char*>(der), static_cast<std::size_t>(n));
        OPENSSL_free(der);
        return out;
    }
    std::string sign(std::string_view message) const {
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        std::size_t size = 0;
        std::string sig;
        const auto* data = reinterpret_cast<const unsigned char*>(message.data());
        if (EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, key_.get()) == 1 &&
            EVP_DigestSign(ctx, nullptr, &size, data, message.size()) == 1) {
            sig.resize(size);
            EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(sig.data()), &size, data,
                           message.size());
            sig.resize(size);
        }
        EVP_MD_CTX_free(ctx);
        return sig;
    }

  private:
    KeyPtr key_;
};

class OpenSslSignatureVerifierTest : public ::testing::Test {
  protected:
    KeyPair keys;
    OpenSslSignatureVerifier verifier;
};

TEST_F(OpenSslSignatureVerifierTest, AcceptsItsSignaturesAndNothingChangedOrForeign) {
    const std::string key = keys.publicKey();
    const std::string message = "/asp/date.asp\n1/5/2009 3:04:05 PM";
    // Signatures vary in length (leading zero bytes of r and s): several of them cover the
    // DER forms that occur.
    for (int i = 0; i < 50; ++i) {
        const std::string sig = keys.sign(message);
        ASSERT_TRUE(verifier.verify(key, message, sig));
        // The strict parser takes every signature OpenSSL makes, and writes it back the same.
        const auto raw = EcdsaP256Encoding::signatureToRaw(sig);
        ASSERT_TRUE(raw.has_value());
        EXPECT_EQ(EcdsaP256Encoding::rawToSignature(*raw), sig);
    }
    const std::string sig = keys.sign(message);
    for (std::size_t i = 0; i < message.size(); ++i) {
        std::string changed = message;
        changed[i] = static_cast<char>(changed[i] ^ 1);
        EXPECT_FALSE(verifier.verify(key, changed, sig)) << i;
    }
    for (std::size_t i = 0; i < sig.size(); ++i) {
        std::string changed = sig;
        changed[i] = static_cast<char>(changed[i] ^ 0x10);
        EXPECT_FALSE(verifier.verify(key, message, changed)) << i;
    }
    EXPECT_FALSE(verifier.verify(key, message + "x", sig));
    EXPECT_FALSE(verifier.verify(KeyPair().publicKey(), message, sig));
    EXPECT_FALSE(verifier.verify(key, message, ""));
    EXPECT_FALSE(verifier.verify("", message, sig));
    EXPECT_FALSE(verifier.verify(key.substr(0, key.size() - 1), message, sig));
    // An empty body signs too.
    EXPECT_TRUE(verifier.verify(key, "/x\n", keys.sign("/x\n")));
}

TEST_F(OpenSslSignatureVerifierTest, RejectsEncodingsOtherThanTheCanonicalOnes) {
    const std::string key = keys.publicKey();
    const std::string message = "/asp/date.asp\n1/5/2009";
    const std::string sig = keys.sign(message);
    const auto raw = EcdsaP256Encoding::signatureToRaw(sig);
    ASSERT_TRUE(raw.has_value());

    // The same r and s with a needless leading zero in r, or with the long length form.
    std::string padded = sig;
    padded.insert(4, 1, '\0');
    padded[3] = static_cast<char>(padded[3] + 1);
    padded[1] = static_cast<char>(padded[1] + 1);
    EXPECT_FALSE(verifier.verify(key, message, padded));
    std::string longForm = sig;
    longForm.insert(1, 1, '\x81');
    EXPECT_FALSE(verifier.verify(key, message, longForm));
    EXPECT_FALSE(verifier.verify(key, message, sig + std::string(1, '\0')));

    // The raw form is not DER.
    EXPECT_FALSE(verifier.verify(key, message, std::string(raw->begin(), raw->end())));

    // A key of another curve, and a point off the curve, are not taken.
    EXPECT_FALSE(verifier.verify(KeyPair("P-384").publicKey(), message, sig));
    std::string offCurve = key;
    offCurve.back() = static_cast<char>(offCurve.back() ^ 1);
    EXPECT_FALSE(verifier.verify(offCurve, message, sig));
}

}  // namespace
}  // namespace nightjar::platform::posix
