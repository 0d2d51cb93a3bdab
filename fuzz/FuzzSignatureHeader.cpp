// Signature headers of the definition server: any bytes, as the header text (base64) and as
// the DER signature itself. An accepted signature is the one canonical encoding of its r and
// s; any r and s encode to a signature that reads back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/EcdsaP256Encoding.h"
#include "util/SignedAnswer.h"

namespace {

using nightjar::platform::EcdsaP256Encoding;

void checkDer(std::string_view der) {
    const auto raw = EcdsaP256Encoding::signatureToRaw(der);
    if (raw && EcdsaP256Encoding::rawToSignature(*raw) != der) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkDer(bytes);
    if (const auto decoded = nightjar::signing::base64Decode(bytes)) {
        checkDer(*decoded);
    }
    (void)EcdsaP256Encoding::publicPoint(bytes);

    if (size >= 64) {
        EcdsaP256Encoding::RawSignature raw{};
        std::copy(data, data + 64, raw.begin());
        const auto again =
            EcdsaP256Encoding::signatureToRaw(EcdsaP256Encoding::rawToSignature(raw));
        const auto zero = [](auto first, auto last) {
            return std::all_of(first, last, [](std::uint8_t b) { return b == 0; });
        };
        const bool valid =
            !zero(raw.begin(), raw.begin() + 32) && !zero(raw.begin() + 32, raw.end());
        if (again.has_value() != valid || (again && *again != raw)) {
            std::abort();
        }
    }
    return 0;
}
