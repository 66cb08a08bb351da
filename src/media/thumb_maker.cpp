#include "media/thumb_maker.h"

#include "media/thumb_exif.h"
#include "media/video_demuxer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

TCpuBudget::TCpuBudget(int ms) : until_(ThreadCpuNs() + int64_t{ms} * 1000000) {}

bool TCpuBudget::Spent() const {
    return ThreadCpuNs() > until_;
}

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

bool IsTiff(const uint8_t* d, size_t n) {
    return n >= 8 && ((d[0] == 'I' && d[1] == 'I') || (d[0] == 'M' && d[1] == 'M'));
}
bool IsPng(const uint8_t* d, size_t n) {
    return n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0;
}
bool IsWebp(const uint8_t* d, size_t n) {
    return n >= 12 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBP", 4) == 0;
}
bool IsHeif(const uint8_t* d, size_t n) {
    if (n < 12 || std::memcmp(d + 4, "ftyp", 4) != 0) return false;
    static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc",
                                          "hevx", "mif1", "msf1", "avif", "avis"};
    for (const char* b : kBrands)
        if (std::memcmp(d + 8, b, 4) == 0) return true;
    return false;
}
bool IsJpeg(const uint8_t* d, size_t n) {
    return n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
}

// The Exif orientation of a WebP picture's EXIF chunk.
int WebpOrientation(const uint8_t* d, size_t n) {
    size_t at = 12;
    while (at + 8 <= n) {
        const size_t len = Le32(d + at + 4);
        if (len > n - at - 8) return 0;
        if (std::memcmp(d + at, "EXIF", 4) == 0) {
            const uint8_t* e = d + at + 8;
            size_t el = len;
            // Some writers keep the JPEG segment's "Exif\0\0" before the TIFF header.
            if (el >= 6 && std::memcmp(e, "Exif\0\0", 6) == 0) {
                e += 6;
                el -= 6;
            }
            return ReadTiffFacts(e, el).Orientation;
        }
        at += 8 + len + (len & 1);
    }
    return 0;
}

// The embedded preview that best stands for a picture of w x h (0: unknown):
// the smallest one that covers the thumbnail with the picture's shape;
// without a size to match, the largest. Offsets count from base.
bool ChoosePreview(const uint8_t* base, const TTiffFacts& facts, int64_t w, int64_t h,
                   const TThumbLimits& limits, bool anySize, TTiffFacts::TSpan& chosen) {
    int fitW = 0, fitH = 0;
    if (w > 0 && h > 0) FitWithin(w, h, limits.MaxSide, fitW, fitH);
    const int need = std::max(fitW, fitH) > 0 ? std::max(fitW, fitH) : limits.MaxSide;
    int64_t best = -1;
    bool covers = false;
    for (const auto& p : facts.Previews) {
        int pw = 0, ph = 0;
        if (!JpegSize(base + p.Offset, p.Length, pw, ph)) continue;
        // A preview of another shape has bars or is cut: it is not the picture.
        if (w > 0 && h > 0) {
            const double a = static_cast<double>(pw) / ph, b = static_cast<double>(w) / h;
            const double c = static_cast<double>(ph) / pw;
            if (std::abs(a - b) > 0.02 * b && std::abs(c - b) > 0.02 * b) continue;
        }
        const bool big = std::max(pw, ph) >= need;
        const int64_t area = int64_t{pw} * ph;
        const bool better = big ? (!covers || area < best) : (!covers && area > best);
        if (better) {
            best = area;
            covers = big;
            chosen = p;
        }
    }
    return best >= 0 && (covers || anySize);
}

TThumbMade Finish(std::string why, TRgbImage img, int orientation, const TThumbLimits& limits) {
    TThumbMade made;
    if (!why.empty()) {
        made.Why = std::move(why);
        return made;
    }
    img = Orient(std::move(img), orientation);
    made.Jpeg = EncodeJpeg(img, limits.Quality);
    if (made.Jpeg.empty()) {
        made.Why = "the thumbnail could not be encoded";
        return made;
    }
    made.Width = img.Width;
    made.Height = img.Height;
    return made;
}

} // namespace

