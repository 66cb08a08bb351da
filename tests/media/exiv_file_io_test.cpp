// The photo reader hands Exiv2 the file it already opened instead of a path.
// Whatever the library asks of it must be answered as its own file access
// answers: call by call on random sequences, and photo by photo on every
// fixture and on damaged copies of them.
#include "media/exiv_file_io.h"
#include "media_test_util.h"
#include "support/temp_folder.h"
#include "tags/binary_file.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sstream>

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

// One call's answer, with the bytes it read.
std::string Call(Exiv2::BasicIo& io, int op, long n, Exiv2::BasicIo::Position whence) {
    std::ostringstream out;
    switch (op) {
    case 0: {
        std::vector<Exiv2::byte> buf(static_cast<size_t>(n) + 1, 0);
        long got = io.read(buf.data(), n);
        out << "read " << got << ' ' << std::string(buf.begin(), buf.begin() + std::max(got, 0L));
        break;
    }
    case 1:
        try {
            Exiv2::DataBuf b = io.read(n);
            out << "buf " << b.size_ << ' '
                << std::string(reinterpret_cast<char*>(b.pData_), static_cast<size_t>(b.size_));
        } catch (const Exiv2::AnyError& e) {
            out << "threw " << e.what();
        }
        break;
    case 2:
        out << "getb " << io.getb();
        break;
    case 3:
        out << "seek " << io.seek(n, whence);
        break;
    default:
        out << "open " << io.open();
        break;
    }
    out << " | tell " << io.tell() << " eof " << io.eof() << " error " << io.error() << " size "
        << io.size() << " open " << io.isopen();
    return out.str();
}

TEST(ExivFileIo, AnswersEveryCallAsTheLibrarysFileDoes) {
    TTempFolder tmp;
    std::mt19937 rng(7);
    const std::string photo = ReadFile(MediaFixture("photo.jpg"));
    for (const std::string& bytes :
         {std::string(), std::string("x"), std::string(4097, 'y'), photo.substr(0, 100), photo}) {
        const std::string path = tmp.Write("f" + std::to_string(bytes.size()), bytes);
        Exiv2::FileIo theirs(path);
        TBinaryFile file(path);
        TExivFileIo ours(file, path);
        ASSERT_EQ(theirs.open(), 0);
        ASSERT_EQ(ours.open(), 0);
        const long size = static_cast<long>(bytes.size());
        auto any = [&](long lo, long hi) {
            return std::uniform_int_distribution<long>(lo, hi)(rng);
        };
        for (int i = 0; i < 3000; ++i) {
            const int op = static_cast<int>(any(0, 20) == 0 ? 4 : any(0, 3));
            const long n = any(0, 3) == 0 ? any(0, 2) : any(-size - 10, 2 * size + 10);
            // A count the library would take as huge is never asked of a raw read.
            const long count = op == 0 ? std::max(n, 0L) : n;
            const auto whence = static_cast<Exiv2::BasicIo::Position>(any(0, 2));
            ASSERT_EQ(Call(ours, op, count, whence), Call(theirs, op, count, whence))
                << "file of " << size << " bytes, call " << i;
        }
        // Closed, then opened again: back at the start.
        EXPECT_EQ(ours.close(), theirs.close());
        EXPECT_EQ(ours.isopen(), theirs.isopen());
        EXPECT_EQ(Call(ours, 4, 0, Exiv2::BasicIo::beg), Call(theirs, 4, 0, Exiv2::BasicIo::beg));
        EXPECT_EQ(Call(ours, 0, 8, Exiv2::BasicIo::beg), Call(theirs, 0, 8, Exiv2::BasicIo::beg));
    }
}

// Everything the library makes of a file through `io`, or what it threw.
std::string LibraryRead(Exiv2::BasicIo::AutoPtr io) {
    std::ostringstream out;
    try {
        out << "type " << Exiv2::ImageFactory::getType(*io) << '\n';
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(io);
        if (!image.get()) return out.str() + "no image";
        image->readMetadata();
        out << image->mimeType() << ' ' << image->pixelWidth() << 'x' << image->pixelHeight()
            << '\n';
        for (const auto& d : image->exifData())
            out << d.key() << '=' << d.toString() << '\n';
        for (const auto& d : image->xmpData())
            out << d.key() << '=' << d.toString() << '\n';
        for (const auto& d : image->iptcData())
            out << d.key() << '=' << d.toString() << '\n';
        out << image->comment();
    } catch (const std::exception& e) {
        out << "threw " << e.what();
    }
    return out.str();
}

TEST(ExivFileIo, PhotosReadAsThroughTheLibrarysFile) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::enableBMFF(true);
    TTempFolder tmp;
    std::mt19937 rng(20240517);
    int compared = 0, read = 0;
    for (const char* name : {"photo.jpg", "photo.tif", "photo.png", "photo.webp", "south.jpg",
                             "plain.jpg", "plain.heic"}) {
        const std::string seed = ReadFile(MediaFixture(name));
        const std::string ext = std::string(name).substr(std::string(name).rfind('.'));
        for (int i = 0; i < 60; ++i) {
            const std::string path =
                tmp.Write("d" + std::to_string(i) + ext, i == 0 ? seed : Mutate(seed, rng));
            const std::string theirs = LibraryRead(Exiv2::ImageFactory::createIo(path));
            TBinaryFile file(path);
            const std::string ours =
                LibraryRead(Exiv2::BasicIo::AutoPtr(new TExivFileIo(file, path)));
            ASSERT_EQ(ours, theirs) << name << " case " << i;
            ++compared;
            read += theirs.find("threw") == std::string::npos;
        }
    }
    // The damage leaves many readable, so the comparison covers real metadata.
    EXPECT_GT(read, compared / 4);
}

} // namespace
