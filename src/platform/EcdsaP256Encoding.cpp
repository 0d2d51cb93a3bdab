#include "platform/EcdsaP256Encoding.h"

#include <algorithm>

namespace nightjar::platform {

namespace {

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kInteger = 0x02;
constexpr std::size_t kScalarBytes = 32;

/// SubjectPublicKeyInfo { AlgorithmIdentifier { id-ecPublicKey, prime256v1 },
/// BIT STRING (no unused bits) } up to the point, which is 04 || X || Y.
constexpr std::uint8_t kKeyPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48,
                                       0xCE, 0x3D, 0x02, 0x01, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                       0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};
constexpr std::uint8_t kUncompressedPoint = 0x04;

std::uint8_t at(std::string_view s, std::size_t i) {
    return static_cast<std::uint8_t>(s[i]);
}

/// Reads one positive DER INTEGER of at most 32 value bytes at `pos` into `out`
/// (right-aligned); advances `pos`.
bool readScalar(std::string_view der, std::size_t& pos, std::uint8_t* out) {
    if (der.size() - pos < 2 || at(der, pos) != kInteger) {
        return false;
    }
    const std::size_t length = at(der, pos + 1);
    pos += 2;
    // Lengths of 128 and more would need the long form, which no scalar of 33 bytes needs.
    if (length == 0 || length > kScalarBytes + 1 || der.size() - pos < length) {
        return false;
    }
    std::string_view value = der.substr(pos, length);
    pos += length;
    if ((at(value, 0) & 0x80) != 0) {
        return false;  // negative
    }
    if (at(value, 0) == 0) {
        // A leading zero only where the next byte has its high bit set.
        if (value.size() == 1 || (at(value, 1) & 0x80) == 0) {
            return false;
        }
        value.remove_prefix(1);
    }
    if (value.size() > kScalarBytes) {
        return false;
    }
    std::fill(out, out + kScalarBytes, std::uint8_t{0});
    std::copy(value.begin(), value.end(), out + (kScalarBytes - value.size()));
    return true;
}

/// The DER INTEGER of one 32-byte big-endian scalar.
void appendScalar(std::string& der, const std::uint8_t* scalar) {
    std::size_t skip = 0;
    while (skip + 1 < kScalarBytes && scalar[skip] == 0) {
        ++skip;
    }
    const bool pad = (scalar[skip] & 0x80) != 0;
    der.push_back(static_cast<char>(kInteger));
    der.push_back(static_cast<char>(kScalarBytes - skip + (pad ? 1 : 0)));
    if (pad) {
        der.push_back('\0');
    }
    der.append(reinterpret_cast<const char*>(scalar + skip), kScalarBytes - skip);
}

}  // namespace

std::optional<EcdsaP256Encoding::RawSignature> EcdsaP256Encoding::signatureToRaw(
    std::string_view der) {
    // Both integers fit in 2 * (2 + 33) = 70 bytes, below the long-form length of 128.
    if (der.size() < 2 || at(der, 0) != kSequence || at(der, 1) != der.size() - 2) {
        return std::nullopt;
    }
    RawSignature raw{};
    std::size_t pos = 2;
    if (!readScalar(der, pos, raw.data()) || !readScalar(der, pos, raw.data() + kScalarBytes) ||
        pos != der.size()) {
        return std::nullopt;
    }
    const auto isZero = [](const std::uint8_t* p) {
        return std::all_of(p, p + kScalarBytes, [](std::uint8_t b) { return b == 0; });
    };
    if (isZero(raw.data()) || isZero(raw.data() + kScalarBytes)) {
        return std::nullopt;
    }
    return raw;
}

std::string EcdsaP256Encoding::rawToSignature(const RawSignature& raw) {
    std::string body;
    appendScalar(body, raw.data());
    appendScalar(body, raw.data() + kScalarBytes);
    std::string der;
    der.push_back(static_cast<char>(kSequence));
    der.push_back(static_cast<char>(body.size()));
    der += body;
    return der;
}

std::optional<EcdsaP256Encoding::PublicPoint> EcdsaP256Encoding::publicPoint(
    std::string_view subjectPublicKeyInfo) {
    constexpr std::size_t prefix = sizeof kKeyPrefix;
    const std::string_view key = subjectPublicKeyInfo;
    if (key.size() != prefix + 1 + 64 ||
        !std::equal(kKeyPrefix, kKeyPrefix + prefix, key.begin(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }) ||
        at(key, prefix) != kUncompressedPoint) {
        return std::nullopt;
    }
    PublicPoint point{};
    std::copy(key.begin() + static_cast<std::ptrdiff_t>(prefix + 1), key.end(), point.begin());
    return point;
}

}  // namespace nightjar::platform
