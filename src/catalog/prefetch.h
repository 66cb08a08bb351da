#pragma once

// Hints that a line will be read soon; never faults, even on a null pointer.
inline void Prefetch(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    static_cast<void>(p);
#endif
}
