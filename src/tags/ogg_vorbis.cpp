#include "tags/ogg_vorbis.h"

#include "tags/binary_file.h"
#include "tags/tag_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kItemWindow = 250;

// The bytes of the packets of one logical stream, read across pages.
class TPacketReader {
public:
    explicit TPacketReader(TBinaryFile& f) : f_(f) {}

    // Opens the first page; false when the file does not start with one.
    bool Start() { return LoadPage(0, true); }

    // Reads n bytes of the current packet; false when the packet or file ends first.
    bool Read(void* out, size_t n) { return Take(static_cast<char*>(out), n); }
    bool Skip(uint64_t n) { return Take(nullptr, n); }
    // Moves to the start of the next packet.
    bool NextPacket() {
        while (!atPacketEnd_) {
            if (segLeft_ > 0) {
                dataPos_ += segLeft_;
                segLeft_ = 0;
            } else if (!Advance()) {
                return false;
            }
        }
        atPacketEnd_ = false;
        return true;
    }
    uint32_t Serial() const { return serial_; }

private:
    // Loads the next page of the stream at or after pos that has segments.
    bool LoadPage(int64_t pos, bool first) {
        for (;;) {
            unsigned char h[27];
            if (!f_.ReadExact(pos, h, 27) || std::memcmp(h, "OggS", 4) != 0 || h[4] != 0)
                return false;
            nsegs_ = h[26];
            if (!f_.ReadExact(pos + 27, segs_, nsegs_)) return false;
            uint32_t serial = Le32(h + 14);
            int64_t body = 0;
            for (int i = 0; i < nsegs_; ++i)
                body += segs_[i];
            int64_t data = pos + 27 + nsegs_;
            if (first) serial_ = serial;
            first = false;
            if (serial == serial_ && nsegs_ > 0) {
                dataPos_ = data;
                nextPage_ = data + body;
                seg_ = 0;
                segLeft_ = segs_[0];
                return true;
            }
            pos = data + body; // another stream's page, or an empty one
        }
    }
    // The current segment is used up: a segment shorter than 255 ends the packet.
    bool Advance() {
        if (segs_[seg_] < 255) atPacketEnd_ = true;
        if (++seg_ >= nsegs_) {
            if (!LoadPage(nextPage_, false)) return false;
        } else {
            segLeft_ = segs_[seg_];
        }
        return true;
    }
    bool Take(char* out, uint64_t n) {
        while (n > 0) {
            if (atPacketEnd_) return false;
            if (segLeft_ == 0) {
                if (!Advance()) return false;
                continue;
            }
            size_t k = static_cast<size_t>(std::min<uint64_t>(n, segLeft_));
            if (out) {
                if (!f_.ReadExact(dataPos_, out, k)) return false;
                out += k;
            }
            dataPos_ += static_cast<int64_t>(k);
            segLeft_ -= static_cast<unsigned>(k);
            n -= k;
        }
        return true;
    }

    TBinaryFile& f_;
    uint32_t serial_ = 0;
    unsigned char segs_[255] = {};
    int nsegs_ = 0;
    int seg_ = 0;
    unsigned segLeft_ = 0;
    int64_t dataPos_ = 0;
    int64_t nextPage_ = 0;
    bool atPacketEnd_ = false;
};

// Granule position of the last page of `serial` that ends a packet, 0 when none is found.
int64_t LastGranule(TBinaryFile& f, uint32_t serial) {
    const int64_t size = f.Size();
    constexpr int64_t kStep = 16 * 1024;
    constexpr int64_t kReach = 80 * 1024; // longer than the largest page
    std::vector<unsigned char> buf;
    for (int64_t span = std::min(size, kStep);; span = std::min(size, span + kStep)) {
        int64_t start = size - span;
        buf.resize(static_cast<size_t>(span));
        if (!f.ReadExact(start, buf.data(), buf.size())) return 0;
        for (int64_t i = span - 27; i >= 0; --i) {
            const unsigned char* p = buf.data() + i;
            if (p[0] != 'O' || p[1] != 'g' || p[2] != 'g' || p[3] != 'S' || p[4] != 0) continue;
            if (Le32(p + 14) != serial) continue;
            auto g = static_cast<int64_t>(Le64(p + 6));
            if (g < 0) continue; // no packet ends on this page
            return g;
        }
        if (span >= size || span >= kReach) return 0;
    }
}

} // namespace

