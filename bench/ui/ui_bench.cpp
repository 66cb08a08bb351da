// Times what the user waits for in the main window: a folder of 100,000
// entries filling the list, a catalog of 1,000,000 entries opening (load
// plus first paint) and, given a folder, adding it as a volume and updating
// that volume from it (the update should take at most 1.5 times the add).
// Run offscreen in a Release build:
//   QT_QPA_PLATFORM=offscreen bench_ui [folderEntries] [catalogEntries] [FOLDER [ROUNDS]]
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "settings/settings_store.h"
#include "ui/catalog_models.h"
#include "ui/main_window.h"
#include "ui/new_volume_dialog.h"
#include "ui/update_dialog.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// Fills in the dialog the command opens, as a user would, and accepts it.
template <typename Dialog, typename Fill> void AnswerNextDialog(QWidget* w, Fill fill) {
    QTimer::singleShot(0, w, [fill] {
        if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            fill(*d);
            d->accept();
        }
    });
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Adds `folder` as a volume and updates it from the same folder, `rounds` times
// each on a new catalog; true when the update's median is within 1.5x the add's.
bool AddThenUpdate(TfrmMain& w, const QString& folder, int rounds) {
    std::vector<double> adds, updates;
    int64_t entries = 0;
    for (int r = 0; r < rounds; ++r) {
        w.Lib().Modified = false;
        w.tbNewClick();
        AnswerNextDialog<TfrmNewVolume>(&w, [&](TfrmNewVolume& d) {
            d.FolderEdit()->setText(folder);
            d.TitleEdit()->setText(QStringLiteral("Bench"));
            d.InsertNextBox()->setChecked(false);
        });
        QElapsedTimer t;
        t.start();
        w.tbAddClick();
        adds.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        if (!w.Lib().CountsValid) w.Lib().Recount();
        entries = w.Lib().Totals.Files + w.Lib().Totals.Folders + w.Lib().Totals.Members;
        w.SelectNode(w.Lib().Tree.FirstNode());
        AnswerNextDialog<TfrmUpdate>(&w, [&](TfrmUpdate& d) {
            d.RealSourceBox()->setChecked(true);
            d.FolderEdit()->setText(folder);
            d.DeleteMissingBox()->setChecked(true);
        });
        t.restart();
        w.miVUpdateClick();
        updates.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        std::printf("round %d: add %.2f s, update %.2f s\n", r + 1, adds.back(), updates.back());
    }
    const double add = Median(adds), update = Median(updates);
    std::printf("volume of %lld entries: add %.2f s (%.0f entries/s), update %.2f s (%.0f "
                "entries/s), update/add %.2f\n",
                static_cast<long long>(entries), add, static_cast<double>(entries) / add, update,
                static_cast<double>(entries) / update, update / add);
    w.Lib().Modified = false;
    return update <= 1.5 * add;
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
    w.GD().ConfirmNew = false; // each round of the add and update starts on a new catalog
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
    if (argc > 3)
        ok = AddThenUpdate(w, QString::fromLocal8Bit(argv[3]),
                           argc > 4 ? std::max(1, std::atoi(argv[4])) : 3) &&
             ok;
    std::printf("%s\n", ok ? "within limits (0.3 s, 2 s, update 1.5x add)" : "OVER LIMIT");
    return ok ? 0 : 1;
}
