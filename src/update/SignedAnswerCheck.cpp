#include "update/SignedAnswerCheck.h"

#include "util/SignedAnswer.h"

namespace nightjar::update {

SignedAnswerCheck::SignedAnswerCheck(const platform::SignatureVerifier& verifier,
                                     std::string_view publicKeyBase64)
    : verifier_(verifier), publicKey_(signing::base64Decode(publicKeyBase64)) {}

bool SignedAnswerCheck::accepts(std::string_view url, std::string_view body,
                                std::string_view signatureBase64) const {
    if (!publicKey_ || publicKey_->empty()) {
        return false;
    }
    const auto signature = signing::base64Decode(signatureBase64);
    if (!signature || signature->empty()) {
        return false;
    }
    return verifier_.verify(*publicKey_, signing::signedMessage(signing::requestTarget(url), body),
                            *signature);
}

}  // namespace nightjar::update
