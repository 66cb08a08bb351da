// The video and photo readers on the fixtures and on files they must refuse,
// and their place in the handler table.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "handlers/handlers.h"
#include "media/media_steps.h"
#include "media/photo_file.h"
#include "media/video_file.h"
#include "media_test_util.h"
#include "settings/questions.h"
#include "support/recording_progress.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "tags/reader_steps.h"
#include "text/message_error.h"

#include <chrono>
#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace {

std::vector<std::string> Lines(bool (*step)(const std::string&, TTagInfo&),
                               const std::string& path) {
    TTagInfo info;
    step(path, info);
    return info.Values();
}

TEST(VideoFile, ContainerValuesAndTags) {
    TVideoFile v;
    ASSERT_TRUE(v.ReadFromFile(MediaFixture("clip.mp4"))) << v.Error;
    EXPECT_DOUBLE_EQ(v.Duration, 1.0);
    EXPECT_EQ(v.Width, 64);
    EXPECT_EQ(v.Height, 48);
    EXPECT_DOUBLE_EQ(v.FrameRate, 25);
    EXPECT_EQ(v.VideoCodec, "h264");
    EXPECT_EQ(v.AudioCodec, "aac");
    EXPECT_EQ(v.Channels, 1);
    EXPECT_EQ(v.SampleRate, 22050);
    // The container has no rate of its own: its size over its length.
    EXPECT_EQ(v.BitRate, 98);
    EXPECT_EQ(v.Title, "Harbour at dawn");
    EXPECT_EQ(v.Artist, "Ann Example");
    EXPECT_EQ(v.Date, "2021");
    EXPECT_EQ(v.Comment, "Test clip");

    // NTSC rates keep three decimals; a film without sound has no audio lines.
    EXPECT_EQ(Lines(StepVideo, MediaFixture("silent.mp4")),
              (std::vector<std::string>{"DurationSec=1.001", "Width=64", "Height=48",
                                        "FrameRate=29.97", "VideoCodec=h264", "BitRateKBS=30"}));
    auto sound = Lines(StepVideo, MediaFixture("sound_only.mkv"));
    ASSERT_FALSE(sound.empty());
    EXPECT_EQ(sound[0], "DurationSec=1");
    EXPECT_EQ(sound[1], "AudioCodec=flac");
}

// What phones and cameras write: the turn that shows the picture upright, the
// size as shown, and when they recorded (ISO 8601 in UTC).
TEST(VideoFile, RotationAndRecordingTime) {
    struct TCase {
        const char* name;
        int32_t width, height, rotation;
        const char* date;
    } cases[] = {{"portrait.mp4", 48, 64, 90, "2024-05-17T14:03:09Z"},
                 {"upside_down.3gp", 128, 96, 180, "2020-10-11T12:13:14Z"},
                 {"recorded.mov", 64, 48, 0, "2023-08-14T06:30:00Z"},
                 {"recorded.mkv", 64, 48, 0, "2022-02-03T04:05:06Z"},
                 // A date tag is kept as it was written.
                 {"clip.mp4", 64, 48, 0, "2021"}};
    for (const TCase& c : cases) {
        TVideoFile v;
        ASSERT_TRUE(v.ReadFromFile(MediaFixture(c.name))) << c.name << ": " << v.Error;
        EXPECT_EQ(v.Width, c.width) << c.name;
        EXPECT_EQ(v.Height, c.height) << c.name;
        EXPECT_EQ(v.Rotation, c.rotation) << c.name;
        EXPECT_EQ(v.Date, c.date) << c.name;
        EXPECT_TRUE(v.Incomplete.empty()) << c.name;
    }
    const auto lines = Lines(StepVideo, MediaFixture("portrait.mp4"));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[3], "Rotation=90");
}

// Program and transport streams carry no header totals: the reader looks at
// packets for them, still within its bounds.
TEST(VideoFile, StreamsWithoutHeaderTotals) {
    for (const char* name : {"clip.mpg", "clip.vob", "clip.ts", "clip.m2ts"}) {
        TVideoFile v;
        ASSERT_TRUE(v.ReadFromFile(MediaFixture(name))) << name << ": " << v.Error;
        EXPECT_NEAR(v.Duration, 1.0, 0.05) << name;
        EXPECT_EQ(v.Width, 64) << name;
        EXPECT_EQ(v.Height, 48) << name;
        EXPECT_GT(v.BitRate, 0) << name;
    }
}

