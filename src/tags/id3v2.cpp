#include "tags/id3v2.h"

#include "tags/binary_file.h"
#include "tags/id3v1.h"
#include "text/encodings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kWindow = 500; // bytes kept of any frame
constexpr int kKinds = 17;

// Version 2.2 has no release date frame: "---" never matches a frame.
const char* const kIds3[kKinds] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON",
                                   "COMM", "TCOM", "TENC", "TCOP", "TLAN", "WXXX",
                                   "TDRC", "TOPE", "TIT1", "TOAL", "TDRL"};
const char* const kIds2[kKinds] = {"TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "COM", "TCM", "TEN",
                                   "TCR", "TLA", "WXX", "TOR", "TOA", "TT1", "TOT", "---"};

enum {
    kTitle,
    kArtist,
    kAlbum,
    kTrack,
    kYear,
    kGenre,
    kComment,
    kComposer,
    kEncoder,
    kCopyright,
    kLanguage,
    kLink,
    kDate,
    kOrigArtist,
    kGroup,
    kOrigAlbum,
    kReleaseDate
};

uint32_t SyncSafe(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 21 | static_cast<uint32_t>(p[1]) << 14 |
           static_cast<uint32_t>(p[2]) << 7 | p[3];
}

bool Wide(unsigned char enc) {
    return enc == 1 || enc == 2;
}

// Offset of the terminator of the string starting at `from` (aligned for UTF-16), or npos.
size_t FindTerminator(std::string_view s, size_t from, bool wide) {
    if (!wide) return s.find('\0', from);
    for (size_t i = from; i + 1 < s.size(); i += 2)
        if (s[i] == 0 && s[i + 1] == 0) return i;
    return std::string_view::npos;
}

std::string DecodeOne(std::string_view part, unsigned char enc) {
    switch (enc) {
    case 1:
        return TrimControl(Utf16ToUtf8(part, false, false));
    case 2:
        return TrimControl(Utf16ToUtf8(part, true, false));
    case 3:
        return TrimControl(DecodeUtf8Lenient(part));
    default:
        return Id3Latin1Text(TrimControl(part));
    }
}

// Text after the encoding byte; several zero-separated values (2.4) are joined with "/".
std::string DecodeBody(std::string_view body, unsigned char enc) {
    bool wide = Wide(enc);
    std::string out;
    size_t pos = 0;
    while (pos < body.size()) {
        size_t end = FindTerminator(body, pos, wide);
        if (end == std::string_view::npos) end = body.size();
        std::string part = DecodeOne(body.substr(pos, end - pos), enc);
        if (!part.empty()) {
            if (!out.empty()) out += '/';
            out += part;
        }
        pos = end + (wide ? 2 : 1);
    }
    return out;
}

std::string Decode(const std::string& raw) {
    if (raw.empty()) return {};
    return DecodeBody(std::string_view(raw).substr(1), static_cast<unsigned char>(raw[0]));
}

// COMM and WXXX: encoding, (language), description, terminator, text. A URL is
// always Latin-1 whatever the description's encoding.
std::string DecodeWithDescription(const std::string& raw, bool language, bool url) {
    if (raw.empty()) return {};
    auto enc = static_cast<unsigned char>(raw[0]);
    std::string_view s(raw);
    size_t start = 1 + (language ? 3 : 0);
    if (start > s.size()) return {};
    size_t term = FindTerminator(s, start, Wide(enc));
    if (term == std::string_view::npos) return {};
    std::string_view rest = s.substr(term + (Wide(enc) ? 2 : 1));
    if (url) return DecodeBody(rest, 0);
    return DecodeBody(rest, enc);
}

// Whether a TXXX frame's description is `name` (upper case), ignoring case.
bool IsNamed(const std::string& raw, const char* name) {
    const auto enc = static_cast<unsigned char>(raw[0]);
    const std::string_view s(raw);
    const size_t term = FindTerminator(s, 1, Wide(enc));
    if (term == std::string_view::npos) return false;
    return AsciiUpper(DecodeOne(s.substr(1, term - 1), enc)) == name;
}

