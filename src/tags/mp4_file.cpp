#include "tags/mp4_file.h"

#include "tags/binary_file.h"
#include "tags/id3v1.h"
#include "text/encodings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxDepth = 10;
constexpr int kMaxAtoms = 20000; // far more than a tagged audio file has
constexpr size_t kTextWindow = 250;

struct TAtom {
    char Type[4];
    int64_t Body; // where the contents start
    int64_t End;
};

// The atom at pos, which must end inside its parent; 64-bit sizes and "to the
// end" (size 0) included.
bool ReadAtom(TBinaryFile& f, int64_t pos, int64_t parentEnd, TAtom& a) {
    unsigned char h[16];
    if (parentEnd - pos < 8 || !f.ReadExact(pos, h, 8)) return false;
    std::memcpy(a.Type, h + 4, 4);
    uint64_t size = Be32(h);
    a.Body = pos + 8;
    if (size == 1) {
        if (parentEnd - pos < 16 || !f.ReadExact(pos + 8, h + 8, 8)) return false;
        size = static_cast<uint64_t>(Be32(h + 8)) << 32 | Be32(h + 12);
        a.Body = pos + 16;
    } else if (size == 0) {
        size = static_cast<uint64_t>(parentEnd - pos);
    }
    if (size < static_cast<uint64_t>(a.Body - pos) || size > static_cast<uint64_t>(parentEnd - pos))
        return false;
    a.End = pos + static_cast<int64_t>(size);
    return true;
}

bool Is(const TAtom& a, const char* type) {
    return std::memcmp(a.Type, type, 4) == 0;
}

// Skips an MPEG-4 descriptor's tag and length (1 to 4 bytes of 7 bits); false
// when the tag differs or the bytes end.
bool Descriptor(const unsigned char* d, size_t len, size_t& p, unsigned char tag) {
    if (p >= len || d[p] != tag) return false;
    ++p;
    for (int i = 0; i < 4 && p < len; ++i)
        if (!(d[p++] & 0x80)) return true;
    return false;
}

// Where an "esds" atom's decoder configuration starts; 0 when it has none.
size_t DecoderConfig(const unsigned char* d, size_t len) {
    size_t p = 4; // version and flags
    if (!Descriptor(d, len, p, 3) || p + 3 > len) return 0;
    const unsigned char flags = d[p + 2];
    p += 3;
    if (flags & 0x80) p += 2;
    if ((flags & 0x40) && p < len) p += 1 + d[p];
    if (flags & 0x20) p += 2;
    if (!Descriptor(d, len, p, 4) || p + 13 > len) return 0;
    return p;
}

// The average bit rate of the decoder configuration, in kbit/s.
uint32_t EsdsAverageKbs(const unsigned char* d, size_t len) {
    size_t p = DecoderConfig(d, len);
    return p ? (Be32(d + p + 9) + 500) / 1000 : 0;
}

// The channel configuration of the AAC decoder's own header (1-6, 7 for 7.1).
unsigned EsdsChannels(const unsigned char* d, size_t len) {
    size_t p = DecoderConfig(d, len);
    if (!p) return 0;
    p += 13;
    if (!Descriptor(d, len, p, 5) || p + 2 > len) return 0;
    const unsigned rateIndex = (d[p] & 7) << 1 | d[p + 1] >> 7;
    if ((d[p] >> 3) == 31 || rateIndex == 15) return 0; // extended layouts: not read
    const unsigned config = (d[p + 1] >> 3) & 0xF;
    return config == 7 ? 8 : config <= 6 ? config : 0;
}

// The sizes in a sample size table added up; 0 when the table is damaged or
// too long to be worth reading (the decoder's average is used then).
uint64_t SampleBytes(TBinaryFile& f, int64_t body, int64_t end) {
    unsigned char h[12];
    if (!f.ReadExact(body, h, 12)) return 0;
    const uint64_t size = Be32(h + 4), count = Be32(h + 8);
    if (size != 0) return size * count;
    if (count > (1u << 22) || static_cast<int64_t>(count * 4) > end - body - 12) return 0;
    uint64_t total = 0;
    std::vector<unsigned char> buf;
    for (uint64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count - done, 16384));
        buf.resize(n * 4);
        if (!f.ReadExact(body + 12 + static_cast<int64_t>(done * 4), buf.data(), buf.size()))
            return 0;
        for (size_t i = 0; i < n; ++i)
            total += Be32(buf.data() + i * 4);
        done += n;
    }
    return total;
}

uint64_t Be64(const unsigned char* p) {
    return static_cast<uint64_t>(Be32(p)) << 32 | Be32(p + 4);
}

} // namespace

