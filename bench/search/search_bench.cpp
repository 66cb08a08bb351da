// Times the search over a catalog of a million entries in memory. Leaves the
// entries' names (WORKDIR/names.txt) and the catalog (WORKDIR/catalog.txc) for
// run_search_bench.sh, which times grep, plocate and the command-line search
// over them, each as a process of its own.
//
// search_bench [ENTRIES] [WORKDIR]
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "search/search_engine.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

const char* const kWords[] = {"holiday", "concert", "backup",  "invoice", "report", "photo",
                              "song",    "draft",   "archive", "scan",    "notes",  "video"};
const char* const kExts[] = {"mp3", "jpg", "txt", "pdf", "doc", "flac", "zip", "png"};

// 1,000 folders per volume level, 100 entries per folder; names repeat every
// 300,000 entries so that the duplicates list is large.
void Build(TLibObj& lib, long entries, const std::string& namesFile) {
    std::ofstream names(namesFile, std::ios::binary);
    long made = 0;
    for (int v = 0; made < entries; ++v) {
        auto vol = std::make_unique<TLibFolder>();
        vol->Caption = "Disc " + std::to_string(v);
        vol->Location = v % 2 ? "Shelf A" : "Box 3";
        TTreeNode* vn = lib.AddVolumeNode(std::move(vol));
        for (int f = 0; f < 1000 && made < entries; ++f) {
            auto fol = std::make_unique<TLibFolder>();
            fol->Caption = "folder " + std::to_string(f);
            auto fe = std::make_unique<TLibFolderItem>();
            fe->Caption = fol->Caption;
            fe->IsFolder = 1;
            lib.AddEntry(FolderOf(vn), std::move(fe));
            TTreeNode* fn = lib.AddFolderNode(vn, std::move(fol));
            ++made;
            names << "folder " << f << '\n';
            for (int i = 0; i < 99 && made < entries; ++i, ++made) {
                long k = made % 300000;
                std::string name = std::string(kWords[k % 12]) + " " + std::to_string(k) + "." +
                                   kExts[(k / 12) % 8];
                auto e = std::make_unique<TLibFolderItem>();
                e->Caption = name;
                e->Size = (k * 7919) % 5000000;
                e->Date = 40000 + static_cast<double>(k % 3000);
                lib.AddEntry(FolderOf(fn), std::move(e));
                names << name << '\n';
            }
        }
    }
    lib.Recount();
}

double RunSearch(TLibObj& lib, const TSearchCriteria& c, size_t& rows) {
    TNullProgress progress;
    TSearchEngine engine(lib, progress);
    TSearchResults results(lib);
    auto t = Clock::now();
    engine.Run(c, results);
    double s = Seconds(t);
    rows = results.Visible().size();
    return s;
}

// The median of a few runs, after one to warm the caches.
template <typename F> double Median(F f, int runs = 7) {
    f();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(f());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    long entries = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::string dir = argc > 2 ? argv[2] : "/tmp";
    const std::string namesFile = dir + "/names.txt";

    TLibObj lib;
    auto t = Clock::now();
    Build(lib, entries, namesFile);
    std::printf("catalog: %d entries in %d volumes, built in %.2f s\n",
                lib.FileCount + lib.FolderCount, lib.VolumeCount, Seconds(t));

    const std::string needle = "liday 12";
    size_t rows = 0;
    TSearchCriteria c;
    c.Name = needle;
    double name = Median([&] { return RunSearch(lib, c, rows); });
    std::printf("name search \"%s\":        %8.1f ms  %zu rows\n", needle.c_str(), name * 1e3,
                rows);
    c.MatchCase = true;
    double nameCase = Median([&] { return RunSearch(lib, c, rows); });
    std::printf("name search, match case:      %8.1f ms  %zu rows\n", nameCase * 1e3, rows);

    TSearchCriteria any;
    any.Mode = TSearchMode::Anywhere;
    any.Anywhere = "shelf a";
    double anywhere = Median([&] { return RunSearch(lib, any, rows); });
    std::printf("anywhere search \"shelf a\":   %8.1f ms  %zu rows\n", anywhere * 1e3, rows);
    any.Anywhere = "concert 29";
    anywhere = Median([&] { return RunSearch(lib, any, rows); });
    std::printf("anywhere search \"concert 29\":%8.1f ms  %zu rows\n", anywhere * 1e3, rows);

    TSearchCriteria size;
    size.SizeUse = true;
    size.SizeSign = kSignGreater;
    size.SizeUnit = 2;
    size.SizeValue = 4;
    double sizeT = Median([&] { return RunSearch(lib, size, rows); });
    std::printf("size search > 4 MB:           %8.1f ms  %zu rows\n", sizeT * 1e3, rows);

    TSearchCriteria dup;
    dup.Duplicates = true;
    double dupT = Median([&] { return RunSearch(lib, dup, rows); }, 1);
    std::printf("duplicates over all entries:  %8.1f ms  %zu duplicate rows\n", dupT * 1e3, rows);

    TNullProgress quiet;
    SaveToFile(lib, dir + "/catalog.txc", quiet);
    return 0;
}
