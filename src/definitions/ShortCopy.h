#pragma once
#include <cstddef>
#include <cstring>

namespace nightjar::definitions {

/// Room that the loaders' buffers keep after their texts, so that short texts can be
/// copied a fixed 32 characters at a time, whatever their length (no branch on it).
constexpr std::size_t kCopySlack = 64;

/// Copies `n` characters from `src` to `dst`. When `n` is at most 32 it copies 32: the 32
/// characters at `src` must be readable and those at `dst` free to overwrite.
inline void copyShort(char* dst, const char* src, std::size_t n) {
    if (n <= 32) {
        std::memcpy(dst, src, 32);
    } else {
        std::memcpy(dst, src, n);
    }
}

}  // namespace nightjar::definitions
