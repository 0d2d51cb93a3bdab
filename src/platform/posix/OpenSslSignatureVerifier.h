#pragma once
#include "platform/SignatureVerifier.h"

namespace nightjar::platform::posix {

/// SignatureVerifier over OpenSSL's EVP interface.
class OpenSslSignatureVerifier : public SignatureVerifier {
  public:
    bool verify(std::string_view publicKey, std::string_view message,
                std::string_view derSignature) const noexcept override;
};

}  // namespace nightjar::platform::posix
