#include "memory/page_map.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace pagemap {

size_t PageSize() {
    static const size_t size = [] {
        const long s = ::sysconf(_SC_PAGESIZE);
        return s > 0 ? static_cast<size_t>(s) : size_t{4096};
    }();
    return size;
}

void* Map(size_t bytes, bool huge) noexcept {
    const size_t mapped = bytes + (huge ? kHugePage : 0);
    void* m = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return nullptr;
    char* base = static_cast<char*>(m);
    if (huge) {
        // A huge page needs an aligned start: cut what lies before and after.
        const auto at = reinterpret_cast<uintptr_t>(base);
        char* aligned = base + ((kHugePage - at % kHugePage) % kHugePage);
        if (aligned > base) ::munmap(base, static_cast<size_t>(aligned - base));
        char* tail = aligned + bytes;
        if (tail < base + mapped) ::munmap(tail, static_cast<size_t>(base + mapped - tail));
        base = aligned;
        ::madvise(base, bytes, MADV_HUGEPAGE);
    }
    return base;
}

void Unmap(void* p, size_t bytes) noexcept {
    if (p && bytes) ::munmap(p, bytes);
}

} // namespace pagemap
