#include "media/media_steps.h"

#include "media/photo_file.h"
#include "media/video_file.h"

namespace {
thread_local std::string gLastError;
} // namespace

std::string TakeMediaReadError() {
    std::string why;
    why.swap(gLastError);
    return why;
}

bool StepVideo(const std::string& path, TTagInfo& info) {
    TVideoFile r;
    if (!r.ReadFromFile(path)) {
        gLastError = r.Error.empty() ? "not a readable video" : r.Error;
        return false;
    }
    info.SetValue("DurationSec", r.Duration);
    info.SetValue("Width", r.Width);
    info.SetValue("Height", r.Height);
    info.SetValue("FrameRate", r.FrameRate);
    info.SetValue("VideoCodec", r.VideoCodec);
    info.SetValue("AudioCodec", r.AudioCodec);
    info.SetValue("Channels", r.Channels);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", r.BitRate);
    info.SetValue("Title", r.Title);
    info.SetValue("Artist", r.Artist);
    info.SetValue("Date", r.Date);
    info.SetValue("Comments", r.Comment);
    return true;
}

bool StepPhoto(const std::string& path, TTagInfo& info) {
    TPhotoFile r;
    if (!r.ReadFromFile(path)) {
        gLastError = r.Error.empty() ? "not a readable photo" : r.Error;
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
