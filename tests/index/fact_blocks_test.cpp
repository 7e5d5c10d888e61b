#include "index/fact_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Four facts a block, so that a few dozen facts cross many block boundaries.
using SmallBlocks = FactBlocks<uint32_t, 4 * sizeof(uint32_t)>;

SmallBlocks Numbered(std::size_t count, std::size_t expected = 0) {
    SmallBlocks blocks;
    blocks.Expect(expected);
    for (std::size_t i = 0; i < count; ++i) blocks.push_back(static_cast<uint32_t>(i * 7 + 1));
    return blocks;
}

}  // namespace

TEST(FactBlocks, EveryFactReadsBackAcrossBlockBoundaries) {
    static_assert(SmallBlocks::BlockSize == 4);
    for (std::size_t count : {0u, 1u, 3u, 4u, 5u, 8u, 13u, 100u}) {
        for (std::size_t expected : {0u, 2u, 6u, 1000u}) {
            const SmallBlocks blocks = Numbered(count, expected);
            ASSERT_EQ(blocks.size(), count);
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(blocks[i], i * 7 + 1) << count << " " << expected << " " << i;
        }
    }
}

// Only whole blocks are freed, and never one that holds a fact still to be read: every fact at or
// above the bound (or outside the slice) still reads back, and what is held is exactly the blocks
// that any of those facts lie in.
TEST(FactBlocks, ReleasesWholeBlocksOnlyBelowOrInside) {
    struct Case {
        const char* what;
        std::size_t count;
        std::size_t from, to;  // ReleaseInside(from, to); ReleaseBelow(to) when from is SIZE_MAX
        std::size_t blocksHeld;
    } cases[] = {
        {"below 0", 13, SIZE_MAX, 0, 4},
        {"below the first boundary", 13, SIZE_MAX, 3, 4},
        {"below a boundary", 13, SIZE_MAX, 4, 3},
        {"below the middle of a block", 13, SIZE_MAX, 10, 2},
        {"below all", 13, SIZE_MAX, 13, 1},  // the last block is not whole
        {"below all of whole blocks", 12, SIZE_MAX, 12, 0},
        {"inside one block", 13, 1, 3, 4},
        {"inside, from a boundary", 13, 4, 8, 3},
        {"inside, between two middles", 13, 2, 11, 3},
        {"inside, to past the end", 13, 0, 100, 1},
        {"inside, empty", 13, 8, 8, 4},
    };
    for (const Case& c : cases) {
        SmallBlocks blocks = Numbered(c.count, c.count);
        const bool below = c.from == SIZE_MAX;
        if (below)
            blocks.ReleaseBelow(c.to);
        else
            blocks.ReleaseInside(c.from, c.to);
        EXPECT_EQ(blocks.BytesHeld(), c.blocksHeld * 4 * sizeof(uint32_t)) << c.what;
        for (std::size_t i = 0; i < c.count; ++i) {
            const std::size_t block = i / 4;
            const bool freed =
                below ? (block + 1) * 4 <= c.to : block * 4 >= c.from && (block + 1) * 4 <= c.to;
            if (!freed) {
                EXPECT_EQ(blocks[i], i * 7 + 1) << c.what << " " << i;
            }
        }
    }
}

// Two slices freeing inside themselves at once leave the block they share.
TEST(FactBlocks, SlicesKeepTheBlockTheyShare) {
    SmallBlocks blocks = Numbered(20, 20);
    blocks.ReleaseInside(0, 10);
    blocks.ReleaseInside(10, 20);
    EXPECT_EQ(blocks.BytesHeld(), 4 * sizeof(uint32_t));
    for (std::size_t i = 8; i < 12; ++i) EXPECT_EQ(blocks[i], i * 7 + 1) << i;
}

// A small volume's block is made as large as expected, not as large as a block may be.
TEST(FactBlocks, ABlockIsAsLargeAsExpected) {
    using LargeBlocks = FactBlocks<uint32_t, 4096 * sizeof(uint32_t)>;
    struct Case {
        std::size_t expected, count, bytes;
    } cases[] = {
        {100, 100, 100 * 4},    {100, 1, 100 * 4},
        {5000, 4096, 4096 * 4}, {5000, 4097, (4096 + 904) * 4},
        {0, 4096, 4096 * 4},  // nothing expected: whole blocks
    };
    for (const Case& c : cases) {
        LargeBlocks blocks;
        blocks.Expect(c.expected);
        for (std::size_t i = 0; i < c.count; ++i) blocks.push_back(static_cast<uint32_t>(i));
        EXPECT_EQ(blocks.BytesHeld(), c.bytes) << c.expected << " " << c.count;
    }
}
