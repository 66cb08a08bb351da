#include "media/thumb_jpeg_dc.h"
#include "media/thumb_maker.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <mutex>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <vector>
#include <webp/decode.h>

namespace {

// Larger pictures are refused whatever the format: no photo of a camera comes near.
constexpr int64_t kMaxPixels = int64_t{1} << 28;

constexpr const char* kTooLarge = "the picture is larger than a thumbnail may decode";
constexpr const char* kTooSlow = "making its thumbnail took more time than a photo may take";

} // namespace

bool JpegSize(const uint8_t* data, size_t size, int& width, int& height) {
    tjhandle tj = tjInitDecompress();
    if (!tj) return false;
    int sub = 0, space = 0;
    const bool ok =
        size <= 0xFFFFFFFFu && tjDecompressHeader3(tj, data, static_cast<unsigned long>(size),
                                                   &width, &height, &sub, &space) == 0;
    tjDestroy(tj);
    return ok && width > 0 && height > 0;
}

std::string DecodeJpegThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            const TCpuBudget& budget, TRgbImage& out) {
    if (size > 0xFFFFFFFFu) return kTooLarge;
    tjhandle tj = tjInitDecompress();
    if (!tj) return "out of memory";
    std::unique_ptr<void, int (*)(tjhandle)> own(tj, tjDestroy);
    int w = 0, h = 0, sub = 0, space = 0;
    const auto bytes = static_cast<unsigned long>(size);
    if (tjDecompressHeader3(tj, data, bytes, &w, &h, &sub, &space) != 0 || w <= 0 || h <= 0)
        return "not a JPEG picture it can read";
    int fitW = 0, fitH = 0;
    FitWithin(w, h, limits.MaxSide, fitW, fitH);
    // The smallest scale the DCT offers that still covers the thumbnail.
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    int sw = w, sh = h;
    bool eighth = false;
    for (int i = 0; factors && i < count; ++i) {
        const int cw = TJSCALED(w, factors[i]), ch = TJSCALED(h, factors[i]);
        if (cw >= fitW && ch >= fitH && int64_t{cw} * ch < int64_t{sw} * sh) {
            sw = cw;
            sh = ch;
            eighth = factors[i].num == 1 && factors[i].denom == 8;
        }
    }
    const int64_t need = int64_t{sw} * sh * 3;
    if (need > static_cast<int64_t>(limits.MaxBytes)) return kTooLarge;
    if (budget.Spent()) return kTooSlow;
    if (eighth) {
        // At an eighth only the DC coefficients count: a decoder of its own
        // skips the rest much faster. What it does not read goes on below.
        TRgbImage small;
        const EEighthResult r = DecodeJpegEighth(data, size, limits.MaxBytes, budget, small);
        if (r == EEighthResult::TooSlow) return kTooSlow;
        if (r == EEighthResult::Done) {
            out = Reduce(small.Pixels.data(), small.Width, small.Height, small.Width * 3, 3, fitW,
                         fitH);
            return {};
        }
        if (budget.Spent()) return kTooSlow;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(need));
    int flags = TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE;
#ifdef TJFLAG_LIMITSCANS
    flags |= TJFLAG_LIMITSCANS; // a progressive file of thousands of scans is a bomb too
#endif
    if (tjDecompress2(tj, data, bytes, rgb.data(), sw, 0, sh, TJPF_RGB, flags) != 0 &&
        tjGetErrorCode(tj) != TJERR_WARNING)
        return std::string("the JPEG data is damaged: ") + tjGetErrorStr2(tj);
    // A warning is a cut or damaged stream: what was decoded shows, as viewers show it.
    out = Reduce(rgb.data(), sw, sh, sw * 3, 3, fitW, fitH);
    return {};
}

