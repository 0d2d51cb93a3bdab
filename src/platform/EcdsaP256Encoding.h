#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nightjar::platform {

/// The encodings of ECDSA P-256 keys and signatures that cross the network, converted to
/// the fixed-size forms a crypto library takes. Input is untrusted: anything that is not
/// the one canonical DER form is rejected, so every platform accepts exactly the same
/// texts.
class EcdsaP256Encoding {
  public:
    /// r || s, each 32 bytes big-endian.
    using RawSignature = std::array<std::uint8_t, 64>;
    /// X || Y of the public point, each 32 bytes big-endian.
    using PublicPoint = std::array<std::uint8_t, 64>;

    /// SEQUENCE { INTEGER r, INTEGER s } in DER (minimal lengths, no leading zero bytes
    /// beyond the one a high bit needs, nothing after it) to r || s. nullopt for anything
    /// else, including a zero or negative r or s, or one longer than 32 bytes.
    static std::optional<RawSignature> signatureToRaw(std::string_view der);
    /// r || s to DER; the inverse of signatureToRaw for every r and s it accepts.
    static std::string rawToSignature(const RawSignature& raw);

    /// The point of a DER SubjectPublicKeyInfo of an id-ecPublicKey on prime256v1 with an
    /// uncompressed point; nullopt for any other key or encoding.
    static std::optional<PublicPoint> publicPoint(std::string_view subjectPublicKeyInfo);
};

}  // namespace nightjar::platform