void TOggVorbis::ResetData() {
    Valid = false;
    FileSize = 0;
    ChannelModeID = 0;
    SampleRate = 0;
    BitRateNominal = 0;
    Samples = 0;
    Title.clear();
    Artist.clear();
    Album.clear();
    Track = 0;
    Date.clear();
    Genre.clear();
    Comment.clear();
    Vendor.clear();
}

bool TOggVorbis::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    TPacketReader r(f);
    unsigned char id[30];
    if (!r.Start()) {
        // Not an Ogg page at the start: only a failure when the file is too short.
        return f.Size() >= 58;
    }
    if (!r.Read(id, 30)) return f.Size() >= 58;
    if (id[0] != 1 || std::memcmp(id + 1, "vorbis", 6) != 0) return true;
    Valid = true;
    FileSize = f.Size();
    ChannelModeID = (id[11] == 1 || id[11] == 2) ? id[11] : 0;
    uint32_t rate = Le32(id + 12);
    SampleRate = rate >= 8000 && rate <= 48000 ? rate : 0;
    uint32_t nominal = Le32(id + 20) / 1000;
    BitRateNominal = nominal >= 16 && nominal <= 350 ? static_cast<uint16_t>(nominal) : 0;

    std::array<std::string, 7> raw;
    std::string vendor;
    bool trackSeen = false;
    static const char* const names[7] = {"TITLE", "ARTIST", "ALBUM",  "TRACKNUMBER",
                                         "DATE",  "GENRE",  "COMMENT"};
    unsigned char head[7];
    if (r.NextPacket() && r.Read(head, 7) && head[0] == 3 &&
        std::memcmp(head + 1, "vorbis", 6) == 0) {
        char item[kItemWindow];
        uint64_t count = 1;
        for (uint64_t i = 0; i < count + 1; ++i) {
            unsigned char lb[4];
            if (!r.Read(lb, 4)) break;
            uint32_t len = Le32(lb);
            size_t n = std::min<size_t>(len, kItemWindow);
            if (!r.Read(item, n) || !r.Skip(len - n)) break;
            std::string_view s(item, n);
            if (i == 0) {
                vendor = std::string(s); // the vendor string, "=" or not
                unsigned char cb[4];
                if (!r.Read(cb, 4)) break;
                count = Le32(cb);
                continue;
            }
            size_t eq = s.find('=');
            if (eq == std::string_view::npos) {
                if (vendor.empty()) vendor = std::string(s);
                continue;
            }
            std::string name = AsciiUpper(s.substr(0, eq));
            for (int k = 0; k < 7; ++k)
                if (name == names[k]) {
                    raw[k] = std::string(s.substr(eq + 1));
                    if (k == 3) trackSeen = true;
                }
        }
    }
    Title = DecodeUtf8Lenient(raw[0]);
    Artist = DecodeUtf8Lenient(raw[1]);
    Album = DecodeUtf8Lenient(raw[2]);
    Date = DecodeUtf8Lenient(raw[4]);
    Genre = DecodeUtf8Lenient(raw[5]);
    Comment = DecodeUtf8Lenient(raw[6]);
    Vendor = DecodeUtf8Lenient(vendor);
    if (trackSeen) Track = std::max(0, LeadingInt(TrimControl(raw[3])));
    Samples = LastGranule(f, r.Serial());
    return true;
}

std::string TOggVorbis::ChannelModeName() const {
    static const char* const names[3] = {"Unknown", "Mono", "Stereo"};
    return names[ChannelModeID <= 2 ? ChannelModeID : 0];
}

double TOggVorbis::Duration() const {
    if (Samples != 0) return SampleRate > 0 ? static_cast<double>(Samples) / SampleRate : 0;
    if (BitRateNominal > 0 && ChannelModeID > 0)
        return static_cast<double>(FileSize) / BitRateNominal / ChannelModeID / 125.0 * 2.0;
    return 0;
}

uint32_t TOggVorbis::BitRate() const {
    double d = Duration();
    if (d <= 0) return 0;
    double v = std::nearbyint(static_cast<double>(FileSize) / d / 125.0);
    return v > 0 && v < 4e9 ? static_cast<uint32_t>(v) : 0;
}
