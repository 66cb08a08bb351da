#include "media/video_file.h"

#include "tags/binary_file.h"

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

using TClock = std::chrono::steady_clock;

constexpr int kIoBuffer = 64 * 1024;
// libavformat's smallest probe window.
constexpr int64_t kMinProbeBytes = 2048;
constexpr int kFormatProbeBytes = 256 << 10;
constexpr int64_t kHoleReadBytes = 1 << 20;

// Processor time this thread has used, in nanoseconds.
int64_t ThreadCpuNs() {
    timespec ts{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) return 0;
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The file behind libavformat's reads: positioned reads on our own handle.
struct TSource {
    TBinaryFile file;
    int64_t pos = 0;
    // From here to the end the file is one hole: it reads as zeros without
    // asking the system (some formats make the library read all of it).
    int64_t holeFrom = INT64_MAX;
    // Zeros of that hole the library may still read: past them the file ends
    // for it. No header is made of zeros, and a table claimed over a hole
    // would otherwise be read to the end, four bytes at a time.
    int64_t holeLeft = kHoleReadBytes;
    TClock::time_point deadline;
    // What the file may cost: bytes handed to the library and processor time.
    int64_t bytesLeft = TVideoFile::kReadBudget;
    int64_t cpuUntil = INT64_MAX;
    // The budget ran out: every later read ends the file, so that a header
    // the library reads again from the start costs nothing more.
    bool spent = false;
    const char* why = nullptr; // which budget, for the log

    bool Spent() {
        if (spent) return true;
        if (bytesLeft <= 0)
            why = "it asks to read more than a video may";
        else if (ThreadCpuNs() > cpuUntil || TClock::now() > deadline)
            why = "reading it took more time than a file may take";
        spent = why != nullptr;
        return spent;
    }
};

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    auto* s = static_cast<TSource*>(opaque);
    if (size <= 0) return 0;
    if (s->Spent()) return AVERROR_EOF;
    size = static_cast<int>(std::min<int64_t>(size, s->bytesLeft));
    s->bytesLeft -= size;
    if (s->pos >= s->holeFrom) {
        const int64_t left = std::min(s->file.Size() - s->pos, s->holeLeft);
        if (left <= 0) return AVERROR_EOF;
        const int n = static_cast<int>(std::min<int64_t>(size, left));
        std::memset(buf, 0, static_cast<size_t>(n));
        s->pos += n;
        s->holeLeft -= n;
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
    return static_cast<TSource*>(opaque)->Spent() ? 1 : 0;
}

void SetUpLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_QUIET);
        // A damaged header may claim a table of gigabytes, which the library
        // would allocate before finding the file far shorter. The limit is the
        // library's own and holds for the whole process; only this module
        // loads the library, so nothing else in the program is bound by it.
        av_max_alloc(TVideoFile::kMaxAlloc);
    });
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

// The clockwise turn that shows the picture upright, from the stream's
// display matrix: 0, 90, 180 or 270. Other angles are not a phone's and
// players do not turn by them.
int32_t DisplayRotation(const AVStream* st) {
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t)) return 0;
    int32_t m[9];
    std::memcpy(m, matrix, sizeof m);
    const double angle = av_display_rotation_get(m); // counter-clockwise
    if (!std::isfinite(angle)) return 0;
    long turn = std::lround(-angle) % 360;
    if (turn < 0) turn += 360;
    return turn % 90 == 0 ? static_cast<int32_t>(turn) : 0;
}

// The library's "2024-05-17T14:03:09.000000Z" as ISO 8601 in UTC, the
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
    std::string Open(const std::string& path, int budgetMs, bool onlyZeros, int64_t readBudget) {
        if (onlyZeros && !StillPictureName(path)) return ErrorText(AVERROR_INVALIDDATA);
        if (!src_.file.Open(path)) return "cannot open the file";
        // Only zero bytes: no container starts there, and the probe would
        // read its whole window (some formats scan much further) to say so.
        if (src_.file.OnlyHoles() && !StillPictureName(path)) return ErrorText(AVERROR_INVALIDDATA);
        src_.deadline = TClock::now() + std::chrono::milliseconds(budgetMs);
        src_.bytesLeft = readBudget;
        src_.cpuUntil = ThreadCpuNs() + int64_t{TVideoFile::kCpuBudgetMs} * 1000000;
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
        // The window that picks the container: every container of the handler
        // shows itself in the first kilobytes, and each doubling of the window
        // runs every format's check again (a megabyte cost a file that is no
        // video a third of its processor budget).
        ic_->format_probesize = kFormatProbeBytes;

        if (const int64_t dataEnd = src_.file.DataEnd(); dataEnd < src_.file.Size()) {
            src_.holeFrom = dataEnd;
            ic_->probesize = std::clamp(dataEnd, kMinProbeBytes, TVideoFile::kProbeBytes);
            ic_->format_probesize = std::min(kFormatProbeBytes, static_cast<int>(ic_->probesize));
        }
        ic_->max_analyze_duration = 5 * AV_TIME_BASE;
        ic_->interrupt_callback = {OverBudget, &src_};
        // The name only helps the probe guess; the bytes come through io_.
        int rc = avformat_open_input(&ic_, path.c_str(), nullptr, nullptr);
        if (rc < 0) { // ic_ is freed and null on failure
            if (src_.spent) return src_.why;
            if (rc == AVERROR(ENOMEM))
                return "its header asks for more memory than a video may take";
            return ErrorText(rc);
        }
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
            if (rc < 0 && src_.spent) return src_.why;
        }
        return {};
    }

    // Which budget ran out while reading (what was found may be incomplete), or null.
    const char* Cut() const { return src_.why; }
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

bool TVideoFile::ReadFromFile(const std::string& path, int budgetMs, bool onlyZeros,
                              int64_t readBudget) {
    *this = TVideoFile();
    SetUpLibraries();
    TDemuxer demuxer;
    Error = demuxer.Open(path, budgetMs, onlyZeros, readBudget);
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
