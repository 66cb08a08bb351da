#include "search/folded_finder.h"

#include <cstdint>
#include <cstring>

namespace {

inline unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

// Short texts are copied here so that 16-byte loads never read past them.
constexpr size_t kPad = 64;

// Copies fewer than kPad bytes in pieces of fixed size, which the compiler
// turns into plain moves: a call to memcpy per name costs more than the test.
inline void CopyShort(char* to, const char* from, size_t n) {
    size_t k = 0;
    for (; k + 16 <= n; k += 16)
        std::memcpy(to + k, from + k, 16);
    if (n - k >= 8) {
        std::memcpy(to + k, from + k, 8);
        k += 8;
    }
    if (n - k >= 4) {
        std::memcpy(to + k, from + k, 4);
        k += 4;
    }
    for (; k < n; ++k)
        to[k] = from[k];
}

} // namespace

TFoldedFinder::TFoldedFinder(std::string_view criterion, bool matchCase) {
    target_.resize(criterion.size());
    mask_.resize(criterion.size());
    for (size_t i = 0; i < criterion.size(); ++i) {
        unsigned char c = Byte(criterion[i]);
        unsigned char m = 0;
        if (!matchCase && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) m = 0x20;
        target_[i] = static_cast<char>(c | m);
        mask_[i] = static_cast<char>(m);
    }
    if (!target_.empty()) {
        std::memset(ends_[0], target_.front(), 16);
        std::memset(ends_[1], mask_.front(), 16);
        std::memset(ends_[2], target_.back(), 16);
        std::memset(ends_[3], mask_.back(), 16);
    }
}

bool TFoldedFinder::MatchesAt(const char* p) const {
    const size_t n = target_.size();
    const char* t = target_.data();
    const char* m = mask_.data();
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t h, mm, tt;
        std::memcpy(&h, p + k, 8);
        std::memcpy(&mm, m + k, 8);
        std::memcpy(&tt, t + k, 8);
        if ((h | mm) != tt) return false;
    }
    for (; k < n; ++k)
        if ((Byte(p[k]) | Byte(m[k])) != Byte(t[k])) return false;
    return true;
}

size_t TFoldedFinder::FindPortable(std::string_view text) const {
    const size_t n = target_.size();
    if (n == 0) return 0;
    if (text.size() < n) return std::string_view::npos;
    const unsigned char t0 = Byte(target_[0]), m0 = Byte(mask_[0]);
    const unsigned char tl = Byte(target_[n - 1]), ml = Byte(mask_[n - 1]);
    const char* p = text.data();
    const size_t positions = text.size() - n + 1;
    for (size_t i = 0; i < positions; ++i)
        if ((Byte(p[i]) | m0) == t0 && (Byte(p[i + n - 1]) | ml) == tl && MatchesAt(p + i))
            return i;
    return std::string_view::npos;
}

#if defined(__SSE2__)

// Candidates among the 16 positions from p: the first and the last criterion
// byte both match; `valid` keeps the positions that lie inside the text.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline int
TFoldedFinder::FirstInBlock(const char* p, unsigned valid) const {
    const size_t n = target_.size();
    auto end = [&](int k) { return _mm_load_si128(reinterpret_cast<const __m128i*>(ends_[k])); };
    const __m128i t0 = end(0), m0 = end(1), tl = end(2), ml = end(3);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
    const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(first, m0), t0),
                                      _mm_cmpeq_epi8(_mm_or_si128(last, ml), tl));
    unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hit)) & valid;
    // With one or two bytes the first and last test is the whole test.
    if (n <= 2) return bits ? __builtin_ctz(bits) : -1;
    while (bits) {
        const int k = __builtin_ctz(bits);
        if (MatchesAt(p + k)) return k;
        bits &= bits - 1;
    }
    return -1;
}

size_t TFoldedFinder::Find(std::string_view text) const {
    const size_t n = target_.size();
    if (n == 0) return 0;
    if (text.size() < n) return std::string_view::npos;
    const char* p = text.data();
    const size_t positions = text.size() - n + 1;
    size_t i = 0;
    // Whole blocks: the last load of a block ends at i + 15 + n - 1, inside the text.
    for (; i + 16 <= positions; i += 16)
        if (const int k = FirstInBlock(p + i, 0xffffu); k >= 0) return i + static_cast<size_t>(k);
    if (i == positions) return std::string_view::npos;
    const size_t rest = text.size() - i; // fewer than 16 + n - 1 bytes
    if (n + 15 > kPad) {
        // A long criterion: the few positions left one by one.
        const size_t k = FindPortable(text.substr(i));
        return k == std::string_view::npos ? k : i + k;
    }
    alignas(16) char buf[kPad] = {};
    CopyShort(buf, p + i, rest);
    const int k = FirstInBlock(buf, (1u << (positions - i)) - 1);
    return k < 0 ? std::string_view::npos : i + static_cast<size_t>(k);
}

bool TFoldedFinder::FoundInSpareFull(std::string_view text) const {
    const size_t n = target_.size();
    if (n == 0) return true;
    if (text.size() < n) return false;
    const char* p = text.data();
    const size_t positions = text.size() - n + 1;
    size_t i = 0;
    for (; i + 16 <= positions; i += 16)
        if (FirstInBlock(p + i, 0xffffu) >= 0) return true;
    if (i == positions) return false;
    // The loads end at i + 15 + n - 1, at most kSpare bytes past the text
    // (at least n bytes are left from i); the mask drops what lies there.
    return FirstInBlock(p + i, (1u << (positions - i)) - 1) >= 0;
}

#else

int TFoldedFinder::FirstInBlock(const char*, unsigned) const {
    return -1;
}

size_t TFoldedFinder::Find(std::string_view text) const {
    return FindPortable(text);
}

bool TFoldedFinder::FoundInSpareFull(std::string_view text) const {
    return FoundInPortable(text);
}

#endif
