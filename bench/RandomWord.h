#pragma once
#include <random>
#include <string>
#include <string_view>

namespace nightjar::bench {

/// Letters of both cases, the default alphabet of RandomWord.
inline constexpr std::string_view kMixedCaseLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

/// Lower-case letters only.
inline constexpr std::string_view kLowerCaseLetters = "abcdefghijklmnopqrstuvwxyz";

/// A word of `minLen` to `maxLen` characters drawn from `letters`. The same generator state
/// gives the same word, so generated benchmark data is the same from run to run.
inline std::string RandomWord(std::mt19937& rng, int minLen, int maxLen,
                              std::string_view letters = kMixedCaseLetters) {
    const int len = minLen + static_cast<int>(rng() % static_cast<unsigned>(maxLen - minLen + 1));
    std::string w;
    for (int i = 0; i < len; ++i) {
        w.push_back(letters[rng() % letters.size()]);
    }
    return w;
}

}  // namespace nightjar::bench
