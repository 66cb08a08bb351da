#include "tags/mpeg_audio.h"

#include "tags/binary_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

const char* const kVersionNames[4] = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
const char* const kLayerNames[4] = {"Layer ?", "Layer III", "Layer II", "Layer I"};
const char* const kModeNames[5] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};
const char* const kEmphasisNames[4] = {"None", "50/15 ms", "Unknown", "CCIT J.17"};
const char* const kEncoderNames[7] = {"Unknown", "Xing", "FhG", "LAME", "Blade", "GoGo", "Shine"};

const uint16_t kBitRates[4][4][16] = {
    // MPEG 2.5
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // reserved
    {{0}, {0}, {0}, {0}},
    // MPEG 2
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // MPEG 1
    {{0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}}};

const uint32_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

uint16_t TableBitRate(const TMPEGaudio::TFrame& f) {
    return kBitRates[f.VersionID & 3][f.LayerID & 3][f.BitRateID & 15];
}
uint32_t TableSampleRate(const TMPEGaudio::TFrame& f) {
    return kSampleRates[f.VersionID & 3][f.SampleRateID & 3];
}
// Samples per frame / 8: 384 for layer I and 1152 for layer II in every
// version; layer III has 576 outside MPEG 1.
int Coefficient(const TMPEGaudio::TFrame& f) {
    if (f.LayerID == 3) return 48;
    if (f.LayerID == 2) return 144;
    return f.VersionID == 3 ? 144 : 72;
}
int Padding(const TMPEGaudio::TFrame& f) {
    if (!f.PaddingBit) return 0;
    return f.LayerID == 3 ? 4 : 1;
}
int VbrOffset(const TMPEGaudio::TFrame& f) {
    if (f.VersionID == 3) return f.ModeID == 3 ? 21 : 36;
    return f.ModeID == 3 ? 13 : 21;
}

void Decode(const unsigned char* b, TMPEGaudio::TFrame& f) {
    std::memcpy(f.Data, b, 4);
    f.VersionID = (b[1] >> 3) & 3;
    f.LayerID = (b[1] >> 1) & 3;
    f.ProtectionBit = (b[1] & 1) == 0;
    f.BitRateID = b[2] >> 4;
    f.SampleRateID = (b[2] >> 2) & 3;
    f.PaddingBit = (b[2] >> 1) & 1;
    f.PrivateBit = b[2] & 1;
    f.ModeID = b[3] >> 6;
    f.ModeExtensionID = (b[3] >> 4) & 3;
    f.CopyrightBit = (b[3] >> 3) & 1;
    f.OriginalBit = (b[3] >> 2) & 1;
    f.EmphasisID = b[3] & 3;
}

bool StartsWith(const std::string& s, const char* p) {
    return s.rfind(p, 0) == 0;
}

// A following header belongs to the same stream: same version, layer and rate.
bool SameStream(const unsigned char* a, const unsigned char* b) {
    return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C);
}

// A Xing or Info header at x; its flags say which fields follow.
bool ReadXing(const unsigned char* w, int len, int x, TMPEGaudio::TVBR& vbr) {
    if (x + 8 > len) return false;
    if (std::memcmp(w + x, "Xing", 4) != 0 && std::memcmp(w + x, "Info", 4) != 0) return false;
    const uint32_t flags = Be32(w + x + 4);
    vbr = TMPEGaudio::TVBR();
    vbr.Found = true;
    std::memcpy(vbr.ID, w + x, 4);
    int p = x + 8;
    if (flags & 1) {
        if (p + 4 > len) return true;
        vbr.Frames = Be32(w + p);
        p += 4;
    }
    if (flags & 2) {
        if (p + 4 > len) return true;
        vbr.Bytes = Be32(w + p);
        p += 4;
    }
    if (flags & 4) p += 100; // seek table
    if (flags & 8) {
        if (p + 4 > len) return true;
        vbr.Scale = w[p + 3];
        p += 4;
    }
    // The encoder's version text, such as LAME3.100, follows.
    if (p + 4 <= len) {
        int n = std::min(9, len - p);
        vbr.VendorID.assign(reinterpret_cast<const char*>(w + p), static_cast<size_t>(n));
    }
    return true;
}