TEST(VideoFile, RefusesWhatIsNotVideo) {
    TTempFolder tmp;
    const std::string cases[] = {
        tmp.Write("empty.mp4", ""),
        tmp.Write("text.ts", "export const x = 1;\n"),
        tmp.Write("zeros.mkv", std::string(100000, '\0')),
        tmp.File("missing.avi"),
    };
    for (const auto& path : cases) {
        TVideoFile v;
        EXPECT_FALSE(v.ReadFromFile(path)) << path;
        EXPECT_FALSE(v.Error.empty()) << path;
        TTagInfo info;
        EXPECT_FALSE(StepVideo(path, info)) << path;
        EXPECT_TRUE(info.Empty()) << path;
    }
    // A photo is one still picture, not a film: no video lines for it.
    TVideoFile still;
    still.ReadFromFile(MediaFixture("photo.jpg"));
    EXPECT_EQ(still.Duration, 0);
}

// A large file that never shows a header ends within the probe's bounds.
TEST(VideoFile, EndlessNoiseEndsInTime) {
    TTempFolder tmp;
    std::string path = tmp.File("big.ts");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    // A sparse gigabyte: reads cost nothing, so only the bounds stop the probe.
    // Its last byte is written: a file of holes only is refused before any probe.
    ASSERT_EQ(::ftruncate(fd, int64_t{1} << 30), 0);
    ASSERT_EQ(::pwrite(fd, "x", 1, (int64_t{1} << 30) - 1), 1);
    ::close(fd);
    auto start = std::chrono::steady_clock::now();
    TVideoFile v;
    EXPECT_FALSE(v.ReadFromFile(path));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    EXPECT_LT(ms, TVideoFile::kBudgetMs + 5000);
}

// A sparse file never written is refused at once, with the very answer the
// libraries give for the same zero bytes written out.
TEST(VideoFile, FilesOfHolesGiveTheLibrarysAnswer) {
    TTempFolder tmp;
    // The video reader answers a name once per extension, ignoring case:
    // other cases and other names of the same extension must agree.
    for (std::string ext : {".mp4",  ".mkv", ".mpg",  ".ts",  ".avi",  ".jpg",     ".png",
                            ".tif",  ".MP4", ".Mkv",  ".JPG", ".Jpeg", ".bmp",     ".gif",
                            ".webm", ".mov", ".m2ts", ".wmv", ".3gp",  "%03d.jpg", "*.mp4"}) {
        const bool more = ext.size() > 1 && ext[1] >= 'a' && ext != ".mp4" && ext != ".mkv";
        for (int size : {21, 100, 300000, 3000000}) {
            if (more && size > 300000) continue;
            const std::string written = tmp.Write("w" + std::to_string(size) + ext,
                                                  std::string(static_cast<size_t>(size), '\0'));
            const std::string holes = tmp.File("h" + std::to_string(size) + ext);
            int fd = ::open(holes.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::ftruncate(fd, size), 0);
            ::close(fd);
            // Told by the walk that the file is all holes, the readers answer the same.
            TVideoFile vw, vh, vz;
            EXPECT_FALSE(ReadUnhurried(vw, written));
            EXPECT_FALSE(ReadUnhurried(vh, holes));
            EXPECT_FALSE(ReadUnhurried(vz, holes, true));
            EXPECT_EQ(vh.Error, vw.Error) << ext << ' ' << size;
            TPhotoFile pw, ph, pz;
            EXPECT_FALSE(pw.ReadFromFile(written));
            EXPECT_FALSE(ph.ReadFromFile(holes));
            EXPECT_FALSE(pz.ReadFromFile(holes, true));
            EXPECT_EQ(ph.Error, pw.Error) << ext << ' ' << size;
            // The walk tells only of files past a block's size (smaller ones
            // may keep their data in the inode): a few zeros may read otherwise.
            if (size < 100) continue;
            EXPECT_EQ(vz.Error, vw.Error) << ext << ' ' << size;
            EXPECT_EQ(pz.Error, pw.Error) << ext << ' ' << size;
        }
    }
}

