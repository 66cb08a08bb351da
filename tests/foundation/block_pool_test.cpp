#include "memory/block_pool.h"
#include "memory/compact_string.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

// Sizes no other part of this program asks for while the tests run.
constexpr size_t kSize = 244;
constexpr size_t kOtherSize = 236;

TEST(BlockPool, FreedBlocksAreReusedAndTheLastOneGivesTheChunksBack) {
    ASSERT_EQ(blockpool::LiveBlocks(kSize), 0u);
    std::vector<void*> blocks;
    for (int i = 0; i < 50000; ++i) // about 12 MB: many chunks
        blocks.push_back(blockpool::Allocate(kSize));
    const size_t grown = blockpool::ChunkBytes(kSize);
    EXPECT_GE(grown, 50000 * kSize);
    EXPECT_LT(grown, 50000 * kSize * 5 / 4); // chunks stay full but for the newest
    EXPECT_EQ(blockpool::LiveBlocks(kSize), 50000u);
    // Half of them go and come back: no new chunk.
    for (size_t i = 0; i < blocks.size(); i += 2)
        blockpool::Free(blocks[i], kSize);
    for (size_t i = 0; i < blocks.size(); i += 2)
        blocks[i] = blockpool::Allocate(kSize);
    EXPECT_EQ(blockpool::ChunkBytes(kSize), grown);
    std::vector<void*> sorted = blocks;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    for (void* p : blocks)
        blockpool::Free(p, kSize);
    EXPECT_EQ(blockpool::LiveBlocks(kSize), 0u);
    EXPECT_LT(blockpool::ChunkBytes(kSize), grown / 16);
    // Made and dropped again and again, a block costs no new chunk.
    const size_t kept = blockpool::ChunkBytes(kSize);
    for (int i = 0; i < 1000; ++i)
        blockpool::Free(blockpool::Allocate(kSize), kSize);
    EXPECT_EQ(blockpool::ChunkBytes(kSize), kept);
}

TEST(BlockPool, BlocksAreAlignedAndNeverOverlap) {
    std::vector<std::pair<unsigned char*, size_t>> blocks;
    for (size_t size = 1; size <= blockpool::kMaxBlock + 40; ++size) {
        for (int k = 0; k < 20; ++k) {
            auto* p = static_cast<unsigned char*>(blockpool::Allocate(size));
            // A block is aligned for any type whose size it is.
            const size_t align = std::min<size_t>(16, size & -size);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % align, 0u) << size;
            std::memset(p, static_cast<int>(size + static_cast<size_t>(k)), size);
            blocks.emplace_back(p, size);
        }
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        auto [p, size] = blocks[i];
        const auto fill = static_cast<unsigned char>(size + i % 20);
        for (size_t b = 0; b < size; ++b)
            ASSERT_EQ(p[b], fill) << "block of " << size << " bytes overwritten";
    }
    for (auto [p, size] : blocks)
        blockpool::Free(p, size);
}

TEST(BlockPool, TwoThreadsShareOneSize) {
    auto work = [](unsigned char tag) {
        std::vector<unsigned char*> mine;
        for (int round = 0; round < 200; ++round) {
            for (int i = 0; i < 100; ++i) {
                auto* p = static_cast<unsigned char*>(blockpool::Allocate(kOtherSize));
                std::memset(p, tag, kOtherSize);
                mine.push_back(p);
            }
            // Free the older half, after checking nobody else wrote there.
            for (size_t i = 0; i < mine.size() / 2; ++i) {
                for (size_t b = 0; b < kOtherSize; ++b)
                    if (mine[i][b] != tag) return false;
                blockpool::Free(mine[i], kOtherSize);
            }
            mine.erase(mine.begin(), mine.begin() + static_cast<std::ptrdiff_t>(mine.size() / 2));
        }
        for (unsigned char* p : mine)
            blockpool::Free(p, kOtherSize);
        return true;
    };
    bool a = false, b = false;
    std::thread t1([&] { a = work(0x11); });
    std::thread t2([&] { b = work(0x22); });
    t1.join();
    t2.join();
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
    EXPECT_EQ(blockpool::LiveBlocks(kOtherSize), 0u);
}

TEST(BlockPool, CompactStringsOfEveryLengthKeepTheirText) {
    std::vector<TCompactString> texts;
    for (size_t n = 0; n < 400; ++n)
        texts.emplace_back(std::string(n, static_cast<char>('a' + n % 26)));
    for (size_t n = 0; n < texts.size(); ++n)
        ASSERT_EQ(texts[n].view(), std::string(n, static_cast<char>('a' + n % 26)));
    // Assigning a text its own tail, and a longer text over a shorter one.
    TCompactString s("abcdefghij");
    s = s.view().substr(3);
    EXPECT_EQ(s.view(), "defghij");
    s = std::string(300, 'x');
    EXPECT_EQ(s.size(), 300u);
    s = "";
    EXPECT_TRUE(s.empty());
}
