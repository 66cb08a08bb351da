#include "media/thumb_jpeg_dc.h"

#include "media/thumb_maker.h"
#include "tags/binary_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

using EResult = EEighthResult;

constexpr unsigned kLutBits = 10;
// AC codes are walked over several at a time, by a lookup of this many bits.
constexpr unsigned kRunBits = 12;
// Entropy-coded data is unstuffed into a buffer of this size...
constexpr size_t kChunk = size_t{64} << 10;
// ...refilled when fewer bytes than one MCU may take are left (10 blocks of at
// most 64 codes of 27 bits) with the 8 bytes a refill reads ahead.
constexpr size_t kMargin = 4096;
// Blocks decoded between looks at the clock.
constexpr int kBlocksPerCheck = 16384;

// The natural (row by row) place of each zigzag index; runs past the end land on the last.
constexpr uint8_t kNatural[80] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                  12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                  35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                  58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
                                  63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// A Huffman table: a lookup of the next kLutBits bits for the short codes, the
// canonical limits for the long ones. An entry packs the bits a symbol takes
// with its extra bits (byte 0), how far it moves along the block (byte 1), the
// code's length (byte 2) and the count of extra bits (byte 3); 0 sends the
// decoder to the limits. An AC table also has runs: for the next kRunBits
// bits, the codes wholly within them, up to the end of the block, as the bits
// they take (byte 0), how far they move (byte 1) and how far all but the last
// move (byte 2); 0 when not even one fits.
struct THuffman {
    std::array<uint32_t, size_t{1} << kLutBits> Lut{};
    std::array<uint32_t, size_t{1} << kRunBits> Runs{};
    std::array<uint32_t, 17> Limit{}; // end of each length's codes, 16 bits left-aligned
    std::array<int32_t, 17> Offset{}; // symbol index less the length's first code
    std::array<uint8_t, 256> Symbols{};
    int Count = 0;
    bool Dc = false;
    bool Defined = false;
    bool BadDc = false; // a symbol no DC table may hold
};

uint32_t EntryOf(uint8_t symbol, unsigned length, bool dc) {
    unsigned size = symbol, step = 0;
    if (dc) {
        if (size > 11) return 0;
    } else {
        const unsigned run = symbol >> 4;
        size = symbol & 15u;
        if (size > 10) return 0;
        // A zero size ends the block, except for the run of sixteen zeros.
        step = size ? run + 1 : run == 15 ? 16 : 64;
    }
    return (length + size) | step << 8 | length << 16 | size << 24;
}

// The entry of a code longer than the lookup, or 0 when no code starts so.
[[gnu::noinline]] uint32_t LongEntry(const THuffman& t, uint64_t bits) {
    const auto peek = static_cast<uint32_t>(bits >> 48);
    for (unsigned len = 1; len <= 16; ++len) {
        if (peek >= t.Limit[len]) continue;
        const int32_t index = static_cast<int32_t>(peek >> (16 - len)) + t.Offset[len];
        if (index < 0 || index >= t.Count) return 0;
        return EntryOf(t.Symbols[static_cast<size_t>(index)], len, t.Dc);
    }
    return 0;
}

inline uint32_t Next(const THuffman& t, uint64_t acc) {
    const uint32_t e = t.Lut[acc >> (64 - kLutBits)];
    return e ? e : LongEntry(t, acc);
}

void BuildRuns(THuffman& t) {
    for (uint32_t i = 0; i < (1u << kRunBits); ++i) {
        unsigned used = 0, steps = 0, before = 0;
        // Once 64 is reached the block has surely ended.
        while (steps < 64) {
            const uint32_t e = Next(t, (uint64_t{i} << (64 - kRunBits)) << used);
            if (!e || (e & 0xFF) > kRunBits - used) break;
            before = steps;
            used += e & 0xFF;
            steps += e >> 8 & 0xFF;
        }
        t.Runs[i] = used | steps << 8 | before << 16;
    }
}

