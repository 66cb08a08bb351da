#include "media/module_lines.h"
#include "media/photo_file.h"

// Exiv2 reads only the metadata, never the pixels, so it needs no time budget.
extern "C" __attribute__((visibility("default"))) int
tamblix_read_photo_v2(const char* path, int /*budgetMs*/, unsigned flags, TamblixTagLineFn line,
                      void* context) {
    if (!path || !line) return 0;
    TModuleLines out(line, context);
    return out.Guard("not a readable photo", [&](TModuleLines& o) {
        TPhotoFile r;
        if (!r.ReadFromFile(path, (flags & kTamblixOnlyZeros) != 0)) {
            o.Refuse(r.Error.empty() ? "not a readable photo" : r.Error);
            return false;
        }
        o.Add("DateTaken", r.DateTaken);
        o.Add("Width", r.Width);
        o.Add("Height", r.Height);
        o.Add("CameraMake", r.CameraMake);
        o.Add("CameraModel", r.CameraModel);
        o.Add("Lens", r.Lens);
        o.Add("ExposureTime", r.ExposureTime);
        o.Add("FNumber", r.FNumber);
        o.Add("ISO", r.ISO);
        o.Add("FocalLength", r.FocalLength);
        o.Add("Orientation", r.Orientation);
        if (r.HasGPS) {
            o.Add("GPSLatitude", r.Latitude);
            o.Add("GPSLongitude", r.Longitude);
        }
        return true;
    });
}
