#include "media/module_lines.h"
#include "media/video_file.h"

// The order of the lines is the order the catalog keeps them in.
extern "C" __attribute__((visibility("default"))) int
tamblix_read_video_v2(const char* path, int budgetMs, unsigned flags, TamblixTagLineFn line,
                      void* context) {
    if (!path || !line) return 0;
    TModuleLines out(line, context);
    return out.Guard("not a readable video", [&](TModuleLines& o) {
        TVideoFile r;
        if (!r.ReadFromFile(path, budgetMs, (flags & kTamblixOnlyZeros) != 0)) {
            o.Refuse(r.Error.empty() ? "not a readable video" : r.Error);
            return false;
        }
        o.Add("DurationSec", r.Duration);
        o.Add("Width", r.Width);
        o.Add("Height", r.Height);
        o.Add("Rotation", r.Rotation);
        o.Add("FrameRate", r.FrameRate);
        o.Add("VideoCodec", r.VideoCodec);
        o.Add("AudioCodec", r.AudioCodec);
        o.Add("Channels", r.Channels);
        o.Add("SampleRateHZ", r.SampleRate);
        o.Add("BitRateKBS", r.BitRate);
        o.Add("Title", r.Title);
        o.Add("Artist", r.Artist);
        o.Add("Date", r.Date);
        o.Add("Comments", r.Comment);
        if (!r.Incomplete.empty()) o.Refuse("details incomplete: " + r.Incomplete);
        return true;
    });
}