TThumbMade MakePhotoThumbnail(const uint8_t* data, size_t size, const TThumbLimits& limits) {
    const TCpuBudget budget(limits.PhotoCpuMs);
    TRgbImage img;
    std::string why;
    int orientation = 0;
    try {
        if (IsJpeg(data, size)) {
            size_t start = 0, length = 0;
            TTiffFacts facts;
            if (FindJpegExif(data, size, start, length))
                facts = ReadTiffFacts(data + start, length);
            orientation = facts.Orientation;
            int w = 0, h = 0;
            TTiffFacts::TSpan preview;
            if (JpegSize(data, size, w, h) &&
                ChoosePreview(data + start, facts, w, h, limits, false, preview) &&
                DecodeJpegThumb(data + start + preview.Offset, preview.Length, limits, budget, img)
                    .empty())
                return Finish({}, std::move(img), orientation, limits);
            why = DecodeJpegThumb(data, size, limits, budget, img);
        } else if (IsTiff(data, size)) {
            // A TIFF, or a camera's raw file built on TIFF: its largest fitting
            // preview, else the picture itself, else any preview at all.
            const TTiffFacts facts = ReadTiffFacts(data, size);
            orientation = facts.Orientation;
            TTiffFacts::TSpan preview;
            if (ChoosePreview(data, facts, 0, 0, limits, false, preview) &&
                DecodeJpegThumb(data + preview.Offset, preview.Length, limits, budget, img).empty())
                return Finish({}, std::move(img), orientation, limits);
            why = DecodeTiffThumb(data, size, limits, img);
            if (!why.empty() && ChoosePreview(data, facts, 0, 0, limits, true, preview) &&
                DecodeJpegThumb(data + preview.Offset, preview.Length, limits, budget, img).empty())
                why.clear();
        } else if (IsPng(data, size)) {
            // A PNG shows as stored: viewers and ImageMagick leave its eXIf turn aside.
            why = DecodePngThumb(data, size, limits, budget, img);
        } else if (IsWebp(data, size)) {
            orientation = WebpOrientation(data, size);
            why = DecodeWebpThumb(data, size, limits, img);
        } else if (IsHeif(data, size)) {
            why = DecodeHeifThumb(data, size, limits, img);
        } else {
            why = "not a picture format it knows";
        }
    } catch (const std::bad_alloc&) {
        why = "the picture needs more memory than a thumbnail may take";
    }
    return Finish(std::move(why), std::move(img), orientation, limits);
}

TThumbMade MakeThumbnailOf(const std::string& path, const TThumbLimits& limits) {
    TThumbMade made;
    // Links are never followed and FIFOs never opened for reading.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        made.Why = std::strerror(errno);
        return made;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        made.Why = "not a regular file";
        return made;
    }
    if (st.st_size <= 0) {
        ::close(fd);
        made.Why = "an empty file";
        return made;
    }
    const auto size = static_cast<size_t>(st.st_size);
    uint8_t head[16] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const size_t n = got > 0 ? static_cast<size_t>(got) : 0;
    if (IsJpeg(head, n) || IsTiff(head, n) || IsPng(head, n) || IsWebp(head, n) ||
        IsHeif(head, n)) {
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (map == MAP_FAILED) {
            made.Why = "the file cannot be read";
            return made;
        }
        made = MakePhotoThumbnail(static_cast<const uint8_t*>(map), size, limits);
        ::munmap(map, size);
        return made;
    }
    ::close(fd);
    TRgbImage img;
    std::string why;
    try {
        why = DecodeVideoThumb(path, limits, img);
        // The container reader knows pictures of other formats by name only.
        if (why == "a still picture") why = "not a picture or video format it knows";
    } catch (const std::bad_alloc&) {
        why = "the video needs more memory than a thumbnail may take";
    }
    return Finish(std::move(why), std::move(img), 1, limits);
}
