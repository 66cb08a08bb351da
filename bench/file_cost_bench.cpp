// The processor time each file of a folder costs the scan's readers (tags,
// video and photo details, archive member lists) with the default handlers,
// and the files that cost most. The walk itself is not counted.
//   bench_file_cost FOLDER [COUNT]
#include "catalog/archive_listing.h"
#include "catalog/read_ahead.h"
#include "handlers/handler_claims.h"
#include "handlers/handlers.h"
#include "media/media_steps.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct TCost {
    double Ms;
    std::string Path;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_file_cost FOLDER [COUNT]\n");
        return 2;
    }
    const size_t count = argc > 2 ? std::stoul(argv[2]) : 10;
    TMemorySettingsStore store;
    THandlerList handlers;
    handlers.LoadDefaultHandlers(store);
    THandlerClaims claims(handlers);
    // The reader modules load with the first file of their kind: not that file's cost.
    TTagInfo none;
    StepVideo("/nonexistent.mp4", none);
    StepPhoto("/nonexistent.jpg", none);
    std::vector<TCost> costs;
    double total = 0;
    size_t read = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(argv[1], ec); it != fs::end(it);
         it.increment(ec)) {
        if (ec) break;
        struct stat st {};
        const std::string path = it->path().string();
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const THandlerClaims::TClaim& claim = claims.Of(it->path().filename().string());
        if (claim.Archive == TArchiveKind::None && claim.Readers.empty()) continue;
        const bool holes = st.st_size > 4096 && st.st_blocks == 0; // as the walk tells it
        const double before = CpuMs();
        if (claim.Archive != TArchiveKind::None)
            ListArchive(path, claim.Archive, {[](const TArchiveMember&) {}, {}, {}});
        else
            ReadTagsOf(claim.Readers, path, holes);
        const double ms = CpuMs() - before;
        total += ms;
        ++read;
        costs.push_back({ms, path});
    }
    const size_t n = std::min(count, costs.size());
    std::partial_sort(costs.begin(), costs.begin() + static_cast<long>(n), costs.end(),
                      [](const TCost& a, const TCost& b) { return a.Ms > b.Ms; });
    std::printf("files read: %zu, processor time: %.1f ms\n", read, total);
    for (size_t i = 0; i < n; ++i)
        std::printf("%8.2f ms  %s\n", costs[i].Ms, costs[i].Path.c_str());
    return 0;
}
