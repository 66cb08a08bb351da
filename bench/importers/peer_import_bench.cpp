// Imports one peer catalog into an empty catalog and reports the time, the
// peak memory of the process and the memory the resulting catalog holds.
// Usage: bench_peer_import FILE
#include "importers/peer_catalog.h"
#include "text/message_error.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <malloc.h>
#include <string>
#include <sys/resource.h>

namespace {

// VmRSS or VmHWM of this process in KiB.
long StatusKiB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: bench_peer_import FILE\n";
        return 2;
    }
    const long base = StatusKiB("VmRSS");
    TLibObj lib;
    TNullProgress quiet;
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = CpuSeconds();
    TPeerImportResult r;
    try {
        r = ImportPeerCatalog(lib, argv[1], {}, quiet);
    } catch (const EMessageError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    const long peak = StatusKiB("VmHWM");
    malloc_trim(0); // what is left is the catalog itself
    const long held = StatusKiB("VmRSS");
    std::printf("%s\tfiles %lld\tfolders %lld\tseconds %.2f\tcpu seconds %.2f\tpeak MiB "
                "%.1f\tcatalog MiB %.1f\t"
                "peak/catalog %.2f\n",
                PeerFormatName(r.Format), static_cast<long long>(r.Files),
                static_cast<long long>(r.Folders), seconds, cpu, (peak - base) / 1024.0,
                (held - base) / 1024.0,
                held > base ? static_cast<double>(peak - base) / static_cast<double>(held - base)
                            : 0.0);
    return 0;
}