std::string GenreText(const std::string& raw) {
    std::string g = Decode(raw);
    size_t close = g.rfind(')');
    std::string rest = close == std::string::npos ? g : TrimControl(g.substr(close + 1));
    if (!rest.empty()) {
        // Version 2.4 may store the bare code.
        if (rest.find_first_not_of("0123456789") == std::string::npos && rest.size() <= 3) {
            unsigned code = static_cast<unsigned>(std::stoi(rest));
            if (code < kId3v1GenreCount) return Id3v1GenreName(code);
        }
        return rest;
    }
    // Only "(n)" references: the name of the first code, so the genre is not lost.
    size_t open = g.find('(');
    if (open != std::string::npos) {
        size_t end = g.find(')', open);
        std::string num = g.substr(open + 1, end - open - 1);
        if (!num.empty() && num.size() <= 3 &&
            num.find_first_not_of("0123456789") == std::string::npos) {
            unsigned code = static_cast<unsigned>(std::stoi(num));
            if (code < kId3v1GenreCount) return Id3v1GenreName(code);
        }
    }
    return {};
}

// Undoes unsynchronisation (FF 00 -> FF) in place.
void Resync(std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        out += s[i];
        if (static_cast<unsigned char>(s[i]) == 0xFF && i + 1 < s.size() && s[i + 1] == 0) ++i;
    }
    s.swap(out);
}

// The tag's bytes after its header, in order, up to the footer; with the
// unsynchronisation of the whole tag (FF 00 for FF) undone when it has one.
class TTagStream {
public:
    TTagStream(TBinaryFile& f, int64_t pos, int64_t end, bool unsync)
        : f_(f), raw_(pos), end_(end), unsync_(unsync) {}

    // Reads up to n bytes; the count read.
    size_t Read(unsigned char* out, size_t n) { return Take(out, n); }
    // False when the tag ends first.
    bool Skip(uint64_t n) {
        if (!unsync_) {
            // Plain bytes: no need to look at them.
            const uint64_t inBuf = len_ - at_;
            if (n <= inBuf) {
                at_ += static_cast<size_t>(n);
                return true;
            }
            n -= inBuf;
            at_ = len_ = 0;
            if (n > static_cast<uint64_t>(end_ - raw_)) {
                raw_ = end_;
                return false;
            }
            raw_ += static_cast<int64_t>(n);
            return true;
        }
        while (n > 0) {
            const size_t k = static_cast<size_t>(std::min<uint64_t>(n, 4096));
            if (Take(nullptr, k) < k) return false;
            n -= k;
        }
        return true;
    }

private:
    size_t Take(unsigned char* out, size_t n) {
        size_t done = 0;
        while (done < n) {
            if (at_ == len_ && !Fill()) break;
            const unsigned char c = buf_[at_++];
            if (unsync_ && lastFF_ && c == 0) {
                lastFF_ = false;
                continue;
            }
            lastFF_ = c == 0xFF;
            if (out) out[done] = c;
            ++done;
        }
        return done;
    }
    bool Fill() {
        if (raw_ >= end_) return false;
        const size_t want = static_cast<size_t>(std::min<int64_t>(sizeof buf_, end_ - raw_));
        const int64_t got = f_.ReadAt(raw_, buf_, want);
        if (got <= 0) return false;
        raw_ += got;
        at_ = 0;
        len_ = static_cast<size_t>(got);
        return true;
    }

    TBinaryFile& f_;
    int64_t raw_, end_;
    bool unsync_;
    unsigned char buf_[8192];
    size_t len_ = 0, at_ = 0;
    bool lastFF_ = false;
};

} // namespace

std::string Id3v2DecodeText(const std::string& raw) {
    return Decode(raw);
}

