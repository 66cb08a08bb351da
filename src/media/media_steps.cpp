#include "media/media_steps.h"

#include "media/photo_file.h"
#include "media/program_module.h"
#include "media/video_file.h"
#include "media/video_module_api.h"

#include <utility>

namespace {
thread_local TMediaReadFailure gLastError;
} // namespace

TMediaReadFailure TakeMediaReadFailure() {
    return std::exchange(gLastError, TMediaReadFailure());
}

bool StepVideo(const std::string& path, TTagInfo& info) {
    static TProgramModule module("tamblix_video.so", "the video support");
    std::string why;
    auto read = reinterpret_cast<TamblixReadVideoFn>(module.Function(kTamblixReadVideoName, why));
    if (!read) {
        gLastError = {why, true};
        return false;
    }
    // Lines come only after a successful read, so a failure leaves info as it was.
    struct TLines {
        TTagInfo& info;
        std::string error;
    } got{info, {}};
    TamblixVideoLineFn line = [](void* context, const char* key, const char* value) {
        auto* to = static_cast<TLines*>(context);
        if (key)
            to->info.SetValue(key, std::string(value ? value : ""));
        else
            to->error = value ? value : "";
    };
    if (read(path.c_str(), TVideoFile::kBudgetMs, line, &got)) return true;
    gLastError = {got.error.empty() ? "not a readable video" : got.error, false};
    return false;
}

bool StepPhoto(const std::string& path, TTagInfo& info) {
    TPhotoFile r;
    if (!r.ReadFromFile(path)) {
        gLastError = {r.Error.empty() ? "not a readable photo" : r.Error, false};
        return false;
    }
    info.SetValue("DateTaken", r.DateTaken);
    info.SetValue("Width", r.Width);
    info.SetValue("Height", r.Height);
    info.SetValue("CameraMake", r.CameraMake);
    info.SetValue("CameraModel", r.CameraModel);
    info.SetValue("Lens", r.Lens);
    info.SetValue("ExposureTime", r.ExposureTime);
    info.SetValue("FNumber", r.FNumber);
    info.SetValue("ISO", r.ISO);
    info.SetValue("FocalLength", r.FocalLength);
    info.SetValue("Orientation", r.Orientation);
    if (r.HasGPS) {
        info.SetValue("GPSLatitude", r.Latitude);
        info.SetValue("GPSLongitude", r.Longitude);
    }
    return true;
}
