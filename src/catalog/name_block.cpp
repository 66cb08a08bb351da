#include "catalog/name_block.h"

#include "catalog/lib_records.h"
#include "catalog/prefetch.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

std::atomic<size_t> g_bytes{0};

// How far ahead the entries, and then their names, are asked for while copying.
constexpr size_t kEntryAhead = 16;
constexpr size_t kTextAhead = 8;

} // namespace

TNameBlock::TPtr TNameBlock::Make(const std::vector<std::unique_ptr<TLibFolderItem>>& items) {
    // Without memory for a block the search reads the entries themselves.
    try {
        return Gather(items);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

TNameBlock::TPtr TNameBlock::Gather(const std::vector<std::unique_ptr<TLibFolderItem>>& items) {
    const size_t n = items.size();
    constexpr size_t kLimit = std::numeric_limits<uint32_t>::max();
    if (n >= kLimit) return nullptr;
    // Gathered here first: the size of the whole is known only at the end.
    thread_local std::string text;
    thread_local std::vector<uint32_t> starts;
    text.clear();
    starts.clear();
    starts.reserve(n + 1);
    for (size_t i = 0; i < n; ++i) {
        if (i + kEntryAhead < n) Prefetch(items[i + kEntryAhead].get());
        if (i + kTextAhead < n) Prefetch(items[i + kTextAhead]->Caption.view().data());
        const std::string_view name = items[i]->Caption.view();
        if (name.size() >= kLimit - text.size()) return nullptr;
        starts.push_back(static_cast<uint32_t>(text.size()));
        text.append(name);
        text.push_back('\n');
    }
    starts.push_back(static_cast<uint32_t>(text.size()));
    const size_t startBytes = starts.size() * sizeof(uint32_t);
    const size_t bytes = sizeof(TNameBlock) + startBytes + text.size();
    if (g_bytes.fetch_add(bytes) + bytes > kBudget) {
        g_bytes.fetch_sub(bytes);
        return nullptr;
    }
    void* raw = ::operator new(bytes, std::nothrow);
    if (!raw) {
        g_bytes.fetch_sub(bytes);
        return nullptr;
    }
    TPtr b(new (raw) TNameBlock(static_cast<uint32_t>(n), bytes));
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
    g_bytes.fetch_sub(b->bytes_);
    b->~TNameBlock();
    ::operator delete(b);
}

size_t TNameBlock::EntryAt(size_t pos, size_t first, size_t last) const {
    // The last start at or before pos.
    const uint32_t* s = Starts();
    return static_cast<size_t>(std::upper_bound(s + first + 1, s + last, pos) - s) - 1;
}

size_t TNameBlock::BytesInUse() {
    return g_bytes.load();
}
