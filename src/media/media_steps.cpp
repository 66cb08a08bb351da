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

bool ReadVideo(const std::string& path, unsigned flags, TTagInfo& info) {
    return ReadThroughModule(VideoModule(), kTamblixReadVideoName, path, TVideoFile::kBudgetMs,
                             flags, "not a readable video", info);
}

bool ReadPhoto(const std::string& path, unsigned flags, TTagInfo& info) {
    return ReadThroughModule(PhotoModule(), kTamblixReadPhotoName, path, 0, flags,
                             "not a readable photo", info);
}

} // namespace

bool MediaReaderLoaded(const std::string& title) {
    TProgramModule* module = IsReaderTitle(title, "VIDEO")   ? &VideoModule()
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
