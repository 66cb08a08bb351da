// Times the search over a catalog of a million entries against grep over a
// text file of the same names (the floor a plain scan of the names can reach).
//
// search_bench [ENTRIES] [WORKDIR]
#include "catalog/lib_obj.h"
#include "search/search_engine.h"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
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

// grep runs as its own process, spawned directly (no shell), and is timed from
// spawn to exit, the same wall clock our search gets.
double Grep(std::vector<std::string> args, const std::string& file, std::string& count) {
    args.insert(args.begin(), {"grep", "-c"});
    args.push_back(file);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    auto t = Clock::now();
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, "grep", &actions, nullptr, argv.data(), environ);
    ::close(fds[1]);
    char buf[64] = {};
    ssize_t n = rc == 0 ? ::read(fds[0], buf, sizeof buf - 1) : 0;
    int status = 0;
    if (rc == 0) ::waitpid(pid, &status, 0);
    double s = Seconds(t);
    ::close(fds[0]);
    posix_spawn_file_actions_destroy(&actions);
    count.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    while (!count.empty() && (count.back() == '\n'))
        count.pop_back();
    return s;
}

// Best of a few runs, as caches warm up.
template <typename F> double Best(F f, int runs = 3) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, f());
    return best;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    long entries = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::string dir = argc > 2 ? argv[2] : "/tmp";
    std::string namesFile = dir + "/tamblix-bench-names-" + std::to_string(::getpid()) + ".txt";

    TLibObj lib;
    auto t = Clock::now();
    Build(lib, entries, namesFile);
    std::printf("catalog: %d entries in %d volumes, built in %.2f s\n",
                lib.FileCount + lib.FolderCount, lib.VolumeCount, Seconds(t));

    const std::string needle = "liday 12";
    size_t rows = 0;
    std::string count;
    TSearchCriteria c;
    c.Name = needle;
    double name = Best([&] { return RunSearch(lib, c, rows); });
    std::printf("name search \"%s\":        %8.1f ms  %zu rows\n", needle.c_str(), name * 1e3,
                rows);
    c.MatchCase = true;
    double nameCase = Best([&] { return RunSearch(lib, c, rows); });
    std::printf("name search, match case:      %8.1f ms  %zu rows\n", nameCase * 1e3, rows);
    double grepI = Best([&] { return Grep({"-i", "-F", needle}, namesFile, count); });
    std::printf("grep -c -i -F (floor):        %8.1f ms  %s lines\n", grepI * 1e3, count.c_str());
    double grepF = Best([&] { return Grep({"-F", needle}, namesFile, count); });
    std::printf("grep -c -F (floor):           %8.1f ms  %s lines\n", grepF * 1e3, count.c_str());
    std::printf("ratio name/grep -i: %.2f, match case/grep: %.2f\n", name / grepI,
                nameCase / grepF);

    TSearchCriteria any;
    any.Mode = TSearchMode::Anywhere;
    any.Anywhere = "shelf a";
    double anywhere = Best([&] { return RunSearch(lib, any, rows); });
    std::printf("anywhere search \"shelf a\":   %8.1f ms  %zu rows\n", anywhere * 1e3, rows);
    any.Anywhere = "concert 29";
    anywhere = Best([&] { return RunSearch(lib, any, rows); });
    std::printf("anywhere search \"concert 29\":%8.1f ms  %zu rows\n", anywhere * 1e3, rows);

    TSearchCriteria size;
    size.SizeUse = true;
    size.SizeSign = kSignGreater;
    size.SizeUnit = 2;
    size.SizeValue = 4;
    double sizeT = Best([&] { return RunSearch(lib, size, rows); });
    std::printf("size search > 4 MB:           %8.1f ms  %zu rows\n", sizeT * 1e3, rows);

    TSearchCriteria dup;
    dup.Duplicates = true;
    double dupT = Best([&] { return RunSearch(lib, dup, rows); }, 2);
    std::printf("duplicates over all entries:  %8.1f ms  %zu duplicate rows\n", dupT * 1e3, rows);

    std::remove(namesFile.c_str());
    return 0;
}
