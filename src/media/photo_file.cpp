#include "media/photo_file.h"

#include "media/exiv_file_io.h"
#include "media/heif_exif.h"
#include "tags/binary_file.h"

// Exiv2 0.27 hands images out in std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>
#include <mutex>
#include <optional>

namespace {

void QuietLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

const Exiv2::Exifdatum* Find(const Exiv2::ExifData& exif, const char* key) {
    auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0) return nullptr;
    return &*it;
}

std::string Text(const Exiv2::ExifData& exif, const char* key) {
    const Exiv2::Exifdatum* d = Find(exif, key);
    if (!d) return {};
    std::string s = d->toString();
    // EXIF strings are padded with NULs and blanks.
    while (!s.empty() && (s.back() == '\0' || s.back() == ' '))
        s.pop_back();
    size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}

double Real(const Exiv2::Exifdatum& d, long i) {
    Exiv2::Rational r = d.toRational(i);
    if (r.second == 0) return NAN;
    return static_cast<double>(r.first) / r.second;
}

// Degrees, minutes and seconds with the hemisphere's letter; false when incomplete.
bool Coordinate(const Exiv2::ExifData& exif, const char* key, const char* refKey, char negative,
                double& out) {
    const Exiv2::Exifdatum* d = Find(exif, key);
    if (!d || d->count() < 3) return false;
    double deg = Real(*d, 0), min = Real(*d, 1), sec = Real(*d, 2);
    if (!std::isfinite(deg) || !std::isfinite(min) || !std::isfinite(sec)) return false;
    out = deg + min / 60 + sec / 3600;
    std::string ref = Text(exif, refKey);
    if (!ref.empty() && (ref[0] == negative || ref[0] == negative + 32)) out = -out;
    if (std::fabs(out) > 180) return false;
    out = std::round(out * 1e6) / 1e6;
    return true;
}

double Rounded(double v, double scale) {
    return std::isfinite(v) && v > 0 ? std::round(v * scale) / scale : 0;
}

// A text tag by its number: Exiv2 0.27 has no names for some newer tags.
std::string TextOf(const Exiv2::ExifData& exif, uint16_t tag, const char* group) {
    auto it = exif.findKey(Exiv2::ExifKey(tag, group));
    if (it == exif.end() || it->count() == 0) return {};
    std::string s = it->toString();
    size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// One of the three dates of the EXIF block, with its fraction of a second and
// its offset from UTC where the camera wrote them: "2024-05-17T14:03:09.042+02:00".
std::string DateWithParts(const Exiv2::ExifData& exif, const char* dateKey, uint16_t subSecTag,
                          uint16_t offsetTag) {
    std::string iso = ExifDateToIso(Text(exif, dateKey));
    if (iso.empty()) return iso;
    std::string sub = TextOf(exif, subSecTag, "Photo");
    while (!sub.empty() && sub.front() == ' ')
        sub.erase(0, 1);
    if (!sub.empty() && sub.find_first_not_of("0123456789") == std::string::npos) iso += "." + sub;
    const std::string offset = TextOf(exif, offsetTag, "Photo");
    // "+HH:MM" or "-HH:MM"; blanks mean the camera did not know.
    if (offset.size() == 6 && (offset[0] == '+' || offset[0] == '-') && offset[3] == ':' &&
        std::isdigit(static_cast<unsigned char>(offset[1])) &&
        std::isdigit(static_cast<unsigned char>(offset[2])) &&
        std::isdigit(static_cast<unsigned char>(offset[4])) &&
        std::isdigit(static_cast<unsigned char>(offset[5])))
        iso += offset;
    return iso;
}

void ReadExif(const Exiv2::ExifData& exif, TPhotoFile& p) {
    // When the picture was taken, then when it was scanned or stored, and only
    // then when the file was last changed.
    p.DateTaken = DateWithParts(exif, "Exif.Photo.DateTimeOriginal", 0x9291, 0x9011);
    if (p.DateTaken.empty())
        p.DateTaken = DateWithParts(exif, "Exif.Photo.DateTimeDigitized", 0x9292, 0x9012);
    if (p.DateTaken.empty())
        p.DateTaken = DateWithParts(exif, "Exif.Image.DateTime", 0x9290, 0x9010);
    p.CameraMake = Text(exif, "Exif.Image.Make");
    p.CameraModel = Text(exif, "Exif.Image.Model");
    p.Lens = Text(exif, "Exif.Photo.LensModel");
    if (const auto* d = Find(exif, "Exif.Photo.ExposureTime")) {
        Exiv2::Rational r = d->toRational(0);
        p.ExposureTime = ExposureText(r.first, r.second);
    }
    if (const auto* d = Find(exif, "Exif.Photo.FNumber")) p.FNumber = Rounded(Real(*d, 0), 10);
    if (const auto* d = Find(exif, "Exif.Photo.FocalLength"))
        p.FocalLength = Rounded(Real(*d, 0), 10);
    if (const auto* d = Find(exif, "Exif.Photo.ISOSpeedRatings")) p.ISO = d->toLong(0);
    if (const auto* d = Find(exif, "Exif.Image.Orientation")) {
        long o = d->toLong(0);
        if (o >= 1 && o <= 8) p.Orientation = o;
    }
    if (p.Width <= 0 || p.Height <= 0) {
        const auto* w = Find(exif, "Exif.Photo.PixelXDimension");
        const auto* h = Find(exif, "Exif.Photo.PixelYDimension");
        if (w && h && w->toLong(0) > 0 && h->toLong(0) > 0) {
            p.Width = w->toLong(0);
            p.Height = h->toLong(0);
        }
    }
    double lat = 0, lon = 0;
    if (Coordinate(exif, "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", 'S', lat) &&
        Coordinate(exif, "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", 'W', lon) &&
        std::fabs(lat) <= 90) {
        p.HasGPS = true;
        p.Latitude = lat;
        p.Longitude = lon;
    }
}

// Exiv2 also opens video containers, and some of those parsers abort the
// process on damaged input: only still-picture formats go to it.
bool IsPhotoType(int type) {
    namespace T = Exiv2::ImageType;
    switch (type) {
    case T::jpeg:
    case T::crw:
    case T::tiff: // also DNG, NEF, ARW, PEF
    case T::mrw:
    case T::png:
    case T::cr2:
    case T::raf:
    case T::orf:
    case T::rw2:
    case T::bmff: // HEIF, AVIF, CR3
    case T::webp:
        return true;
    default:
        return false;
    }
}

// False when the file's head is surely no photo. Asked of the file itself,
// the library seeks dozens of times (a system call each); its type checks
// read a few dozen bytes from the start, so the head in memory gives the same
// answer. Only the TGA check looks at the end, so that answer is left to the file.
bool LooksLikeAPhoto(TBinaryFile& file) {
    if (!file.IsOpen()) return true;
    Exiv2::byte head[4096];
    const int64_t got = file.ReadAt(0, head, sizeof head);
    if (got < 0) return true;
    const int type = Exiv2::ImageFactory::getType(head, static_cast<long>(got));
    return IsPhotoType(type) || type == Exiv2::ImageType::tga;
}

} // namespace