struct TMP4file::TWalk {
    int Atoms = 0;
    bool InAudioTrack = false;
    bool AudioTrackSeen = false;
    uint64_t TrackScale = 0, TrackLength = 0; // of the track being walked
    uint64_t MovieScale = 0;
    uint64_t Edited = 0; // the track's edit list, in the movie's time scale
    bool HasEdits = false;
    uint64_t TrackBytes = 0; // the sizes of the track's samples added up
};

bool TMP4file::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    TAtom first;
    // A file that does not start with an atom of a known kind is not MPEG-4.
    if (!ReadAtom(f, 0, f.Size(), first) ||
        (!Is(first, "ftyp") && !Is(first, "moov") && !Is(first, "free") && !Is(first, "wide")))
        return true;
    TWalk w;
    Walk(f, 0, f.Size(), 0, w);
    return true;
}

void TMP4file::Walk(TBinaryFile& f, int64_t pos, int64_t end, int depth, TWalk& w) {
    if (depth > kMaxDepth) return;
    while (pos < end && ++w.Atoms <= kMaxAtoms) {
        TAtom a;
        if (!ReadAtom(f, pos, end, a)) return;
        unsigned char b[32] = {};
        if (Is(a, "moov")) {
            Valid = true;
            Walk(f, a.Body, a.End, depth + 1, w);
        } else if (Is(a, "trak")) {
            w.InAudioTrack = false;
            w.TrackScale = w.TrackLength = w.Edited = w.TrackBytes = 0;
            w.HasEdits = false;
            Walk(f, a.Body, a.End, depth + 1, w);
            // The first audio track's length is the file's: what its edit
            // list plays (without the encoder's priming samples), else all of it.
            if (w.InAudioTrack && w.HasEdits && w.MovieScale > 0) {
                TimeScale = w.MovieScale;
                Length = w.Edited;
            } else if (w.InAudioTrack && w.TrackScale > 0) {
                TimeScale = w.TrackScale;
                Length = w.TrackLength;
            }
            // The bit rate of all the track's samples, priming ones included.
            if (w.InAudioTrack && w.TrackBytes > 0 && w.TrackScale > 0 && w.TrackLength > 0)
                BitRate = static_cast<uint32_t>(
                    std::llround(static_cast<double>(w.TrackBytes) * 8 * w.TrackScale /
                                 static_cast<double>(w.TrackLength) / 1000));
            if (w.InAudioTrack) w.AudioTrackSeen = true;
            w.InAudioTrack = false;
        } else if (Is(a, "mdia") || Is(a, "minf") || Is(a, "stbl") || Is(a, "udta") ||
                   Is(a, "ilst") || Is(a, "edts")) {
            Walk(f, a.Body, a.End, depth + 1, w);
        } else if (Is(a, "meta")) {
            // A full atom (version and flags first) in iTunes files, a plain one in QuickTime.
            unsigned char h[8];
            int64_t body = a.Body;
            if (f.ReadExact(a.Body, h, 8) && std::memcmp(h + 4, "hdlr", 4) != 0) body += 4;
            Walk(f, body, a.End, depth + 1, w);
        } else if (Is(a, "mvhd") || Is(a, "mdhd")) {
            // The movie's length until an audio track gives its own.
            if (f.ReadAt(a.Body, b, 32) < 20) return;
            const bool v1 = b[0] == 1;
            const uint64_t scale = v1 ? Be32(b + 20) : Be32(b + 12);
            const uint64_t length = v1 ? Be64(b + 24) : Be32(b + 16);
            if (Is(a, "mdhd")) {
                w.TrackScale = scale;
                w.TrackLength = length;
            } else {
                w.MovieScale = scale;
                if (!w.AudioTrackSeen) {
                    TimeScale = scale;
                    Length = length;
                }
            }
        } else if (Is(a, "stsz") && w.InAudioTrack && !w.AudioTrackSeen) {
            w.TrackBytes = SampleBytes(f, a.Body, a.End);
        } else if (Is(a, "elst")) {
            ReadEdits(f, a.Body, a.End, w);
        } else if (Is(a, "hdlr") && depth >= 2) {
            if (f.ReadAt(a.Body, b, 12) == 12 && std::memcmp(b + 8, "soun", 4) == 0 &&
                !w.AudioTrackSeen)
                w.InAudioTrack = true;
        } else if (Is(a, "stsd") && w.InAudioTrack && !w.AudioTrackSeen) {
            TAtom entry;
            if (ReadAtom(f, a.Body + 8, a.End, entry)) ReadSampleEntry(f, entry.Body, entry.End);
            if (ReadAtom(f, a.Body + 8, a.End, entry)) {
                std::string type(entry.Type, 4);
                // Any other four-character code is shown only when it is printable text.
                const bool printable = std::all_of(type.begin(), type.end(),
                                                   [](char c) { return c >= 0x20 && c < 0x7F; });
                Codec = type == "mp4a"   ? "AAC"
                        : type == "alac" ? "ALAC"
                        : printable      ? TrimControl(type)
                                         : std::string();
            }
        } else if (depth >= 3 && (a.Type[0] == '\xA9' || Is(a, "trkn") || Is(a, "gnre"))) {
            ReadItem(f, a.Type, a.Body, a.End);
        }
        pos = a.End;
    }
}

