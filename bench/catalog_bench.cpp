// Builds a catalog of N entries in N/50 folders (with tag lines, categories and
// collections), saves it, loads it, and prints the times, the file size and the
// resident memory per entry.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long ResidentBytes() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

double Seconds(std::chrono::steady_clock::time_point a) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

void Build(TLibObj& lib, long entries) {
    const long folders = entries / 50;
    long made = 0;
    TTreeNode* vol = nullptr;
    TTreeNode* parent = nullptr;
    for (long f = 0; f < folders; ++f) {
        if (f % 2000 == 0) {
            auto v = std::make_unique<TLibFolder>();
            v->Caption = "Volume " + std::to_string(f / 2000);
            v->SourcePath = "/media/disc" + std::to_string(f / 2000) + "/";
            v->Location = "Shelf " + std::to_string(f % 7);
            vol = lib.AddVolumeNode(std::move(v));
            parent = vol;
        }
        auto folder = std::make_unique<TLibFolder>();
        folder->Caption = "Folder number " + std::to_string(f);
        auto fe = std::make_unique<TLibFolderItem>();
        fe->Caption = folder->Caption;
        fe->IsFolder = 1;
        lib.AddEntry(FolderOf(parent), std::move(fe));
        TTreeNode* node = lib.AddFolderNode(parent, std::move(folder));
        parent = (f % 10 == 9) ? vol : node; // nested runs of ten
        for (int i = 0; i < 49 && made < entries; ++i, ++made) {
            auto e = std::make_unique<TLibFolderItem>();
            e->Caption =
                "Track " + std::to_string(i) + " of some album " + std::to_string(f) + ".mp3";
            e->Size = 3000000 + (made * 7919) % 5000000;
            e->Date = 44000.0 + static_cast<double>(made % 1000) / 7.0;
            if (i % 10 == 0) {
                e->Category = "Music";
                e->TagInfo.SetText("Title=Song " + std::to_string(i) +
                                   "\r\nArtist=Someone\r\nBitRateKBS=192\r\n");
            }
            lib.AddEntry(FolderOf(node), std::move(e));
        }
        if (f % 1000 == 0) lib.LinkFolder(nullptr, FolderOf(node));
    }
    lib.Categories.Add("Music");
    lib.Categories.Add("Films");
}

} // namespace

int main(int argc, char** argv) {
    // "load PATH" measures a load in a process of its own, so that the memory
    // figure is not hidden by what the build freed.
    TNullProgress quiet;
    if (argc == 3 && std::string(argv[1]) == "load") {
        long base = ResidentBytes();
        TLibObj lib;
        auto t = std::chrono::steady_clock::now();
        LoadFromFile(lib, argv[2], false, quiet);
        double load = Seconds(t);
        long after = ResidentBytes();
        std::printf("load: %.3f s  (%d files, %d folders)\n", load, lib.FileCount, lib.FolderCount);
        std::printf("loaded catalog: %.0f bytes per entry\n",
                    static_cast<double>(after - base) / (lib.FileCount + lib.FolderCount));
        return 0;
    }
    long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::string path = argc > 2 ? argv[2] : "/tmp/tamblix-bench.txc";
    long before = ResidentBytes();
    {
        TLibObj lib;
        Build(lib, n);
        lib.Recount();
        long built = ResidentBytes();
        auto t = std::chrono::steady_clock::now();
        SaveToFile(lib, path, quiet);
        double save = Seconds(t);
        struct stat st {};
        ::stat(path.c_str(), &st);
        std::printf("entries %ld folders %d\n", n, lib.Tree.TotalCount());
        std::printf("save: %.3f s  file %.1f MB\n", save, st.st_size / 1e6);
        std::printf("built catalog: %.0f bytes per entry\n",
                    static_cast<double>(built - before) / n);
    }
    // The load runs in a fresh process.
    std::fflush(stdout);
    std::string cmd = "'" + std::string(argv[0]) + "' load '" + path + "'";
    int rc = std::system(cmd.c_str());
    if (argc <= 2) ::unlink(path.c_str()); // a path given is kept for the caller

    return rc == 0 ? 0 : 1;
}
