#pragma once
#include <string_view>

namespace nightjar::platform {

/// Checks ECDSA P-256 signatures with SHA-256, as the definition server makes them.
class SignatureVerifier {
  public:
    virtual ~SignatureVerifier() = default;

    /// True when `derSignature` (DER SEQUENCE of r and s) signs SHA-256 of `message` under
    /// `publicKey` (DER SubjectPublicKeyInfo of a P-256 key with an uncompressed point).
    /// Any malformed key or signature, or a failure of the crypto library, gives false.
    virtual bool verify(std::string_view publicKey, std::string_view message,
                        std::string_view derSignature) const noexcept = 0;
};

}  // namespace nightjar::platform
