#pragma once

#include <cstddef>

// Small blocks for what catalogs hold by the million: entries and their
// texts. malloc adds an 8-byte header to each block and rounds it up to 16;
// here blocks of one size (a multiple of 4) are carved from large chunks
// without a header. A freed block is reused by the next request of its size,
// and a size whose last block is freed gives its chunks back to the system
// (all but the first, so that one text made and dropped in a loop does not
// map and unmap a chunk each time). Large chunks ask for huge pages, which
// spares a million-entry catalog most of its page faults.
// Safe to use from several threads.
namespace blockpool {

inline constexpr size_t kMaxBlock = 256; // larger requests go to malloc

// Never null: throws std::bad_alloc.
void* Allocate(size_t size);
// `size` is the one given to Allocate.
void Free(void* p, size_t size) noexcept;

// What the pool holds for blocks of `size`: blocks in use and the bytes of its chunks.
size_t LiveBlocks(size_t size);
size_t ChunkBytes(size_t size);

} // namespace blockpool