// Data followed by a sparse tail: the probe stops where the data ends, and
// the answer is the one the data alone gives, for text and for real clips.
// The hole at a file's end is read as zeros without the system: the answers
// are those for the same zeros written out, for files whose library reads
// the whole tail (a text head named .mp4 does) and for real videos.
TEST(VideoFile, AHoleAtTheEndReadsAsItsZerosWrittenOut) {
    TTempFolder tmp;
    std::string text;
    while (text.size() < 4096)
        text += "old chapter.mp4\n";
    const size_t size = size_t{2} << 20;
    int n = 0;
    auto both = [&](const std::string& ext, const std::string& head) {
        const std::string holes = tmp.Write(std::to_string(n) + "h" + ext, head);
        EXPECT_EQ(::truncate(holes.c_str(), static_cast<off_t>(size)), 0);
        const std::string zeros = tmp.Write(std::to_string(n++) + "z" + ext,
                                            head + std::string(size - head.size(), '\0'));
        TVideoFile h, z;
        EXPECT_EQ(ReadUnhurried(h, holes), ReadUnhurried(z, zeros)) << ext;
        EXPECT_EQ(h.Error, z.Error) << ext;
        EXPECT_EQ(h.Duration, z.Duration) << ext;
        EXPECT_EQ(h.VideoCodec, z.VideoCodec) << ext;
        EXPECT_EQ(h.Width, z.Width) << ext;
        EXPECT_EQ(h.AudioCodec, z.AudioCodec) << ext;
    };
    for (const char* ext : {".mp4", ".mov", ".mkv", ".avi", ".ts"})
        both(ext, text);
    for (const char* name : {"clip.mp4", "clip.mkv", "clip.avi"})
        both(std::string(".") + name, ReadFile(MediaFixture(name)));
}

TEST(VideoFile, ASparseTailChangesNoAnswer) {
    TTempFolder tmp;
    auto withTail = [&](const std::string& name, const std::string& data) {
        const std::string path = tmp.Write(name, data);
        EXPECT_EQ(::truncate(path.c_str(), int64_t{200} << 20), 0);
        return path;
    };
    std::string text;
    while (text.size() < 4096)
        text += "holiday notes final v2.mp4\n";
    for (const char* ext : {".mp4", ".mkv", ".mpg", ".ts", ".avi"}) {
        TVideoFile alone, tailed;
        EXPECT_FALSE(ReadUnhurried(alone, tmp.Write(std::string("text") + ext, text)));
        EXPECT_FALSE(ReadUnhurried(tailed, withTail(std::string("tail") + ext, text)));
        EXPECT_EQ(tailed.Error, alone.Error) << ext;
    }
    for (const char* name : {"clip.mp4", "clip.mkv", "clip.mpg", "clip.m2ts", "clip.avi"}) {
        TVideoFile alone, tailed;
        ASSERT_TRUE(ReadUnhurried(alone, MediaFixture(name))) << name << ": " << alone.Error;
        ASSERT_TRUE(
            ReadUnhurried(tailed, withTail(std::string("t-") + name, ReadFile(MediaFixture(name)))))
            << name << ": " << tailed.Error;
        EXPECT_EQ(tailed.VideoCodec, alone.VideoCodec) << name;
        EXPECT_EQ(tailed.AudioCodec, alone.AudioCodec) << name;
        EXPECT_EQ(tailed.Width, alone.Width) << name;
        EXPECT_EQ(tailed.Height, alone.Height) << name;
        EXPECT_EQ(tailed.Channels, alone.Channels) << name;
        EXPECT_EQ(tailed.SampleRate, alone.SampleRate) << name;
    }
}

TEST(PhotoFile, CameraValuesAndPlace) {
    TPhotoFile p;
    ASSERT_TRUE(p.ReadFromFile(MediaFixture("photo.jpg"))) << p.Error;
    EXPECT_EQ(p.DateTaken, "2024-05-17T14:03:09");
    EXPECT_EQ(p.Width, 80);
    EXPECT_EQ(p.Height, 60);
    EXPECT_EQ(p.CameraMake, "Example Optics");
    EXPECT_EQ(p.CameraModel, "EX-100");
    EXPECT_EQ(p.Lens, "EX 35mm F1.8");
    EXPECT_EQ(p.ExposureTime, "1/250");
    EXPECT_DOUBLE_EQ(p.FNumber, 2.8);
    EXPECT_EQ(p.ISO, 400);
    EXPECT_DOUBLE_EQ(p.FocalLength, 35);
    EXPECT_EQ(p.Orientation, 6);
    ASSERT_TRUE(p.HasGPS);
    EXPECT_DOUBLE_EQ(p.Latitude, 48.858222);
    EXPECT_DOUBLE_EQ(p.Longitude, -2.2945); // west is negative

    // The same tags in every container Exiv2 writes them to.
    // HEIF and AVIF through libheif: the Exif this Exiv2 cannot reach there,
    // and the size as shown (the HEIF is coded 80x64).
    for (const char* name : {"photo.tif", "photo.png", "photo.webp", "photo.heic", "photo.avif"})
        EXPECT_EQ(Lines(StepPhoto, MediaFixture(name)), Lines(StepPhoto, MediaFixture("photo.jpg")))
            << name;
    // Nothing but the picture: its size only.
    EXPECT_EQ(Lines(StepPhoto, MediaFixture("plain.jpg")),
              (std::vector<std::string>{"Width=32", "Height=24"}));
}

