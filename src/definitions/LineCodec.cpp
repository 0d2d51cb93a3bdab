#include "definitions/LineCodec.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace nightjar::definitions {

namespace {

// One table per direction: a byte lookup is cheaper than the arithmetic and covers every
// code 0..255 without a branch.
struct CodecTables {
    std::array<char, 256> scramble{};
    std::array<char, 256> unscramble{};
    constexpr CodecTables() {
        for (int a = 0; a < 256; ++a) {
            int s = a + 64;
            if (s >= 256) {
                s = a - 191;
            }
            int u = a - 64;
            if (u < 0) {
                u = a + 191;
            }
            scramble[static_cast<std::size_t>(a)] =
                static_cast<char>(static_cast<unsigned char>(s));
            unscramble[static_cast<std::size_t>(a)] =
                static_cast<char>(static_cast<unsigned char>(u));
        }
    }
};

constexpr CodecTables kTables{};

std::string mapBytes(std::string_view in, const std::array<char, 256>& table) {
    std::string out(in.size(), '\0');
    for (std::size_t i = 0; i < in.size(); ++i) {
        out[i] = table[static_cast<unsigned char>(in[i])];
    }
    return out;
}

}  // namespace

std::string ScrambleLine(std::string_view plain) {
    return mapBytes(plain, kTables.scramble);
}

std::string UnscrambleLine(std::string_view stored) {
    return mapBytes(stored, kTables.unscramble);
}

void UnscrambleInPlace(std::string& line) {
    UnscrambleInto(line.data(), line);
}

void UnscrambleInto(char* out, std::string_view stored) {
    // Eight bytes at a time: every byte becomes x + 192 (mod 256), minus 1 where x < 64,
    // which is the table's mapping without a load per byte.
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    constexpr std::uint64_t kAdd = 0xC0C0C0C0C0C0C0C0ULL;
    const char* p = stored.data();
    const std::size_t n = stored.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, p + i, 8);
        // Per-byte addition without carries between bytes.
        std::uint64_t sum = ((x & kLow7) + (kAdd & kLow7)) ^ ((x ^ kAdd) & kHigh);
        // High bit set in the bytes whose two top bits are clear (x < 64).
        std::uint64_t below64 = ~(x | (x << 1)) & kHigh;
        // Those bytes hold at least 192 now, so subtracting 1 borrows from nothing.
        sum -= below64 >> 7;
        std::memcpy(out + i, &sum, 8);
    }
    for (; i < n; ++i) {
        out[i] = kTables.unscramble[static_cast<unsigned char>(p[i])];
    }
}

}  // namespace nightjar::definitions
