#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "definitions/ShortCopy.h"
#include "util/LargeBlock.h"

namespace nightjar::definitions {

/// Storage for many short texts that live as long as the arena: large blocks that never
/// move, handed out front to back. A place in the arena is named by a 32-bit reference
/// (block and offset), so that tables of many rows stay small. Until the next allocate(),
/// the kCopySlack characters after the room just handed out may be overwritten too (see
/// copyShort).
class TextArena {
  public:
    using Ref = std::uint32_t;
    /// No place: what allocate() returns when the arena can take no more.
    static constexpr Ref kNoRef = ~Ref{0};

    TextArena() = default;
    TextArena(TextArena&&) noexcept = default;
    TextArena& operator=(TextArena&&) noexcept = default;
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    /// Room for `size` contiguous characters at `out`, valid until clear(); kNoRef (and
    /// `out` null) when the arena has used up its references.
    Ref allocate(std::size_t size, char*& out) {
        if (size > left_ || next_ == nullptr) {
            return allocateInNewBlock(size, out);
        }
        out = next_;
        const Ref ref = (static_cast<Ref>(blocks_.size() - 1) << kOffsetBits) |
                        static_cast<Ref>(blockSize_ - left_);
        next_ += size;
        left_ -= size;
        return ref;
    }
    /// The characters at `ref` (which allocate() returned).
    const char* at(Ref ref) const {
        return blocks_[ref >> kOffsetBits].get() + (ref & ((Ref{1} << kOffsetBits) - 1));
    }
    /// Gives back every block; every reference handed out becomes invalid.
    void clear();
    /// Characters in the blocks taken so far.
    std::size_t capacity() const { return capacity_; }

  private:
    Ref allocateInNewBlock(std::size_t size, char*& out);

    /// A block and its size, given back to LargeBlock.
    struct Block {
        char* data = nullptr;
        std::size_t size = 0;
        Block(char* d, std::size_t n) : data(d), size(n) {}
        Block(Block&& o) noexcept : data(o.data), size(o.size) { o.data = nullptr; }
        Block& operator=(Block&& o) noexcept {
            std::swap(data, o.data);
            std::swap(size, o.size);
            return *this;
        }
        ~Block() { LargeBlock::release(data, size); }
        char* get() const { return data; }
    };

    static constexpr unsigned kOffsetBits = 21;
    // A block and its slack fill one huge page exactly.
    static constexpr std::size_t kBlockSize = (std::size_t{1} << kOffsetBits) - kCopySlack;
    // Block numbers must leave kNoRef unused: the last block number is never handed out.
    static constexpr std::size_t kMaxBlocks = (std::size_t{1} << (32 - kOffsetBits)) - 1;
    std::vector<Block> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t blockSize_ = 0;  ///< size of the block being filled
    std::size_t capacity_ = 0;
};

}  // namespace nightjar::definitions
