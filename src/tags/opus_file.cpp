#include "tags/opus_file.h"

#include "tags/ogg_packets.h"

#include <cmath>
#include <cstring>

bool TOpusFile::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen()) return false;
    TOggPacketReader r(f);
    unsigned char head[19];
    if (!r.Start() || !r.Read(head, sizeof head)) return true;
    if (std::memcmp(head, "OpusHead", 8) != 0 || (head[8] & 0xF0) != 0) return true;
    Valid = true;
    FileSize = f.Size();
    Channels = head[9];
    PreSkip = Le16(head + 10);
    InputSampleRate = Le32(head + 12);
    unsigned char tags[8];
    if (r.NextPacket() && r.Read(tags, 8) && std::memcmp(tags, "OpusTags", 8) == 0)
        Comments.Read(r);
    Granule = OggLastGranule(f, r.Serial());
    return true;
}

double TOpusFile::Duration() const {
    if (Granule <= PreSkip) return 0;
    return static_cast<double>(Granule - PreSkip) / kRate;
}

uint32_t TOpusFile::BitRate() const {
    const double d = Duration();
    if (d <= 0) return 0;
    const double v = std::nearbyint(static_cast<double>(FileSize) * 8 / d / 1000);
    return v > 0 && v < 4e9 ? static_cast<uint32_t>(v) : 0;
}
