#include "media/media_steps.h"

#include "media/media_module_api.h"
#include "media/program_module.h"
#include "media/video_file.h"
#include "tags/reader_steps.h"
#include "text/name_text.h"

#include <utility>

namespace {

thread_local TMediaReadFailure gLastError;

// One file through a reader module's function. A missing module, or a file the
// module refuses, leaves info as it was and the reason in gLastError.
bool ReadThroughModule(TProgramModule& module, const char* function, const std::string& path,
                       int budgetMs, unsigned flags, const char* refused, TTagInfo& info) {
    std::string why;
    auto read = reinterpret_cast<TamblixReadFileFn>(module.Function(function, why));
    if (!read) {
        gLastError = {why, true};
        return false;
    }
    // Lines come only after a successful read.
    struct TLines {
        TTagInfo& info;
        std::string error;
    } got{info, {}};
    TamblixTagLineFn line = [](void* context, const char* key, const char* value) {
        auto* to = static_cast<TLines*>(context);
        if (key)
            // Camera and container strings are often not UTF-8 (Latin-1 makers' names).
            to->info.SetValue(key, nametext::ToDisplayName(value ? value : ""));
        else
            to->error = value ? value : "";
    };
    if (read(path.c_str(), budgetMs, flags, line, &got)) {
        // Read in part: the lines stand, and the log says what is missing.
        if (!got.error.empty()) gLastError = {got.error, false};
        return true;
    }
    gLastError = {got.error.empty() ? refused : got.error, false};
    return false;
}

// Never destroyed: a module may still be loading aside when the program ends.
TProgramModule& VideoModule() {
    static TProgramModule& module = *new TProgramModule("tamblix_video.so", "the video support");
    return module;
}

TProgramModule& PhotoModule() {
    static TProgramModule& module = *new TProgramModule("tamblix_photo.so", "the photo support");
    return module;
}

// Containers whose names libavformat never takes for a still picture, so that
// for a file of zeros it can only answer that no container starts there.
bool ZerosAreNoVideo(std::string_view name) {
    // Pattern characters make its image reader look at the name.
    if (name.find_first_of("%*?{[") != std::string_view::npos) return false;
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    static constexpr std::string_view kContainers[] = {"MP4", "M4V",  "MOV", "MKV", "WEBM", "AVI",
                                                       "MPG", "MPEG", "VOB", "TS",  "M2TS", "MTS",
                                                       "WMV", "ASF",  "FLV", "3GP", "3G2"};
    const std::string_view ext = name.substr(dot + 1);
    for (std::string_view known : kContainers)
        if (IsReaderTitle(ext, known)) return true;
    return false;
}

// The module's own words for bytes no demuxer takes.
constexpr const char* kNoContainer = "Invalid data found when processing input";

bool ReadVideo(const std::string& path, unsigned flags, TTagInfo& info) {
    if ((flags & kTamblixOnlyZeros) && ZerosAreNoVideo(path)) {
        gLastError = {kNoContainer, false};
        return false;
    }
    return ReadThroughModule(VideoModule(), kTamblixReadVideoName, path, TVideoFile::kBudgetMs,
                             flags, "not a readable video", info);
}

bool ReadPhoto(const std::string& path, unsigned flags, TTagInfo& info) {
    // No picture starts with zeros, as the module would answer too.
    if (flags & kTamblixOnlyZeros) {
        gLastError = {"not a photo", false};
        return false;
    }
    return ReadThroughModule(PhotoModule(), kTamblixReadPhotoName, path, 0, flags,
                             "not a readable photo", info);
}

} // namespace

bool MediaReaderLoaded(const std::string& title, std::string_view name, bool onlyHoles) {
    const bool video = IsReaderTitle(title, "VIDEO");
    if (onlyHoles && (video ? ZerosAreNoVideo(name) : IsReaderTitle(title, "PHOTO"))) return true;
    TProgramModule* module = video                           ? &VideoModule()
                             : IsReaderTitle(title, "PHOTO") ? &PhotoModule()
                                                             : nullptr;
    if (!module || module->Ready()) return true;
    module->LoadAside();
    return false;
}

TMediaReadFailure TakeMediaReadFailure() {
    return std::exchange(gLastError, TMediaReadFailure());
}

bool StepVideo(const std::string& path, TTagInfo& info) {
    return ReadVideo(path, 0, info);
}

bool StepPhoto(const std::string& path, TTagInfo& info) {
    return ReadPhoto(path, 0, info);
}

bool StepVideoOfZeros(const std::string& path, TTagInfo& info) {
    return ReadVideo(path, kTamblixOnlyZeros, info);
}

bool StepPhotoOfZeros(const std::string& path, TTagInfo& info) {
    return ReadPhoto(path, kTamblixOnlyZeros, info);
}