// A VBRI header sits 32 bytes after the frame header whatever the version and mode.
bool ReadVbri(const unsigned char* w, int len, int x, TMPEGaudio::TVBR& vbr) {
    if (x + 18 > len || std::memcmp(w + x, "VBRI", 4) != 0) return false;
    vbr = TMPEGaudio::TVBR();
    vbr.Found = true;
    std::memcpy(vbr.ID, "VBRI", 4);
    vbr.Scale = w[x + 9];
    vbr.Bytes = Be32(w + x + 10);
    vbr.Frames = Be32(w + x + 14);
    return true;
}

uint32_t SyncSafe(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 21 | static_cast<uint32_t>(p[1]) << 14 |
           static_cast<uint32_t>(p[2]) << 7 | p[3];
}

} // namespace

bool TMPEGaudio::IsFrameHeader(const unsigned char* b) {
    return b[0] == 0xFF && b[1] >= 0xE0 && ((b[1] >> 3) & 3) != 1 && ((b[1] >> 1) & 3) != 0 &&
           b[2] < 0xF0 && b[2] > 0x0F && ((b[2] >> 2) & 3) != 3 && (b[3] & 3) != 2;
}

bool TMPEGaudio::IsSystemStream(const unsigned char* b, size_t len) {
    // Pack, system or sequence header, or a packet of an elementary stream.
    if (len >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] >= 0xB3) return true;
    // Transport stream packets of 188 bytes, or of 192 with a time code in front.
    if (len >= 189 && b[0] == 0x47 && b[188] == 0x47) return true;
    if (len >= 197 && b[4] == 0x47 && b[196] == 0x47) return true;
    return false;
}

uint16_t TMPEGaudio::FrameLength(const TFrame& f) {
    uint32_t sr = TableSampleRate(f);
    if (sr == 0) return 0;
    const uint64_t br = static_cast<uint64_t>(TableBitRate(f)) * 1000;
    // Layer I counts in 4-byte slots.
    if (f.LayerID == 3) return static_cast<uint16_t>((12 * br / sr + (f.PaddingBit ? 1 : 0)) * 4);
    uint64_t len = static_cast<uint64_t>(Coefficient(f)) * br / sr;
    return static_cast<uint16_t>(len + static_cast<uint64_t>(Padding(f)));
}

bool TMPEGaudio::FindFrame(const unsigned char* w, int len, TFrame& frame, TVBR& vbr, int last) {
    frame = TFrame();
    frame.VersionID = 0; // the search starts from an all-zero record
    frame.SampleRateID = 0;
    frame.ModeID = 0;
    frame.ModeExtensionID = 0;
    frame.EmphasisID = 0;
    vbr = TVBR();
    last = std::min(last, len - 4);
    for (int p = 0; p <= last; ++p) {
        if (w[p] != 0xFF) {
            const void* next = std::memchr(w + p, 0xFF, static_cast<size_t>(last - p + 1));
            if (!next) break;
            p = static_cast<int>(static_cast<const unsigned char*>(next) - w);
        }
        if (!IsFrameHeader(w + p)) continue;
        TFrame f = frame;
        Decode(w + p, f);
        int n = FrameLength(f);
        if (n <= 0 || p + n + 4 > len || !IsFrameHeader(w + p + n) || !SameStream(w + p, w + p + n))
            continue;
        f.Found = true;
        f.Position = p;
        f.Offset = p;
        f.Size = static_cast<uint16_t>(n);
        f.Xing = p + 10 <= len && std::all_of(w + p + 4, w + p + 10, [](auto c) { return c == 0; });
        frame = f;
        if (!ReadXing(w, len, p + VbrOffset(f), vbr)) ReadVbri(w, len, p + 36, vbr);
        return true;
    }
    return false;
}

