#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/SignatureVerifier.h"

namespace nightjar::update {

/// Decides whether an answer of the definition server is the one it signed for the
/// request that was sent: its signature header must verify, under the configured public
/// key, over the request target of the URL and the exact body.
class SignedAnswerCheck {
  public:
    /// `publicKeyBase64`: one line of base64 DER SubjectPublicKeyInfo. A key that does not
    /// decode makes every answer fail, so that a damaged key never turns checks off.
    SignedAnswerCheck(const platform::SignatureVerifier& verifier,
                      std::string_view publicKeyBase64);

    /// True when `signatureBase64` (the header value; empty when absent) signs
    /// signedMessage(requestTarget(url), body).
    bool accepts(std::string_view url, std::string_view body,
                 std::string_view signatureBase64) const;

  private:
    const platform::SignatureVerifier& verifier_;
    std::optional<std::string> publicKey_;
};

}  // namespace nightjar::update
