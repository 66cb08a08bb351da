#include "fuzz_support.h"

#include "catalog/lib_obj.h"
#include "tags/tag_info.h"
#include "text/name_text.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string TempRoot() {
    if (const char* t = std::getenv("TMPDIR"); t && *t) return t;
    // Loads and saves per input: memory is much faster than a disk that syncs.
    if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return "/tmp";
}

std::string Quote(std::string_view s) {
    std::string out;
    for (unsigned char c : s.substr(0, 200)) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out;
}

} // namespace

TFuzzFile::TFuzzFile(const std::string& name) {
    std::string pattern = TempRoot() + "/tamblix-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) FuzzFail("mkdtemp", pattern);
    folder_ = pattern + "/";
    path_ = folder_ + name;
}

TFuzzFile::~TFuzzFile() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

const std::string& TFuzzFile::Write(const uint8_t* data, size_t size) {
    int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) FuzzFail("open", path_);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) FuzzFail("write", path_);
        done += static_cast<size_t>(n);
    }
    close(fd);
    return path_;
}

void FuzzFail(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "fuzz check failed: %.*s [%s]\n", static_cast<int>(what.size()),
                 what.data(), Quote(detail).c_str());
    std::abort();
}

void CheckTagLines(const TTagInfo& info) {
    std::string_view text = info.TextView();
    while (!text.empty()) {
        size_t end = text.find("\r\n");
        FUZZ_CHECK(end != std::string_view::npos, text);
        std::string_view line = text.substr(0, end);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos, line);
        FUZZ_CHECK(line.find('=') != std::string_view::npos && line.find('=') > 0, line);
        FUZZ_CHECK(nametext::IsValidUtf8(line), line);
        text.remove_prefix(end + 2);
    }
}

void CheckTagNumbers(const TTagInfo& info) {
    for (const std::string& line : info.Values()) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string_view name(line.data(), eq);
        auto endsWith = [&](std::string_view tail) {
            return name.size() >= tail.size() && name.substr(name.size() - tail.size()) == tail;
        };
        if (endsWith("HZ") || endsWith("KBS") || endsWith("Sec") || endsWith("Frames") ||
            endsWith("Bits") || endsWith("Channels") || endsWith("Size") || endsWith("Samples"))
            FUZZ_CHECK(line.size() == eq + 1 || line[eq + 1] != '-', line);
    }
}

void CheckCatalogTotals(TLibObj& lib) {
    lib.Recount();
    FUZZ_CHECK(lib.TotalSize >= 0, std::to_string(lib.TotalSize));
    FUZZ_CHECK(lib.VolumeCount >= 0 && lib.FolderCount >= 0 && lib.FileCount >= 0, "counts");
    lib.Tree.ForEach([](TTreeNode* n) {
        const TLibFolder* f = FolderOf(n);
        FUZZ_CHECK(f->ItemsSize >= 0 && f->VolumeSize >= 0, f->Caption);
        for (const auto& e : f->Items())
            FUZZ_CHECK(e->Size >= 0, e->Caption.view());
        FUZZ_CHECK(DirectItemsSize(f) >= 0, f->Caption);
        FUZZ_CHECK(FolderDisplaySize(f) >= 0, f->Caption);
    });
}
