#include "catalog/name_arena.h"

#include "memory/page_map.h"

#include <algorithm>
#include <new>

struct TNameArena::TChunk {
    std::atomic<size_t> holds; // its blocks, and one while an arena fills it
    size_t bytes;              // mapped, from the chunk's start
};

namespace {

using TChunk = TNameArena::TChunk;

// The blocks start on a line of their own.
constexpr size_t kHeader = 64;
static_assert(sizeof(TChunk) <= kHeader);
constexpr size_t kAlign = 8;
// Bytes per name (its start, its text, its line feed) before any are laid out.
constexpr size_t kGuessPerEntry = 32;

std::atomic<size_t> g_bytes{0};

size_t RoundUp(size_t n, size_t to) {
    return (n + to - 1) / to * to;
}

using pagemap::Poison;
using pagemap::Unpoison;

bool Reserve(size_t bytes) {
    if (g_bytes.fetch_add(bytes) + bytes <= TNameArena::kBudget) return true;
    g_bytes.fetch_sub(bytes);
    return false;
}

void Unmap(void* p, size_t bytes) {
    Unpoison(p, bytes);
    pagemap::Unmap(p, bytes);
    g_bytes.fetch_sub(bytes);
}

void Release(TChunk* c) {
    if (c->holds.fetch_sub(1, std::memory_order_acq_rel) == 1) Unmap(c, c->bytes);
}

} // namespace

TNameArena::~TNameArena() {
    Leave();
}

void* TNameArena::Allocate(size_t bytes, size_t entries, TChunk*& chunk) {
    const size_t room = RoundUp(bytes, kAlign);
    if (static_cast<size_t>(end_ - next_) < room) {
        // Sized for what is still to come, at the rate seen so far.
        const size_t perEntry = laidEntries_ ? laidBytes_ / laidEntries_ + 1 : kGuessPerEntry;
        const size_t left = expected_ > laidEntries_ ? expected_ - laidEntries_ : 0;
        const size_t want = std::clamp(left * perEntry, kFirstChunk, kMaxChunk);
        Leave();
        if (!NewChunk(std::max(want, room + kHeader))) return nullptr;
    }
    char* p = next_;
    next_ += room;
    Unpoison(p, room);
    chunk_->holds.fetch_add(1, std::memory_order_relaxed);
    chunk = chunk_;
    laidEntries_ += entries;
    laidBytes_ += room;
    return p;
}

bool TNameArena::NewChunk(size_t bytes) {
    // Half a huge page or more takes a whole one: one fault instead of hundreds.
    const bool huge = bytes >= pagemap::kHugePage / 2;
    bytes = RoundUp(bytes, huge ? pagemap::kHugePage : pagemap::PageSize());
    if (!Reserve(bytes)) return false;
    void* m = pagemap::Map(bytes, huge);
    if (!m) {
        g_bytes.fetch_sub(bytes);
        return false;
    }
    chunk_ = new (m) TChunk{{1}, bytes};
    next_ = static_cast<char*>(m) + kHeader;
    end_ = static_cast<char*>(m) + bytes;
    Poison(next_, bytes - kHeader);
    return true;
}

void TNameArena::Leave() {
    TChunk* c = chunk_;
    if (!c) return;
    // The pages past what was laid out go back now, also the untouched part
    // of a huge page (which the system then splits): each search leaves a
    // chunk partly used.
    char* base = reinterpret_cast<char*>(c);
    const size_t used = RoundUp(static_cast<size_t>(next_ - base), pagemap::PageSize());
    if (used < c->bytes) {
        Unmap(base + used, c->bytes - used);
        c->bytes = used;
    }
    chunk_ = nullptr;
    next_ = end_ = nullptr;
    Release(c);
}

void* TNameArena::AllocateAlone(size_t bytes) {
    if (!Reserve(bytes)) return nullptr;
    void* p = ::operator new(bytes, std::nothrow);
    if (!p) g_bytes.fetch_sub(bytes);
    return p;
}

void TNameArena::Free(TChunk* chunk, void* p, size_t bytes) noexcept {
    if (!p) return;
    if (!chunk) {
        ::operator delete(p);
        g_bytes.fetch_sub(bytes);
        return;
    }
    Poison(p, RoundUp(bytes, kAlign));
    Release(chunk);
}

size_t TNameArena::BytesInUse() {
    return g_bytes.load();
}
