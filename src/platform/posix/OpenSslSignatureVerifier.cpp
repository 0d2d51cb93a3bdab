#include "platform/posix/OpenSslSignatureVerifier.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

#include "platform/EcdsaP256Encoding.h"

namespace nightjar::platform::posix {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

bool OpenSslSignatureVerifier::verify(std::string_view publicKey, std::string_view message,
                                      std::string_view derSignature) const noexcept {
    // The same strict forms the Windows build accepts, so that a key or signature that
    // works on one system works on every other.
    if (!EcdsaP256Encoding::publicPoint(publicKey) ||
        !EcdsaP256Encoding::signatureToRaw(derSignature)) {
        return false;
    }
    const auto* keyBytes = reinterpret_cast<const unsigned char*>(publicKey.data());
    std::unique_ptr<EVP_PKEY, KeyFree> key(
        d2i_PUBKEY(nullptr, &keyBytes, static_cast<long>(publicKey.size())));
    if (!key) {
        return false;  // not a point on the curve
    }
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!context ||
        EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(
               context.get(), reinterpret_cast<const unsigned char*>(derSignature.data()),
               derSignature.size(), reinterpret_cast<const unsigned char*>(message.data()),
               message.size()) == 1;
}

}  // namespace nightjar::platform::posix
