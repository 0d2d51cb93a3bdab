#include "definitions/LineCodec.h"

#include <array>

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
    for (auto& c : line) {
        c = kTables.unscramble[static_cast<unsigned char>(c)];
    }
}

}  // namespace nightjar::definitions