// A JPEG without a frame header gives no size of its own: the Exif pixel
// dimensions stand in, width first.
TEST(PhotoFile, SizeFromExifWhenThePictureGivesNone) {
    const std::string jpeg = ReadFile(MediaFixture("plain.jpg"));
    std::string bare = jpeg.substr(0, 2);
    for (size_t at = 2; at + 4 <= jpeg.size();) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        if (marker == 0xDA) { // the scan runs to the end
            bare += jpeg.substr(at);
            break;
        }
        const size_t len = static_cast<unsigned char>(jpeg[at + 2]) << 8 |
                           static_cast<unsigned char>(jpeg[at + 3]);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (!frame) bare += jpeg.substr(at, 2 + len);
        at += 2 + len;
    }
    ASSERT_LT(bare.size(), jpeg.size()); // a frame header was taken out
    TTempFolder tmp;
    const std::string path = tmp.Write("bare.jpg", bare);
    {
        auto image = Exiv2::ImageFactory::open(path);
        ASSERT_EQ(image->pixelWidth(), 0);
        Exiv2::ExifData exif;
        exif["Exif.Photo.PixelXDimension"] = uint32_t(640);
        exif["Exif.Photo.PixelYDimension"] = uint32_t(480);
        image->setExifData(exif);
        image->writeMetadata();
    }
    TPhotoFile p;
    ASSERT_TRUE(p.ReadFromFile(path)) << p.Error;
    EXPECT_EQ(p.Width, 640);
    EXPECT_EQ(p.Height, 480);
}

// When it was taken, else digitized, else changed: the first the camera
// wrote, with its fraction of a second and its offset from UTC.
TEST(PhotoFile, DateTakenFromTheFirstDateWritten) {
    TPhotoFile p;
    ASSERT_TRUE(p.ReadFromFile(MediaFixture("phone.jpg"))) << p.Error;
    EXPECT_EQ(p.DateTaken, "2024-05-17T14:03:09.042+02:00");
    ASSERT_TRUE(p.ReadFromFile(MediaFixture("scanned.jpg"))) << p.Error;
    EXPECT_EQ(p.DateTaken, "1998-07-04T10:20:30.5-04:00");
}

TEST(PhotoFile, RefusesWhatIsNotAPhoto) {
    TTempFolder tmp;
    std::string jpeg = ReadFile(MediaFixture("photo.jpg"));
    const std::string cases[] = {
        tmp.Write("empty.jpg", ""),
        tmp.Write("text.png", "not a picture\n"),
        tmp.Write("cut.jpg", jpeg.substr(0, 40)),
        tmp.File("missing.nef"),
    };
    for (const auto& path : cases) {
        TTagInfo info;
        EXPECT_FALSE(StepPhoto(path, info)) << path;
        EXPECT_TRUE(info.Empty()) << path;
    }
}

// Empty files are answered from the first one read: the answer is the
// library's own, as read by a relative path (which is never answered so).
TEST(PhotoFile, EmptyFilesGetTheLibrarysAnswer) {
    TTempFolder tmp;
    const std::string dir = tmp.Path() + "/";
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    for (const char* name : {"a.jpg", "b.PNG", "c.tif", "d.webp", "e.heic", "f.nef", "g.cr2"}) {
        tmp.Write(name, "");
        TPhotoFile byLibrary, remembered;
        byLibrary.ReadFromFile(name);
        remembered.ReadFromFile(dir + name);
        EXPECT_EQ(remembered.Valid, byLibrary.Valid) << name;
        EXPECT_EQ(remembered.Error, byLibrary.Error) << name;
        EXPECT_FALSE(remembered.Error.empty()) << name;
    }
    ASSERT_EQ(::chdir("/"), 0);
}

