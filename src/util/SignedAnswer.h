#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace nightjar::signing {

/// The response header that carries a definition server's signature of its answer: the
/// base64 text of a DER-encoded ECDSA P-256 signature over SHA-256 of signedMessage().
inline constexpr std::string_view kSignatureHeader = "X-Nightjar-Signature";

/// The bytes a signature covers: the request target the answer is for (path and query,
/// exactly as sent), a line feed, and the body. Binding the target stops a signed answer
/// from being replayed for another request.
std::string signedMessage(std::string_view requestTarget, std::string_view body);

/// The request target of an absolute URL: "http://host:8080/a/b?x=1#f" gives "/a/b?x=1",
/// a URL without a path gives "/".
std::string requestTarget(std::string_view url);

/// Standard base64 (RFC 4648, with padding).
std::string base64Encode(std::string_view bytes);
/// Strict decoding: nullopt for any character outside the alphabet, wrong padding or a
/// length that is not a multiple of four. Blanks around the text are ignored.
std::optional<std::string> base64Decode(std::string_view text);

}  // namespace nightjar::signing
