// Times the space view on one volume of 1,000,000 entries built in memory:
// summing the sizes below every folder, laying out the picture, painting it
// offscreen, and what a resize and a hover cost afterwards. Release build:
//   QT_QPA_PLATFORM=offscreen bench_space_view [entries] [width] [height]
#include "catalog/lib_obj.h"
#include "space/space_map.h"
#include "ui/space_host.h"
#include "ui/space_view.h"

#include <QtCore/QElapsedTimer>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class TBenchHost : public ISpaceHost {
public:
    explicit TBenchHost(TLibObj& lib) : lib_(lib) {}
    TLibObj* CurrentCatalog() override { return &lib_; }
    bool CatalogFrozen() const override { return false; }
    void WatchCatalog(QObject*, std::function<void()>) override {}
    void ShowNode(TTreeNode*) override {}

private:
    TLibObj& lib_;
};

// A volume shaped like a real one: folders eight to a parent (about 1 in 20
// entries), files of sizes spread over six orders of magnitude, and one folder
// of 100,000 files.
TTreeNode* BuildVolume(TLibObj& lib, int entries, int& folderCount) {
    TTreeNode* vol = lib.AddVolumeNode(TLibFolder::FromPath("Big Disc"));
    const int folders = std::max(1, entries / 20);
    const int bigFolder = std::min(100000, entries / 10);
    std::vector<TTreeNode*> nodes{vol};
    char name[32];
    for (int i = 1; i < folders; ++i) {
        TTreeNode* parent = nodes[static_cast<size_t>((i - 1) / 8)];
        std::snprintf(name, sizeof name, "d%06d", i);
        auto e = std::make_unique<TLibFolderItem>();
        e->Caption = name;
        e->IsFolder = 1;
        lib.AddEntry(FolderOf(parent), std::move(e));
        nodes.push_back(lib.AddFolderNode(parent, TLibFolder::FromPath(name)));
    }
    static const char* kTypes[] = {"mp3", "flac", "jpg", "png", "mkv", "mp4",
                                   "pdf", "txt",  "exe", "dat", "iso", "ogg"};
    uint64_t seed = 20240601;
    int left = entries - folders;
    for (size_t f = 0; f < nodes.size() && left > 0; ++f) {
        int files = f == nodes.size() / 2 ? bigFolder : (entries - folders - bigFolder) / folders;
        if (f + 1 == nodes.size()) files = left;
        files = std::min(files, left);
        left -= files;
        for (int i = 0; i < files; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const double r = static_cast<double>(seed >> 11) / 9007199254740992.0;
            auto e = std::make_unique<TLibFolderItem>();
            std::snprintf(name, sizeof name, "f%07d.%s", i, kTypes[(seed >> 40) % 12]);
            e->Caption = name;
            e->Size = static_cast<int64_t>(std::exp(r * std::log(2e9)));
            lib.AddEntry(FolderOf(nodes[f]), std::move(e));
        }
    }
    folderCount = folders;
    return vol;
}

double Ms(QElapsedTimer& t) {
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    t.restart();
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 1000000;
    const int width = argc > 2 ? std::max(100, std::atoi(argv[2])) : 1600;
    const int height = argc > 3 ? std::max(100, std::atoi(argv[3])) : 1000;

    TLibObj lib;
    int folders = 0;
    QElapsedTimer t;
    t.start();
    TTreeNode* vol = BuildVolume(lib, entries, folders);
    lib.Recount();
    std::printf("catalog of %d entries (%d folders, %d files) built in %.0f ms\n", entries, folders,
                lib.FileCount, Ms(t));

    // The core on its own.
    TSpaceTotals totals;
    t.restart();
    totals.Compute(vol);
    const double sum = Ms(t);
    TSpaceMap map;
    map.Build(totals, {0, 0, static_cast<double>(width), static_cast<double>(height)}, {});
    const double layout = Ms(t);

    // The widget: first picture (sum, layout, paint), then a resize and a hover.
    TBenchHost host(lib);
    TSpaceView view(host);
    view.resize(width, height);
    QImage image(width, height, QImage::Format_RGB32);
    t.restart();
    view.ShowFolder(vol);
    view.render(&image);
    const double first = Ms(t);
    view.render(&image);
    const double paint = Ms(t);
    view.resize(width - 200, height - 100);
    view.render(&image);
    const double resized = Ms(t);
    const QString tip = view.ToolTipAt(QPoint(width / 3, height / 3));
    const double hover = Ms(t);

    std::printf("space view %dx%d of %lld bytes:\n", width, height,
                static_cast<long long>(totals.Of(vol).Size));
    std::printf("  sizes summed below every folder: %8.1f ms\n", sum);
    std::printf("  laid out:                        %8.1f ms (%zu blocks)\n", layout,
                map.Blocks().size());
    std::printf("  painted offscreen:               %8.1f ms\n", paint);
    std::printf("  first picture (sum+layout+paint):%8.1f ms\n", first);
    std::printf("  resized (layout+paint):          %8.1f ms\n", resized);
    std::printf("  hover tooltip:                   %8.1f ms (%lld characters)\n", hover,
                static_cast<long long>(tip.size()));
    return 0;
}
