#include "files/input_file.h"

#include "text/message_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

const char* NotRegularKey(mode_t mode) {
    if (S_ISREG(mode)) return nullptr;
    if (S_ISDIR(mode)) return "errIsFolder";
    if (S_ISFIFO(mode)) return "errIsFifo";
    if (S_ISSOCK(mode)) return "errIsSocket";
    return "errIsDevice";
}

int OpenInputFile(const std::string& path, struct stat& st) {
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer; the
    // check below then refuses it. A regular file ignores the flag.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        int e = errno;
        if (e == ENOENT || e == ENOTDIR) throw EMessageError("errFNF", path);
        // A socket cannot be opened at all; say what it is all the same.
        struct stat probe {};
        if (e == ENXIO && ::stat(path.c_str(), &probe) == 0)
            if (const char* key = NotRegularKey(probe.st_mode)) throw EMessageError(key, path);
        throw EMessageError("errRead", path + " (" + std::strerror(e) + ")");
    }
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        throw EMessageError("errRead", path + " (" + std::strerror(e) + ")");
    }
    if (const char* key = NotRegularKey(st.st_mode)) {
        ::close(fd);
        throw EMessageError(key, path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string ReadInputFile(const std::string& path) {
    struct stat st {};
    int fd = OpenInputFile(path, st);
    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int e = errno;
            ::close(fd);
            throw EMessageError("errRead", path + " (" + std::strerror(e) + ")");
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

void CheckInputFile(const std::string& path) {
    struct stat st {};
    ::close(OpenInputFile(path, st));
}

bool SameExistingFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