// The type told from the file's head in memory is the type the library tells
// from the file: heads of every photo fixture cut at awkward lengths, with
// text, zeros or another type's mark behind them, and a TGA footer at the end.
TEST(PhotoFile, TheHeadTellsTheTypeAsTheFileDoes) {
    TTempFolder tmp;
    const std::set<int> photoTypes = {
        Exiv2::ImageType::jpeg, Exiv2::ImageType::crw, Exiv2::ImageType::tiff,
        Exiv2::ImageType::mrw,  Exiv2::ImageType::png, Exiv2::ImageType::cr2,
        Exiv2::ImageType::raf,  Exiv2::ImageType::orf, Exiv2::ImageType::rw2,
        Exiv2::ImageType::bmff, Exiv2::ImageType::webp};
    const std::string tails[] = {std::string(9000, '\0'), std::string(9000, 'x'),
                                 std::string(5000, '\0') + "\x89PNG\r\n\x1a\n" +
                                     std::string(100, '\0'),
                                 std::string(3000, ' ') + "TRUEVISION-XFILE." + '\0'};
    int n = 0;
    for (const char* name : {"photo.jpg", "photo.png", "photo.tif", "photo.webp", "plain.heic"}) {
        const std::string bytes = ReadFile(MediaFixture(name));
        for (size_t cut : {size_t{0}, size_t{2}, size_t{8}, size_t{16}, size_t{100}, size_t{4096},
                           bytes.size()}) {
            for (const std::string& tail : tails) {
                const std::string path =
                    tmp.Write(std::to_string(n++) + "." + name, bytes.substr(0, cut) + tail);
                const bool photo = photoTypes.count(Exiv2::ImageFactory::getType(path)) != 0;
                TPhotoFile p;
                p.ReadFromFile(path);
                EXPECT_EQ(p.Error != "not a photo", photo) << name << ' ' << cut << ' ' << n;
            }
        }
    }
}

TEST(PhotoText, DatesAndExposures) {
    EXPECT_EQ(ExifDateToIso("2024:05:17 14:03:09"), "2024-05-17T14:03:09");
    EXPECT_EQ(ExifDateToIso("2024-05-17T14:03:09+02:00"), "2024-05-17T14:03:09");
    // Cameras without a clock, and texts that only look like dates.
    EXPECT_EQ(ExifDateToIso("0000:00:00 00:00:00"), "");
    EXPECT_EQ(ExifDateToIso("    :  :     :  :  "), "");
    EXPECT_EQ(ExifDateToIso("2024:05:17"), "");
    EXPECT_EQ(ExifDateToIso("2024:05:17 14:03:0x"), "");

    EXPECT_EQ(ExposureText(1, 250), "1/250");
    EXPECT_EQ(ExposureText(10, 2500), "1/250");
    EXPECT_EQ(ExposureText(1, 3), "0.3");
    EXPECT_EQ(ExposureText(2, 1), "2");
    EXPECT_EQ(ExposureText(30, 1), "30");
    EXPECT_EQ(ExposureText(0, 1), "");
    EXPECT_EQ(ExposureText(1, 0), "");
    EXPECT_EQ(ExposureText(-1, 250), "");
}

TEST(MediaHandlers, DefaultsClaimTheirFiles) {
    THandlerList list;
    list.SetDefaults();
    for (const char* f : {"a.mp4", "a.MKV", "a.webm", "a.vob", "a.m2ts", "a.wmv", "a.flv", "a.3gp"})
        EXPECT_TRUE(list.HandlerClaimsFile("Video", f)) << f;
    for (const char* f : {"a.jpg", "a.JPEG", "a.heic", "a.cr3", "a.NEF", "a.arw", "a.rw2"})
        EXPECT_TRUE(list.HandlerClaimsFile("Photo", f)) << f;
    EXPECT_FALSE(list.HandlerClaimsFile("Video", "a.mp3"));
    EXPECT_FALSE(list.HandlerClaimsFile("Photo", "a.gif"));
    // .WMA stays with the audio reader; .ASF, the same container, is video.
    EXPECT_FALSE(list.HandlerClaimsFile("Video", "a.wma"));
}

