#include "util/LargeBlock.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace nightjar {

#if defined(__linux__)
namespace {

std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

}  // namespace
#endif

void* LargeBlock::allocate(std::size_t size) noexcept {
#if defined(__linux__)
    if (size >= kHugePage) {
        const std::size_t rounded = roundUp(size, kHugePage);
        if (rounded < size || rounded > static_cast<std::size_t>(-1) - kHugePage) {
            return nullptr;
        }
        // Mapped on its own, so that giving it back returns it to the system at once; one
        // huge page more than asked, to cut an aligned block out of it.
        void* mapped = ::mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            return nullptr;
        }
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = roundUp(start, kHugePage);
        if (aligned > start) {
            ::munmap(mapped, aligned - start);
        }
        const std::size_t tail = kHugePage - (aligned - start);
        if (tail > 0) {
            ::munmap(reinterpret_cast<void*>(aligned + rounded), tail);
        }
        void* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
        // Only advice: without huge pages the block works the same.
        (void)::madvise(block, rounded, MADV_HUGEPAGE);
#endif
        return block;
    }
#endif
    return ::operator new(size == 0 ? 1 : size, std::nothrow);
}

void LargeBlock::release(void* p, [[maybe_unused]] std::size_t size) noexcept {
    if (p == nullptr) {
        return;
    }
#if defined(__linux__)
    if (size >= kHugePage) {
        ::munmap(p, roundUp(size, kHugePage));
        return;
    }
#endif
    ::operator delete(p);
}

}  // namespace nightjar