// False for lengths that give more codes than fit, or an all-ones code (the
// general decoder refuses both).
bool BuildHuffman(THuffman& t, const uint8_t* counts, const uint8_t* symbols, int total, bool dc) {
    t = {};
    std::copy_n(symbols, total, t.Symbols.begin());
    t.Count = total;
    t.Dc = dc;
    t.BadDc = dc && std::any_of(symbols, symbols + total, [](uint8_t s) { return s > 15; });
    unsigned longest = 0;
    for (unsigned len = 1; len <= 16; ++len)
        if (counts[len - 1]) longest = len;
    uint32_t code = 0;
    int index = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        t.Offset[len] = index - static_cast<int32_t>(code);
        for (int i = 0; i < counts[len - 1]; ++i, ++code, ++index) {
            if (code >= (1u << len)) return false;
            if (len > kLutBits) continue;
            const unsigned shift = kLutBits - len;
            std::fill(t.Lut.begin() + (code << shift), t.Lut.begin() + ((code + 1) << shift),
                      EntryOf(t.Symbols[static_cast<size_t>(index)], len, dc));
        }
        if (len <= longest && code >= (1u << len)) return false;
        t.Limit[len] = code << (16 - len);
        code <<= 1;
    }
    if (!dc) BuildRuns(t);
    t.Defined = true;
    return true;
}

inline uint64_t Be64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

// Bits of the unstuffed data, the next ones at the top of Acc; Cur * 8 - Count
// is the position of the next bit. A refill reads 8 bytes at Cur.
struct TBits {
    uint64_t Acc = 0;
    unsigned Count = 0;
    const uint8_t* Cur = nullptr;

    void Refill() {
        Acc |= Be64(Cur) >> Count;
        Cur += (63 - Count) >> 3;
        Count |= 56;
    }
    void Skip(unsigned n) {
        Acc <<= n;
        Count -= n;
    }
};

// The value of an entry's extra bits, which follow its code at the top of acc.
inline int ValueOf(uint64_t acc, uint32_t entry) {
    const unsigned length = entry >> 16 & 0xFF, size = entry >> 24;
    if (size == 0) return 0;
    const auto v = static_cast<int>((acc << length) >> (64 - size));
    return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
}

inline bool DecodeDc(TBits& b, const THuffman& t, int& diff) {
    b.Refill();
    const uint32_t e = Next(t, b.Acc);
    if (!e) return false;
    diff = ValueOf(b.Acc, e);
    b.Skip(e & 0xFF);
    return true;
}

// Walks over a block's AC codes, their values unread: a run of codes at a
// time, or one when the block may end before the run's last code.
inline bool SkipAc(TBits& b, const THuffman& t) {
    unsigned k = 1;
    for (;;) {
        // After a refill two runs, or two codes with their extra bits (26 bits each), are in hand.
        b.Refill();
        for (int twice = 0; twice < 2; ++twice) {
            uint32_t e = t.Runs[b.Acc >> (64 - kRunBits)];
            if ((e & 0xFF) == 0 || k + (e >> 16) >= 64) e = Next(t, b.Acc);
            if (!e) return false;
            b.Skip(e & 0xFF);
            k += e >> 8 & 0xFF;
            if (k >= 64) return true;
        }
    }
}

inline bool DecodeAc(TBits& b, const THuffman& t, int16_t* coef) {
    unsigned k = 1;
    for (;;) {
        b.Refill();
        for (int twice = 0; twice < 2; ++twice) {
            const uint32_t e = Next(t, b.Acc);
            if (!e) return false;
            const unsigned step = e >> 8 & 0xFF;
            if (e >> 24) coef[kNatural[k + step - 1]] = static_cast<int16_t>(ValueOf(b.Acc, e));
            k += step;
            b.Skip(e & 0xFF);
            if (k >= 64) return true;
        }
    }
}

// The general decoder's limit after its inverse DCT: ten bits kept, the
// centred value clamped to 0..255, wrapping beyond.
inline uint8_t Limit(int64_t x) {
    const unsigned v = static_cast<unsigned>(x) & 1023u;
    if (v < 128) return static_cast<uint8_t>(v + 128);
    if (v < 512) return 255;
    if (v < 896) return 0;
    return static_cast<uint8_t>(v - 896);
}

