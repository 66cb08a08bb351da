#include "files/standard_streams.h"

#include "text/message_error.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kPiece = 1 << 16;

} // namespace

bool IsStandardOutput(const std::string& path) {
    if (path == "-") return true;
    struct stat named {
    }, out{};
    return ::fstat(1, &out) == 0 && ::stat(path.c_str(), &named) == 0 &&
           named.st_dev == out.st_dev && named.st_ino == out.st_ino;
}

std::string ReadStandardInput() {
    std::string bytes;
    char buf[kPiece];
    while (true) {
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EMessageError("errRead", std::string("- (") + std::strerror(errno) + ")");
        if (n == 0) return bytes;
        bytes.append(buf, static_cast<size_t>(n));
    }
}

void TStandardOutputWriter::Write(std::string_view s) {
    buf_ += s;
    if (buf_.size() >= kPiece) Flush();
}

void TStandardOutputWriter::Commit() {
    Flush();
}

void TStandardOutputWriter::Flush() {
    const char* p = buf_.data();
    size_t left = buf_.size();
    while (left > 0) {
        const ssize_t n = ::write(1, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EMessageError("errWrite", name_ + ": " + std::strerror(errno));
        p += n;
        left -= static_cast<size_t>(n);
    }
    buf_.clear();
}
