#pragma once
#include <string>
#include <string_view>

#include "platform/SignatureVerifier.h"

namespace nightjar::mock {

/// Accepts exactly the "signatures" sign() makes: enough to tell a signed answer from a
/// changed, replayed or unsigned one without real cryptography.
class FakeSignatureVerifier : public platform::SignatureVerifier {
  public:
    /// The signature bytes this verifier accepts for `message` under `publicKey`.
    static std::string sign(std::string_view publicKey, std::string_view message) {
        return "sig(" + std::string(publicKey) + "|" + std::string(message) + ")";
    }

    bool verify(std::string_view publicKey, std::string_view message,
                std::string_view derSignature) const noexcept override {
        return derSignature == sign(publicKey, message);
    }
};

}  // namespace nightjar::mock
