#include "media/video_file.h"

#include "tags/binary_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kIoBuffer = 64 * 1024;
// libavformat's smallest probe window.
constexpr int64_t kMinProbeBytes = 2048;

// The file behind libavformat's reads: positioned reads on our own handle.
struct TSource {
    TBinaryFile file;
    int64_t pos = 0;
    // From here to the end the file is one hole: it reads as zeros without
    // asking the system (some formats make the library read all of it).
    int64_t holeFrom = INT64_MAX;
    TClock::time_point deadline;
};

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    auto* s = static_cast<TSource*>(opaque);
    if (size <= 0) return 0;
    if (s->pos >= s->holeFrom) {
        const int64_t left = s->file.Size() - s->pos;
        if (left <= 0) return AVERROR_EOF;
        const int n = static_cast<int>(std::min<int64_t>(size, left));
        std::memset(buf, 0, static_cast<size_t>(n));
        s->pos += n;
        return n;
    }
    int64_t n = s->file.ReadAt(s->pos, buf, static_cast<size_t>(size));
    if (n < 0) return AVERROR(EIO);
    if (n == 0) return AVERROR_EOF;
    s->pos += n;
    return static_cast<int>(n);
}

int64_t SeekTo(void* opaque, int64_t offset, int whence) {
    auto* s = static_cast<TSource*>(opaque);
    const int64_t size = s->file.Size();
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += s->pos;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0) return AVERROR(EINVAL);
    s->pos = offset;
    return offset;
}

// libavformat asks this between reads; true stops whatever it is doing.
int OverBudget(void* opaque) {
    return TClock::now() > static_cast<TSource*>(opaque)->deadline ? 1 : 0;
}

void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

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

// Containers that give stream values only after some packets were looked at.
bool NeedsStreamInfo(const AVFormatContext* ic) {
    if (ic->duration == AV_NOPTS_VALUE || ic->duration <= 0) return true;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVCodecParameters* p = ic->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && (p->width <= 0 || p->height <= 0)) return true;
        if (p->codec_type == AVMEDIA_TYPE_AUDIO &&
            (p->sample_rate <= 0 || p->ch_layout.nb_channels <= 0))
            return true;
    }
    return false;
}

bool ProbeStillPictureName(const std::string& path) {
    std::vector<unsigned char> zeros(2048 + AVPROBE_PADDING_SIZE, 0);
    AVProbeData pd{};
    pd.filename = path.c_str();
    pd.buf = zeros.data();
    pd.buf_size = 2048;
    int score = 0;
    const AVInputFormat* f = av_probe_input_format2(&pd, 1, &score);
    std::string_view name = f && f->name ? f->name : "";
    return name == "image2" || name.ends_with("_pipe");
}

// Whether libavformat would take zero bytes under this name for a still
// picture: it goes by the name alone there. Of the name its probes look at
// the text from the last dot, matched ignoring ASCII case, and at pattern
// characters; a name without those is answered once per extension, since
// the probe runs every format's check.
bool StillPictureName(const std::string& path) {
    if (path.find_first_of("%*?{[") != std::string::npos) return ProbeStillPictureName(path);
    const size_t dot = path.rfind('.');
    std::string key = dot == std::string::npos ? std::string() : path.substr(dot);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    static std::mutex mutex;
    static std::unordered_map<std::string, bool> known;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (auto it = known.find(key); it != known.end()) return it->second;
    }
    const bool still = ProbeStillPictureName(path);
    std::lock_guard<std::mutex> lock(mutex);
    // A few hundred extensions at most in practice; a flood of odd ones is not kept.
    if (known.size() < 4096) known.emplace(std::move(key), still);
    return still;
}

// Owns what libavformat was given, in the order it must be released.
class TDemuxer {
public:
    ~TDemuxer() {
        if (ic_) avformat_close_input(&ic_);
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
    }

    // An error text, or empty when the container was opened.
    std::string Open(const std::string& path, int budgetMs, bool onlyZeros) {
        if (onlyZeros && !StillPictureName(path)) return ErrorText(AVERROR_INVALIDDATA);
        if (!src_.file.Open(path)) return "cannot open the file";
        // Only zero bytes: no container starts there, and the probe would
        // read its whole window (some formats scan much further) to say so.
        if (src_.file.OnlyHoles() && !StillPictureName(path)) return ErrorText(AVERROR_INVALIDDATA);
        src_.deadline = TClock::now() + std::chrono::milliseconds(budgetMs);
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
        if (!buffer) return "out of memory";
        io_ = avio_alloc_context(buffer, kIoBuffer, 0, &src_, ReadPacket, nullptr, SeekTo);
        if (!io_) {
            av_free(buffer);
            return "out of memory";
        }
        ic_ = avformat_alloc_context();
        if (!ic_) return "out of memory";
        ic_->pb = io_;
        ic_->flags |= AVFMT_FLAG_CUSTOM_IO;
        // Past the data of a file that ends in a hole there are only zeros:
        // probing them only costs (many formats scan the whole window),
        // and no container starts there.
        ic_->probesize = TVideoFile::kProbeBytes;
        if (const int64_t dataEnd = src_.file.DataEnd(); dataEnd < src_.file.Size()) {
            src_.holeFrom = dataEnd;
            ic_->probesize = std::clamp(dataEnd, kMinProbeBytes, TVideoFile::kProbeBytes);
            // The window that picks the container (1 MiB unless told).
            ic_->format_probesize = static_cast<int>(ic_->probesize);
        }
        ic_->max_analyze_duration = 5 * AV_TIME_BASE;
        ic_->interrupt_callback = {OverBudget, &src_};
        // The name only helps the probe guess; the bytes come through io_.
        int rc = avformat_open_input(&ic_, path.c_str(), nullptr, nullptr);
        if (rc < 0) return ErrorText(rc); // ic_ is freed and null on failure
        // libavformat also reads still pictures; those are the photo reader's.
        std::string_view format = ic_->iformat ? ic_->iformat->name : "";
        if (format == "image2" || format.ends_with("_pipe")) return "a still picture";
        if (NeedsStreamInfo(ic_)) {
            // Finding the values may decode a frame: a damaged header must
            // not make that a picture of billions of pixels.
            std::vector<AVDictionary*> options(ic_->nb_streams, nullptr);
            for (AVDictionary*& o : options) {
                av_dict_set(&o, "max_pixels", "40000000", 0);
                av_dict_set(&o, "threads", "1", 0);
            }
            rc = avformat_find_stream_info(ic_, options.data());
            for (AVDictionary*& o : options)
                av_dict_free(&o);
            if (rc < 0 && OverBudget(&src_)) return "took too long";
        }
        return {};
    }

    const AVFormatContext* Context() const { return ic_; }
    int64_t FileSize() const { return src_.file.Size(); }

private:
    static std::string ErrorText(int rc) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(rc, text, sizeof text);
        return text;
    }

    TSource src_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* ic_ = nullptr;
};

} // namespace

bool TVideoFile::ReadFromFile(const std::string& path, int budgetMs, bool onlyZeros) {
    *this = TVideoFile();
    QuietLibraries();
    TDemuxer demuxer;
    Error = demuxer.Open(path, budgetMs, onlyZeros);
    if (!Error.empty()) return false;
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
    Comment = Meta(ic->metadata, "comment");
    Valid = video || audio;
    if (!Valid) Error = "no video or audio stream";
    return Valid;
}
