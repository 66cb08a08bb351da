#pragma once

#include "catalog/name_arena.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

class TLibFolderItem;

// The names of one folder's entries laid end to end, each followed by a line
// feed, for the name search: one pass over contiguous bytes instead of a trip
// to each entry and then to its name elsewhere in the pool. One piece of
// memory holds the counts, the starts and the text, so that reaching the
// names costs one trip from the folder. The folder makes it on demand (in the
// search thread's arena) and drops it whenever its list changes.
class TNameBlock {
public:
    struct TFree {
        void operator()(TNameBlock* b) const noexcept { Destroy(b); }
    };
    using TPtr = std::unique_ptr<TNameBlock, TFree>;

    // Null when the names do not fit in one block (4 GiB) or when the blocks
    // of all folders together would pass their budget. Without an arena the
    // block takes an allocation of its own. `ahead`: the entries read next,
    // asked for while the last names are copied.
    using TEntries = std::span<const std::unique_ptr<TLibFolderItem>>;
    static TPtr Make(const std::vector<std::unique_ptr<TLibFolderItem>>& items,
                     TNameArena* arena = nullptr, TEntries ahead = {});
    static void Destroy(TNameBlock* b) noexcept;
    TNameBlock(const TNameBlock&) = delete;
    TNameBlock& operator=(const TNameBlock&) = delete;

    size_t Count() const { return count_; }
    // Where name i starts in the text, and where it ends (before its line feed).
    size_t Start(size_t i) const { return Starts()[i]; }
    size_t End(size_t i) const { return Starts()[i + 1] - 1; }
    // Names [first, last) with their line feeds.
    std::string_view Names(size_t first, size_t last) const {
        return {Text() + Start(first), Start(last) - Start(first)};
    }
    // The name among [first, last) whose bytes, or line feed, hold byte `pos`.
    size_t EntryAt(size_t pos, size_t first, size_t last) const;

private:
    TNameBlock(uint32_t count, size_t bytes, TNameArena::TChunk* chunk)
        : count_(count), bytes_(bytes), chunk_(chunk) {}
    static TPtr Gather(const std::vector<std::unique_ptr<TLibFolderItem>>& items, TNameArena* arena,
                       TEntries ahead);
    const uint32_t* Starts() const { return reinterpret_cast<const uint32_t*>(this + 1); }
    const char* Text() const { return reinterpret_cast<const char*>(Starts() + count_ + 1); }

    uint32_t count_;
    size_t bytes_;              // the whole block
    TNameArena::TChunk* chunk_; // where it lies; null: an allocation of its own
    // Followed by count_ + 1 starts (the last is the text's size), then the text.
};
