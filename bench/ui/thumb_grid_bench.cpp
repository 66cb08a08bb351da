// The thumbnail grid of a folder of 20,000 photos, each with a thumbnail in
// the catalog's sidecar, in the main window (offscreen): the time from
// selecting the folder to the grid painted, the time until the visible
// pictures are in, and the frame times of scrolling down through it, one
// wheel step (three rows) a frame. Targets: open under 0.3 s, no frame over
// 50 ms. Run in a Release build:
//   QT_QPA_PLATFORM=offscreen bench_thumb_grid [-- ENTRIES]
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "settings/settings_store.h"
#include "thumbs/thumb_store.h"
#include "ui/catalog_models.h"
#include "ui/main_window.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QListView>
#include <QtWidgets/QScrollBar>
#include <algorithm>
#include <vector>

namespace {

int gEntries = 20000;

double Ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Samples of the red block the test picture has, every fourth pixel each way.
int RedSamples(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4) {
            const QRgb c = img.pixel(x, y);
            if (qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80) ++n;
        }
    return n;
}

} // namespace

class BenchThumbGrid : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::string catalog_;

private slots:
    void initTestCase() {
        catalog_ = dir_.filePath(QStringLiteral("photos.txc")).toStdString();
        TLibObj lib;
        // An empty volume first, from which the test goes to the photos.
        lib.AddVolumeNode(TLibFolder::FromPath("A empty"));
        TTreeNode* vol = lib.AddVolumeNode(TLibFolder::FromPath("Camera"));
        for (int i = 0; i < gEntries; ++i) {
            auto e = std::make_unique<TLibFolderItem>();
            e->Caption = "IMG_" + std::to_string(10000 + i) + ".jpg";
            e->Size = 3000000 + i;
            e->Date = 45000 + i / 100.0;
            lib.AddEntry(FolderOf(vol), std::move(e));
        }
        TNullProgress quiet;
        SaveToFile(lib, catalog_, quiet);
        // Every photo gets the thumbnail of the test picture.
        QFile jpeg(QStringLiteral(TAMBLIX_TEST_DATA "/thumbs/photo.jpg"));
        QVERIFY(jpeg.open(QIODevice::ReadOnly));
        TThumbnail t;
        const QByteArray full = jpeg.readAll();
        QImage img;
        QVERIFY(img.loadFromData(full));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        img.scaled(256, 171).save(&out, "JPEG", 80);
        t.Data = out.data().toStdString();
        t.Width = 256;
        t.Height = 171;
        TThumbStore store;
        std::string why;
        QVERIFY2(store.OpenWrite(TThumbStore::PathFor(catalog_), why), why.c_str());
        QVERIFY(store.Begin());
        for (const auto& e : FolderOf(vol)->Items())
            store.Put("Camera", GetEntryCatalogPath(e.get()), e->Size, e->Date, t);
        QVERIFY(store.Commit());
    }

    void openAndScroll() {
        TfrmMain w(std::make_unique<TMemorySettingsStore>());
        w.GD().ActionEndBeep = false;
        w.resize(1200, 800);
        w.show();
        w.SetTab(1);
        QVERIFY(w.OpenFile(catalog_, false));
        w.Action(QStringLiteral("tbThumbs"))->trigger();
        auto* grid = w.findChild<QListView*>(QStringLiteral("lvThumbs"));
        QVERIFY(grid);
        QApplication::processEvents();

        w.SelectNode(w.Lib().Tree.Root(0));
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        w.SelectNode(w.Lib().Tree.Root(1));
        grid->viewport()->repaint();
        const double open = Ms(t);
        // The visible pictures load between events: wait for the test picture's red.
        while (Ms(t) < 3000 && RedSamples(grid->viewport()->grab().toImage()) < 100)
            QApplication::processEvents();
        const double pictures = Ms(t);
        QCOMPARE(w.ListModel()->rowCount(), gEntries);

        std::vector<double> frames;
        QScrollBar* bar = grid->verticalScrollBar();
        const int step = 3 * grid->gridSize().height();
        for (int v = 0; v + step <= bar->maximum() && frames.size() < 400; v += step) {
            QElapsedTimer f;
            f.start();
            bar->setValue(v + step);
            grid->viewport()->repaint();
            QApplication::processEvents(); // the loader's slice for the cells shown
            frames.push_back(Ms(f));
        }
        std::sort(frames.begin(), frames.end());
        const double median = frames[frames.size() / 2];
        const double p95 = frames[frames.size() * 95 / 100];
        const double worst = frames.back();
        qInfo("folder of %d photos: grid filled and painted in %.1f ms, first pictures in %.1f ms",
              gEntries, open, pictures);
        qInfo("scrolling, %zu frames: median %.2f ms, 95th percentile %.2f ms, worst %.2f ms",
              frames.size(), median, p95, worst);
        QBENCHMARK_ONCE {
            w.SelectNode(w.Lib().Tree.Root(0));
            w.SelectNode(w.Lib().Tree.Root(1));
            grid->viewport()->repaint();
        }
        w.Lib().Modified = false;
        QVERIFY(open < 300);
        QVERIFY(worst < 50);
    }
};

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    // "-- N" after QtTest's own options sets the folder's size.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--") {
            gEntries = std::max(1, std::atoi(argv[i + 1]));
            args.resize(static_cast<size_t>(i));
        }
    QApplication app(argc, argv);
    BenchThumbGrid bench;
    int n = static_cast<int>(args.size());
    return QTest::qExec(&bench, n, args.data());
}

#include "thumb_grid_bench.moc"
