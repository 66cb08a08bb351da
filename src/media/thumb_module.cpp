#include "media/media_module_api.h"
#include "media/thumb_maker.h"

#include <exception>

// No exception crosses into the program, which may be built otherwise.
extern "C" __attribute__((visibility("default"))) int
tamblix_make_thumbnail_v1(const char* path, int maxSide, TamblixThumbFn done, void* context) {
    if (!path || !done) return 0;
    TThumbMade made;
    try {
        TThumbLimits limits;
        if (maxSide > 0) limits.MaxSide = maxSide;
        made = MakeThumbnailOf(path, limits);
    } catch (const std::exception& e) {
        made.Jpeg.clear();
        made.Why = e.what();
    } catch (...) {
        made.Jpeg.clear();
        made.Why = "no thumbnail could be made";
    }
    if (made.Jpeg.empty()) {
        done(context, nullptr, 0, 0, 0, made.Why.c_str());
        return 0;
    }
    done(context, reinterpret_cast<const unsigned char*>(made.Jpeg.data()), made.Jpeg.size(),
         made.Width, made.Height, nullptr);
    return 1;
}
