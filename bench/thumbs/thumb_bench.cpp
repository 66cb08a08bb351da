// Makes the thumbnail of every file named on the command line, one after the
// other on one thread, as the scan's reader does, and prints the files made
// per second of processor time (the rate per core), the average thumbnail
// size and the slowest file. Best of `--rounds N` passes (default 3).
//   bench_thumbs [--rounds N] FILE...
#include "media/thumb_maker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            files.emplace_back(argv[i]);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: bench_thumbs [--rounds N] FILE...\n");
        return 2;
    }
    double best = 1e300;
    size_t made = 0, bytes = 0;
    double slowest = 0;
    std::string slowestName, refused;
    for (int r = 0; r < rounds; ++r) {
        made = bytes = 0;
        const double start = CpuSeconds();
        for (const std::string& f : files) {
            const double t0 = CpuSeconds();
            const TThumbMade m = MakeThumbnailOf(f);
            const double spent = CpuSeconds() - t0;
            if (spent > slowest) {
                slowest = spent;
                slowestName = f;
            }
            if (m.Jpeg.empty()) {
                refused = f + ": " + m.Why;
                continue;
            }
            ++made;
            bytes += m.Jpeg.size();
        }
        best = std::min(best, CpuSeconds() - start);
    }
    std::printf("%zu files, %zu thumbnails, %.1f files per CPU second, %.1f KB average, slowest "
                "%.1f ms (%s)\n",
                files.size(), made, static_cast<double>(files.size()) / best,
                made ? static_cast<double>(bytes) / static_cast<double>(made) / 1024 : 0.0,
                slowest * 1000, slowestName.c_str());
    if (!refused.empty()) std::printf("last refused: %s\n", refused.c_str());
    return made == files.size() ? 0 : 1;
}
