#include "media/video_demuxer.h"

#include "media/video_file.h"
#include "tags/binary_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
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

} // namespace

// Processor time this thread has used, in nanoseconds.
int64_t ThreadCpuNs() {
    timespec ts{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) return 0;
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The file behind libavformat's reads: positioned reads on our own handle.
struct TVideoSource {
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

namespace {

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    auto* s = static_cast<TVideoSource*>(opaque);
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
    auto* s = static_cast<TVideoSource*>(opaque);
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
    return static_cast<TVideoSource*>(opaque)->Spent() ? 1 : 0;
}

} // namespace

void SetUpVideoLibraries() {
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

namespace {

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

} // namespace

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

TVideoDemuxer::TVideoDemuxer() : src_(std::make_unique<TVideoSource>()) {}

TVideoDemuxer::~TVideoDemuxer() {
    if (ic_) avformat_close_input(&ic_);
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

std::string TVideoDemuxer::Open(const std::string& path, int budgetMs, bool onlyZeros,
                                int64_t readBudget, int cpuBudgetMs) {
    TVideoSource& src = *src_;
    if (onlyZeros && !StillPictureName(path)) return AvErrorText(AVERROR_INVALIDDATA);
    if (!src.file.Open(path)) return "cannot open the file";
    // Only zero bytes: no container starts there, and the probe would
    // read its whole window (some formats scan much further) to say so.
    if (src.file.OnlyHoles() && !StillPictureName(path)) return AvErrorText(AVERROR_INVALIDDATA);
    src.deadline = TClock::now() + std::chrono::milliseconds(budgetMs);
    src.bytesLeft = readBudget;
    src.cpuUntil = ThreadCpuNs() + int64_t{cpuBudgetMs} * 1000000;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    if (!buffer) return "out of memory";
    io_ = avio_alloc_context(buffer, kIoBuffer, 0, &src, ReadPacket, nullptr, SeekTo);
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

    if (const int64_t dataEnd = src.file.DataEnd(); dataEnd < src.file.Size()) {
        src.holeFrom = dataEnd;
        ic_->probesize = std::clamp(dataEnd, kMinProbeBytes, TVideoFile::kProbeBytes);
        ic_->format_probesize = std::min(kFormatProbeBytes, static_cast<int>(ic_->probesize));
    }
    ic_->max_analyze_duration = 5 * AV_TIME_BASE;
    ic_->interrupt_callback = {OverBudget, &src};
    // The name only helps the probe guess; the bytes come through io_.
    int rc = avformat_open_input(&ic_, path.c_str(), nullptr, nullptr);
    if (rc < 0) { // ic_ is freed and null on failure
        if (src.spent) return src.why;
        if (rc == AVERROR(ENOMEM)) return "its header asks for more memory than a video may take";
        return AvErrorText(rc);
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
        if (rc < 0 && src.spent) return src.why;
    }
    return {};
}

const char* TVideoDemuxer::Cut() const {
    return src_->why;
}
int64_t TVideoDemuxer::FileSize() const {
    return src_->file.Size();
}
bool TVideoDemuxer::Spent() {
    return src_->Spent();
}

std::string AvErrorText(int rc) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(rc, text, sizeof text);
    return text;
}
