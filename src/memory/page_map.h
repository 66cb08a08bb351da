#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define TAMBLIX_PAGE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAMBLIX_PAGE_ASAN 1
#endif
#endif
#ifdef TAMBLIX_PAGE_ASAN
#include <sanitizer/asan_interface.h>
#endif

// Memory straight from the system in large runs, for the pools that hold what
// a catalog has by the million. A fresh page costs a fault on its first touch;
// a run asked for with huge pages takes one fault per 2 MiB instead of one
// per page, which spares a large catalog most of its faults.
namespace pagemap {

inline constexpr size_t kHugePage = size_t{2} << 20;

// The system's page size.
size_t PageSize();

// `bytes` (a multiple of PageSize(), or of kHugePage when `huge`) of zeroed
// memory, starting on a huge page boundary when `huge`; null without memory.
void* Map(size_t bytes, bool huge) noexcept;
// Returns [p, p + bytes) to the system; both on page boundaries.
void Unmap(void* p, size_t bytes) noexcept;

// Marks memory a pool holds but has not handed out (or has taken back), so
// that sanitizer builds catch a read of it; nothing in other builds.
inline void Poison(void* p, size_t n) noexcept {
#ifdef TAMBLIX_PAGE_ASAN
    ASAN_POISON_MEMORY_REGION(p, n);
#else
    (void)p, (void)n;
#endif
}

inline void Unpoison(void* p, size_t n) noexcept {
#ifdef TAMBLIX_PAGE_ASAN
    ASAN_UNPOISON_MEMORY_REGION(p, n);
#else
    (void)p, (void)n;
#endif
}

} // namespace pagemap