bool TID3v2::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    unsigned char h[10];
    if (!f.ReadExact(0, h, 10)) return false;
    if (h[0] != 'I' || h[1] != 'D' || h[2] != '3') return true;
    Exists = true;
    VersionID = h[3];
    int64_t size = static_cast<int64_t>(SyncSafe(h + 6)) + 10 + ((h[5] & 0x10) ? 10 : 0);
    if (f.Size() < size) size = 0;
    Size = size;
    if (VersionID < 2 || VersionID > 4 || Size <= 0) return true;

    std::array<std::string, kKinds> raw;
    // A user text frame named "comment": how some encoders write the comment.
    std::string userComment;
    // Frames end where the footer starts.
    const bool footer = (h[5] & 0x10) != 0;
    // Unsynchronisation covers the whole tag before 2.4 and each frame in 2.4.
    const bool unsyncTag = (h[5] & 0x80) != 0;
    TTagStream ts(f, 10, Size - (footer ? 10 : 0), unsyncTag && VersionID < 4);
    if ((h[5] & 0x40) && VersionID >= 3) {
        // Extended header: 2.3 gives its size without the size field, 2.4 with it.
        unsigned char e[4];
        if (ts.Read(e, 4) < 4) return true;
        int64_t ext = VersionID == 3 ? static_cast<int64_t>(Be32(e)) + 4 : SyncSafe(e);
        if (ext < 4 || !ts.Skip(static_cast<uint64_t>(ext - 4))) return true;
    }
    const size_t headerLen = VersionID == 2 ? 6 : 10;
    unsigned char buf[kWindow];
    for (;;) {
        unsigned char fh[10];
        if (ts.Read(fh, headerLen) < headerLen) break;
        if (fh[0] < 'A' || fh[0] > 'Z') break; // padding
        uint32_t frameSize;
        unsigned char flags2 = 0;
        if (VersionID == 2)
            frameSize = static_cast<uint32_t>(fh[3]) << 16 | fh[4] << 8 | fh[5];
        else if (VersionID == 3)
            frameSize = Be32(fh + 4);
        else
            frameSize = SyncSafe(fh + 4);
        if (VersionID >= 3) flags2 = fh[9];
        const size_t n = ts.Read(buf, std::min<size_t>(frameSize, kWindow));
        std::string data(reinterpret_cast<const char*>(buf), n);
        bool keep = true;
        if (VersionID == 3) {
            if (flags2 & 0xC0)
                keep = false; // compressed or encrypted
            else if (flags2 & 0x20)
                data.erase(0, std::min<size_t>(1, data.size())); // group id
        } else if (VersionID == 4) {
            if (flags2 & 0x0C)
                keep = false; // compressed or encrypted
            else {
                if (flags2 & 0x40) data.erase(0, std::min<size_t>(1, data.size()));
                if (flags2 & 0x01) data.erase(0, std::min<size_t>(4, data.size()));
                if ((flags2 & 0x02) || unsyncTag) Resync(data);
            }
        }
        if (keep && !data.empty() && static_cast<unsigned char>(data[0]) <= 3) {
            const char* const* ids = VersionID == 2 ? kIds2 : kIds3;
            for (int k = 0; k < kKinds; ++k)
                if (std::memcmp(fh, ids[k], headerLen == 6 ? 3 : 4) == 0) raw[k] = data;
            if (std::memcmp(fh, VersionID == 2 ? "TXX" : "TXXX", headerLen == 6 ? 3 : 4) == 0 &&
                IsNamed(data, "COMMENT"))
                userComment = data;
        }
        if (!ts.Skip(frameSize - n)) break;
    }

    auto pick = [&](int main, int alt) {
        std::string s = Decode(raw[main]);
        return s.empty() ? Decode(raw[alt]) : s;
    };
    Title = pick(kTitle, kGroup);
    Artist = pick(kArtist, kOrigArtist);
    Album = pick(kAlbum, kOrigAlbum);
    TrackString = Decode(raw[kTrack]);
    int32_t track = LeadingInt(TrackString);
    Track = track > 0 && track <= 0xFFFF ? static_cast<uint16_t>(track) : 0;
    Year = Decode(raw[kYear]);
    if (Year.empty()) Year = DecodeUtf8Lenient(Decode(raw[kDate]).substr(0, 4));
    if (Year.empty()) Year = DecodeUtf8Lenient(Decode(raw[kReleaseDate]).substr(0, 4));
    Genre = GenreText(raw[kGenre]);
    Comment = DecodeWithDescription(raw[kComment], true, false);
    if (Comment.empty()) Comment = DecodeWithDescription(userComment, false, false);
    Composer = Decode(raw[kComposer]);
    Encoder = Decode(raw[kEncoder]);
    Copyright = Decode(raw[kCopyright]);
    Language = Decode(raw[kLanguage]);
    Link = DecodeWithDescription(raw[kLink], false, true);
    return true;
}
