#include "media/heif_exif.h"

#include <dlfcn.h>
#include <libheif/heif.h>
#include <memory>
#include <vector>

namespace {

// An Exif block larger than this is not a camera's: not read.
constexpr size_t kMaxExifBytes = 4 << 20;

// libheif brings its codec libraries (tens of megabytes): it is opened the
// first time a HEIF or AVIF picture is read, not with the module.
struct THeifLibrary {
    decltype(&heif_init) Init = nullptr;
    decltype(&heif_context_alloc) ContextAlloc = nullptr;
    decltype(&heif_context_free) ContextFree = nullptr;
    decltype(&heif_context_read_from_file) ReadFromFile = nullptr;
    decltype(&heif_context_get_primary_image_handle) PrimaryHandle = nullptr;
    decltype(&heif_image_handle_release) HandleRelease = nullptr;
    decltype(&heif_image_handle_get_width) Width = nullptr;
    decltype(&heif_image_handle_get_height) Height = nullptr;
    decltype(&heif_image_handle_get_list_of_metadata_block_IDs) MetadataIds = nullptr;
    decltype(&heif_image_handle_get_metadata_size) MetadataSize = nullptr;
    decltype(&heif_image_handle_get_metadata) Metadata = nullptr;
    bool Ready = false;
};

template <class F> bool Find(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(::dlsym(lib, name));
    return fn != nullptr;
}

// Never unloaded: the module lives as long as the program.
const THeifLibrary& Library() {
    static const THeifLibrary lib = [] {
        THeifLibrary l;
        void* h = ::dlopen("libheif.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!h) return l;
        l.Ready = Find(h, "heif_init", l.Init) && Find(h, "heif_context_alloc", l.ContextAlloc) &&
                  Find(h, "heif_context_free", l.ContextFree) &&
                  Find(h, "heif_context_read_from_file", l.ReadFromFile) &&
                  Find(h, "heif_context_get_primary_image_handle", l.PrimaryHandle) &&
                  Find(h, "heif_image_handle_release", l.HandleRelease) &&
                  Find(h, "heif_image_handle_get_width", l.Width) &&
                  Find(h, "heif_image_handle_get_height", l.Height) &&
                  Find(h, "heif_image_handle_get_list_of_metadata_block_IDs", l.MetadataIds) &&
                  Find(h, "heif_image_handle_get_metadata_size", l.MetadataSize) &&
                  Find(h, "heif_image_handle_get_metadata", l.Metadata);
        if (l.Ready) l.Init(nullptr);
        return l;
    }();
    return lib;
}

} // namespace

bool ReadHeifDetails(const std::string& path, THeifDetails& out) {
    out = THeifDetails();
    const THeifLibrary& lib = Library();
    if (!lib.Ready) return false;
    auto freeContext = [&](heif_context* c) { lib.ContextFree(c); };
    std::unique_ptr<heif_context, decltype(freeContext)> ctx(lib.ContextAlloc(), freeContext);
    if (!ctx) return false;
    if (lib.ReadFromFile(ctx.get(), path.c_str(), nullptr).code != heif_error_Ok) return false;
    heif_image_handle* raw = nullptr;
    if (lib.PrimaryHandle(ctx.get(), &raw).code != heif_error_Ok || !raw) return false;
    auto release = [&](const heif_image_handle* h) { lib.HandleRelease(h); };
    std::unique_ptr<const heif_image_handle, decltype(release)> handle(raw, release);
    const int w = lib.Width(handle.get());
    const int h = lib.Height(handle.get());
    if (w > 0 && h > 0) {
        out.Width = w;
        out.Height = h;
    }
    heif_item_id id = 0;
    if (lib.MetadataIds(handle.get(), "Exif", &id, 1) < 1) return true;
    const size_t size = lib.MetadataSize(handle.get(), id);
    if (size < 4 || size > kMaxExifBytes) return true;
    std::vector<unsigned char> block(size);
    if (lib.Metadata(handle.get(), id, block.data()).code != heif_error_Ok) return true;
    // The block starts with the offset of the TIFF header from the end of that field.
    const uint64_t offset =
        uint64_t{block[0]} << 24 | uint64_t{block[1]} << 16 | uint64_t{block[2]} << 8 | block[3];
    if (offset >= size - 4) return true;
    out.Tiff.assign(reinterpret_cast<const char*>(block.data()) + 4 + offset, size - 4 - offset);
    return true;
}