// The reduced 2x2 inverse DCT of the general decoder: rows and columns 0, 1,
// 3, 5 and 7 count, the multipliers (sums of cosines times the square root of
// two) in 13 bits, 2 more bits kept between the passes.
void Idct2x2(const int16_t* coef, const int16_t* quant, uint8_t* out) {
    constexpr int64_t k1 = 29692, k3 = -10426, k5 = 6967, k7 = -5906;
    int64_t ws[2][8] = {};
    for (const int c : {0, 1, 3, 5, 7}) {
        auto dq = [&](int r) { return int64_t{coef[r * 8 + c] * quant[r * 8 + c]}; };
        const int64_t even = dq(0) * 32768;
        const int64_t odd = dq(1) * k1 + dq(3) * k3 + dq(5) * k5 + dq(7) * k7;
        ws[0][c] = static_cast<int32_t>((even + odd + 4096) >> 13);
        ws[1][c] = static_cast<int32_t>((even - odd + 4096) >> 13);
    }
    for (int r = 0; r < 2; ++r) {
        const int64_t even = ws[r][0] * 32768;
        const int64_t odd = ws[r][1] * k1 + ws[r][3] * k3 + ws[r][5] * k5 + ws[r][7] * k7;
        out[r * 2] = Limit((even + odd + (1 << 19)) >> 20);
        out[r * 2 + 1] = Limit((even - odd + (1 << 19)) >> 20);
    }
}

// YCbCr to RGB in 16-bit fixed point, as the general decoder converts.
struct TYcc {
    std::array<int, 256> CrR, CbB, CrG, CbG;
    TYcc() {
        for (int i = 0; i < 256; ++i) {
            const int x = i - 128;
            CrR[static_cast<size_t>(i)] = (91881 * x + 32768) >> 16;
            CbB[static_cast<size_t>(i)] = (116130 * x + 32768) >> 16;
            CrG[static_cast<size_t>(i)] = -46802 * x;
            CbG[static_cast<size_t>(i)] = -22554 * x + 32768;
        }
    }
};

