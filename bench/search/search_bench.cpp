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
#include <ctime>
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

// The processor time of the whole process: on a busy machine the wall time
// says more about the neighbours than about the search.
double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct TTimes {
    double Wall, Cpu;
};

TTimes RunSearch(TLibObj& lib, const TSearchCriteria& c, size_t& rows, unsigned threads = 0) {
    TNullProgress progress;
    TSearchEngine engine(lib, progress);
    engine.Threads = threads;
    TSearchResults results(lib);
    auto t = Clock::now();
    const double cpu = CpuSeconds();
    engine.Run(c, results);
    TTimes times{Seconds(t), CpuSeconds() - cpu};
    rows = results.Visible().size();
    return times;
}

// The medians of a few runs, after one to warm the caches.
template <typename F> TTimes Median(F f, int runs = 7) {
    f();
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        TTimes t = f();
        wall.push_back(t.Wall);
        cpu.push_back(t.Cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

void Report(const char* what, TTimes t, size_t rows, const char* unit = "rows") {
    std::printf("%-30s%8.1f ms  %zu %s  (processor %.1f ms)\n", what, t.Wall * 1e3, rows, unit,
                t.Cpu * 1e3);
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
    const std::string nameLine = "name search \"" + needle + "\":";
    size_t rows = 0;
    TSearchCriteria c;
    c.Name = needle;
    // The first searches after a load also lay out the folders' names, a
    // growing share each, until every folder has its block.
    TTimes t1 = RunSearch(lib, c, rows);
    Report("first name search, fresh:", t1, rows);
    std::string next;
    for (int i = 0; i < 5; ++i) {
        char ms[32];
        std::snprintf(ms, sizeof ms, " %.1f", RunSearch(lib, c, rows).Wall * 1e3);
        next += ms;
    }
    std::printf("searches 2 to 6, ms:          %s\n", next.c_str());
    t1 = Median([&] { return RunSearch(lib, c, rows); });
    Report(nameLine.c_str(), t1, rows);
    t1 = Median([&] { return RunSearch(lib, c, rows, 1); });
    Report("name search, one thread:", t1, rows);
    const TTimes plain = t1 = Median([&] { return RunSearch(lib, c, rows); });
    c.MatchCase = true;
    t1 = Median([&] { return RunSearch(lib, c, rows); });
    Report("name search, match case:", t1, rows);

    // The same names by a regular expression, and by one without plain text
    // ("[l][i]..."), which every name goes through.
    TSearchCriteria re;
    re.NamePatternKind = TNamePattern::TKind::Regex;
    re.NamePattern = needle;
    t1 = Median([&] { return RunSearch(lib, re, rows); });
    Report("regex search, same text:", t1, rows);
    std::printf("regex search / name search:   %.2fx\n", t1.Wall / plain.Wall);
    re.NamePattern.clear();
    for (char ch : needle)
        re.NamePattern += std::string("[") + ch + "]";
    t1 = Median([&] { return RunSearch(lib, re, rows); });
    Report("regex search, no plain text:", t1, rows);
    std::printf("that regex / name search:     %.2fx\n", t1.Wall / plain.Wall);
    re.NamePatternKind = TNamePattern::TKind::Glob;
    re.NamePattern = "*" + needle + "*";
    t1 = Median([&] { return RunSearch(lib, re, rows); });
    Report("glob search, same text:", t1, rows);

    TSearchCriteria any;
    any.Mode = TSearchMode::Anywhere;
    any.Anywhere = "shelf a";
    t1 = Median([&] { return RunSearch(lib, any, rows); });
    Report("anywhere search \"shelf a\":", t1, rows);
    any.Anywhere = "concert 29";
    t1 = Median([&] { return RunSearch(lib, any, rows); });
    Report("anywhere search \"concert 29\":", t1, rows);

    TSearchCriteria size;
    size.SizeUse = true;
    size.SizeSign = kSignGreater;
    size.SizeUnit = 2;
    size.SizeValue = 4;
    t1 = Median([&] { return RunSearch(lib, size, rows); });
    Report("size search > 4 MB:", t1, rows);

    TSearchCriteria dup;
    dup.Duplicates = true;
    t1 = Median([&] { return RunSearch(lib, dup, rows); }, 1);
    Report("duplicates over all entries:", t1, rows, "duplicate rows");

    TNullProgress quiet;
    SaveToFile(lib, dir + "/catalog.txc", quiet);
    return 0;
}
