#pragma once

#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The search's "contains" test for one criterion, prepared once: is the
// criterion inside a text, both folded the search's way (only a to z change,
// upper-cased, unless case matters)? A name search asks it a million times,
// so the text is never copied or folded as a whole: each byte is compared
// with its mask or'ed in, which is exact since the folded criterion holds no
// lower-case letters (a letter matches both cases through 0x20, any other
// byte only itself).
class TFoldedFinder {
public:
    TFoldedFinder() = default;
    // criterion: as the user gave it (folded here unless matchCase).
    TFoldedFinder(std::string_view criterion, bool matchCase);

    bool Empty() const { return target_.empty(); }
    size_t Size() const { return target_.size(); }
    // True for an empty criterion.
    bool FoundIn(std::string_view text) const { return Find(text) != std::string_view::npos; }
    // Where the criterion first starts in text (0 for an empty one), or npos.
    size_t Find(std::string_view text) const;
    // The same answer without vector instructions (machines without them,
    // and the tests that hold the two against each other).
    bool FoundInPortable(std::string_view text) const {
        return FindPortable(text) != std::string_view::npos;
    }
    size_t FindPortable(std::string_view text) const;

    // Bytes past a text's end that FoundInSpare may read (and ignore).
    static constexpr size_t kSpare = 15;
    // FoundIn for a text followed by kSpare readable bytes (a name inside a
    // file's buffer): the last positions are tested in place, not copied.
    bool FoundInSpare(std::string_view text) const;

private:
    bool FoundInSpareFull(std::string_view text) const;
    bool MatchesAt(const char* p) const;
    // The first of the 16 positions from p that matches, or -1.
    int FirstInBlock(const char* p, unsigned valid) const;

    std::string target_; // each criterion byte with its mask or'ed in
    std::string mask_;   // 0x20 for a letter when case does not matter, else 0
    // The first and the last criterion byte and their masks, each repeated
    // over a block, so that a name's test starts with plain loads.
    alignas(16) unsigned char ends_[4][16] = {};
};

inline bool TFoldedFinder::FoundInSpare(std::string_view text) const {
#if defined(__SSE2__)
    // Inline for the common case, as a name search asks it once per entry: a
    // name that takes one block and holds no position where both the first
    // and the last criterion byte match.
    const size_t n = target_.size();
    if (n != 0 && text.size() >= n && text.size() - n < 16) {
        auto end = [&](int k) {
            return _mm_load_si128(reinterpret_cast<const __m128i*>(ends_[k]));
        };
        const char* p = text.data();
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
        const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(first, end(1)), end(0)),
                                          _mm_cmpeq_epi8(_mm_or_si128(last, end(3)), end(2)));
        const unsigned valid = (1u << (text.size() - n + 1)) - 1;
        if ((static_cast<unsigned>(_mm_movemask_epi8(hit)) & valid) == 0) return false;
    }
#endif
    return FoundInSpareFull(text);
}