std::string TMPEGaudio::FindVendorID(const unsigned char* w, int len, int frameSize) {
    // Stays inside the window however short it is or however long the frame.
    const int maxK = std::min(2 * frameSize, len - 8);
    for (int k = 0; k <= maxK; ++k) {
        const unsigned char* p = w + len - k - 8;
        if (std::memcmp(p, "LAME", 4) == 0) {
            // Nine characters when the window holds them: LAME3.100.
            size_t n = k >= 1 ? 9 : 8;
            return std::string(reinterpret_cast<const char*>(p), n);
        }
        if (std::memcmp(p, "GOGO", 4) == 0) return "GOGO";
    }
    return {};
}

bool TMPEGaudio::FindFirstFrame(TBinaryFile& f, int64_t start) {
    // The frame is looked for in windows that overlap by the longest frame, so
    // that every start position is tried with its successor in the same window.
    constexpr int kLongest = kWindow / 2;
    std::vector<unsigned char> w(kWindow);
    const int64_t reach = std::min(FileLength, start + kSearchReach);
    for (int64_t pos = start; pos < reach;) {
        // The first window is small: nearly every file has its frame right there.
        const int size = pos == start ? kWindow : 64 * 1024 + kLongest;
        w.resize(static_cast<size_t>(size));
        int64_t got = f.ReadZeroFilled(pos, w.data(), w.size());
        if (got < 0) return false;
        const int len = static_cast<int>(got);
        const bool atEnd = len < size;
        // Start positions tried here; the rest come first in the next window.
        int last = atEnd ? len - 4 : len - kLongest - 1;
        if (pos == start) last = std::max(last, kLongest);
        last = static_cast<int>(std::min<int64_t>(last, reach - pos - 1));
        if (FindFrame(w.data(), len, Frame, VBR, last)) {
            const int64_t at = pos + Frame.Position;
            if (Frame.Position != 0) {
                // Again from the frame itself, so that its VBR header is in the window.
                w.resize(kWindow);
                got = f.ReadZeroFilled(at, w.data(), w.size());
                if (got < 0 || !FindFrame(w.data(), static_cast<int>(got), Frame, VBR, 0))
                    return false;
            }
            Frame.Offset = at;
            return true;
        }
        if (atEnd) break;
        pos += std::max(last + 1, 1);
    }
    return false;
}

bool TMPEGaudio::ReadFromFile(const std::string& path) {
    ResetData();
    bool ok = ID3v1.ReadFromFile(path) && ID3v2.ReadFromFile(path);
    if (ok) {
        TBinaryFile f(path);
        ok = f.IsOpen();
        if (ok) {
            FileLength = f.Size();
            unsigned char head[200];
            int64_t got = f.ReadZeroFilled(0, head, sizeof head);
            ok = got >= 0;
            // A video file's audio is not this file's audio.
            if (ok && !IsSystemStream(head, static_cast<size_t>(got))) {
                // A second tag may follow the first one.
                int64_t start = ID3v2.Size;
                for (int i = 0; i < 8; ++i) {
                    unsigned char h[10];
                    if (!f.ReadExact(start, h, 10) || std::memcmp(h, "ID3", 3) != 0) break;
                    start += static_cast<int64_t>(SyncSafe(h + 6)) + 10 + ((h[5] & 0x10) ? 10 : 0);
                }
                bool found = FindFirstFrame(f, start);
                if (!found && FileLength - start > kSearchReach) {
                    // Damage at the start: look in the middle, as a player would resync.
                    std::vector<unsigned char> w(kWindow);
                    const int64_t mid = start + (FileLength - start) / 2;
                    got = f.ReadZeroFilled(mid, w.data(), w.size());
                    ok = got >= 0;
                    if (ok && FindFrame(w.data(), static_cast<int>(got), Frame, VBR))
                        Frame.Offset = mid + Frame.Position;
                }
            }
            if (ok && Frame.Found && !VBR.Found) {
                std::vector<unsigned char> w(kWindow);
                int64_t end = FileLength - (ID3v1.Exists ? 128 : 0);
                int64_t begin = std::max<int64_t>(0, end - kWindow);
                int len = static_cast<int>(end - begin);
                got = f.ReadZeroFilled(begin, w.data(), static_cast<size_t>(len));
                ok = got == len;
                if (ok) VendorID = FindVendorID(w.data(), len, Frame.Size);
            }
        }
    }
    if (!Frame.Found) {
        // Also empties both tags: without audio the file is not taken as MPEG.
        ResetData();
    }
    return ok;
}