inline uint8_t Clamp(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

struct TComponent {
    int Id = 0, H = 1, V = 1, QuantTable = 0;
    int Scale = 1;                      // samples per block side: 2 for the 2x2 inverse DCT
    int BlocksW = 0, BlocksH = 0;       // blocks of the MCU grid
    int PicBlocksW = 0, PicBlocksH = 0; // blocks that hold picture: a scan of it alone
    std::array<int16_t, 64> Quant{};    // as the general decoder multiplies: 16 bits
    const THuffman* DcTable = nullptr;
    const THuffman* AcTable = nullptr;
    int16_t Pred = 0;
    bool Latched = false;       // its quantisation table, at its first scan
    bool Done = false;          // its DC values have come
    int DcShift = -1;           // progressive: the low bits its DC values still lack
    std::vector<uint8_t> Plane; // BlocksW * Scale by BlocksH * Scale samples
    std::vector<int16_t> Dc;    // progressive: BlocksW by BlocksH DC values
};

// What a scan holds: all of each block, or in a progressive file the first
// bits of the DC values, one more bit of them, or AC values (not needed).
enum class EPass { Sequential, DcFirst, DcRefine, Ac };

// The marker after a scan's data, restart markers within it passed over.
const uint8_t* SkipScan(const uint8_t* p, const uint8_t* end) {
    while ((p = static_cast<const uint8_t*>(std::memchr(p, 0xFF, static_cast<size_t>(end - p))))) {
        const uint8_t* q = p + 1;
        while (q < end && *q == 0xFF)
            ++q;
        if (q >= end || (*q != 0 && (*q < 0xD0 || *q > 0xD7))) return q - 1;
        p = q + 1;
    }
    return end;
}

struct TBlockRef {
    TComponent* Comp;
    int StepX, StepY, Dx, Dy;
};

class TDecoder {
public:
    TDecoder(const uint8_t* data, size_t size, size_t maxBytes, const TCpuBudget& budget)
        : data_(data), end_(data + size), maxBytes_(maxBytes), budget_(budget), tables_(8),
          buf_(kChunk + kMargin + 16) {}

    EResult Run(TRgbImage& out);

private:
    EResult Frame(const uint8_t* seg, size_t n, bool progressive);
    EResult Huffman(const uint8_t* seg, size_t n);
    EResult Quant(const uint8_t* seg, size_t n);
    EResult Scan(const uint8_t* seg, size_t n, const uint8_t*& at);
    EResult Entropy(const std::vector<TBlockRef>& blocks, int mcusX, int mcusY, EPass pass,
                    int shift);
    void Finish(TRgbImage& out);

    void Fill();
    void Start();
    bool Reseat(TBits& b);
    bool Restart(TBits& b, int& expected);
    size_t Position(const TBits& b) const {
        return static_cast<size_t>(b.Cur - buf_.data()) * 8 - b.Count;
    }

    const uint8_t* data_;
    const uint8_t* end_;
    size_t maxBytes_;
    const TCpuBudget& budget_;
    std::vector<THuffman> tables_; // DC 0-3, AC 0-3
    std::array<std::array<int16_t, 64>, 4> quant_{};
    std::array<bool, 4> quantDefined_{};
    std::vector<TComponent> comps_;
    int width_ = 0, height_ = 0, hMax_ = 1, vMax_ = 1;
    int interval_ = 0;
    int scans_ = 0;
    bool progressive_ = false;
    bool jfif_ = false, adobe_ = false, rgb_ = false;
    int adobeTransform_ = 1;
    int blocksToCheck_ = kBlocksPerCheck;

    // Entropy-coded data: src_ is the next byte in the file, buf_ holds it
    // unstuffed, then zeros for reads past its end.
    const uint8_t* src_ = nullptr;
    std::vector<uint8_t> buf_;
    size_t filled_ = 0;
    bool atMarker_ = false; // src_ is at the marker that ends the data (or the end of the file)
};

void TDecoder::Fill() {
    uint8_t* out = buf_.data();
    while (filled_ < kChunk && !atMarker_) {
        if (src_ >= end_) {
            atMarker_ = true;
            break;
        }
        const size_t room = std::min(kChunk - filled_, static_cast<size_t>(end_ - src_));
        const auto* ff = static_cast<const uint8_t*>(std::memchr(src_, 0xFF, room));
        const size_t run = ff ? static_cast<size_t>(ff - src_) : room;
        std::memcpy(out + filled_, src_, run);
        filled_ += run;
        src_ += run;
        if (!ff) continue;
        // FF, any fill bytes FF, then 00 for a data byte FF, else a marker.
        const uint8_t* p = ff + 1;
        while (p < end_ && *p == 0xFF)
            ++p;
        if (p < end_ && *p == 0) {
            out[filled_++] = 0xFF;
            src_ = p + 1;
        } else {
            src_ = p - 1;
            atMarker_ = true;
        }
    }
    std::memset(out + filled_, 0, kMargin + 16);
}

void TDecoder::Start() {
    filled_ = 0;
    atMarker_ = false;
    Fill();
}

// Moves the unread bytes to the front and unstuffs more after them; false when
// the bits read have run past the data.
bool TDecoder::Reseat(TBits& b) {
    const size_t pos = Position(b);
    if (pos > filled_ * 8) return false;
    const size_t byte = pos >> 3;
    std::memmove(buf_.data(), buf_.data() + byte, filled_ - byte);
    filled_ -= byte;
    Fill();
    b = {};
    b.Cur = buf_.data();
    b.Refill();
    b.Skip(static_cast<unsigned>(pos & 7));
    return true;
}

// At the end of a restart interval: its data used up to its last byte, then
// the expected RSTn; prediction starts again after it.
bool TDecoder::Restart(TBits& b, int& expected) {
    if (!atMarker_ && !Reseat(b)) return false;
    if (!atMarker_ || (Position(b) + 7) / 8 != filled_) return false;
    if (end_ - src_ < 2 || src_[1] != 0xD0 + expected) return false;
    src_ += 2;
    expected = (expected + 1) & 7;
    Start();
    b = {};
    b.Cur = buf_.data();
    for (TComponent& c : comps_)
        c.Pred = 0;
    return true;
}

EResult TDecoder::Entropy(const std::vector<TBlockRef>& blocks, int mcusX, int mcusY, EPass pass,
                          int shift) {
    Start();
    TBits b;
    b.Cur = buf_.data();
    int untilRestart = interval_, expected = 0;
    for (int my = 0; my < mcusY; ++my) {
        for (int mx = 0; mx < mcusX; ++mx) {
            if (interval_ && untilRestart-- == 0) {
                if (!Restart(b, expected)) return EResult::Damaged;
                untilRestart = interval_ - 1;
            }
            for (const TBlockRef& ref : blocks) {
                TComponent& c = *ref.Comp;
                const size_t bx = static_cast<size_t>(mx * ref.StepX + ref.Dx);
                const size_t by = static_cast<size_t>(my * ref.StepY + ref.Dy);
                const size_t at = by * static_cast<size_t>(c.BlocksW) + bx;
                if (pass == EPass::DcRefine) {
                    b.Refill();
                    if (b.Acc >> 63) c.Dc[at] = static_cast<int16_t>(c.Dc[at] | 1 << shift);
                    b.Skip(1);
                    continue;
                }
                int diff = 0;
                if (!DecodeDc(b, *c.DcTable, diff)) return EResult::Damaged;
                c.Pred = static_cast<int16_t>(c.Pred + diff);
                if (pass == EPass::DcFirst) {
                    c.Dc[at] = static_cast<int16_t>(c.Pred * (1 << shift));
                    continue;
                }
                if (c.Scale == 1) {
                    if (!SkipAc(b, *c.AcTable)) return EResult::Damaged;
                    c.Plane[at] = Limit((c.Pred * c.Quant[0] + 4) >> 3);
                    continue;
                }
                int16_t coef[64] = {};
                coef[0] = c.Pred;
                if (!DecodeAc(b, *c.AcTable, coef)) return EResult::Damaged;
                uint8_t s[4];
                Idct2x2(coef, c.Quant.data(), s);
                const size_t stride = static_cast<size_t>(c.BlocksW) * 2;
                uint8_t* o = &c.Plane[by * 2 * stride + bx * 2];
                o[0] = s[0], o[1] = s[1], o[stride] = s[2], o[stride + 1] = s[3];
            }
            const auto read = static_cast<size_t>(b.Cur - buf_.data());
            if (read + (atMarker_ ? 0 : kMargin) > filled_) {
                if (atMarker_ ? Position(b) > filled_ * 8 : !Reseat(b)) return EResult::Damaged;
            }
            blocksToCheck_ -= static_cast<int>(blocks.size());
            if (blocksToCheck_ <= 0) {
                if (budget_.Spent()) return EResult::TooSlow;
                blocksToCheck_ = kBlocksPerCheck;
            }
        }
    }
    // Whatever follows the last MCU up to the next marker is left aside.
    if (atMarker_ && Position(b) > filled_ * 8) return EResult::Damaged;
    while (!atMarker_) {
        filled_ = 0;
        Fill();
    }
    return EResult::Done;
}

EResult TDecoder::Frame(const uint8_t* seg, size_t n, bool progressive) {
    if (!comps_.empty() || n < 6) return EResult::Damaged;
    if (seg[0] != 8) return EResult::Unsupported;
    height_ = static_cast<int>(Be16(seg + 1));
    width_ = static_cast<int>(Be16(seg + 3));
    const int count = seg[5];
    if (height_ == 0) return EResult::Unsupported; // given after the scan
    if (width_ == 0) return EResult::Damaged;
    if (count != 1 && count != 3) return EResult::Unsupported;
    if (n != 6 + 3 * static_cast<size_t>(count)) return EResult::Damaged;
    comps_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const uint8_t* p = seg + 6 + 3 * i;
        TComponent& c = comps_[static_cast<size_t>(i)];
        c.Id = p[0];
        c.H = p[1] >> 4;
        c.V = p[1] & 15;
        c.QuantTable = p[2];
        if (c.H < 1 || c.H > 2 || c.V < 1 || c.V > 2) return EResult::Unsupported;
        for (int j = 0; j < i; ++j)
            if (comps_[static_cast<size_t>(j)].Id == c.Id) return EResult::Unsupported;
        hMax_ = std::max(hMax_, c.H);
        vMax_ = std::max(vMax_, c.V);
    }
    const int mcusX = (width_ + 8 * hMax_ - 1) / (8 * hMax_);
    const int mcusY = (height_ + 8 * vMax_ - 1) / (8 * vMax_);
    uint64_t bytes = uint64_t{(width_ + 7u) / 8} * ((height_ + 7u) / 8) * 3;
    for (TComponent& c : comps_) {
        // Chroma at half in both directions is decoded at 2x2, not upsampled.
        c.Scale = hMax_ == 2 * c.H && vMax_ == 2 * c.V ? 2 : 1;
        c.BlocksW = mcusX * c.H;
        c.BlocksH = mcusY * c.V;
        c.PicBlocksW = ((width_ * c.H + hMax_ - 1) / hMax_ + 7) / 8;
        c.PicBlocksH = ((height_ * c.V + vMax_ - 1) / vMax_ + 7) / 8;
        // Progressive chroma at 2x2 would need the AC scans.
        if (progressive && c.Scale > 1) return EResult::Unsupported;
        bytes += uint64_t(c.BlocksW) * static_cast<uint64_t>(c.BlocksH) *
                 static_cast<uint64_t>(c.Scale * c.Scale + (progressive ? 2 : 0));
    }
    progressive_ = progressive;
    return bytes > maxBytes_ ? EResult::Unsupported : EResult::Done;
}

