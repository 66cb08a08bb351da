// The search window, the export and the import dialogs driven as a user would:
// modal dialogs filled in by timers, message boxes answered by the question hooks.
#include "catalog/lib_obj.h"
#include "search/delimited_text.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "support/main_window_fixture.h"
#include "support/modal_dialogs.h"
#include "support/named_widget.h"
#include "support/temp_folder.h"
#include "support/window_grab.h"
#include "ui/catalog_models.h"
#include "ui/export_dialog.h"
#include "ui/import_dialog.h"
#include "ui/main_window.h"
#include "ui/new_volume_dialog.h"
#include "ui/search_models.h"
#include "ui/search_window.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDateEdit>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTreeView>
#include <cstdio>
#include <deque>
#include <memory>

namespace {

QStringList FileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(f.readAll());
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

std::vector<std::string> Names(const TSearchResultModel* m) {
    std::vector<std::string> out;
    for (int r = 0; r < m->rowCount(); ++r)
        out.push_back(m->EntryAt(r)->Caption.str());
    return out;
}

QString Cell(const TSearchResultModel* m, int row, int column) {
    return m->data(m->index(row, column), Qt::DisplayRole).toString();
}

} // namespace

class TestSearchWindow : public QObject, public TMainWindowFixture {
    Q_OBJECT

private:
    QString MakeSource(const QString& name) {
        return WriteSource(name, {{"music/b.mp3", 3000},
                                  {"music/a.mp3", 1000},
                                  {"music/C.mp3", 2000},
                                  {"docs/A.MP3", 1024},
                                  {"docs/readme.txt", 10},
                                  {"docs/sub/x.txt", 20},
                                  {"alpha.txt", 40000}});
    }

private slots:
    void initTestCase() { SetUpWindows(); }

    void init() { ResetAnswers(); }

