#include "media/media_module_api.h"
#include "media/video_file.h"
#include "tags/tag_value.h"

#include <exception>
#include <string>

namespace {

void Line(TamblixTagLineFn line, void* context, const char* key, const TTagValue& value) {
    line(context, key, TagValueText(value).c_str());
}

} // namespace

// The order of the lines is the order the catalog keeps them in.
extern "C" __attribute__((visibility("default"))) int
tamblix_read_video_v1(const char* path, int budgetMs, TamblixTagLineFn line, void* context) {
    if (!path || !line) return 0;
    try {
        TVideoFile r;
        if (!r.ReadFromFile(path, budgetMs)) {
            line(context, nullptr, r.Error.empty() ? "not a readable video" : r.Error.c_str());
            return 0;
        }
        Line(line, context, "DurationSec", r.Duration);
        Line(line, context, "Width", r.Width);
        Line(line, context, "Height", r.Height);
        Line(line, context, "FrameRate", r.FrameRate);
        Line(line, context, "VideoCodec", r.VideoCodec);
        Line(line, context, "AudioCodec", r.AudioCodec);
        Line(line, context, "Channels", r.Channels);
        Line(line, context, "SampleRateHZ", r.SampleRate);
        Line(line, context, "BitRateKBS", r.BitRate);
        Line(line, context, "Title", r.Title);
        Line(line, context, "Artist", r.Artist);
        Line(line, context, "Date", r.Date);
        Line(line, context, "Comments", r.Comment);
        return 1;
    } catch (const std::exception& e) {
        // No exception may cross into the program, which may be built otherwise.
        line(context, nullptr, e.what());
    } catch (...) {
        line(context, nullptr, "not a readable video");
    }
    return 0;
}