// The segments of an edit list that play media (an empty edit has time -1).
void TMP4file::ReadEdits(TBinaryFile& f, int64_t body, int64_t end, TWalk& w) {
    unsigned char h[8];
    if (!f.ReadExact(body, h, 8)) return;
    const bool v1 = h[0] == 1;
    const uint32_t count = Be32(h + 4);
    const int64_t size = v1 ? 20 : 12;
    int64_t pos = body + 8;
    for (uint32_t i = 0; i < count && i < 64 && pos + size <= end; ++i, pos += size) {
        unsigned char e[20];
        if (!f.ReadExact(pos, e, static_cast<size_t>(size))) return;
        const uint64_t duration = v1 ? Be64(e) : Be32(e);
        const int64_t time =
            v1 ? static_cast<int64_t>(Be64(e + 8)) : static_cast<int32_t>(Be32(e + 4));
        if (time == -1) continue;
        w.Edited += duration;
        w.HasEdits = true;
    }
}

// An audio sample entry: channels and rate, then its codec's own atoms.
void TMP4file::ReadSampleEntry(TBinaryFile& f, int64_t pos, int64_t end) {
    unsigned char b[28];
    if (end - pos < 28 || !f.ReadExact(pos, b, 28)) return;
    Channels = Be16(b + 16);
    SampleRate = Be32(b + 24) >> 16;
    const uint16_t version = Be16(b + 8);
    int64_t child = pos + 28 + (version == 1 ? 16 : version == 2 ? 36 : 0);
    for (int i = 0; i < 16 && child < end; ++i) {
        TAtom a;
        if (!ReadAtom(f, child, end, a)) return;
        unsigned char d[64] = {};
        const int64_t got = f.ReadAt(a.Body, d, std::min<int64_t>(sizeof d, a.End - a.Body));
        if (Is(a, "alac") && got >= 28) {
            // Version and flags, then the codec's own configuration.
            Channels = d[13];
            BitRate = (Be32(d + 20) + 500) / 1000;
            if (Be32(d + 24)) SampleRate = Be32(d + 24);
        } else if (Is(a, "esds")) {
            const size_t n = static_cast<size_t>(std::max<int64_t>(got, 0));
            BitRate = EsdsAverageKbs(d, n);
            // The entry's own count is often a fixed 2; the decoder's configuration tells.
            if (unsigned ch = EsdsChannels(d, n)) Channels = static_cast<uint16_t>(ch);
        }
        child = a.End;
    }
}

// One tag item: its "data" atom holds the value.
void TMP4file::ReadItem(TBinaryFile& f, const char* type, int64_t pos, int64_t end) {
    TAtom data;
    if (!ReadAtom(f, pos, end, data) || !Is(data, "data")) return;
    const int64_t len = std::min<int64_t>(data.End - data.Body, 8 + kTextWindow);
    if (len < 8) return;
    unsigned char b[8 + kTextWindow];
    if (!f.ReadExact(data.Body, b, static_cast<size_t>(len))) return;
    const std::string text =
        TrimControl(DecodeUtf8Lenient(std::string_view(reinterpret_cast<char*>(b + 8), len - 8)));
    const std::string t(type, 4);
    if (t == "\xA9nam") Title = text;
    if (t == "\xA9"
             "ART")
        Artist = text;
    if (t == "\xA9"
             "alb")
        Album = text;
    if (t == "\xA9"
             "day")
        Year = DecodeUtf8Lenient(text.substr(0, 4)); // whole characters only
    if (t == "\xA9gen") Genre = text;
    if (t == "\xA9"
             "cmt")
        Comment = text;
    if (t == "trkn" && len >= 12) Track = Be16(b + 10);
    // A genre code of the ID3v1 list, plus one.
    if (t == "gnre" && len >= 10 && Genre.empty()) {
        const unsigned code = Be16(b + 8);
        if (code >= 1 && code <= kId3v1GenreCount) Genre = Id3v1GenreName(code - 1);
    }
}

double TMP4file::Duration() const {
    return TimeScale > 0 ? static_cast<double>(Length) / static_cast<double>(TimeScale) : 0;
}
