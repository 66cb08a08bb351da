#include "media/video_file.h"

#include "media/video_demuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

std::string Meta(const AVDictionary* dict, const char* key) {
    const AVDictionaryEntry* e = av_dict_get(dict, key, nullptr, 0);
    return e && e->value ? std::string(e->value) : std::string();
}

std::string CodecName(const AVCodecParameters* p) {
    if (p->codec_id == AV_CODEC_ID_NONE) return {};
    const char* name = avcodec_get_name(p->codec_id);
    return name ? std::string(name) : std::string();
}

double Rate(AVRational r) {
    if (r.num <= 0 || r.den <= 0) return 0;
    double v = av_q2d(r);
    // Above this it is a time base, not a frame rate.
    if (!std::isfinite(v) || v > 1000) return 0;
    return std::round(v * 1000) / 1000;
}

// The clockwise turn that shows the picture upright, from the stream's
// display matrix: 0, 90, 180 or 270. Other angles are not a phone's and
// fraction only when it is not zero; empty for a text of another shape.
std::string UtcText(const std::string& t) {
    static const char kShape[] = "dddd-dd-ddTdd:dd:dd";
    if (t.size() < 19) return {};
    for (size_t i = 0; i < 19; ++i) {
        const bool digit = t[i] >= '0' && t[i] <= '9';
        if (kShape[i] == 'd' ? !digit : t[i] != kShape[i]) return {};
    }
    if (t.compare(0, 4, "0000") == 0) return {};
    size_t end = 19;
    if (end < t.size() && t[end] == '.') {
        ++end;
        while (end < t.size() && t[end] >= '0' && t[end] <= '9')
            ++end;
    }
    if (end != t.size() - 1 || t.back() != 'Z') return {};
    std::string fraction = t.substr(19, end - 19);
    while (!fraction.empty() && (fraction.back() == '0' || fraction.back() == '.'))
        fraction.pop_back();
    return t.substr(0, 19) + fraction + "Z";
}

} // namespace

bool TVideoFile::ReadFromFile(const std::string& path, int budgetMs, bool onlyZeros,
                              int64_t readBudget, int cpuBudgetMs) {
    *this = TVideoFile();
    SetUpVideoLibraries();
    TVideoDemuxer demuxer;
    Error = demuxer.Open(path, budgetMs, onlyZeros, readBudget, cpuBudgetMs);
    if (!Error.empty()) return false;
    if (demuxer.Cut()) Incomplete = demuxer.Cut();
    const AVFormatContext* ic = demuxer.Context();
    if (ic->duration != AV_NOPTS_VALUE && ic->duration > 0)
        Duration = static_cast<double>(ic->duration) / AV_TIME_BASE;
    if (ic->bit_rate > 0)
        BitRate = (ic->bit_rate + 500) / 1000;
    else if (Duration > 0) // the container's average, as players show it
        BitRate = std::llround(static_cast<double>(demuxer.FileSize()) * 8 / Duration / 1000);
    const AVStream* video = nullptr;
    const AVStream* audio = nullptr;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream* st = ic->streams[i];
        const AVCodecParameters* p = st->codecpar;
        // A cover picture is a one-frame "video" stream; it is not the film.
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && !video &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            video = st;
        if (p->codec_type == AVMEDIA_TYPE_AUDIO && !audio) audio = st;
    }
    if (video) {
        const AVCodecParameters* p = video->codecpar;
        Width = p->width > 0 ? p->width : 0;
        Height = p->height > 0 ? p->height : 0;
        Rotation = DisplayRotation(video);
        // Players show a phone's portrait recording upright: its size as shown.
        if (Rotation == 90 || Rotation == 270) std::swap(Width, Height);
        FrameRate = Rate(video->avg_frame_rate);
        if (FrameRate == 0) FrameRate = Rate(video->r_frame_rate);
        VideoCodec = CodecName(p);
    }
    if (audio) {
        const AVCodecParameters* p = audio->codecpar;
        AudioCodec = CodecName(p);
        Channels = p->ch_layout.nb_channels > 0 ? p->ch_layout.nb_channels : 0;
        SampleRate = p->sample_rate > 0 ? p->sample_rate : 0;
    }
    Title = Meta(ic->metadata, "title");
    Artist = Meta(ic->metadata, "artist");
    Date = Meta(ic->metadata, "date");
    // Cameras and phones write when they recorded, not a date tag.
    if (Date.empty()) Date = UtcText(Meta(ic->metadata, "creation_time"));
    if (Date.empty() && video) Date = UtcText(Meta(video->metadata, "creation_time"));
    Comment = Meta(ic->metadata, "comment");
    Valid = video || audio;
    if (!Valid) Error = "no video or audio stream";
    return Valid;
}
