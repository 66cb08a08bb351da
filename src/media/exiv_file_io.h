#pragma once

// Exiv2 0.27 hands images out in std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/basicio.hpp>
#pragma GCC diagnostic pop

#include <string>

class TBinaryFile;

// Exiv2's view of a file the reader has already opened. The library's own
// file access opens the file again by its path every time it starts over
// (several times a photo) and asks the system for the size and position at
// every step; this reads with positioned reads and answers the rest from
// memory. It answers as the library's own read-only file access does: the
// same counts, end-of-file and error states, and the same errors thrown.
class TExivFileIo : public Exiv2::BasicIo {
public:
    // The file must stay open while the library holds this; `path` is for messages.
    TExivFileIo(TBinaryFile& file, std::string path);
    ~TExivFileIo() override;

    int open() override;
    int close() override;
    long write(const Exiv2::byte* data, long wcount) override;
    long write(Exiv2::BasicIo& src) override;
    int putb(Exiv2::byte data) override;
    Exiv2::DataBuf read(long rcount) override;
    long read(Exiv2::byte* buf, long rcount) override;
    int getb() override;
    void transfer(Exiv2::BasicIo& src) override;
    int seek(long offset, Position pos) override;
    Exiv2::byte* mmap(bool isWriteable = false) override;
    int munmap() override;
    long tell() const override;
    size_t size() const override;
    bool isopen() const override;
    int error() const override;
    bool eof() const override;
    std::string path() const override;

private:
    TBinaryFile& file_;
    const std::string path_;
    bool open_ = false;
    long pos_ = 0;
    bool eof_ = false;
    bool error_ = false;
    void* mapped_ = nullptr;
    size_t mappedLength_ = 0;
};
