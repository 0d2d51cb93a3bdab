#include "definitions/TextArena.h"

namespace nightjar::definitions {

TextArena::Ref TextArena::allocateInNewBlock(std::size_t size, char*& out) {
    if (blocks_.size() >= kMaxBlocks) {
        out = nullptr;
        return kNoRef;
    }
    // A text longer than a block gets a block of its own; it starts at offset 0, so its
    // reference is valid whatever its length.
    blockSize_ = size > kBlockSize ? size : kBlockSize;
    // Not value-initialised: every character is written before it is read. The slack
    // after the block is never handed out.
    auto* data = static_cast<char*>(LargeBlock::allocate(blockSize_ + kCopySlack));
    if (data == nullptr) {
        out = nullptr;
        return kNoRef;
    }
    blocks_.emplace_back(data, blockSize_ + kCopySlack);
    capacity_ += blockSize_;
    next_ = blocks_.back().get() + size;
    left_ = blockSize_ - size;
    out = blocks_.back().get();
    return static_cast<Ref>(blocks_.size() - 1) << kOffsetBits;
}

void TextArena::clear() {
    blocks_.clear();
    next_ = nullptr;
    left_ = 0;
    blockSize_ = 0;
    capacity_ = 0;
}

}  // namespace nightjar::definitions