EResult TDecoder::Huffman(const uint8_t* seg, size_t n) {
    while (n > 0) {
        if (n < 17) return EResult::Damaged;
        const int cls = seg[0] >> 4, id = seg[0] & 15;
        int total = 0;
        for (int i = 1; i <= 16; ++i)
            total += seg[i];
        if (cls > 1 || id > 3 || total > 256 || n < 17 + static_cast<size_t>(total))
            return EResult::Damaged;
        if (!BuildHuffman(tables_[static_cast<size_t>(cls * 4 + id)], seg + 1, seg + 17, total,
                          cls == 0))
            return EResult::Damaged;
        // Tables cost time to build: a file of thousands of them must stop too.
        if (budget_.Spent()) return EResult::TooSlow;
        seg += 17 + total;
        n -= 17 + static_cast<size_t>(total);
    }
    return EResult::Done;
}

EResult TDecoder::Quant(const uint8_t* seg, size_t n) {
    while (n > 0) {
        const unsigned wide = seg[0] >> 4, id = seg[0] & 15u;
        const size_t need = 1 + 64 * (wide + 1);
        if (wide > 1 || id > 3 || n < need) return EResult::Damaged;
        for (size_t i = 0; i < 64; ++i)
            quant_[id][kNatural[i]] =
                static_cast<int16_t>(wide ? Be16(seg + 1 + 2 * i) : seg[1 + i]);
        quantDefined_[id] = true;
        seg += need;
        n -= need;
    }
    return EResult::Done;
}

