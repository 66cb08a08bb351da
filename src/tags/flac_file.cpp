#include "tags/flac_file.h"

#include "tags/binary_file.h"
#include "tags/ogg_packets.h"

#include <cstring>

namespace {

// Metadata blocks looked at before the walk gives up; real files have a handful.
constexpr int kMaxBlocks = 1024;
constexpr int kStreamInfo = 0;
constexpr int kVorbisComment = 4;

} // namespace

// The 34 bytes of STREAMINFO.
void TFLACfile::ReadStreamInfo(const unsigned char* b) {
    Channels = static_cast<uint8_t>(((b[12] >> 1) & 7) + 1);
    SampleRate = b[10] * 4096 + b[11] * 16 + (b[12] >> 4);
    BitsPerSample = static_cast<uint8_t>((b[12] & 1) * 16 + (b[13] >> 4) + 1);
    Samples = static_cast<int64_t>(b[13] & 0x0F) << 32 | Be32(b + 14);
}

// The metadata blocks after STREAMINFO, up to the last one: the Vorbis comment.
void TFLACfile::ReadNative(TBinaryFile& f, int64_t pos) {
    for (int i = 0; i < kMaxBlocks; ++i) {
        unsigned char h[4];
        if (!f.ReadExact(pos, h, 4)) return;
        const int64_t len = static_cast<int64_t>(h[1]) << 16 | h[2] << 8 | h[3];
        if ((h[0] & 0x7F) == kVorbisComment) {
            TFileRange block(f, pos + 4, pos + 4 + len);
            VorbisComment.Read(block);
            return;
        }
        if (h[0] & 0x80) return; // the last block
        pos += 4 + len;
    }
}

// Ogg FLAC: the first packet maps the native header, each later header packet
// is one metadata block.
bool TFLACfile::ReadOgg(TBinaryFile& f) {
    TOggPacketReader r(f);
    unsigned char b[51];
    if (!r.Start() || !r.Read(b, sizeof b)) return false;
    if (b[0] != 0x7F || std::memcmp(b + 1, "FLAC", 4) != 0 || std::memcmp(b + 9, "fLaC", 4) != 0)
        return false;
    Ogg = true;
    ReadStreamInfo(b + 17);
    const int headers = Be16(b + 7); // 0: not known
    for (int i = 0; i < (headers ? headers : kMaxBlocks); ++i) {
        unsigned char h[4];
        if (!r.NextPacket() || !r.Read(h, 4)) break;
        if ((h[0] & 0x7F) == kVorbisComment) {
            VorbisComment.Read(r);
            break;
        }
        if (h[0] & 0x80) break;
    }
    // A stream that did not know its length when it began.
    if (Samples == 0) Samples = OggLastGranule(f, r.Serial());
    return true;
}

bool TFLACfile::ReadFromFile(const std::string& path) {
    ResetData();
    ID3v1.ReadFromFile(path);
    ID3v2.ReadFromFile(path);
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    FileSize = f.Size();
    unsigned char b[42] = {};
    if (f.ReadAt(0, b, 42) < 0) return false;
    if (std::memcmp(b, "OggS", 4) == 0) return ReadOgg(f);
    // A stream behind an ID3v2 tag starts after it.
    int64_t start = 0;
    if (std::memcmp(b, "fLaC", 4) != 0 && ID3v2.Exists && ID3v2.Size > 0) {
        std::memset(b, 0, sizeof b);
        start = ID3v2.Size;
        if (f.ReadAt(start, b, 42) < 0) return false;
    }
    if (std::memcmp(b, "fLaC", 4) != 0) return false;
    ReadStreamInfo(b + 8);
    if (!(b[4] & 0x80)) ReadNative(f, start + 8 + (b[5] << 16 | b[6] << 8 | b[7]));
    return true;
}

bool TFLACfile::IsValid() const {
    return Channels > 0 && SampleRate > 0 && BitsPerSample > 0 && Samples > 0;
}

double TFLACfile::Duration() const {
    return IsValid() ? static_cast<double>(Samples) / SampleRate : 0;
}
