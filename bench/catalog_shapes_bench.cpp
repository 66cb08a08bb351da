// Load times of catalogs whose shape once made loading quadratic, each against
// the same records in the shape this program writes:
//   100,000 nested folders        against 100,000 folders side by side,
//   100,000 side by side stored in reverse order against sorted,
//   one folder of 200,000 entries stored in reverse order against sorted.
// Usage: bench_catalog_shapes [DIR] [FOLDERS] [ENTRIES]
#include "catalog/catalog_file.h"
#include "catalog/lib_file.h"
#include "catalog/lib_obj.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void Header(TLibFileWriter& out, int32_t folders) {
    out.WriteString(kCurrentVersion);
    out.WriteString("");
    out.WriteInt32(folders);
    out.WriteInt32(0);
    out.WriteString("");
    out.WriteInt32(0);
}

void Folder(TLibFileWriter& out, const std::string& caption, int32_t level, int32_t items,
            int32_t index) {
    out.WriteString(caption);
    out.WriteDouble(45000.0);
    out.WriteString("");
    out.WriteString("");
    out.WriteString("");
    out.WriteInt32(level);
    out.WriteInt32(level == 0 ? 0 : 1);
    out.WriteInt32(items);
    out.WriteInt32(index);
    out.WriteString("");
    out.WriteString(level == 0 ? "/media/disc/" : "");
}

void Entry(TLibFileWriter& out, const std::string& caption, int64_t size, bool folder) {
    out.WriteString(caption);
    out.WriteDouble(45000.0);
    out.WriteInt64(size);
    out.WriteString("");
    out.WriteString("");
    out.WriteByte(folder ? 1 : 0);
    out.WriteString("");
}

std::string Name(long i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Folder %07ld", i);
    return buf;
}

// `nested`: each folder inside the one before; otherwise all in the volume,
// in reverse order when `reversed`.
void WriteFolders(const std::string& path, long n, bool nested, bool reversed = false) {
    TLibFileWriter out(path);
    Header(out, static_cast<int32_t>(n + 1));
    Folder(out, "Volume", 0, nested ? 1 : static_cast<int32_t>(n), 0);
    auto at = [&](long k) { return reversed ? n - 1 - k : k; };
    for (long k = 0; k < (nested ? 1 : n); ++k)
        Entry(out, Name(at(k)), 0, true);
    for (long k = 0; k < n; ++k) {
        long i = at(k);
        int32_t level = nested ? static_cast<int32_t>(i + 1) : 1;
        bool last = i + 1 == n;
        Folder(out, Name(i), level, nested && !last ? 2 : 1, static_cast<int32_t>(k + 1));
        if (nested && !last) Entry(out, Name(i + 1), 0, true);
        Entry(out, "file.txt", 1000 + i, false);
    }
    out.Commit();
}

void WriteEntries(const std::string& path, long n, bool reversed) {
    TLibFileWriter out(path);
    Header(out, 1);
    Folder(out, "Volume", 0, static_cast<int32_t>(n), 0);
    for (long k = 0; k < n; ++k) {
        long i = reversed ? n - 1 - k : k;
        Entry(out, "Track " + std::to_string(1000000 + i) + ".mp3", 3000000 + i, false);
    }
    out.Commit();
}

// Best of three loads, in seconds.
double LoadSeconds(const std::string& path) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        TNullProgress quiet;
        TLibObj lib;
        auto t = std::chrono::steady_clock::now();
        LoadFromFile(lib, path, false, quiet);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count());
    }
    return best;
}

void Compare(const char* what, const std::string& shaped, const std::string& plain) {
    double a = LoadSeconds(shaped), b = LoadSeconds(plain);
    std::printf("%-34s %.3f s  against %.3f s  (%.2fx)\n", what, a, b, a / b);
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    long folders = argc > 2 ? std::atol(argv[2]) : 100000;
    long entries = argc > 3 ? std::atol(argv[3]) : 200000;
    const std::string pid = std::to_string(::getpid());
    const std::string deep = dir + "/deep-" + pid + ".txc", flat = dir + "/flat-" + pid + ".txc";
    const std::string rev = dir + "/rev-" + pid + ".txc", sorted = dir + "/sorted-" + pid + ".txc";
    const std::string revFolders = dir + "/revf-" + pid + ".txc";
    WriteFolders(deep, folders, true);
    WriteFolders(flat, folders, false);
    WriteFolders(revFolders, folders, false, true);
    WriteEntries(rev, entries, true);
    WriteEntries(sorted, entries, false);
    std::printf("%ld folders nested / side by side, %ld entries reversed / sorted\n", folders,
                entries);
    Compare("nested folders / side by side:", deep, flat);
    Compare("reversed folders / sorted:", revFolders, flat);
    Compare("reversed entries / sorted:", rev, sorted);
    for (const std::string& p : {deep, flat, revFolders, rev, sorted})
        ::unlink(p.c_str());
    return 0;
}