EResult TDecoder::Scan(const uint8_t* seg, size_t n, const uint8_t*& at) {
    if (comps_.empty() || n < 1) return EResult::Damaged;
    const size_t count = seg[0];
    if (count < 1 || count > comps_.size() || n != 4 + 2 * count) return EResult::Damaged;
    const uint8_t* tail = seg + 1 + 2 * count;
    const int ss = tail[0], se = tail[1], ah = tail[2] >> 4, al = tail[2] & 15;
    EPass pass = EPass::Sequential;
    if (!progressive_) {
        if (ss != 0 || se != 63 || tail[2] != 0) return EResult::Unsupported;
    } else {
        // What the general decoder refuses (more than 500 scans too) is left to it.
        if (scans_ >= 500 || al > 13 || (ah != 0 && al != ah - 1) ||
            (ss == 0 ? se != 0 : se < ss || se > 63 || count != 1))
            return EResult::Unsupported;
        pass = ss > 0 ? EPass::Ac : ah == 0 ? EPass::DcFirst : EPass::DcRefine;
    }
    if (scans_++ == 0 && comps_.size() == 3) {
        // The colour space as the general decoder guesses it.
        rgb_ =
            !jfif_ && (adobe_ ? adobeTransform_ == 0
                              : comps_[0].Id == 'R' && comps_[1].Id == 'G' && comps_[2].Id == 'B');
    }
    std::vector<TBlockRef> blocks;
    int mcusX = (width_ + 8 * hMax_ - 1) / (8 * hMax_);
    int mcusY = (height_ + 8 * vMax_ - 1) / (8 * vMax_);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = seg + 1 + 2 * i;
        auto it = std::find_if(comps_.begin(), comps_.end(),
                               [&](const TComponent& c) { return c.Id == p[0]; });
        if (it == comps_.end()) return EResult::Damaged;
        TComponent& c = *it;
        // Each DC bit once and in turn: else the scans are not as this reads them.
        if (pass == EPass::Sequential || pass == EPass::DcFirst) {
            if (c.Done) return EResult::Unsupported;
            c.Done = true;
        } else if (pass == EPass::DcRefine && c.DcShift != ah) {
            return EResult::Unsupported;
        }
        if (pass != EPass::Ac) c.DcShift = al;
        const THuffman& dc = tables_[p[1] >> 4 & 3u];
        const THuffman& ac = tables_[4 + (p[1] & 3u)];
        const bool needDc = pass == EPass::Sequential || pass == EPass::DcFirst;
        const bool needAc = pass == EPass::Sequential || pass == EPass::Ac;
        if ((p[1] >> 4) > 3 || (p[1] & 15) > 3 || (needDc && (!dc.Defined || dc.BadDc)) ||
            (needAc && !ac.Defined))
            return EResult::Damaged;
        c.DcTable = &dc;
        c.AcTable = &ac;
        if (!c.Latched) {
            if (c.QuantTable > 3 || !quantDefined_[static_cast<size_t>(c.QuantTable)])
                return EResult::Damaged;
            c.Quant = quant_[static_cast<size_t>(c.QuantTable)];
            c.Latched = true;
        }
        c.Pred = 0;
        const size_t blocksOf = static_cast<size_t>(c.BlocksW) * static_cast<size_t>(c.BlocksH);
        if (needDc) c.Plane.assign(blocksOf * static_cast<size_t>(c.Scale * c.Scale), 0);
        if (pass == EPass::DcFirst) c.Dc.assign(blocksOf, 0);
        if (count == 1) {
            // A scan of one component holds its blocks one by one, the grid's padding left out.
            blocks.push_back({&c, 1, 1, 0, 0});
            mcusX = c.PicBlocksW;
            mcusY = c.PicBlocksH;
        } else {
            for (int dy = 0; dy < c.V; ++dy)
                for (int dx = 0; dx < c.H; ++dx)
                    blocks.push_back({&c, c.H, c.V, dx, dy});
        }
    }
    if (blocks.size() > 10) return EResult::Damaged;
    if (pass == EPass::Ac) {
        at = SkipScan(seg + n, end_);
        return EResult::Done;
    }
    src_ = seg + n;
    const EResult r = Entropy(blocks, mcusX, mcusY, pass, al);
    at = src_;
    return r;
}

