#include "media/exiv_file_io.h"

#include "tags/binary_file.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/error.hpp>
#include <exiv2/futils.hpp>
#pragma GCC diagnostic pop

#include <cstdio>
#include <sys/mman.h>

TExivFileIo::TExivFileIo(TBinaryFile& file, std::string path)
    : file_(file), path_(std::move(path)) {}

TExivFileIo::~TExivFileIo() {
    munmap();
}

int TExivFileIo::open() {
    // Opening again starts over, as the library's reopening of its file does.
    munmap();
    open_ = file_.IsOpen();
    pos_ = 0;
    eof_ = error_ = false;
    return open_ ? 0 : 1;
}

int TExivFileIo::close() {
    const int rc = munmap() != 0 ? 2 : 0;
    open_ = false;
    return rc;
}

// Read-only: the reader never writes to what it catalogs.
long TExivFileIo::write(const Exiv2::byte*, long) {
    return 0;
}

long TExivFileIo::write(Exiv2::BasicIo&) {
    return 0;
}

int TExivFileIo::putb(Exiv2::byte) {
    return EOF;
}

void TExivFileIo::transfer(Exiv2::BasicIo&) {
    throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "transfer");
}

Exiv2::DataBuf TExivFileIo::read(long rcount) {
    // The library refuses a count past the file's size before allocating it.
    if (static_cast<size_t>(rcount) > size()) throw Exiv2::Error(Exiv2::kerInvalidMalloc);
    Exiv2::DataBuf buf(rcount);
    buf.size_ = read(buf.pData_, buf.size_);
    return buf;
}

long TExivFileIo::read(Exiv2::byte* buf, long rcount) {
    if (!open_ || rcount <= 0) return 0;
    const int64_t got = file_.ReadAt(pos_, buf, static_cast<size_t>(rcount));
    if (got < 0) {
        error_ = true;
        return 0;
    }
    pos_ += static_cast<long>(got);
    // Short of the count means the end was met, as with a stream.
    if (got < rcount) eof_ = true;
    return static_cast<long>(got);
}

int TExivFileIo::getb() {
    Exiv2::byte b;
    return read(&b, 1) == 1 ? b : EOF;
}

int TExivFileIo::seek(long offset, Position pos) {
    // Any seek forgets the end having been met, failed or not.
    eof_ = false;
    if (!open_) return 1;
    long base = 0;
    switch (pos) {
    case BasicIo::beg:
        break;
    case BasicIo::cur:
        base = pos_;
        break;
    case BasicIo::end:
        base = static_cast<long>(file_.Size());
        break;
    }
    long to;
    if (__builtin_add_overflow(base, offset, &to) || to < 0) return -1;
    // Past the end is allowed: reads there give nothing.
    pos_ = to;
    return 0;
}

Exiv2::byte* TExivFileIo::mmap(bool isWriteable) {
    if (munmap() != 0)
        throw Exiv2::Error(Exiv2::kerCallFailed, path(), Exiv2::strError(), "munmap");
    if (isWriteable) throw Exiv2::Error(Exiv2::kerFailedToMapFileForReadWrite, path(), "read-only");
    mappedLength_ = size();
    void* at = ::mmap(nullptr, mappedLength_, PROT_READ, MAP_SHARED, file_.Descriptor(), 0);
    if (at == MAP_FAILED)
        throw Exiv2::Error(Exiv2::kerCallFailed, path(), Exiv2::strError(), "mmap");
    mapped_ = at;
    return static_cast<Exiv2::byte*>(at);
}

int TExivFileIo::munmap() {
    int rc = 0;
    if (mapped_) rc = ::munmap(mapped_, mappedLength_);
    mapped_ = nullptr;
    mappedLength_ = 0;
    return rc;
}

long TExivFileIo::tell() const {
    return pos_;
}

size_t TExivFileIo::size() const {
    return file_.IsOpen() ? static_cast<size_t>(file_.Size()) : static_cast<size_t>(-1);
}

bool TExivFileIo::isopen() const {
    return open_;
}

int TExivFileIo::error() const {
    return error_ ? 1 : 0;
}

bool TExivFileIo::eof() const {
    return eof_;
}

std::string TExivFileIo::path() const {
    return path_;
}
