#include "platform/win32/CngSignatureVerifier.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/EcdsaP256Encoding.h"

namespace nightjar::platform::win32 {

namespace {

constexpr ULONG kDigestBytes = 32;

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

/// An algorithm provider, closed when it goes out of scope.
class Algorithm {
  public:
    explicit Algorithm(LPCWSTR id) {
        if (!succeeded(BCryptOpenAlgorithmProvider(&handle_, id, nullptr, 0))) {
            handle_ = nullptr;
        }
    }
    ~Algorithm() {
        if (handle_ != nullptr) {
            BCryptCloseAlgorithmProvider(handle_, 0);
        }
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

  private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

bool sha256(std::string_view message, std::array<UCHAR, kDigestBytes>& digest) {
    Algorithm algorithm(BCRYPT_SHA256_ALGORITHM);
    if (algorithm.get() == nullptr) {
        return false;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!succeeded(BCryptCreateHash(algorithm.get(), &hash, nullptr, 0, nullptr, 0, 0))) {
        return false;
    }
    // BCryptHashData takes a ULONG length: feed long messages in pieces.
    bool ok = true;
    std::string_view rest = message;
    while (ok && !rest.empty()) {
        const std::size_t piece = std::min<std::size_t>(rest.size(), 1U << 30);
        ok =
            succeeded(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(rest.data())),
                                     static_cast<ULONG>(piece), 0));
        rest.remove_prefix(piece);
    }
    ok = ok && succeeded(BCryptFinishHash(hash, digest.data(), kDigestBytes, 0));
    BCryptDestroyHash(hash);
    return ok;
}

}  // namespace

bool CngSignatureVerifier::verify(std::string_view publicKey, std::string_view message,
                                  std::string_view derSignature) const noexcept {
    const auto point = EcdsaP256Encoding::publicPoint(publicKey);
    auto raw = EcdsaP256Encoding::signatureToRaw(derSignature);
    if (!point || !raw) {
        return false;
    }
    std::array<UCHAR, kDigestBytes> digest{};
    if (!sha256(message, digest)) {
        return false;
    }

    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + point->size());
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = static_cast<ULONG>(point->size() / 2);
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, point->data(), point->size());

    Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (algorithm.get() == nullptr) {
        return false;
    }
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!succeeded(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
                                       blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return false;  // not a point on the curve
    }
    const bool ok =
        succeeded(BCryptVerifySignature(key, nullptr, digest.data(), kDigestBytes, raw->data(),
                                        static_cast<ULONG>(raw->size()), 0));
    BCryptDestroyKey(key);
    return ok;
}

}  // namespace nightjar::platform::win32
