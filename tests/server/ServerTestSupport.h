#pragma once
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "DefinitionStore.h"
#include "mock/TempDir.h"
#include "util/SignedAnswer.h"

namespace nightjar::server::test {

using mock::TempDir;

/// A store in a fresh database file.
inline std::unique_ptr<DefinitionStore> openTempStore(const TempDir& dir) {
    std::string error;
    return DefinitionStore::open(dir.file("defs.db"), error);
}

/// Checks a signature header value the way a client does, with OpenSSL alone: the public
/// key line (base64 DER SubjectPublicKeyInfo) over signedMessage(target, body).
inline bool verifiesWith(const std::string& publicKeyLine, std::string_view target,
                         std::string_view body, const std::string& signatureHeader) {
    const std::optional<std::string> der = signing::base64Decode(publicKeyLine);
    const std::optional<std::string> signature = signing::base64Decode(signatureHeader);
    if (!der || !signature) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(der->data());
    EVP_PKEY* key = d2i_PUBKEY(nullptr, &p, static_cast<long>(der->size()));
    if (key == nullptr) {
        return false;
    }
    const std::string message = signing::signedMessage(target, body);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool ok =
        EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, key) == 1 &&
        EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(signature->data()),
                         signature->size(), reinterpret_cast<const unsigned char*>(message.data()),
                         message.size()) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return ok;
}

}  // namespace nightjar::server::test