// MPEG program streams share their extension with MPEG audio: both steps run,
// video last, so the container's values are what the entry keeps.
TEST(MediaHandlers, MpegFilesRunAudioThenVideo) {
    THandlerList list;
    list.SetDefaults();
    std::vector<std::string> ran;
    TTagInfo info;
    list.ProcessFile(MediaFixture("clip.mpg"), info,
                     [&](const std::string& title, const std::string& path, TTagInfo& i) {
                         ran.push_back(title);
                         return RunReaderStep(title, path, i);
                     });
    EXPECT_EQ(ran, (std::vector<std::string>{"MPG", "Video"}));
    EXPECT_EQ(info.Value("Width"), "64");
    EXPECT_EQ(info.Value("VideoCodec"), "mpeg1video");

    // Switched off, the handler reads nothing.
    list.Check(list.Find("Video"), false);
    TTagInfo off;
    list.ProcessFile(MediaFixture("clip.mkv"), off);
    EXPECT_TRUE(off.Empty());
}

// The shipped table shares .MPG and .MPEG between MPEG audio and video; both
// lists stay editable, while a new extension still belongs to one handler.
TEST(MediaHandlers, SharedExtensionsStayEditable) {
    THandlerList list;
    list.SetDefaults();
    const THandler& video = *list.Find("Video");
    std::vector<std::string> own = video.Extensions.Lines();
    own.push_back(".ogv");
    EXPECT_NO_THROW(list.CheckExtensions(own, video));
    const THandler& mpg = *list.Find("MPG");
    EXPECT_NO_THROW(list.CheckExtensions({".MPG", ".MPEG", ".MPA", ".MP1"}, mpg));
    EXPECT_THROW(list.CheckExtensions({".MPG", ".MKV"}, mpg), EMessageError);
}

// Adds root as a volume with the shipped handlers; the log lands in progress.
int ScanWithShippedHandlers(const std::string& root, TRecordingProgress& progress,
                            TLibObj* into = nullptr, unsigned threads = 2) {
    THandlerList handlers;
    handlers.SetDefaults();
    TLibObj own;
    TLibObj& lib = into ? *into : own;
    TFixedAnswers yes{TAnswer::Yes};
    TVolumeScanner s(lib, &handlers, progress);
    s.Options.FolderResult = root;
    s.Options.TitleResult = "Vol";
    s.Options.WalkThreads = threads;
    EXPECT_NE(s.AddVolume(yes), nullptr);
    return s.Errors;
}

// Every entry below the first volume with its tag lines, in tree order.
std::vector<std::string> EntriesWithTags(const TLibObj& lib) {
    std::vector<std::string> out;
    std::vector<const TTreeNode*> todo{lib.Tree.Root(0)};
    while (!todo.empty()) {
        const TTreeNode* n = todo.back();
        todo.pop_back();
        for (const auto& e : FolderOf(n)->Items())
            out.push_back(FolderOf(n)->Caption + "/" + e->Caption.str() + " " + e->TagInfo.Text());
        for (int i = n->Count() - 1; i >= 0; --i)
            todo.push_back(n->Child(i));
    }
    return out;
}

// Videos, photos and sounds read on the walk's reader threads give the
// catalog and the log that reading each on the scan's own thread gives.
TEST(MediaHandlers, TagsReadAheadMatchTheScansOwn) {
    TTempFolder dir;
    const std::string root = dir.File("vol");
    const std::vector<std::string> fixtures = {"clip.mp4",  "clip.mkv",   "photo.jpg",
                                               "photo.png", "silent.mp4", "south.jpg"};
    for (int f = 0; f < 12; ++f) {
        const std::string d = root + "/f" + std::to_string(f) + "/";
        std::filesystem::create_directories(d);
        for (const std::string& name : fixtures)
            std::filesystem::copy_file(MediaFixture(name), d + std::to_string(f) + name,
                                       std::filesystem::copy_options::none);
        WriteFile(d + "text.mp4", "not a film at all");
        WriteFile(d + "text.JPG", "not a photo either");
        int fd = ::open((d + "holes.mkv").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 1 << 20), 0);
        ::close(fd);
    }
    TLibObj plainLib, aheadLib;
    TRecordingProgress plainLog, aheadLog;
    const int plainErrors = ScanWithShippedHandlers(root, plainLog, &plainLib, 0);
    const int aheadErrors = ScanWithShippedHandlers(root, aheadLog, &aheadLib, 3);
    const std::vector<std::string> plain = EntriesWithTags(plainLib);
    EXPECT_EQ(EntriesWithTags(aheadLib), plain);
    EXPECT_EQ(aheadLog.Logged, plainLog.Logged);
    EXPECT_EQ(aheadErrors, plainErrors);
    // The fixtures were read: their lines are there.
    int withLines = 0;
    for (const std::string& line : plain)
        if (line.find("Width=") != std::string::npos) ++withLines;
    EXPECT_EQ(withLines, 12 * 6);

    // In a new process the modules are not loaded yet: readers ahead leave
    // the files to the scan while they load, and nothing differs.
    const std::string settings = dir.File("s.ini"), catalog = dir.File("c.txc");
    ASSERT_EQ(RunProgram({TAMBLIX_CLI, "--settings", settings, "handlers", "--defaults"}).ExitCode,
              0);
    TProgramRun fresh = RunProgram({TAMBLIX_CLI, "--settings", settings, "scan", catalog, root,
                                    "--title", "Vol", "--no-serial-check"});
    EXPECT_EQ(fresh.ExitCode, plainErrors ? 3 : 0) << fresh.Err;
    TLibObj freshLib;
    TRecordingProgress quiet;
    LoadFromFile(freshLib, catalog, false, quiet);
    EXPECT_EQ(EntriesWithTags(freshLib), plain);
}