namespace {

struct TPngInput {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

void PngRead(png_structp png, png_bytep into, png_size_t n) {
    auto* in = static_cast<TPngInput*>(png_get_io_ptr(png));
    if (n > in->size - in->at) png_error(png, "the file is cut short");
    std::memcpy(into, in->data + in->at, n);
    in->at += n;
}

void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

} // namespace

namespace {

// What a PNG read keeps across libpng's jump: on the heap, so that the jump
// leaves none of it indeterminate.
struct TPngState {
    TPngInput input;
    std::vector<uint8_t> rows;
    std::unique_ptr<TRowReducer> reducer;
    const char* why = nullptr;
};

void ReadPngRows(png_structp png, png_infop info, const TThumbLimits& limits,
                 const TCpuBudget& budget, TPngState& st) {
    png_set_read_fn(png, &st.input, PngRead);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_chunk_malloc_max(png, 8 << 20);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (w == 0 || h == 0) png_error(png, "empty");
    if (int64_t{w} * h > kMaxPixels) {
        st.why = kTooLarge;
        png_error(png, "large");
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    int fitW = 0, fitH = 0;
    FitWithin(w, h, limits.MaxSide, fitW, fitH);
    const size_t rowBytes = size_t{w} * 4;
    // An interlaced picture is complete only after its last pass: it needs all of its rows.
    const size_t keep = passes > 1 ? size_t{h} : 1;
    if (rowBytes * keep > limits.MaxBytes) {
        st.why = kTooLarge;
        png_error(png, "large");
    }
    st.rows.resize(rowBytes * keep);
    st.reducer =
        std::make_unique<TRowReducer>(static_cast<int>(w), static_cast<int>(h), fitW, fitH);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < h; ++y) {
            png_bytep row = st.rows.data() + (keep > 1 ? rowBytes * y : 0);
            png_read_row(png, row, nullptr);
            if (keep == 1) st.reducer->AddRow(row, 4);
            if ((y & 15) == 0 && budget.Spent()) {
                st.why = kTooSlow;
                png_error(png, "slow");
            }
        }
    }
    if (keep > 1)
        for (png_uint_32 y = 0; y < h; ++y)
            st.reducer->AddRow(st.rows.data() + rowBytes * y, 4);
}

} // namespace

std::string DecodePngThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                           const TCpuBudget& budget, TRgbImage& out) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return "not a PNG picture";
    const auto st = std::make_unique<TPngState>();
    st->input = {data, size};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return "out of memory";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "out of memory";
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return st->why ? st->why : "the PNG data is damaged or cut short";
    }
    ReadPngRows(png, info, limits, budget, *st);
    png_destroy_read_struct(&png, &info, nullptr);
    out = st->reducer->Take();
    return {};
}

std::string DecodeWebpThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            TRgbImage& out) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return "the WebP library does not fit";
    if (WebPGetFeatures(data, size, &config.input) != VP8_STATUS_OK) return "not a WebP picture";
    if (config.input.has_animation) return "an animated WebP picture";
    const int w = config.input.width, h = config.input.height;
    int fitW = 0, fitH = 0;
    FitWithin(w, h, limits.MaxSide, fitW, fitH);
    // The library scales while it decodes: the whole picture is never held.
    config.options.use_scaling = 1;
    config.options.scaled_width = fitW;
    config.options.scaled_height = fitH;
    config.options.bypass_filtering = 1;
    config.output.colorspace = MODE_RGB;
    out.Width = fitW;
    out.Height = fitH;
    out.Pixels.assign(static_cast<size_t>(fitW) * static_cast<size_t>(fitH) * 3, 255);
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out.Pixels.data();
    config.output.u.RGBA.stride = fitW * 3;
    config.output.u.RGBA.size = out.Pixels.size();
    const VP8StatusCode rc = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (rc != VP8_STATUS_OK) {
        out = {};
        return "the WebP data is damaged or cut short";
    }
    return {};
}

namespace {

struct TTiffInput {
    const uint8_t* data;
    size_t size;
    toff_t at = 0;
};

tmsize_t TiffRead(thandle_t h, void* buf, tmsize_t n) {
    auto* in = static_cast<TTiffInput*>(h);
    if (n <= 0 || in->at >= in->size) return 0;
    const size_t take = std::min<size_t>(static_cast<size_t>(n), in->size - in->at);
    std::memcpy(buf, in->data + in->at, take);
    in->at += take;
    return static_cast<tmsize_t>(take);
}
tmsize_t TiffWrite(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
    auto* in = static_cast<TTiffInput*>(h);
    toff_t base = whence == SEEK_CUR ? in->at : whence == SEEK_END ? in->size : 0;
    in->at = base + off;
    return in->at;
}
int TiffClose(thandle_t) {
    return 0;
}
toff_t TiffSize(thandle_t h) {
    return static_cast<TTiffInput*>(h)->size;
}
int TiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
void TiffUnmap(thandle_t, void*, toff_t) {}

} // namespace

