#include "importers/peer_input.h"

#include "files/input_file.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

struct TPeerInput::TInflate {
    z_stream s{};
    bool open = false;
    ~TInflate() {
        if (open) inflateEnd(&s);
    }
};

namespace {
constexpr size_t kRawChunk = 256 * 1024;
}

TPeerInput::TPeerInput(const std::string& path, uint64_t inflateFloor, uint64_t inflateRatio)
    : path_(path) {
    const std::string shown = nametext::ToDisplayPath(path);
    struct stat st {};
    int fd = -1;
    try {
        // Never blocks on a FIFO, and refuses anything but a regular file.
        fd = OpenInputFile(path, st);
    } catch (const EMessageError& e) {
        throw EMessageError(e.Key, e.Key == "errRead" ? e.Arg : shown);
    }
    file_ = ::fdopen(fd, "rb");
    if (!file_) {
        int e = errno;
        ::close(fd);
        throw EMessageError("errRead", shown + ": " + std::strerror(e));
    }
    fileSize_ = static_cast<uint64_t>(st.st_size);
    const uint64_t byRatio = fileSize_ > UINT64_MAX / std::max<uint64_t>(inflateRatio, 1)
                                 ? UINT64_MAX
                                 : fileSize_ * inflateRatio;
    unpackLimit_ = std::max(inflateFloor, byRatio);
    // The gzip magic decides; zlib reads plain files as they are too.
    raw_.resize(kRawChunk);
    raw_.resize(ReadRaw(raw_.data(), raw_.size()));
    gzip_ = raw_.size() >= 2 && static_cast<unsigned char>(raw_[0]) == 0x1F &&
            static_cast<unsigned char>(raw_[1]) == 0x8B;
    if (gzip_) {
        z_ = std::make_unique<TInflate>();
        if (inflateInit2(&z_->s, 16 + MAX_WBITS) != Z_OK) Damaged("zlib");
        z_->open = true;
    }
}

TPeerInput::~TPeerInput() {
    if (file_) std::fclose(file_);
}

void TPeerInput::Damaged(const std::string& why) const {
    throw EMessageError("errPeerDamaged", nametext::ToDisplayPath(path_) + ": " + why);
}

size_t TPeerInput::ReadRaw(char* buffer, size_t n) {
    if (fileEnded_) return 0;
    size_t got = std::fread(buffer, 1, n, file_);
    if (got < n) {
        if (std::ferror(file_))
            throw EMessageError("errRead", nametext::ToDisplayPath(path_) + ": " +
                                               std::strerror(errno ? errno : EIO));
        fileEnded_ = true;
    }
    fileOffset_ += got;
    return got;
}

size_t TPeerInput::Inflate(char* buffer, size_t n) {
    z_stream& s = z_->s;
    for (;;) {
        if (rawPos_ == raw_.size()) {
            raw_.resize(kRawChunk);
            raw_.resize(ReadRaw(raw_.data(), raw_.size()));
            rawPos_ = 0;
            if (raw_.empty()) {
                if (!streamEnded_) Damaged("the compressed data ends early (truncated file)");
                return 0;
            }
        }
        if (streamEnded_) {
            // Another gzip member may follow; anything else after the data is ignored.
            if (raw_.size() - rawPos_ < 2 && !fileEnded_) {
                std::string rest = raw_.substr(rawPos_);
                raw_.resize(kRawChunk);
                raw_.resize(ReadRaw(raw_.data(), raw_.size()));
                raw_.insert(0, rest);
                rawPos_ = 0;
            }
            if (raw_.size() - rawPos_ < 2 || static_cast<unsigned char>(raw_[rawPos_]) != 0x1F ||
                static_cast<unsigned char>(raw_[rawPos_ + 1]) != 0x8B) {
                rawPos_ = raw_.size();
                fileEnded_ = true;
                return 0;
            }
            inflateReset(&s);
            streamEnded_ = false;
        }
        s.next_in = reinterpret_cast<Bytef*>(raw_.data() + rawPos_);
        s.avail_in = static_cast<uInt>(raw_.size() - rawPos_);
        s.next_out = reinterpret_cast<Bytef*>(buffer);
        s.avail_out = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
        int rc = inflate(&s, Z_NO_FLUSH);
        rawPos_ = raw_.size() - s.avail_in;
        const size_t produced = static_cast<size_t>(reinterpret_cast<char*>(s.next_out) - buffer);
        if (rc == Z_STREAM_END) {
            streamEnded_ = true;
        } else if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR) {
            Damaged(std::string("the compressed data is damaged (") + (s.msg ? s.msg : "zlib") +
                    ")");
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            Damaged("zlib error " + std::to_string(rc));
        }
        unpacked_ += produced;
        if (unpacked_ > unpackLimit_)
            throw EMessageError("errPeerBomb", nametext::ToDisplayPath(path_));
        if (produced > 0) return produced;
        if (streamEnded_ && rawPos_ == raw_.size() && fileEnded_) return 0;
    }
}

std::string_view TPeerInput::Peek(size_t n) {
    while (peeked_.size() - peekPos_ < n) {
        std::string more(std::max<size_t>(n, 4096), '\0');
        size_t got = ReadFresh(more.data(), more.size());
        if (got == 0) break;
        peeked_.append(more.data(), got);
    }
    std::string_view v(peeked_);
    v.remove_prefix(peekPos_);
    return v.substr(0, std::min(n, v.size()));
}

size_t TPeerInput::Read(char* buffer, size_t n) {
    if (n == 0) return 0;
    if (peekPos_ < peeked_.size()) {
        size_t k = std::min(n, peeked_.size() - peekPos_);
        std::memcpy(buffer, peeked_.data() + peekPos_, k);
        peekPos_ += k;
        if (peekPos_ == peeked_.size()) {
            peeked_.clear();
            peekPos_ = 0;
        }
        return k;
    }
    return ReadFresh(buffer, n);
}

size_t TPeerInput::ReadFresh(char* buffer, size_t n) {
    if (gzip_) return Inflate(buffer, n);
    if (rawPos_ < raw_.size()) {
        size_t k = std::min(n, raw_.size() - rawPos_);
        std::memcpy(buffer, raw_.data() + rawPos_, k);
        rawPos_ += k;
        return k;
    }
    return ReadRaw(buffer, n);
}
