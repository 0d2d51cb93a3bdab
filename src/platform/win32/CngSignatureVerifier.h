#pragma once
#include "platform/SignatureVerifier.h"

namespace nightjar::platform::win32 {

/// SignatureVerifier over CNG (bcrypt): SHA-256, then ECDSA P-256 on the raw r || s form.
class CngSignatureVerifier : public SignatureVerifier {
  public:
    bool verify(std::string_view publicKey, std::string_view message,
                std::string_view derSignature) const noexcept override;
};

}  // namespace nightjar::platform::win32
