#include "media/thumb_step.h"

#include "media/media_module_api.h"
#include "media/program_module.h"

namespace {

// Never destroyed: the module may still be loading aside when the program ends.
TProgramModule& ThumbModule() {
    static TProgramModule& module =
        *new TProgramModule("tamblix_thumbs.so", "the thumbnail support");
    return module;
}

} // namespace

bool MakeThumbnail(const std::string& path, TThumbnail& out, std::string& why, bool* noModule) {
    out = {};
    if (noModule) *noModule = false;
    auto make =
        reinterpret_cast<TamblixMakeThumbFn>(ThumbModule().Function(kTamblixMakeThumbName, why));
    if (!make) {
        if (noModule) *noModule = true;
        return false;
    }
    struct TGot {
        TThumbnail& out;
        std::string& why;
    } got{out, why};
    TamblixThumbFn done = [](void* context, const unsigned char* data, size_t size, int width,
                             int height, const char* text) {
        auto* to = static_cast<TGot*>(context);
        if (data) {
            to->out.Data.assign(reinterpret_cast<const char*>(data), size);
            to->out.Width = width;
            to->out.Height = height;
        } else {
            to->why = text ? text : "no thumbnail could be made";
        }
    };
    make(path.c_str(), kThumbnailSide, done, &got);
    return !out.Empty();
}

bool ThumbnailerLoaded() {
    TProgramModule& module = ThumbModule();
    if (module.Ready()) return true;
    module.LoadAside();
    return false;
}
