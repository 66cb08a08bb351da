#include "tags/ogg_vorbis.h"

#include "tags/ogg_packets.h"
#include "tags/vorbis_comment.h"

#include <cmath>
#include <cstring>

bool TOggVorbis::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    TOggPacketReader r(f);
    unsigned char id[30];
    if (!r.Start()) {
        // Not an Ogg page at the start: only a failure when the file is too short.
        return f.Size() >= 58;
    }
    if (!r.Read(id, 30)) return f.Size() >= 58;
    if (id[0] != 1 || std::memcmp(id + 1, "vorbis", 6) != 0) return true;
    Valid = true;
    FileSize = f.Size();
    Channels = id[11];
    ChannelModeID = ChannelModeOf(id[11]);
    // Up to the highest rates of studio masters.
    uint32_t rate = Le32(id + 12);
    SampleRate = rate >= 1000 && rate <= 768000 ? rate : 0;
    uint32_t nominal = Le32(id + 20) / 1000;
    BitRateNominal = nominal >= 16 && nominal <= 350 ? static_cast<uint16_t>(nominal) : 0;

    unsigned char head[7];
    TVorbisComment c;
    if (r.NextPacket() && r.Read(head, 7) && head[0] == 3 &&
        std::memcmp(head + 1, "vorbis", 6) == 0)
        c.Read(r);
    Title = c.Title;
    Artist = c.Artist;
    Album = c.Album;
    Date = c.Date;
    Genre = c.Genre;
    Comment = c.Comment;
    Vendor = c.Vendor;
    Track = c.Track;
    Samples = OggLastGranule(f, r.Serial());
    return true;
}

double TOggVorbis::Duration() const {
    if (Samples != 0) return SampleRate > 0 ? static_cast<double>(Samples) / SampleRate : 0;
    if (BitRateNominal > 0 && Channels > 0)
        return static_cast<double>(FileSize) / BitRateNominal / Channels / 125.0 * 2.0;
    return 0;
}

uint32_t TOggVorbis::BitRate() const {
    double d = Duration();
    if (d <= 0) return 0;
    double v = std::nearbyint(static_cast<double>(FileSize) / d / 125.0);
    return v > 0 && v < 4e9 ? static_cast<uint32_t>(v) : 0;
}
