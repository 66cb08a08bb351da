#include "tags/wma_file.h"

#include "tags/binary_file.h"
#include "text/encodings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// GUIDs in their stored byte order.
const unsigned char kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const unsigned char kFileProps[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const unsigned char kStreamProps[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                        0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const unsigned char kContentDesc[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const unsigned char kExtContentDesc[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                           0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const unsigned char kAudioStream[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                        0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

constexpr size_t kMaxChars = 250;

enum {
    kSlotTitle = 1,
    kSlotAuthor,
    kSlotAlbum,
    kSlotTrack,
    kSlotYear,
    kSlotGenre,
    kSlotDesc,
    // Where some tools write the comment and the date: used when the standard
    // places are empty.
    kSlotOtherDesc,
    kSlotDate,
    kSlotCount
};

// Reads a UTF-16 string of n bytes at pos, at most 250 characters of it.
bool ReadString(TBinaryFile& f, int64_t pos, uint32_t n, std::string& out) {
    size_t bytes = std::min<size_t>(n / 2, kMaxChars) * 2;
    char buf[kMaxChars * 2];
    if (!f.ReadExact(pos, buf, bytes)) return false;
    out = Utf16ToUtf8(std::string_view(buf, bytes), false, true);
    return true;
}

struct TScratch {
    uint32_t MaxBitRate = 0;
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t ByteRate = 0;
    uint64_t PlayDuration = 0; // 100 ns units
    uint64_t Preroll = 0;      // ms
    bool AudioSeen = false;
    std::array<std::string, kSlotCount> Slots;
    int32_t TrackNumber = -1; // from WM/TrackNumber, preferred over WM/Track
};

bool ReadExtended(TBinaryFile& f, int64_t pos, int64_t end, TScratch& s) {
    unsigned char c[2];
    if (!f.ReadExact(pos + 24, c, 2)) return false;
    unsigned count = Le16(c);
    pos += 26;
    for (unsigned i = 0; i < count && pos < end; ++i) {
        unsigned char h[2];
        if (!f.ReadExact(pos, h, 2)) return false;
        uint16_t nameLen = Le16(h);
        std::string name;
        if (!ReadString(f, pos + 2, nameLen, name)) return false;
        pos += 2 + nameLen;
        unsigned char tv[4];
        if (!f.ReadExact(pos, tv, 4)) return false;
        uint16_t type = Le16(tv), valueLen = Le16(tv + 2);
        pos += 4;
        name = AsciiUpper(TrimControl(name));
        static const char* const names[] = {"WM/TITLE", "WM/AUTHOR", "WM/ALBUMTITLE", "WM/TRACK",
                                            "WM/YEAR",  "WM/GENRE",  "WM/DESCRIPTION"};
        if (type == 0) {
            std::string value;
            if (!ReadString(f, pos, valueLen, value)) return false;
            for (int k = 0; k < 7; ++k)
                if (name == names[k]) s.Slots[k + 1] = value;
            if (name == "DESCRIPTION") s.Slots[kSlotOtherDesc] = value;
            if (name == "DATE") s.Slots[kSlotDate] = value;
            if (name == "WM/TRACKNUMBER")
                s.TrackNumber = std::max(0, LeadingInt(TrimControl(value)));
        } else if ((type == 3 || type == 5) && name == "WM/TRACKNUMBER" && valueLen >= 2) {
            // A number (32-bit or 16-bit) in the track descriptor.
            unsigned char v[4] = {};
            if (!f.ReadExact(pos, v, type == 3 && valueLen >= 4 ? 4 : 2)) return false;
            s.TrackNumber = static_cast<int32_t>(std::min<uint32_t>(Le32(v), INT32_MAX));
        }
        pos += valueLen;
    }
    return true;
}

// False on a read error; `asf` tells whether the file starts with the header object.
bool ReadHeader(TBinaryFile& f, TScratch& s, bool& asf) {
    unsigned char h[30];
    asf = false;
    if (!f.ReadExact(0, h, 30)) return false;
    if (std::memcmp(h, kHeader, 16) != 0) return true;
    asf = true;
    const uint32_t count = Le32(h + 24);
    int64_t pos = 30;
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char o[24];
        if (!f.ReadExact(pos, o, 24)) return false;
        const uint64_t size = Le64(o + 16);
        // An object smaller than its own header, or beyond the file, ends the walk.
        if (size < 24 || size > static_cast<uint64_t>(f.Size() - pos)) return false;
        const int64_t end = pos + static_cast<int64_t>(size);
        if (std::memcmp(o, kFileProps, 16) == 0) {
            unsigned char b[80];
            if (!f.ReadExact(pos + 24, b, 80)) return false;
            s.PlayDuration = Le64(b + 40);
            s.Preroll = Le64(b + 56);
            s.MaxBitRate = Le32(b + 76);
        } else if (std::memcmp(o, kStreamProps, 16) == 0) {
            unsigned char b[66];
            if (!f.ReadExact(pos + 24, b, 66)) return false;
            if (!s.AudioSeen && std::memcmp(b, kAudioStream, 16) == 0) {
                s.AudioSeen = true;
                s.Channels = Le16(b + 56);
                s.SampleRate = Le32(b + 58);
                s.ByteRate = Le32(b + 62);
            }
        } else if (std::memcmp(o, kContentDesc, 16) == 0) {
            unsigned char b[10];
            if (!f.ReadExact(pos + 24, b, 10)) return false;
            int64_t p = pos + 34;
            const int slots[5] = {kSlotTitle, kSlotAuthor, 0, kSlotDesc, 0};
            for (int k = 0; k < 5; ++k) {
                uint16_t len = Le16(b + 2 * k);
                if (len == 0) continue;
                std::string text;
                if (!ReadString(f, p, len, text)) return false;
                if (slots[k]) s.Slots[slots[k]] = text;
                p += len;
            }
        } else if (std::memcmp(o, kExtContentDesc, 16) == 0) {
            if (!ReadExtended(f, pos, end, s)) return false;
        }
        pos = end;
    }
    return true;
}

} // namespace

bool TWMAfile::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    TScratch s;
    bool asf = false;
    const bool ok = ReadHeader(f, s, asf);
    if (!asf) return ok;
    // The texts stay whatever the stream says; each stream value is kept only
    // when it is plausible (multichannel, high rates and lossless included).
    Valid = true;
    FileSize = f.Size();
    if (s.Channels >= 1 && s.Channels <= 64) Channels = s.Channels;
    ChannelModeID = ChannelModeOf(Channels);
    if (s.SampleRate >= 1000 && s.SampleRate <= 768000)
        SampleRate = static_cast<int32_t>(s.SampleRate);
    if (s.ByteRate >= 1 && s.ByteRate <= 10'000'000)
        BitRate = static_cast<int32_t>(static_cast<uint64_t>(s.ByteRate) * 8 / 1000);
    // The play duration when the file gives one; else an estimate from the size.
    double play = static_cast<double>(s.PlayDuration) / 1e7 - static_cast<double>(s.Preroll) / 1e3;
    if (play > 0 && play < 1e9)
        Duration = play;
    else if (s.MaxBitRate >= 1)
        Duration = static_cast<double>(FileSize) * 8.0 / s.MaxBitRate;
    Title = TrimControl(s.Slots[kSlotTitle]);
    Artist = TrimControl(s.Slots[kSlotAuthor]);
    Album = TrimControl(s.Slots[kSlotAlbum]);
    Year = TrimControl(s.Slots[kSlotYear]);
    // A date's year, as a year is kept for the other tags.
    if (Year.empty()) Year = DecodeUtf8Lenient(TrimControl(s.Slots[kSlotDate]).substr(0, 4));
    Genre = TrimControl(s.Slots[kSlotGenre]);
    Comment = TrimControl(s.Slots[kSlotDesc]);
    if (Comment.empty()) Comment = TrimControl(s.Slots[kSlotOtherDesc]);
    Track = s.TrackNumber >= 0 ? s.TrackNumber
                               : std::max(0, LeadingInt(TrimControl(s.Slots[kSlotTrack])));
    return true; // a header cut short keeps what was read before the cut
}