std::string DecodeTiffThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            TRgbImage& out) {
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TTiffInput input{data, size};
    TIFF* tif = TIFFClientOpen("picture", "rm", &input, TiffRead, TiffWrite, TiffSeek, TiffClose,
                               TiffSize, TiffMap, TiffUnmap);
    if (!tif) return "not a TIFF picture it can read";
    std::unique_ptr<TIFF, void (*)(TIFF*)> own(tif, TIFFClose);
    uint32_t w = 0, h = 0;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    if (w == 0 || h == 0) return "a TIFF file without a picture";
    if (int64_t{w} * h * 4 > static_cast<int64_t>(limits.MaxBytes)) return kTooLarge;
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tif, why)) return std::string("a TIFF picture it cannot show: ") + why;
    std::vector<uint32_t> raster(size_t{w} * h);
    // Asked in the file's own orientation, the rows come as stored: the
    // caller turns the picture as for every other format.
    if (!TIFFReadRGBAImageOriented(tif, w, h, raster.data(), orientation, 0))
        return "the TIFF data is damaged or cut short";
    int fitW = 0, fitH = 0;
    FitWithin(w, h, limits.MaxSide, fitW, fitH);
    std::vector<uint8_t> row(size_t{w} * 4);
    TRowReducer reducer(static_cast<int>(w), static_cast<int>(h), fitW, fitH);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = raster[size_t{y} * w + x];
            uint8_t* o = &row[size_t{x} * 4];
            o[0] = static_cast<uint8_t>(TIFFGetR(p));
            o[1] = static_cast<uint8_t>(TIFFGetG(p));
            o[2] = static_cast<uint8_t>(TIFFGetB(p));
            o[3] = static_cast<uint8_t>(TIFFGetA(p));
        }
        reducer.AddRow(row.data(), 4);
    }
    out = reducer.Take();
    return {};
}

std::string DecodeHeifThumb(const uint8_t* data, size_t size, const TThumbLimits& limits,
                            TRgbImage& out) {
    std::unique_ptr<heif_context, void (*)(heif_context*)> ctx(heif_context_alloc(),
                                                               heif_context_free);
    if (!ctx) return "out of memory";
    heif_context_set_maximum_image_size_limit(ctx.get(), 1 << 15);
    heif_error err = heif_context_read_from_memory_without_copy(ctx.get(), data, size, nullptr);
    if (err.code != heif_error_Ok)
        return std::string("the HEIF data cannot be read: ") + err.message;
    heif_image_handle* primary = nullptr;
    err = heif_context_get_primary_image_handle(ctx.get(), &primary);
    if (err.code != heif_error_Ok)
        return std::string("no picture in the HEIF file: ") + err.message;
    std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> own(
        primary, heif_image_handle_release);
    const int w = heif_image_handle_get_width(primary), h = heif_image_handle_get_height(primary);
    int fitW = 0, fitH = 0;
    FitWithin(w, h, limits.MaxSide, fitW, fitH);
    // The file's own thumbnail, when it is at least as large as ours.
    heif_image_handle* chosen = primary;
    std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> small(
        nullptr, heif_image_handle_release);
    heif_item_id ids[4] = {};
    const int thumbs = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids, 4);
    for (int i = 0; i < thumbs; ++i) {
        heif_image_handle* t = nullptr;
        if (heif_image_handle_get_thumbnail(primary, ids[i], &t).code != heif_error_Ok) continue;
        const int tw = heif_image_handle_get_width(t), th = heif_image_handle_get_height(t);
        if (std::max(tw, th) >= std::max(fitW, fitH) &&
            (!small || tw < heif_image_handle_get_width(small.get()))) {
            small.reset(t);
            chosen = t;
        } else {
            heif_image_handle_release(t);
        }
    }
    const int cw = heif_image_handle_get_width(chosen), ch = heif_image_handle_get_height(chosen);
    if (int64_t{cw} * ch * 5 > static_cast<int64_t>(limits.MaxBytes)) return kTooLarge;
    heif_image* img = nullptr;
    err =
        heif_decode_image(chosen, &img, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
    if (err.code != heif_error_Ok)
        return std::string("the HEIF picture cannot be decoded: ") + err.message;
    std::unique_ptr<heif_image, void (*)(const heif_image*)> ownImg(img, heif_image_release);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(img, heif_channel_interleaved, &stride);
    const int iw = heif_image_get_width(img, heif_channel_interleaved);
    const int ih = heif_image_get_height(img, heif_channel_interleaved);
    if (!plane || iw <= 0 || ih <= 0) return "the HEIF picture cannot be decoded";
    FitWithin(iw, ih, limits.MaxSide, fitW, fitH);
    out = Reduce(plane, iw, ih, stride, 3, fitW, fitH);
    return {};
}