// A video its library cannot open is named in the scan's log; its entry is kept.
TEST(MediaHandlers, AnUnreadableVideoIsLogged) {
    TTempFolder dir;
    const std::string root = dir.File("vol");
    WriteFile(root + "/broken.mkv", std::string(4096, '\x5a'));
    WriteFile(root + "/plain.txt", "x");
    TRecordingProgress progress;
    const int errors = ScanWithShippedHandlers(root, progress);
    int named = 0;
    for (const auto& line : progress.Logged)
        if (line.find("broken.mkv") != std::string::npos) ++named;
    EXPECT_EQ(named, 1);
    EXPECT_EQ(errors, 0); // its name, size and date were read
}

// A scan that knows from the walk that a file is all holes answers for it what
// the readers answer for the same zeros written out: the same log, no lines.
TEST(MediaHandlers, FilesOfHolesScanAsTheirZerosWrittenOut) {
    TTempFolder dir;
    const std::string root = dir.File("vol");
    const auto exts = {".jpg", ".mp4", ".png", ".mkv", ".AVI", ".ts", ".webm", ".Mov"};
    for (const char* ext : exts) {
        WriteFile(root + "/w" + ext, std::string(100000, '\0'));
        int fd = ::open((root + "/h" + ext).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 100000), 0);
        ::close(fd);
    }
    TRecordingProgress progress;
    const int errors = ScanWithShippedHandlers(root, progress);
    auto why = [&](const std::string& name) {
        for (const auto& line : progress.Logged)
            if (line.find("/" + name + ":") != std::string::npos)
                return line.substr(line.find("/" + name + ":") + name.size() + 2);
        return std::string("(not logged)");
    };
    for (const char* ext : exts) {
        EXPECT_NE(why(std::string("w") + ext), "(not logged)") << ext;
        EXPECT_EQ(why(std::string("h") + ext), why(std::string("w") + ext)) << ext;
    }
    EXPECT_EQ(errors, 0);

    // A volume of such files alone never loads the video and photo libraries
    // (a hundred of them for video); one zero byte written out does.
    const std::string settings = dir.File("s.ini");
    ASSERT_EQ(RunProgram({TAMBLIX_CLI, "--settings", settings, "handlers", "--defaults"}).ExitCode,
              0);
    auto modulesLoaded = [&](const std::string& folder) {
        const std::string err =
            RunProgram({"env", "LD_DEBUG=files", TAMBLIX_CLI, "--settings", settings, "scan",
                        dir.File("c.txc"), folder, "--no-serial-check", "--title", folder})
                .Err;
        return std::pair{err.find("tamblix_video") != std::string::npos,
                         err.find("tamblix_photo") != std::string::npos};
    };
    const std::string holes = dir.MakeFolder("holes");
    for (const char* ext : exts)
        ::rename((root + "/h" + ext).c_str(), (holes + "/h" + ext).c_str());
    EXPECT_EQ(modulesLoaded(holes), std::pair(false, false));
    EXPECT_EQ(modulesLoaded(root), std::pair(true, true));
}

} // namespace