void TDecoder::Finish(TRgbImage& out) {
    const int w = (width_ + 7) / 8, h = (height_ + 7) / 8;
    out.Width = w;
    out.Height = h;
    out.Pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    // Where each output column and row falls in each component's samples.
    const size_t n = comps_.size();
    std::vector<size_t> cols(static_cast<size_t>(w) * n);
    for (int x = 0; x < w; ++x)
        for (size_t i = 0; i < n; ++i)
            cols[static_cast<size_t>(x) * n + i] =
                static_cast<size_t>(x * comps_[i].H * comps_[i].Scale / hMax_);
    for (TComponent& c : comps_)
        for (size_t i = 0; i < c.Dc.size(); ++i)
            c.Plane[i] = Limit((c.Dc[i] * c.Quant[0] + 4) >> 3);
    static const TYcc ycc;
    uint8_t* o = out.Pixels.data();
    for (int y = 0; y < h; ++y) {
        const uint8_t* rows[3] = {};
        for (size_t i = 0; i < n; ++i) {
            const TComponent& c = comps_[i];
            rows[i] = c.Plane.data() + static_cast<size_t>(y * c.V * c.Scale / vMax_) *
                                           static_cast<size_t>(c.BlocksW * c.Scale);
        }
        for (int x = 0; x < w; ++x, o += 3) {
            const size_t* col = &cols[static_cast<size_t>(x) * n];
            const int y0 = rows[0][col[0]];
            if (n == 1) {
                o[0] = o[1] = o[2] = static_cast<uint8_t>(y0);
                continue;
            }
            const uint8_t cb = rows[1][col[1]], cr = rows[2][col[2]];
            if (rgb_) {
                o[0] = static_cast<uint8_t>(y0), o[1] = cb, o[2] = cr;
                continue;
            }
            o[0] = Clamp(y0 + ycc.CrR[cr]);
            o[1] = Clamp(y0 + ((ycc.CbG[cb] + ycc.CrG[cr]) >> 16));
            o[2] = Clamp(y0 + ycc.CbB[cb]);
        }
    }
}

