#include "media/media_module_api.h"
#include "media/photo_file.h"
#include "tags/tag_value.h"

#include <exception>

namespace {

void Line(TamblixTagLineFn line, void* context, const char* key, const TTagValue& value) {
    line(context, key, TagValueText(value).c_str());
}

} // namespace

// Exiv2 reads only the metadata, never the pixels, so it needs no time budget.
extern "C" __attribute__((visibility("default"))) int
tamblix_read_photo_v1(const char* path, int /*budgetMs*/, TamblixTagLineFn line, void* context) {
    if (!path || !line) return 0;
    try {
        TPhotoFile r;
        if (!r.ReadFromFile(path)) {
            line(context, nullptr, r.Error.empty() ? "not a readable photo" : r.Error.c_str());
            return 0;
        }
        Line(line, context, "DateTaken", r.DateTaken);
        Line(line, context, "Width", r.Width);
        Line(line, context, "Height", r.Height);
        Line(line, context, "CameraMake", r.CameraMake);
        Line(line, context, "CameraModel", r.CameraModel);
        Line(line, context, "Lens", r.Lens);
        Line(line, context, "ExposureTime", r.ExposureTime);
        Line(line, context, "FNumber", r.FNumber);
        Line(line, context, "ISO", r.ISO);
        Line(line, context, "FocalLength", r.FocalLength);
        Line(line, context, "Orientation", r.Orientation);
        if (r.HasGPS) {
            Line(line, context, "GPSLatitude", r.Latitude);
            Line(line, context, "GPSLongitude", r.Longitude);
        }
        return 1;
    } catch (const std::exception& e) {
        // No exception may cross into the program, which may be built otherwise.
        line(context, nullptr, e.what());
    } catch (...) {
        line(context, nullptr, "not a readable photo");
    }
    return 0;
}
