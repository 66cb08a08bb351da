#include "tags/tag_captions.h"

#include "settings/message_table.h"
#include "text/string_list.h"

namespace {

// Keys with a readable name; the message key of each is "tag" + key, so a
// language file translates them as it does every other text.
const char* const kReadableKeys[] = {
    "DurationSec", "Width",       "Height",       "Rotation",     "FrameRate", "VideoCodec",
    "AudioCodec",  "Channels",    "SampleRateHZ", "BitRateKBS",   "Date",      "DateTaken",
    "CameraMake",  "CameraModel", "Lens",         "ExposureTime", "FNumber",   "ISO",
    "FocalLength", "Orientation", "GPSLatitude",  "GPSLongitude", "XXH128"};

std::string MessageKey(std::string_view key) {
    return "tag" + std::string(key);
}

} // namespace

std::string ReadableTagName(std::string_view key) {
    for (const char* k : kReadableKeys)
        if (SameText(k, key)) return GetMessageText(MessageKey(k));
    return {};
}

std::string KeyOfReadableTagName(std::string_view caption) {
    if (caption.empty()) return {};
    for (const char* k : kReadableKeys)
        if (SameText(GetMessageText(MessageKey(k)), caption)) return k;
    return {};
}
