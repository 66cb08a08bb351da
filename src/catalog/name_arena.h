#pragma once

#include <atomic>
#include <cstddef>

// Room for the name blocks that one search thread lays out, carved from large
// chunks rather than asked of malloc folder by folder. A million entries'
// names take tens of megabytes, and every fresh page costs a fault on its
// first touch: one allocation per folder made the first search several times
// slower than the later ones. Chunks sized for what is still to be laid out
// take huge pages once large enough, and give back the pages they did not use
// when the arena is done. A chunk goes back to the system with its last block.
//
// One arena per thread at a time; blocks may be freed from any thread.
class TNameArena {
public:
    struct TChunk;

    // expectedEntries: how many names the arena's user expects to lay out,
    // which sizes the chunks (a guess: more is given back, less asks again).
    explicit TNameArena(size_t expectedEntries = 0) : expected_(expectedEntries) {}
    ~TNameArena(); // its blocks stay; its chunk goes with the last of them
    TNameArena(const TNameArena&) = delete;
    TNameArena& operator=(const TNameArena&) = delete;

    // Room for `bytes` (8-byte aligned) holding the names of `entries`
    // entries, and the chunk it comes from; null without memory or budget.
    void* Allocate(size_t bytes, size_t entries, TChunk*& chunk);
    // Room of its own, outside any chunk (chunk null), for a block made
    // without an arena.
    static void* AllocateAlone(size_t bytes);
    // Gives back room from either of the two.
    static void Free(TChunk* chunk, void* p, size_t bytes) noexcept;

    // Bytes held for blocks, chunks counted whole, and their budget.
    static size_t BytesInUse();
    static constexpr size_t kBudget = size_t{256} << 20;

    static constexpr size_t kFirstChunk = size_t{64} << 10;
    static constexpr size_t kMaxChunk = size_t{16} << 20;

private:
    bool NewChunk(size_t bytes);
    // Gives up the chunk being filled, and the pages of it not yet touched.
    void Leave();

    TChunk* chunk_ = nullptr;
    char* next_ = nullptr; // the chunk's untouched rest
    char* end_ = nullptr;
    size_t expected_;
    size_t laidEntries_ = 0, laidBytes_ = 0;
};
