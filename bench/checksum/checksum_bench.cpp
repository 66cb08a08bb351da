// Content checksum throughput on a warm page cache, on one core, beside
// xxhsum -H2 on the same file (its own process, timed the same way); then the
// duplicates-by-content pass over a catalog of many hashed entries.
//
// checksum_bench [MIB] [ENTRIES] [WORKDIR]
#include "catalog/lib_obj.h"
#include "files/file_checksum.h"
#include "search/search_engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

template <typename F> double Best(F f, int runs = 5) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, f());
    return best;
}

bool MakeFile(const std::string& path, size_t mib) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<unsigned char> block(1 << 20);
    uint32_t x = 1;
    for (size_t m = 0; m < mib; ++m) {
        for (auto& b : block) {
            x = x * 1664525u + 1013904223u;
            b = static_cast<unsigned char>(x >> 24);
        }
        std::fwrite(block.data(), 1, block.size(), f);
    }
    return std::fclose(f) == 0;
}

double Peer(const std::string& file) {
    std::vector<char*> argv = {const_cast<char*>("xxhsum"), const_cast<char*>("-H2"),
                               const_cast<char*>(file.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    auto start = Clock::now();
    pid_t pid;
    int rc = ::posix_spawnp(&pid, "xxhsum", &actions, nullptr, argv.data(), environ);
    int status = 0;
    if (rc == 0) ::waitpid(pid, &status, 0);
    double s = Seconds(start);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

// Entries in folders of 1,000; every 7th shares its contents with another.
void Build(TLibObj& lib, long entries) {
    long made = 0;
    for (int v = 0; made < entries; ++v) {
        auto vol = std::make_unique<TLibFolder>();
        vol->Caption = "Disc " + std::to_string(v);
        TTreeNode* node = lib.AddVolumeNode(std::move(vol));
        for (int k = 0; k < 1000 && made < entries; ++k, ++made) {
            auto e = std::make_unique<TLibFolderItem>();
            e->Caption = "file" + std::to_string(made);
            const long content = made % 7 == 0 ? made / 2 : made;
            e->Size = 1000 + content % 5000;
            TContentHash h{static_cast<uint64_t>(content) * 0x9e3779b97f4a7c15ull,
                           static_cast<uint64_t>(content)};
            e->TagInfo.SetText(std::string(kChecksumKey) + "=" + ChecksumText(h));
            lib.AddEntry(FolderOf(node), std::move(e));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
    const long entries = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1000000;
    const std::string dir = argc > 3 ? argv[3] : (getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
    const std::string file = dir + "/tamblix-checksum-bench.bin";
    if (!MakeFile(file, mib)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    TFileChecksum sum;
    sum.HashFile(file); // warms the page cache
    std::string hash;
    double ours = Best([&] {
        auto start = Clock::now();
        hash = sum.HashFile(file);
        return Seconds(start);
    });
    double peer = Best([&] { return Peer(file); });
    const double gb = static_cast<double>(mib) * 1048576.0 / 1e9;
    std::printf("checksum of %zu MiB: %.3f s, %.2f GB/s (%s)\n", mib, ours, gb / ours,
                hash.c_str());
    if (peer > 0)
        std::printf("xxhsum -H2:        %.3f s, %.2f GB/s\n", peer, gb / peer);
    else
        std::printf("xxhsum -H2: not run (not installed?)\n");
    ::unlink(file.c_str());

    TLibObj lib;
    Build(lib, entries);
    TNullProgress progress;
    TSearchEngine engine(lib, progress);
    TSearchCriteria c;
    c.Duplicates = true;
    c.DupMode = TDupMode::Content;
    size_t rows = 0;
    auto run = [&] {
        TSearchResults r(lib);
        auto start = Clock::now();
        engine.Run(c, r);
        double s = Seconds(start);
        rows = r.DupRows.size();
        return s;
    };
    // The same search by names first, as the floor of a duplicates run.
    c.DupMode = TDupMode::Names;
    double names = Best(run, 3);
    std::printf("duplicates by name over %ld entries: %.3f s, %zu rows\n", entries, names, rows);
    c.DupMode = TDupMode::Content;
    double dup = Best(run, 3);
    std::printf("duplicates by content over %ld entries: %.3f s, %zu rows\n", entries, dup, rows);
    return 0;
}
