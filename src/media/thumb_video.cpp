#include "media/thumb_maker.h"
#include "media/video_demuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace {

// Packets looked at for the first picture: a stream whose next keyframe is
// further away than this is not worth a thumbnail.
constexpr int kMaxPackets = 1500;
// Bytes the frame may cost to reach, and how long it may take in all.
constexpr int64_t kReadBytes = 32 << 20;
constexpr int kWallMs = 3000;

struct TCodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TFrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TPacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

} // namespace

std::string DecodeVideoThumb(const std::string& path, const TThumbLimits& limits, TRgbImage& out) {
    SetUpVideoLibraries();
    TVideoDemuxer demuxer;
    std::string why = demuxer.Open(path, kWallMs, false, kReadBytes, limits.VideoCpuMs);
    if (!why.empty()) return why;
    AVFormatContext* ic = demuxer.Context();
    int index = -1;
    for (unsigned i = 0; i < ic->nb_streams && index < 0; ++i) {
        const AVStream* st = ic->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            index = static_cast<int>(i);
    }
    if (index < 0) return "no video stream";
    AVStream* stream = ic->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return "no decoder for its video";
    std::unique_ptr<AVCodecContext, TCodecFree> dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), stream->codecpar) < 0)
        return "out of memory";
    // Only the keyframe is wanted: the frames between are skipped unread.
    dec->skip_frame = AVDISCARD_NONKEY;
    dec->skip_loop_filter = AVDISCARD_ALL;
    dec->flags2 |= AV_CODEC_FLAG2_FAST;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "threads", "1", 0);
    av_dict_set_int(&options, "max_pixels", static_cast<int64_t>(limits.MaxBytes / 4), 0);
    const int rc = avcodec_open2(dec.get(), codec, &options);
    av_dict_free(&options);
    if (rc < 0) return "its video cannot be decoded: " + AvErrorText(rc);
    std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, TFrameFree> frame(av_frame_alloc());
    if (!packet || !frame) return "out of memory";
    int packets = 0;
    // The first keyframe's picture from where the container stands.
    auto firstPicture = [&]() -> int {
        bool ended = false;
        for (; packets < kMaxPackets; ++packets) {
            if (demuxer.Spent()) return AVERROR_EXIT;
            if (!ended) {
                if (av_read_frame(ic, packet.get()) < 0) {
                    ended = true;
                    avcodec_send_packet(dec.get(), nullptr);
                } else {
                    if (packet->stream_index == index) avcodec_send_packet(dec.get(), packet.get());
                    av_packet_unref(packet.get());
                }
            }
            const int r = avcodec_receive_frame(dec.get(), frame.get());
            if (r == 0) return 0;
            if (r != AVERROR(EAGAIN) && ended) return AVERROR_EOF;
        }
        return AVERROR_EOF;
    };
    // About a tenth in, from the keyframe at or before it: the opening
    // seconds are often black or a title. Containers without an index (MPEG
    // transport streams) may land past the last keyframe: then from the start.
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    bool seeked = false;
    if (ic->duration > 0) {
        const int64_t at =
            av_rescale_q(ic->duration / 10, AVRational{1, AV_TIME_BASE}, stream->time_base);
        seeked = av_seek_frame(ic, index, start + at, AVSEEK_FLAG_BACKWARD) >= 0;
        if (seeked) avcodec_flush_buffers(dec.get());
    }
    int found = firstPicture();
    if (found == AVERROR_EOF && seeked &&
        (av_seek_frame(ic, -1, 0, AVSEEK_FLAG_BYTE) >= 0 ||
         av_seek_frame(ic, index, start, AVSEEK_FLAG_BACKWARD) >= 0)) {
        avcodec_flush_buffers(dec.get());
        found = firstPicture();
    }
    if (found == AVERROR_EXIT) return demuxer.Cut() ? demuxer.Cut() : "the budget ran out";
    const bool got = found == 0;
    if (!got) return "no picture found within the frames a thumbnail may read";
    const int w = frame->width, h = frame->height;
    if (w <= 0 || h <= 0) return "an empty picture";
    // Shown at its display aspect, as players show it.
    int64_t shownW = w;
    const AVRational sar = frame->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0) shownW = std::max<int64_t>(1, int64_t{w} * sar.num / sar.den);
    int fitW = 0, fitH = 0;
    FitWithin(shownW, h, limits.MaxSide, fitW, fitH);
    SwsContext* sws = sws_getContext(w, h, static_cast<AVPixelFormat>(frame->format), fitW, fitH,
                                     AV_PIX_FMT_RGB24, SWS_AREA, nullptr, nullptr, nullptr);
    if (!sws) return "its picture format cannot be converted";
    TRgbImage img;
    img.Width = fitW;
    img.Height = fitH;
    img.Pixels.resize(static_cast<size_t>(fitW) * static_cast<size_t>(fitH) * 3);
    uint8_t* planes[4] = {img.Pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {fitW * 3, 0, 0, 0};
    const int rows = sws_scale(sws, frame->data, frame->linesize, 0, h, planes, strides);
    sws_freeContext(sws);
    if (rows != fitH) return "its picture cannot be converted";
    out = Orient(std::move(img), OrientationOfTurn(DisplayRotation(stream)));
    return {};
}