std::string ExifDateToIso(const std::string& exif) {
    // "YYYY:MM:DD HH:MM:SS"; cameras without a clock write blanks or zeros.
    if (exif.size() < 19) return {};
    static const char kShape[] = "dddd:dd:dd dd:dd:dd";
    for (size_t i = 0; i < 19; ++i) {
        char c = exif[i];
        if (kShape[i] == 'd' ? (c < '0' || c > '9') : (c != kShape[i] && c != '-' && c != 'T'))
            return {};
    }
    if (exif.compare(0, 4, "0000") == 0) return {};
    std::string iso = exif.substr(0, 19);
    iso[4] = iso[7] = '-';
    iso[10] = 'T';
    return iso;
}

std::string ExposureText(int64_t num, int64_t den) {
    if (num <= 0 || den <= 0) return {};
    double v = static_cast<double>(num) / static_cast<double>(den);
    if (v < 0.25) {
        // Shown as photographers write it: 1/250.
        double inv = static_cast<double>(den) / static_cast<double>(num);
        return "1/" + std::to_string(std::llround(inv));
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", std::round(v * 10) / 10);
    return buf;
}

bool TPhotoFile::ReadFromFile(const std::string& path, bool onlyZeros) {
    *this = TPhotoFile();
    QuietLibrary();
    // Only zero bytes: no picture starts there. (A file of holes the caller
    // did not know of is told by its head of zeros, at the cost of one read.)
    if (onlyZeros) {
        Error = "not a photo";
        return false;
    }
    TBinaryFile file;
    file.Open(path);
    // An empty file: the library answers every one alike, and finding that
    // out cost more than the rest of an empty file's scan. (A path from the
    // root is always a local file to the library.)
    if (file.IsOpen() && file.Size() == 0 && !path.empty() && path[0] == '/') {
        static std::mutex mutex;
        static std::optional<TPhotoFile> empty;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (empty) {
                *this = *empty;
                return Valid;
            }
        }
        ReadOpened(path, file);
        std::lock_guard<std::mutex> lock(mutex);
        if (!empty) empty = *this;
        return Valid;
    }
    return ReadOpened(path, file);
}

bool TPhotoFile::ReadOpened(const std::string& path, TBinaryFile& file) {
    try {
        if (!LooksLikeAPhoto(file)) {
            Error = "not a photo";
            return false;
        }
        Exiv2::BasicIo::AutoPtr io(new TExivFileIo(file, path));
        if (!IsPhotoType(Exiv2::ImageFactory::getType(*io))) {
            Error = "not a photo";
            return false;
        }
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(io);
        if (!image.get()) {
            Error = "not a photo";
            return false;
        }
        image->readMetadata();
        Width = image->pixelWidth() > 0 ? image->pixelWidth() : 0;
        Height = image->pixelHeight() > 0 ? image->pixelHeight() : 0;
        const Exiv2::ExifData* exif = &image->exifData();
        // This Exiv2 reads no Exif of HEIF and AVIF pictures, and gives their
        // coded size: libheif gives both as for any other picture.
        Exiv2::ExifData heifExif;
        THeifDetails heif;
        if (image->imageType() == Exiv2::ImageType::bmff && exif->empty() &&
            ReadHeifDetails(path, heif)) {
            if (heif.Width > 0) {
                Width = heif.Width;
                Height = heif.Height;
            }
            if (!heif.Tiff.empty()) {
                Exiv2::ExifParser::decode(heifExif,
                                          reinterpret_cast<const Exiv2::byte*>(heif.Tiff.data()),
                                          static_cast<uint32_t>(heif.Tiff.size()));
                exif = &heifExif;
            }
        }
        ReadExif(*exif, *this);
        Valid = true;
    } catch (const std::exception& e) {
        // Exiv2 throws on damaged input; whatever it read before is dropped.
        *this = TPhotoFile();
        Error = e.what();
    } catch (...) {
        *this = TPhotoFile();
        Error = "unreadable metadata";
    }
    return Valid;
}

#pragma GCC diagnostic pop
