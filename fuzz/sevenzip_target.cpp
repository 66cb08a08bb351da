// The 7z header reader on its own: members or a refusal, never a crash. The
// start header's checksums are set right first, so that changed headers reach
// the reader instead of failing their checksum.
#include "archive_check.h"
#include "archives/archive_io.h"
#include "archives/sevenzip_headers.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

void PutU32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.7z");
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.size() >= 32) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        const uint64_t offset = archiveio::U64(p + 12), next = archiveio::U64(p + 20);
        if (offset <= bytes.size() - 32 && next <= bytes.size() - 32 - offset)
            PutU32(bytes, 28, archiveio::Crc32(p + 32 + offset, next));
        PutU32(bytes, 8, archiveio::Crc32(p + 12, 20));
    }
    input.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const int fd = open(input.Path().c_str(), O_RDONLY);
    FUZZ_CHECK(fd >= 0, input.Path());
    sevenzip::ListMembers(fd, bytes.size(), [](TArchiveMember& m) {
        CheckArchiveMember(m);
        return true;
    });
    close(fd);
    return 0;
}
