#include "catalog/lib_file.h"

#include "analysis/name_text.h"
#include "settings/message_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(double) == 8 && sizeof(int64_t) == 8, "the catalog file needs 8-byte numbers");

namespace {
constexpr size_t kBuffer = 1 << 20;

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}
} // namespace

TLibFileReader::TLibFileReader(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw EMessageError("errFNF", path);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EMessageError("errFNF", path);
    }
    size_ = st.st_size;
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

void TLibFileReader::Need(size_t n) {
    if (len_ - pos_ >= n) return;
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

int32_t TLibFileReader::ReadInt32() {
    Need(4);
    int32_t v;
    std::memcpy(&v, buf_.get() + pos_, 4);
    pos_ += 4;
    return v;
}

int64_t TLibFileReader::ReadInt64() {
    Need(8);
    int64_t v;
    std::memcpy(&v, buf_.get() + pos_, 8);
    pos_ += 8;
    return v;
}

double TLibFileReader::ReadDouble() {
    Need(8);
    double v;
    std::memcpy(&v, buf_.get() + pos_, 8);
    pos_ += 8;
    return v;
}

uint8_t TLibFileReader::ReadByte() {
    Need(1);
    return static_cast<uint8_t>(buf_[pos_++]);
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
    auto zero = s.find('\0');
    if (zero != std::string_view::npos) s = s.substr(0, zero);
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

void TLibFileWriter::WriteString(std::string_view s) {
    if (s.size() > static_cast<size_t>(kMaxStringLength)) cut_ = true;
    s = CutAtCharBoundary(s, kMaxStringLength);
    WriteInt32(static_cast<int32_t>(s.size()));
    out_.Write(s);
}
