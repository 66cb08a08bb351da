#include "catalog/name_block.h"

#include "catalog/lib_records.h"
#include "catalog/prefetch.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

// How far ahead the entries, and then their names, are asked for while copying.
constexpr size_t kEntryAhead = 16;
constexpr size_t kTextAhead = 8;

} // namespace

TNameBlock::TPtr TNameBlock::Make(const std::vector<std::unique_ptr<TLibFolderItem>>& items,
                                  TNameArena* arena, TEntries ahead) {
    // Without memory for a block the search reads the entries themselves.
    try {
        return Gather(items, arena, ahead);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

TNameBlock::TPtr TNameBlock::Gather(const std::vector<std::unique_ptr<TLibFolderItem>>& items,
                                    TNameArena* arena, TEntries ahead) {
    const size_t n = items.size();
    constexpr size_t kLimit = std::numeric_limits<uint32_t>::max();
    if (n >= kLimit) return nullptr;
    // Gathered here first: the size of the whole is known only at the end.
    thread_local std::string text;
    thread_local std::vector<uint32_t> starts;
    text.clear();
    starts.clear();
    starts.reserve(n + 1);
    // The entries past the list's end are those read next.
    ahead = ahead.first(std::min(ahead.size(), kEntryAhead));
    Prefetch(ahead.data());
    auto entry = [&](size_t i) -> const TLibFolderItem* {
        if (i < n) return items[i].get();
        return i - n < ahead.size() ? ahead[i - n].get() : nullptr;
    };
    for (size_t i = 0; i < n; ++i) {
        Prefetch(entry(i + kEntryAhead));
        if (const TLibFolderItem* e = entry(i + kTextAhead)) Prefetch(e->Caption.view().data());
        const std::string_view name = items[i]->Caption.view();
        if (name.size() >= kLimit - text.size()) return nullptr;
        starts.push_back(static_cast<uint32_t>(text.size()));
        text.append(name);
        text.push_back('\n');
    }
    starts.push_back(static_cast<uint32_t>(text.size()));
    const size_t startBytes = starts.size() * sizeof(uint32_t);
    const size_t bytes = sizeof(TNameBlock) + startBytes + text.size();
    TNameArena::TChunk* chunk = nullptr;
    void* raw = arena ? arena->Allocate(bytes, n, chunk) : TNameArena::AllocateAlone(bytes);
    if (!raw) return nullptr;
    TPtr b(new (raw) TNameBlock(static_cast<uint32_t>(n), bytes, chunk));
    char* data = reinterpret_cast<char*>(b.get() + 1);
    std::memcpy(data, starts.data(), startBytes);
    std::memcpy(data + startBytes, text.data(), text.size());
    // A big folder's text is not kept for the next one.
    if (text.capacity() > (size_t{1} << 20)) std::string().swap(text);
    if (starts.capacity() > (size_t{1} << 18)) std::vector<uint32_t>().swap(starts);
    return b;
}

void TNameBlock::Destroy(TNameBlock* b) noexcept {
    if (!b) return;
    TNameArena::TChunk* chunk = b->chunk_;
    const size_t bytes = b->bytes_;
    b->~TNameBlock();
    TNameArena::Free(chunk, b, bytes);
}

size_t TNameBlock::EntryAt(size_t pos, size_t first, size_t last) const {
    // The last start at or before pos.
    const uint32_t* s = Starts();
    return static_cast<size_t>(std::upper_bound(s + first + 1, s + last, pos) - s) - 1;
}
