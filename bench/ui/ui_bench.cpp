// Times what the user waits for in the main window: a folder of 100,000
// entries filling the list, and a catalog of 1,000,000 entries opening (load
// plus first paint). Run offscreen in a Release build:
//   QT_QPA_PLATFORM=offscreen bench_ui [folderEntries] [catalogEntries]
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "settings/settings_store.h"
#include "ui/catalog_models.h"
#include "ui/main_window.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeView>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void AddFiles(TLibObj& lib, TLibFolder* folder, int count, int salt) {
    for (int i = 0; i < count; ++i) {
        auto e = std::make_unique<TLibFolderItem>();
        e->Caption = "file " + std::to_string((i * 7919 + salt) % 1000003) + "_" +
                     std::to_string(i) + (i % 3 ? ".mp3" : ".txt");
        e->Size = (i * 131) % 100000;
        e->Date = 40000 + i % 5000;
        lib.AddEntry(folder, std::move(e));
    }
}

// Answers No (Ok where there is no No) and prints errors, so no message box waits.
class TBenchQuestions : public IUiQuestions {
public:
    TAnswer Ask(const std::string&, const std::string&, TButtons b) override {
        return b == TButtons::OkCancel ? TAnswer::Ok : TAnswer::No;
    }
    void ShowError(const std::string& key, const std::string& arg) override {
        ShowErrorText(MsgText(key, arg));
    }
    std::string AskSavePath(const std::string&) override { return {}; }
    std::string AskOpenPath(const QString&) override { return {}; }
    QString AskFile(const TFileQuestion&) override { return {}; }
    void ShowErrorText(const QString& t) override {
        std::fprintf(stderr, "error: %s\n", t.toUtf8().constData());
    }
    void ShowInfo(const QString&) override {}
};

void Paint(QWidget* w) {
    w->repaint();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TamblixBench"));
    const int folderEntries = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int catalogEntries = argc > 2 ? std::atoi(argv[2]) : 1000000;
    QTemporaryDir dir;

    // A catalog file with one big folder, and one with a million entries in 1,000 folders.
    std::string bigFolder = dir.filePath("folder.TXC").toStdString();
    std::string million = dir.filePath("million.TXC").toStdString();
    {
        TLibObj lib;
        TTreeNode* vol = lib.AddVolumeNode(TLibFolder::FromPath("Big"));
        AddFiles(lib, FolderOf(vol), folderEntries, 1);
        TNullProgress quiet;
        SaveToFile(lib, bigFolder, quiet);
    }
    {
        TLibObj lib;
        const int folders = 1000;
        for (int v = 0; v < 10; ++v) {
            TTreeNode* vol = lib.AddVolumeNode(TLibFolder::FromPath("Disc " + std::to_string(v)));
            for (int f = 0; f < folders / 10; ++f) {
                auto folder = TLibFolder::FromPath("Folder " + std::to_string(f));
                TTreeNode* n = lib.AddFolderNode(vol, std::move(folder));
                auto entry = std::make_unique<TLibFolderItem>();
                entry->Caption = "Folder " + std::to_string(f);
                entry->IsFolder = 1;
                lib.AddEntry(FolderOf(vol), std::move(entry));
                AddFiles(lib, FolderOf(n), catalogEntries / folders, f);
            }
        }
        TNullProgress quiet;
        SaveToFile(lib, million, quiet);
    }

    TfrmMain w(std::make_unique<TMemorySettingsStore>());
    TBenchQuestions questions;
    w.SetQuestions(questions);
    w.GD().ActionEndBeep = false;
    w.GD().Progress.ActionEndBeep = false;
    w.resize(1200, 800);
    w.show();
    w.SetTab(1);
    QApplication::processEvents();

    w.OpenFile(bigFolder, false);
    QApplication::processEvents();
    TTreeNode* vol = w.Lib().Tree.FirstNode();
    QElapsedTimer t;
    t.start();
    w.SelectNode(vol);
    Paint(w.ListView()->viewport());
    double fill = static_cast<double>(t.nsecsElapsed()) / 1e6;
    std::printf("list of %d entries filled and painted: %.1f ms (%d rows)\n", folderEntries, fill,
                w.ListModel()->rowCount());
    t.restart();
    w.SortListBy(2);
    Paint(w.ListView()->viewport());
    std::printf("sorted by size and painted: %.1f ms\n",
                static_cast<double>(t.nsecsElapsed()) / 1e6);

    w.Lib().Modified = false;
    t.restart();
    w.OpenFile(million, false);
    Paint(w.NodesView()->viewport());
    double open = static_cast<double>(t.nsecsElapsed()) / 1e6;
    std::printf("catalog of %d entries opened and painted: %.1f ms (%d files)\n", catalogEntries,
                open, w.Lib().FileCount);
    w.Lib().Modified = false;
    bool ok = fill < 300 && open < 2000;
    std::printf("%s\n", ok ? "within limits (0.3 s, 2 s)" : "OVER LIMIT");
    return ok ? 0 : 1;
}
