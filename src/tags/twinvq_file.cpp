#include "tags/twinvq_file.h"

#include "tags/binary_file.h"
#include "text/encodings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

bool TTwinVQ::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    unsigned char h[40];
    if (!f.IsOpen() || !f.ReadExact(0, h, 40)) return false;
    if (std::memcmp(h, "TWIN97012000", 12) != 0) return true;
    Valid = true;
    const uint16_t size = static_cast<uint16_t>(Be32(h + 12));
    const uint16_t mode = static_cast<uint16_t>(Be32(h + 24));
    const uint16_t rate = static_cast<uint16_t>(Be32(h + 28));
    const uint16_t code = static_cast<uint16_t>(Be32(h + 32));
    ChannelModeID = mode == 0 ? 1 : mode == 1 ? 2 : 0;
    BitRate = rate;
    SampleRate = code == 11 ? 11025 : code == 22 ? 22050 : code == 44 ? 44100 : code * 1000u;
    FileSize = f.Size();
    if (rate > 0) Duration = static_cast<double>(std::llabs(FileSize - size - 20)) / 125.0 / rate;

    // Text chunks from offset 16 up to the audio.
    int64_t pos = 16;
    unsigned char buf[8 + 250];
    while (pos + 8 <= FileSize) {
        int64_t got = f.ReadAt(pos, buf, sizeof buf);
        if (got < 8) break;
        if (std::any_of(buf, buf + 4, [](unsigned char c) { return c < 32; }) ||
            std::memcmp(buf, "DATA", 4) == 0)
            break;
        const uint16_t len = static_cast<uint16_t>(Be32(buf + 4));
        size_t n = std::min<size_t>(len, 250);
        if (static_cast<int64_t>(n) > got - 8) break;
        std::string text =
            EightBitText(TrimRightControl(std::string_view(reinterpret_cast<char*>(buf + 8), n)));
        if (std::memcmp(buf, "NAME", 4) == 0)
            Title = text;
        else if (std::memcmp(buf, "COMT", 4) == 0)
            Comment = text;
        else if (std::memcmp(buf, "AUTH", 4) == 0)
            Author = text;
        else if (std::memcmp(buf, "(c) ", 4) == 0)
            Copyright = text;
        else if (std::memcmp(buf, "FILE", 4) == 0)
            OriginalFile = text;
        pos += 8 + len;
    }
    return true;
}
