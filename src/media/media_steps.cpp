#include "media/media_steps.h"

#include "media/media_module_api.h"
#include "media/program_module.h"
#include "media/video_file.h"

#include <utility>

namespace {

thread_local TMediaReadFailure gLastError;

// One file through a reader module's function. A missing module, or a file the
// module refuses, leaves info as it was and the reason in gLastError.
bool ReadThroughModule(TProgramModule& module, const char* function, const std::string& path,
                       int budgetMs, const char* refused, TTagInfo& info) {
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
            to->info.SetValue(key, std::string(value ? value : ""));
        else
            to->error = value ? value : "";
    };
    if (read(path.c_str(), budgetMs, line, &got)) return true;
    gLastError = {got.error.empty() ? refused : got.error, false};
    return false;
}

} // namespace

TMediaReadFailure TakeMediaReadFailure() {
    return std::exchange(gLastError, TMediaReadFailure());
}

bool StepVideo(const std::string& path, TTagInfo& info) {
    static TProgramModule module("tamblix_video.so", "the video support");
    return ReadThroughModule(module, kTamblixReadVideoName, path, TVideoFile::kBudgetMs,
                             "not a readable video", info);
}

bool StepPhoto(const std::string& path, TTagInfo& info) {
    static TProgramModule module("tamblix_photo.so", "the photo support");
    return ReadThroughModule(module, kTamblixReadPhotoName, path, 0, "not a readable photo", info);
}