    // Criteria set in the controls, Find, the rows and statistics, sorting by
    // size with the shared direction state, duplicates, and Locate.
    void findSortDuplicatesLocate() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("v1"), "Disc");
        QVERIFY(vol);
        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        QVERIFY(s.isVisible());
        QCOMPARE(Named<QTabWidget>(&s, "pcFind")->currentIndex(), 0);
        // At its first size the results show up to the date, and the
        // duplicates' mode says what it is.
        auto* slv = Named<QTreeView>(&s, "slv");
        QVERIFY(slv->header()->sectionViewportPosition(kColDate) + slv->columnWidth(kColDate) <=
                slv->viewport()->width());
        QCOMPARE(Named<QLabel>(&s, "lblDupMode")->buddy(),
                 static_cast<QWidget*>(Named<QComboBox>(&s, "cbDupMode")));
        // Typing goes to the name box at once, and Enter there searches.
        QCOMPARE(s.focusWidget(), static_cast<QWidget*>(Named<QLineEdit>(&s, "edSearch")));
        QTest::keyClicks(Named<QLineEdit>(&s, "edSearch"), "b.mp3");
        QTest::keyClick(Named<QLineEdit>(&s, "edSearch"), Qt::Key_Return);
        QCOMPARE(s.ResultModel()->rowCount(), 1);
        Named<QLineEdit>(&s, "edSearch")->clear();
        Named<QLineEdit>(&s, "edType")->setText("mp3");
        s.tbFindClick();
        QVERIFY(!s.Searching());
        QVERIFY(w->GD().Progress.Idle());
        QCOMPARE(s.ResultModel()->rowCount(), 4);
        QCOMPARE(s.StatusText(2), QString::fromStdString(GetMessageText("infoFiles", "4")));
        QCOMPARE(s.StatusText(0), QString::fromStdString(GetMessageText("infoVol", "1")));
        QCOMPARE(s.StatusText(5), QString::fromStdString(GetMessageText("infoFindResults", "4")));
        QCOMPARE(s.ResultModel()->columnCount(), 11);
        QCOMPARE(Cell(s.ResultModel(), 0, kColVolume), QString("Disc"));

        // Size: ascending, then descending; the duplicates list continues the state.
        s.slvColumnClick(Named<QTreeView>(&s, "slv"), kColSize);
        QCOMPARE(Names(s.ResultModel()),
                 (std::vector<std::string>{"a.mp3", "A.MP3", "C.mp3", "b.mp3"}));
        s.slvColumnClick(Named<QTreeView>(&s, "slv"), kColSize);
        QCOMPARE(Names(s.ResultModel()),
                 (std::vector<std::string>{"b.mp3", "C.mp3", "A.MP3", "a.mp3"}));
        QCOMPARE(s.SortState().Direction[kColSize], 2);

        // Duplicate names ignore case, also with Match Case ticked.
        Named<QCheckBox>(&s, "cbDup")->setChecked(true);
        Named<QCheckBox>(&s, "cbCase")->setChecked(true);
        s.cbSelClick();
        QVERIFY(Named<QAction>(&s, "tbDuplicates")->isChecked());
        s.tbFindClick();
        QCOMPARE(Named<QStackedWidget>(&s, "lvStack")->currentWidget(),
                 static_cast<QWidget*>(Named<QTreeView>(&s, "slvdup")));
        QCOMPARE(s.DupModel()->rowCount(), 2);
        QCOMPARE(Cell(s.DupModel(), 0, kColDuplicates), QString("2"));
        QCOMPARE(Cell(s.DupModel(), 1, kColDuplicates), QString("2"));
        QCOMPARE(s.StatusText(2), QString::fromStdString(GetMessageText("infoFiles", "2")));
        GrabWindow(&s, "search_duplicates");
        Named<QTabWidget>(&s, "pcFind")->setCurrentIndex(1);
        Named<QCheckBox>(&s, "cbDate1")->setChecked(true);
        GrabWindow(&s, "search_advanced");
        Named<QCheckBox>(&s, "cbDate1")->setChecked(false);
        Named<QTabWidget>(&s, "pcFind")->setCurrentIndex(0);

        // Locate a file: its folder in the tree, the entry in the list.
        Named<QCheckBox>(&s, "cbDup")->setChecked(false);
        Named<QCheckBox>(&s, "cbCase")->setChecked(false);
        Named<QLineEdit>(&s, "edType")->clear();
        Named<QLineEdit>(&s, "edSearch")->setText("b.mp3");
        s.tbFindClick();
        QCOMPARE(Named<QStackedWidget>(&s, "lvStack")->currentWidget(),
                 static_cast<QWidget*>(Named<QTreeView>(&s, "slv")));
        QCOMPARE(s.ResultModel()->rowCount(), 1);
        Named<QTreeView>(&s, "slv")->selectionModel()->select(s.ResultModel()->index(0, 0),
                                                              QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
        s.pmiLocateClick(Named<QTreeView>(&s, "slv"));
        TTreeNode* music = vol->FindChild("music");
        QCOMPARE(w->SelectedNode(), music);
        QCOMPARE(w->SelectedEntries().size(), size_t(1));
        QCOMPARE(w->SelectedEntries()[0]->Caption.str(), std::string("b.mp3"));

        // Locate a folder entry: its own node.
        Named<QLineEdit>(&s, "edSearch")->setText("sub");
        Named<QCheckBox>(&s, "cbFoldersOnly")->setChecked(true);
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 1);
        Named<QTreeView>(&s, "slv")->selectionModel()->select(s.ResultModel()->index(0, 0),
                                                              QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
        s.pmiLocateClick(Named<QTreeView>(&s, "slv"));
        QCOMPARE(w->SelectedNode(), vol->FindChild("docs")->FindChild("sub"));

        // Anywhere: one text in six places, the General page keeps its texts.
        Named<QCheckBox>(&s, "cbFoldersOnly")->setChecked(false);
        Named<QLineEdit>(&s, "edSearch")->setText("keep");
        Named<QTabWidget>(&s, "pcFind")->setCurrentIndex(3);
        Named<QLineEdit>(&s, "edAny")->setText("disc");
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 10); // every entry: the volume matches
        QCOMPARE(Named<QLineEdit>(&s, "edSearch")->text(), QString("keep"));

        // Selected nodes only: the direct entries of the selected node.
        Named<QTabWidget>(&s, "pcFind")->setCurrentIndex(0);
        Named<QLineEdit>(&s, "edSearch")->clear();
        w->SelectNode(music);
        Named<QCheckBox>(&s, "cbSel")->setChecked(true);
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 3);
        w->Lib().Modified = false;
    }

    // The replace question: No leaves everything, Yes writes the category.
    void replaceAsksFirst() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("v2"), "Rep");
        QVERIFY(vol);
        w->Lib().Modified = false;
        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        Named<QLineEdit>(&s, "edType")->setText("txt");
        Named<QTabWidget>(&s, "pcFind")->setCurrentIndex(2);
        Named<QCheckBox>(&s, "cbrepcat")->setChecked(true);
        Named<QComboBox>(&s, "edrepCat")->setCurrentText("Texts");
        w->GD().ConfirmReplace = true;
        Answers = {TAnswer::No};
        s.tbFindClick();
        QCOMPARE(AskedKeys(), std::vector<std::string>{"confFindReplace"});
        QCOMPARE(s.ResultModel()->rowCount(), 0);
        QVERIFY(!w->Lib().Modified);
        TLibFolderItem* alpha = FolderOf(vol)->FindItem("alpha.txt");
        QVERIFY(alpha);
        QVERIFY(alpha->Category.empty());

        Answers = {TAnswer::Yes};
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 3);
        QCOMPARE(alpha->Category.str(), std::string("Texts"));
        QVERIFY(w->Lib().Modified);
        // Showing the window again unticks the replace boxes.
        s.hide();
        w->tbFindClick();
        QVERIFY(!Named<QCheckBox>(&s, "cbrepcat")->isChecked());
        w->Lib().Modified = false;
    }

    // Saved searches through the window: what is saved comes back, the
    // volume criterion is not part of it.
    void savedSearchRoundTrip() {
        auto w = MakeWindow();
        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        Named<QLineEdit>(&s, "edSearch")->setText("name ü");
        Named<QLineEdit>(&s, "edType")->setText("mp3");
        Named<QComboBox>(&s, "cbCat")->setCurrentText("Music");
        Named<QLineEdit>(&s, "edCom")->setText("live");
        Named<QCheckBox>(&s, "cbDate1")->setChecked(true);
        Named<QDateEdit>(&s, "edDate1")->setDate(QDate(2020, 2, 29));
        Named<QCheckBox>(&s, "cbDate2")->setChecked(true);
        Named<QDateEdit>(&s, "edDate2")->setDate(QDate(2021, 12, 31));
        Named<QCheckBox>(&s, "cbSize")->setChecked(true);
        Named<QComboBox>(&s, "cbSign")->setCurrentIndex(2);
        Named<QComboBox>(&s, "cbK")->setCurrentIndex(1);
        Named<QSpinBox>(&s, "edSize")->setValue(2147483647);
        Named<QComboBox>(&s, "edLoc")->setCurrentText("Shelf");
        Named<QLineEdit>(&s, "edAny")->setText("any");
        Named<QLineEdit>(&s, "edcolCaption")->setText("cc");
        Named<QLineEdit>(&s, "edcolUrl")->setText("http://x");
        Named<QLineEdit>(&s, "edcolCom")->setText("memo");
        Named<QCheckBox>(&s, "cbCase")->setChecked(true);
        const QString file = Path("saved.TXS");
        Paths = {file.toStdString(), file.toStdString()};
        s.tbSaveClick();
        QVERIFY(QFileInfo::exists(file));

        s.tbNewClick();
        QVERIFY(Named<QLineEdit>(&s, "edSearch")->text().isEmpty());
        QVERIFY(!Named<QCheckBox>(&s, "cbDate1")->isChecked());
        Named<QLineEdit>(&s, "edcolCaption")->clear();
        Named<QCheckBox>(&s, "cbCase")->setChecked(false);
        Named<QComboBox>(&s, "cbSign")->setCurrentIndex(0);
        Named<QLineEdit>(&s, "edVol")->setText("kept");
        s.tbLoadClick();
        QCOMPARE(Named<QLineEdit>(&s, "edSearch")->text(), QString("name ü"));
        QCOMPARE(Named<QLineEdit>(&s, "edType")->text(), QString("mp3"));
        QCOMPARE(Named<QComboBox>(&s, "cbCat")->currentText(), QString("Music"));
        QCOMPARE(Named<QLineEdit>(&s, "edCom")->text(), QString("live"));
        QVERIFY(Named<QCheckBox>(&s, "cbDate1")->isChecked());
        QCOMPARE(Named<QDateEdit>(&s, "edDate1")->date(), QDate(2020, 2, 29));
        QVERIFY(Named<QCheckBox>(&s, "cbDate2")->isChecked());
        QCOMPARE(Named<QDateEdit>(&s, "edDate2")->date(), QDate(2021, 12, 31));
        QVERIFY(Named<QCheckBox>(&s, "cbSize")->isChecked());
        QCOMPARE(Named<QComboBox>(&s, "cbSign")->currentIndex(), 2);
        QCOMPARE(Named<QComboBox>(&s, "cbK")->currentIndex(), 1);
        QCOMPARE(Named<QSpinBox>(&s, "edSize")->value(), 2147483647);
        QCOMPARE(Named<QComboBox>(&s, "edLoc")->currentText(), QString("Shelf"));
        QCOMPARE(Named<QLineEdit>(&s, "edAny")->text(), QString("any"));
        QCOMPARE(Named<QLineEdit>(&s, "edcolCaption")->text(), QString("cc"));
        QCOMPARE(Named<QLineEdit>(&s, "edcolUrl")->text(), QString("http://x"));
        QCOMPARE(Named<QLineEdit>(&s, "edcolCom")->text(), QString("memo"));
        QVERIFY(Named<QCheckBox>(&s, "cbCase")->isChecked());
        QVERIFY(Named<QAction>(&s, "tbMatchCase")->isChecked());
        QCOMPARE(Named<QLineEdit>(&s, "edVol")->text(), QString("kept"));
        QVERIFY(Named<QSpinBox>(&s, "edSize")->isEnabled());

        // A file that cannot be read shows an error and changes nothing.
        Paths = {Path("missing.TXS").toStdString()};
        s.tbLoadClick();
        QCOMPARE(Errors.size(), 1);
        QCOMPARE(Named<QLineEdit>(&s, "edSearch")->text(), QString("name ü"));
    }

    // Export of the results and of the library through the dialog, then an
    // import of the library's text: the catalog grows.
    void exportAndImportThroughDialogs() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("v3"), "Exp");
        QVERIFY(vol);
        const int volumes = w->Lib().VolumeCount;
        const int files = w->Lib().FileCount;
        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        Named<QLineEdit>(&s, "edType")->setText("mp3");
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 4);

        const QString results = Path("results.txt");
        bool ok = WithDialog<TfrmExport>(
            [&] { s.Export1Click(); },
            [&](TfrmExport& d) {
                QCOMPARE(d.Scope(), TExportScope::Results);
                QCOMPARE(d.windowTitle(), QString::fromStdString(GetMessageText("expCaptRes")));
                d.FileEdit()->setText(results);
                TExportOptions o = d.Options();
                SetFieldOrder(o.Fields, {"Name", "Size"});
                o.Separator = "Tab";
                d.SetOptions(o);
                GrabWindow(&d, "export_dialog");
                d.Pages()->setCurrentIndex(1);
                GrabWindow(&d, "export_options");
                d.accept();
            });
        QVERIFY(ok);
        QStringList lines = FileLines(results);
        QCOMPARE(lines.size(), 4);
        // In the results' order: tree order, the docs folder before music.
        QCOMPARE(lines, (QStringList{"\"A.MP3\"\t1 024", "\"a.mp3\"\t1 000", "\"b.mp3\"\t3 000",
                                     "\"C.mp3\"\t2 000"}));
        QVERIFY(w->GD().Progress.Idle());

        // The open catalog is refused as the target: the dialog stays open.
        const QString catalog = Path("open.txc");
        WriteFile(catalog.toStdString(), "0123456789");
        w->Lib().FileName = catalog.toStdString();
        ok = WithDialog<TfrmExport>([&] { w->miExportClick(); },
                                    [&](TfrmExport& d) {
                                        d.FileEdit()->setText(catalog);
                                        d.accept();
                                        QVERIFY(d.isVisible());
                                        d.reject();
                                    });
        QVERIFY(ok);
        QCOMPARE(Errors.size(), 1);
        QCOMPARE(QFileInfo(catalog).size(), qint64(10));
        w->Lib().FileName.clear();

        // The whole library with the default columns; the choices are kept.
        const QString lib = Path("library.txt");
        ok = WithDialog<TfrmExport>([&] { w->miExportClick(); },
                                    [&](TfrmExport& d) {
                                        // The last choice, kept.
                                        QCOMPARE(d.FileEdit()->text(), catalog);
                                        d.FileEdit()->setText(lib);
                                        TExportOptions o = d.Options();
                                        SetFieldOrder(o.Fields, {"Volume", "Path", "Name", "Size"});
                                        o.Separator = "Comma";
                                        o.Archives = true; // files only: folder entries get no line
                                        d.SetOptions(o);
                                        d.accept();
                                    });
        QVERIFY(ok);
        QCOMPARE(FileLines(lib).size(), 7);
        QCOMPARE(w->Store().ReadString("frmExport", "File", ""), lib.toStdString());

        // Import that text: one more volume with the same files.
        ok = WithDialog<TfrmImport>(
            [&] { w->miImpTextClick(); },
            [&](TfrmImport& d) {
                d.FileEdit()->setText(lib);
                TImportOptions o = d.Options();
                SetFieldOrder(o.Fields, {"Volume", "Path", "Name", "Size"});
                d.SetOptions(o);
                // The three required columns cannot be unticked.
                for (int i = 0; i < d.FieldList()->count(); ++i)
                    if (d.FieldList()->item(i)->text() == "Name")
                        d.FieldList()->item(i)->setCheckState(Qt::Unchecked);
                QVERIFY(d.FieldList()->findItems("Name", Qt::MatchExactly)[0]->checkState() ==
                        Qt::Checked);
                GrabWindow(&d, "import_dialog");
                d.accept();
            });
        QVERIFY(ok);
        QCOMPARE(w->Lib().VolumeCount, volumes + 1);
        QCOMPARE(w->Lib().FileCount, files * 2);
        QVERIFY(w->Lib().Modified);
        QVERIFY(w->SelectedNode() != nullptr);
        QVERIFY(w->SelectedNode() != vol);
        QVERIFY(w->Messages()->toPlainText().contains(
            QString::fromStdString(GetMessageText("msgsImported", lib.toStdString()))));
        QCOMPARE(w->Store().ReadString("frmImport", "File", ""), lib.toStdString());
        w->Lib().Modified = false;
    }

    // Rows point at live entries: a delete, or a new catalog, drops them.
    void resultsDroppedWhenCatalogChanges() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("v4"), "Gone");
        QVERIFY(vol);
        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 10);
        GrabWindow(&s, "search_results");

        w->NodesView()->setFocus();
        w->SelectNode(vol);
        w->SetActiveView(w->NodesView());
        w->tbDelClick();
        QCOMPARE(w->Lib().VolumeCount, 0);
        QCOMPARE(s.ResultModel()->rowCount(), 0);
        QVERIFY(s.Results() == nullptr || s.Results()->Rows.empty());
        s.pmiLocateClick(Named<QTreeView>(&s, "slv")); // nothing to locate, nothing read
        QCOMPARE(s.StatusText(5), QString::fromStdString(GetMessageText("infoFindResults", "0")));

        // A new catalog replaces the old one as a whole.
        TTreeNode* again = AddVolume(*w, MakeSource("v5"), "Again");
        QVERIFY(again);
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 10);
        w->GD().ConfirmNew = false;
        w->Lib().Modified = false;
        w->tbNewClick();
        QCOMPARE(s.ResultModel()->rowCount(), 0);
        s.slvColumnClick(Named<QTreeView>(&s, "slv"), kColName);
        QVERIFY(s.Results() && s.Results()->Rows.empty());
        w->Lib().Modified = false;
    }

    // The busy state while the search runs, and Stop.
    void stopDuringSearch() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("v6"), "Big");
        QVERIFY(vol);
        // Enough entries that the search polls Stop many times; in name order,
        // so each goes to the end of the folder.
        TLibFolder* root = FolderOf(vol);
        for (int i = 0; i < 50000; ++i) {
            auto e = std::make_unique<TLibFolderItem>();
            char name[32];
            std::snprintf(name, sizeof name, "z%06d.dat", i);
            e->Caption = name;
            w->Lib().AddEntry(root, std::move(e));
        }
        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        bool busySeen = false;
        // Runs at the search's first turn of the event queue, its second poll
        // for Stop, however recently another operation let events run.
        QTimer::singleShot(0, [&] {
            busySeen = s.Searching() && !w->GD().Progress.Idle() &&
                       !Named<QAction>(&s, "tbFind")->isEnabled() &&
                       Named<QAction>(&s, "tbStop")->isEnabled();
            s.tbStopClick();
        });
        s.tbFindClick();
        QVERIFY(busySeen);
        QVERIFY(w->GD().Progress.Idle());
        QCOMPARE(Errors.size(), 1);
        QCOMPARE(Errors[0], QString::fromStdString(GetMessageText("infoCancel")));
        QVERIFY(s.ResultModel()->rowCount() < 50010);
        QVERIFY(!Named<QAction>(&s, "tbStop")->isEnabled());
        w->Lib().Modified = false;
    }
};

QTEST_MAIN(TestSearchWindow)
#include "search_window_test.moc"
