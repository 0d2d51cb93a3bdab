#pragma once
#include <cstddef>

namespace nightjar {

/// Memory for large, long-lived tables. Where the system offers it (Linux transparent huge
/// pages), blocks of 2 MiB and more are aligned and marked for huge pages: a table of some
/// megabytes then costs a handful of page faults instead of thousands, and fewer TLB
/// misses when it is searched. Elsewhere it is plain heap memory.
class LargeBlock {
  public:
    /// The size from which a block is worth a huge page.
    static constexpr std::size_t kHugePage = std::size_t{1} << 21;

    /// `size` bytes, not initialised; null when the memory is not available.
    static void* allocate(std::size_t size) noexcept;
    /// Gives back what allocate() returned for `size` bytes.
    static void release(void* p, std::size_t size) noexcept;
};

}  // namespace nightjar