std::string TMPEGaudio::VersionName() const {
    return kVersionNames[Frame.VersionID & 3];
}
std::string TMPEGaudio::LayerName() const {
    return kLayerNames[Frame.LayerID & 3];
}
std::string TMPEGaudio::ChannelModeName() const {
    return kModeNames[std::min<int>(Frame.ModeID, 4)];
}
std::string TMPEGaudio::EmphasisName() const {
    return kEmphasisNames[Frame.EmphasisID & 3];
}
uint32_t TMPEGaudio::SampleRate() const {
    return TableSampleRate(Frame);
}

uint16_t TMPEGaudio::BitRate() const {
    // An Info header marks a constant bit rate: the frame's own rate is exact.
    const bool info = std::memcmp(VBR.ID, "Info", 4) == 0;
    if (VBR.Found && VBR.Frames >= 1 && !info) {
        double v =
            (static_cast<double>(VBR.Bytes) / static_cast<double>(VBR.Frames) - Padding(Frame)) *
            SampleRate() / Coefficient(Frame) / 1000.0;
        v = std::nearbyint(v);
        return v > 0 && v < 65536 ? static_cast<uint16_t>(v) : 0;
    }
    return TableBitRate(Frame);
}

int64_t TMPEGaudio::Frames() const {
    if (!Frame.Found) return 0;
    if (VBR.Found) return VBR.Frames;
    uint16_t n = FrameLength(Frame);
    if (n == 0) return 0;
    return (FileLength - Frame.Offset) / n;
}

double TMPEGaudio::Duration() const {
    if (!Frame.Found) return 0;
    if (VBR.Found && VBR.Frames > 0) {
        if (SampleRate() == 0) return 0;
        return static_cast<double>(Coefficient(Frame)) * 8.0 * static_cast<double>(VBR.Frames) /
               SampleRate();
    }
    uint16_t br = TableBitRate(Frame);
    if (br == 0) return 0;
    return static_cast<double>(FileLength - Frame.Offset) * 8.0 / br / 1000.0;
}

uint8_t TMPEGaudio::EncoderID() const {
    if (!Frame.Found) return 0;
    uint8_t id;
    if (VBR.Found) {
        id = 0;
        const std::string& v = VBR.VendorID;
        if (StartsWith(v, "LAME")) id = 3;
        if (StartsWith(v, "GOGO")) id = 5;
        if (StartsWith(v, "MPGE")) id = 5;
        const bool xing =
            std::memcmp(VBR.ID, "Xing", 4) == 0 || std::memcmp(VBR.ID, "Info", 4) == 0;
        if (xing && !StartsWith(v, "LAME") && !StartsWith(v, "GOGO") && !StartsWith(v, "MPGE"))
            id = 1;
        if (std::memcmp(VBR.ID, "VBRI", 4) == 0) id = 2;
        return id;
    }
    id = 2;
    if (Frame.OriginalBit && Frame.ProtectionBit) id = 3;
    if (TableBitRate(Frame) <= 160 && Frame.ModeID == 0) id = 4;
    if (Frame.CopyrightBit && Frame.OriginalBit && !Frame.ProtectionBit) id = 1;
    if (Frame.Xing && Frame.OriginalBit) id = 1;
    if (Frame.ModeID == 2 && Frame.ProtectionBit) id = 6;
    if (StartsWith(VendorID, "LAME")) id = 3;
    if (StartsWith(VendorID, "GOGO")) id = 5;
    return id;
}

std::string TMPEGaudio::EncoderName() const {
    uint8_t id = EncoderID();
    std::string name = kEncoderNames[id < 7 ? id : 0];
    std::string v = VendorID.empty() ? VBR.VendorID : VendorID;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (id == 3 && v.size() > 7 && digit(v[4]) && v[5] == '.' && digit(v[6]) && digit(v[7])) {
        // The whole number: 3.90, 3.100 (a letter after it, as in 3.99r, is dropped).
        size_t end = 8;
        while (end < v.size() && digit(v[end]))
            ++end;
        name += " " + v.substr(4, end - 4);
    }
    return name;
}