EResult TDecoder::Run(TRgbImage& out) {
    if (end_ - data_ < 4 || data_[0] != 0xFF || data_[1] != 0xD8) return EResult::Unsupported;
    const uint8_t* at = data_ + 2;
    for (unsigned segments = 1;; ++segments) {
        if (segments % 1024 == 0 && budget_.Spent()) return EResult::TooSlow;
        if (at >= end_) break; // cut after its last scan: complete if every component came
        if (*at != 0xFF) return EResult::Damaged;
        while (at < end_ && *at == 0xFF)
            ++at;
        if (at >= end_) break;
        const uint8_t code = *at++;
        if (code == 0xD9) break;
        if ((code >= 0xD0 && code <= 0xD7) || code == 0x01) continue;
        if (code == 0xD8 || code == 0x00 || end_ - at < 2) return EResult::Damaged;
        const size_t len = Be16(at);
        if (len < 2 || len > static_cast<size_t>(end_ - at)) return EResult::Damaged;
        const uint8_t* seg = at + 2;
        const size_t n = len - 2;
        at += len;
        EResult r = EResult::Done;
        switch (code) {
        case 0xC0:
        case 0xC1:
        case 0xC2:
            r = Frame(seg, n, code == 0xC2);
            break;
        case 0xC4:
            r = Huffman(seg, n);
            break;
        case 0xDB:
            r = Quant(seg, n);
            break;
        case 0xDD:
            if (n != 2) return EResult::Damaged;
            interval_ = static_cast<int>(Be16(seg));
            break;
        case 0xDA:
            r = Scan(seg, n, at);
            break;
        case 0xE0:
            jfif_ = jfif_ || (n >= 14 && std::memcmp(seg, "JFIF", 5) == 0);
            break;
        case 0xEE:
            if (n >= 12 && std::memcmp(seg, "Adobe", 5) == 0) {
                adobe_ = true;
                adobeTransform_ = seg[11];
            }
            break;
        default:
            // Other frames (progressive, lossless, arithmetic coding) and DNL.
            if ((code >= 0xC0 && code <= 0xCF) || code == 0xDC) return EResult::Unsupported;
            break;
        }
        if (r != EResult::Done) return r;
    }
    if (comps_.empty()) return EResult::Damaged;
    for (const TComponent& c : comps_)
        if (!c.Done) return EResult::Damaged;
    Finish(out);
    return EResult::Done;
}

} // namespace

EEighthResult DecodeJpegEighth(const uint8_t* data, size_t size, size_t maxBytes,
                               const TCpuBudget& budget, TRgbImage& out) {
    TDecoder decoder(data, size, maxBytes, budget);
    return decoder.Run(out);
}
