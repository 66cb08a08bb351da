#include "memory/block_pool.h"

#include "memory/page_map.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sched.h>

namespace blockpool {
namespace {

constexpr size_t kGrain = 4;
constexpr size_t kMinBlock = sizeof(void*); // a freed block holds the link to the next
constexpr size_t kFirstChunk = size_t{64} << 10;
constexpr size_t kHugePage = pagemap::kHugePage;
constexpr size_t kMaxChunk = kHugePage;
// Huge pages only for sizes that hold this much already, so that a small
// catalog does not pay a whole huge page for each size it uses.
constexpr size_t kHugeFrom = size_t{8} << 20;

struct TChunk {
    TChunk* next;
    size_t bytes;
};
constexpr size_t kChunkHeader = 16;
static_assert(sizeof(TChunk) <= kChunkHeader);

using pagemap::Poison;
using pagemap::Unpoison;

TChunk* MapChunk(size_t bytes, bool huge) {
#ifdef TAMBLIX_PAGE_ASAN
    // From malloc, so that the leak checker still sees the pointers the blocks hold.
    (void)huge;
    void* m = std::aligned_alloc(16, bytes);
    if (!m) throw std::bad_alloc();
    return static_cast<TChunk*>(m);
#else
    void* m = pagemap::Map(bytes, huge);
    if (!m) throw std::bad_alloc();
    return static_cast<TChunk*>(m);
#endif
}

void UnmapChunk(TChunk* c) {
#ifdef TAMBLIX_PAGE_ASAN
    Unpoison(c, c->bytes);
    std::free(c);
#else
    pagemap::Unmap(c, c->bytes);
#endif
}

class TLock {
public:
    explicit TLock(std::atomic_flag& f) : f_(f) {
        while (f_.test_and_set(std::memory_order_acquire))
            while (f_.test(std::memory_order_relaxed))
                sched_yield();
    }
    ~TLock() { f_.clear(std::memory_order_release); }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

private:
    std::atomic_flag& f_;
};

// The blocks of one size.
struct TPool {
    std::atomic_flag busy;
    void* freed = nullptr; // freed blocks, each holding the next
    char* next = nullptr;  // the untouched rest of the newest chunk
    char* end = nullptr;
    TChunk* chunks = nullptr; // newest first
    size_t chunkBytes = 0;
    size_t live = 0;

    void UseChunk(TChunk* c) {
        next = reinterpret_cast<char*>(c) + kChunkHeader;
        end = reinterpret_cast<char*>(c) + c->bytes;
        Poison(next, static_cast<size_t>(end - next));
    }

    void AddChunk() {
        // Each chunk as large as all before it, so that the count of chunks
        // grows with the logarithm of the size.
        const size_t bytes = std::clamp(chunkBytes, kFirstChunk, kMaxChunk);
        TChunk* c = MapChunk(bytes, chunkBytes >= kHugeFrom);
        c->next = chunks;
        c->bytes = bytes;
        chunks = c;
        chunkBytes += bytes;
        UseChunk(c);
    }

    // No block in use: keep the first chunk only.
    void Shrink() {
        if (!chunks) return;
        while (chunks->next) {
            TChunk* c = chunks;
            chunks = c->next;
            UnmapChunk(c);
        }
        chunkBytes = chunks->bytes;
        freed = nullptr;
        UseChunk(chunks);
    }
};

constinit TPool pools[kMaxBlock / kGrain + 1];

size_t BlockSize(size_t size) {
    return std::max(kMinBlock, (size + kGrain - 1) / kGrain * kGrain);
}

TPool& PoolFor(size_t size) {
    return pools[BlockSize(size) / kGrain];
}

} // namespace

void* Allocate(size_t size) {
    if (size > kMaxBlock) {
        void* p = std::malloc(size);
        if (!p) throw std::bad_alloc();
        return p;
    }
    const size_t s = BlockSize(size);
    TPool& pool = PoolFor(size);
    TLock lock(pool.busy);
    void* p = pool.freed;
    if (p) {
        Unpoison(p, s);
        std::memcpy(&pool.freed, p, sizeof(void*));
    } else {
        if (static_cast<size_t>(pool.end - pool.next) < s) pool.AddChunk();
        p = pool.next;
        pool.next += s;
        Unpoison(p, s);
    }
    ++pool.live;
    return p;
}

void Free(void* p, size_t size) noexcept {
    if (!p) return;
    if (size > kMaxBlock) {
        std::free(p);
        return;
    }
    TPool& pool = PoolFor(size);
    TLock lock(pool.busy);
    std::memcpy(p, &pool.freed, sizeof(void*));
    pool.freed = p;
    Poison(p, BlockSize(size));
    if (--pool.live == 0) pool.Shrink();
}

size_t LiveBlocks(size_t size) {
    TPool& pool = PoolFor(size);
    TLock lock(pool.busy);
    return pool.live;
}

size_t ChunkBytes(size_t size) {
    TPool& pool = PoolFor(size);
    TLock lock(pool.busy);
    return pool.chunkBytes;
}

} // namespace blockpool
