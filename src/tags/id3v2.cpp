#include "tags/id3v2.h"

#include "tags/binary_file.h"
#include "tags/id3v1.h"
#include "tags/tag_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kWindow = 500; // bytes kept of any frame
constexpr int kKinds = 16;

const char* const kIds3[kKinds] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TCOM",
                                   "TENC", "TCOP", "TLAN", "WXXX", "TDRC", "TOPE", "TIT1", "TOAL"};
const char* const kIds2[kKinds] = {"TT2", "TP1", "TAL", "TRK", "TYE", "TCO", "COM", "TCM",
                                   "TEN", "TCR", "TLA", "WXX", "TOR", "TOA", "TT1", "TOT"};

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
    kOrigAlbum
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

} // namespace

std::string Id3v2DecodeText(const std::string& raw) {
    return Decode(raw);
}

void TID3v2::ResetData() {
    Exists = false;
    VersionID = 0;
    Size = 0;
    Title.clear();
    Artist.clear();
    Album.clear();
    Track = 0;
    TrackString.clear();
    Year.clear();
    Genre.clear();
    Comment.clear();
    Composer.clear();
    Encoder.clear();
    Copyright.clear();
    Language.clear();
    Link.clear();
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
    // Frames end where the footer starts.
    const int64_t end = Size - ((h[5] & 0x10) ? 10 : 0);
    int64_t pos = 10;
    if ((h[5] & 0x40) && VersionID >= 3) {
        // Extended header: 2.3 gives its size without the size field, 2.4 with it.
        unsigned char e[4];
        if (!f.ReadExact(pos, e, 4)) return true;
        int64_t ext = VersionID == 3 ? static_cast<int64_t>(Be32(e)) + 4 : SyncSafe(e);
        if (ext < 4) return true;
        pos += ext;
    }
    const size_t headerLen = VersionID == 2 ? 6 : 10;
    unsigned char buf[10 + kWindow];
    while (pos + static_cast<int64_t>(headerLen) <= end) {
        int64_t got = f.ReadAt(pos, buf, sizeof buf);
        if (got < static_cast<int64_t>(headerLen)) break;
        if (buf[0] < 'A' || buf[0] > 'Z') break; // padding
        uint32_t frameSize;
        unsigned char flags2 = 0;
        if (VersionID == 2)
            frameSize = static_cast<uint32_t>(buf[3]) << 16 | buf[4] << 8 | buf[5];
        else if (VersionID == 3)
            frameSize = Be32(buf + 3 + 1);
        else
            frameSize = SyncSafe(buf + 4);
        if (VersionID >= 3) flags2 = buf[9];
        int64_t dataPos = pos + static_cast<int64_t>(headerLen);
        int64_t avail = std::min<int64_t>(frameSize, end - dataPos);
        if (avail < 0) avail = 0;
        size_t n = static_cast<size_t>(std::min<int64_t>(
            {avail, static_cast<int64_t>(kWindow), got - static_cast<int64_t>(headerLen)}));
        std::string data(reinterpret_cast<const char*>(buf + headerLen), n);
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
                if (flags2 & 0x02) Resync(data);
            }
        }
        if (keep && !data.empty() && static_cast<unsigned char>(data[0]) <= 3) {
            const char* const* ids = VersionID == 2 ? kIds2 : kIds3;
            for (int k = 0; k < kKinds; ++k)
                if (std::memcmp(buf, ids[k], headerLen == 6 ? 3 : 4) == 0) raw[k] = data;
        }
        pos = dataPos + static_cast<int64_t>(frameSize);
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
    if (Year.empty()) Year = Decode(raw[kDate]).substr(0, 4);
    Genre = GenreText(raw[kGenre]);
    Comment = DecodeWithDescription(raw[kComment], true, false);
    Composer = Decode(raw[kComposer]);
    Encoder = Decode(raw[kEncoder]);
    Copyright = Decode(raw[kCopyright]);
    Language = Decode(raw[kLanguage]);
    Link = DecodeWithDescription(raw[kLink], false, true);
    return true;
}
