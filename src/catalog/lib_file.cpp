#include "catalog/lib_file.h"

#include "files/input_file.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(double) == 8 && sizeof(int64_t) == 8, "the catalog file needs 8-byte numbers");

namespace {
constexpr size_t kBuffer = 1 << 20;
} // namespace

TLibFileReader::TLibFileReader(const std::string& path) : path_(path) {
    struct stat st {};
    fd_ = OpenInputFile(path, st);
    size_ = st.st_size;
    identity_ = TFileIdentity::Of(st);
    cap_ = static_cast<size_t>(std::min<int64_t>(kBuffer, size_ + 16));
    buf_.reset(new char[cap_]);
}

TLibFileReader::~TLibFileReader() {
    if (fd_ >= 0) ::close(fd_);
}

void TLibFileReader::DamagedAt(int64_t offset, const std::string& what) const {
    throw EMessageError("errDamaged",
                        path_ + " (" + what + " at byte " + std::to_string(offset) + ")");
}

void TLibFileReader::Refill(size_t n) {
    if (static_cast<int64_t>(n) > Remaining()) Damaged("the file ends early");
    // Move what is left to the front and refill.
    size_t left = len_ - pos_;
    std::memmove(buf_.get(), buf_.get() + pos_, left);
    consumed_ += static_cast<int64_t>(pos_);
    pos_ = 0;
    len_ = left;
    if (n > cap_) {
        std::unique_ptr<char[]> bigger(new char[n]);
        std::memcpy(bigger.get(), buf_.get(), len_);
        buf_ = std::move(bigger);
        cap_ = n;
    }
    while (len_ < n) {
        ssize_t r = ::read(fd_, buf_.get() + len_, cap_ - len_);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) Damaged("the file ends early");
        len_ += static_cast<size_t>(r);
    }
}

std::string_view TLibFileReader::ReadString() {
    int32_t n = ReadInt32();
    if (n < 0 || n > kMaxStringLength) {
        pos_ -= 4;
        Damaged("a text of length " + std::to_string(n));
    }
    Need(static_cast<size_t>(n));
    std::string_view s(buf_.get() + pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    if (const void* zero = std::memchr(s.data(), 0, s.size()))
        s = s.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - s.data()));
    if (IsAscii(s) || nametext::IsValidUtf8(s)) return s;
    text_ = nametext::Cp1252ToUtf8(s);
    return text_;
}

std::string_view CutAtCharBoundary(std::string_view s, size_t max) {
    if (s.size() <= max) return s;
    size_t n = max;
    // Step back over continuation bytes so that a sequence is never split.
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return s.substr(0, n);
}

namespace {
// Larger than any one String with its length, so that Room always succeeds.
constexpr size_t kWriteBuffer = size_t{1} << 20;
static_assert(kWriteBuffer > sizeof(int32_t) + kMaxStringLength);
} // namespace

TLibFileWriter::TLibFileWriter(const std::string& path)
    : out_(path), buf_(new char[kWriteBuffer]), at_(buf_.get()), end_(buf_.get() + kWriteBuffer) {}

void TLibFileWriter::Flush() {
    out_.Write(buf_.get(), static_cast<size_t>(at_ - buf_.get()));
    at_ = buf_.get();
}
