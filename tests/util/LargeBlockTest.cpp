#include "util/LargeBlock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace nightjar {
namespace {

TEST(LargeBlockTest, BlocksOfEverySizeAreWholeAndSeparate) {
    const std::vector<std::size_t> sizes = {0,
                                            1,
                                            4096,
                                            LargeBlock::kHugePage - 1,
                                            LargeBlock::kHugePage,
                                            LargeBlock::kHugePage + 1,
                                            3 * LargeBlock::kHugePage + 17};
    std::vector<unsigned char*> blocks;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        auto* p = static_cast<unsigned char*>(LargeBlock::allocate(sizes[i]));
        ASSERT_NE(p, nullptr) << sizes[i];
        std::memset(p, static_cast<int>(i + 1), sizes[i]);
        blocks.push_back(p);
    }
    // No block overlaps another: each still holds its own bytes, first to last.
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] == 0) {
            continue;
        }
        EXPECT_EQ(blocks[i][0], i + 1) << sizes[i];
        EXPECT_EQ(blocks[i][sizes[i] / 2], i + 1) << sizes[i];
        EXPECT_EQ(blocks[i][sizes[i] - 1], i + 1) << sizes[i];
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        LargeBlock::release(blocks[i], sizes[i]);
    }
    LargeBlock::release(nullptr, LargeBlock::kHugePage);  // nothing to give back
}

#if defined(__linux__)

/// Resident anonymous memory of this process, in KiB.
long residentAnonymousKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "RssAnon:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

TEST(LargeBlockTest, HugeBlocksAreAlignedAndGivenBackToTheSystem) {
    constexpr std::size_t kSize = 4 * LargeBlock::kHugePage;
    void* p = LargeBlock::allocate(kSize);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % LargeBlock::kHugePage, 0u);
    LargeBlock::release(p, kSize);

    // Loading tables again and again (as a reload does) must not keep what the previous
    // tables held: a heap that cannot reuse freed aligned blocks grows with every round.
    const long before = residentAnonymousKiB();
    ASSERT_GT(before, 0);
    for (int round = 0; round < 20; ++round) {
        std::vector<void*> held;
        for (std::size_t size : {kSize, LargeBlock::kHugePage, kSize + 1}) {
            void* b = LargeBlock::allocate(size);
            ASSERT_NE(b, nullptr);
            std::memset(b, round, size);
            held.push_back(b);
        }
        LargeBlock::release(held[0], kSize);
        LargeBlock::release(held[1], LargeBlock::kHugePage);
        LargeBlock::release(held[2], kSize + 1);
    }
    EXPECT_LT(residentAnonymousKiB() - before, 8 * 1024);
}

#endif

}  // namespace
}  // namespace nightjar
