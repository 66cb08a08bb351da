#pragma once

#include "tags/tag_info.h"

#include <string>
#include <string_view>

// The reader steps of the "Video" and "Photo" handlers: read the file and
// write its lines in a fixed order. False when the file could not be read;
// a failure never throws.
bool StepVideo(const std::string& path, TTagInfo& info);
bool StepPhoto(const std::string& path, TTagInfo& info);
// The same for a file the caller knows to read as zeros only: the readers
// give their answer for such bytes without opening the file.
bool StepVideoOfZeros(const std::string& path, TTagInfo& info);
bool StepPhotoOfZeros(const std::string& path, TTagInfo& info);

// Whether the reader step `title` ("Video", "Photo", any case) runs on the
// file `name` without first loading its module, which takes tens of
// milliseconds and, for video, a hundred libraries. When it would not, the
// module starts loading on a thread of its own, so that a reader ahead can
// leave the file to the scan instead of waiting. True for the other readers,
// and for a file of zeros (onlyHoles) whose answer is known without the module.
bool MediaReaderLoaded(const std::string& title, std::string_view name, bool onlyHoles);

// Why the last video or photo step on this thread read nothing, or read only
// part of the file (empty when it read it whole): the steps' signature has no
// room for it, and the scan's log wants it. NoReader: the reader itself is missing or broken, so
// the file may be fine.
struct TMediaReadFailure {
    std::string Why;
    bool NoReader = false;
};
TMediaReadFailure TakeMediaReadFailure();
