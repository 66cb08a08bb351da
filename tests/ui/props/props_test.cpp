// The properties and options dialogs: filled from the catalog and the global
// data, changed through their controls, and what OK and Cancel leave behind.
// TAMBLIX_GRAB_DIR=folder also saves a picture of each page.

#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "support/catalog_builder.h"
#include "support/modal_dialogs.h"
#include "support/named_widget.h"
#include "support/window_grab.h"
#include "tags/tag_info.h"
#include "text/text_utils.h"
#include "ui/options_dialog.h"
#include "ui/pick_list_dialog.h"
#include "ui/properties_dialog.h"
#include "ui/text_edit_dialog.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QToolButton>
#include <functional>
#include <memory>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

TLibFolderItem* AddFile(TLibObj& lib, TTreeNode* node, const std::string& name, int64_t size,
                        TDateTime date = 40000) {
    return TCatalogBuilder(lib).File(node, name, size, date);
}

TTreeNode* AddFolder(TLibObj& lib, TTreeNode* parent, const std::string& name) {
    return TCatalogBuilder(lib).Folder(parent, name);
}

TTreeNode* AddVolume(TLibObj& lib, const std::string& caption) {
    TTreeNode* v = TCatalogBuilder(lib).Volume(caption, "Shelf 1", "1234ABCD");
    FolderOf(v)->SourcePath = "/media/" + caption + "/";
    return v;
}

// CD1 [a.mp3 100, b.mp3 200, pack.zip 50 + members, music [x.ogg 1000, y.ogg 2000,
// live [z.ogg 4000]]], CD2 [c.txt 7].
struct TSample {
    TLibObj lib;
    TTreeNode* cd1 = nullptr;
    TTreeNode* cd2 = nullptr;
    TTreeNode* music = nullptr;
    TTreeNode* live = nullptr;
    TTreeNode* zip = nullptr;
    TLibFolderItem* a = nullptr;
    TLibFolderItem* b = nullptr;
    TLibFolderItem* x = nullptr;
    TLibFolderItem* y = nullptr;
    TLibFolderItem* z = nullptr;

    TSample() {
        cd1 = AddVolume(lib, "CD1");
        a = AddFile(lib, cd1, "a.mp3", 100);
        b = AddFile(lib, cd1, "b.mp3", 200);
        zip = AddFolder(lib, cd1, "pack.zip");
        FolderOf(cd1)->FindItem("pack.zip")->Size = 50; // the archive's own size
        AddFile(lib, zip, "inside.txt", 30);
        music = AddFolder(lib, cd1, "music");
        x = AddFile(lib, music, "x.ogg", 1000);
        y = AddFile(lib, music, "y.ogg", 2000);
        live = AddFolder(lib, music, "live");
        z = AddFile(lib, live, "z.ogg", 4000);
        cd2 = AddVolume(lib, "CD2");
        AddFile(lib, cd2, "c.txt", 7);
        lib.Modified = false;
    }
};

} // namespace

class TestProps : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    std::unique_ptr<TGlobalData> NewGlobals() {
        auto gd = std::make_unique<TGlobalData>(dir_.path().toStdString() + "/");
        gd->GlobalCategories.Add("Music");
        gd->GlobalCategories.Add("Backup");
        gd->GlobalLocations.Add("Shelf 2");
        gd->RegisterTagNames();
        return gd;
    }

    static QString Bytes(int64_t n) { return Q(FormatSize(0, static_cast<double>(n))); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Folder page: shared values shown, changes written, pushed down with and
    // without overwrite; the folder's entry in its parent follows.
    void folderCategoryAndUpdateSubitems() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        FolderOf(s.music)->Category = "Old";
        s.x->Category = "Rock";
        FolderOf(s.live)->Comments = "recorded";

        TfrmProperties dlg(*gd, store);
        TPropertiesTarget t;
        t.Nodes = {s.music};
        t.Page = TfrmProperties::kFolderPage;
        dlg.Fill(s.lib, t);
        QCOMPARE(Named<QTabWidget>(&dlg, "pcProp")->currentIndex(),
                 int(TfrmProperties::kFolderPage));
        QCOMPARE(Named<QLineEdit>(&dlg, "catcaption")->text(), QStringLiteral("music"));
        QCOMPARE(Named<QLineEdit>(&dlg, "catpath")->text(), QStringLiteral("[CD1]\\"));
        QCOMPARE(Named<QComboBox>(&dlg, "catcat")->currentText(), QStringLiteral("Old"));
        QVERIFY(!Named<QTabWidget>(&dlg, "pcProp")->isTabEnabled(TfrmProperties::kFilePage));
        QVERIFY(!Named<QCheckBox>(&dlg, "cb_rec_folow")->isEnabled());
        Named<QCheckBox>(&dlg, "cb_rec_fol")->setChecked(true);
        QVERIFY(Named<QCheckBox>(&dlg, "cb_rec_folow")->isEnabled());
        Named<QComboBox>(&dlg, "catcat")->setCurrentText(QStringLiteral("Jazz"));
        Named<QPlainTextEdit>(&dlg, "catcom")
            ->setPlainText(QStringLiteral("first line\nsecond line"));
        dlg.accept();
        QVERIFY(dlg.Changed());
        QVERIFY(s.lib.Modified);
        QVERIFY(!dlg.SizeThreadsRunning());
        TLibFolder* music = FolderOf(s.music);
        QCOMPARE(music->Category, std::string("Jazz"));
        QCOMPARE(music->Comments, std::string("first line\nsecond line"));
        // Without overwrite only empty values below are filled.
        QCOMPARE(s.x->Category.str(), std::string("Rock"));
        QCOMPARE(s.y->Category.str(), std::string("Jazz"));
        QCOMPARE(FolderOf(s.live)->Category, std::string("Jazz"));
        QCOMPARE(FolderOf(s.live)->Comments, std::string("recorded"));
        QCOMPARE(s.z->Comments.str(), std::string("recorded")); // from its own folder
        // The entry "music" in CD1's list carries the folder's values.
        TLibFolderItem* entry = FolderOf(s.cd1)->FindItem("music");
        QCOMPARE(entry->Category.str(), std::string("Jazz"));
        QCOMPARE(entry->Comments.str(), std::string("first line\nsecond line"));
        // Nothing outside the folder.
        QVERIFY(s.a->Category.empty());

        // With overwrite everything below takes the folder's values.
        TfrmProperties again(*gd, store);
        again.Fill(s.lib, t);
        QCOMPARE(Named<QPlainTextEdit>(&again, "catcom")->toPlainText(),
                 QStringLiteral("first line\nsecond line"));
        Named<QCheckBox>(&again, "cb_rec_fol")->setChecked(true);
        Named<QCheckBox>(&again, "cb_rec_folow")->setChecked(true);
        again.accept();
        QCOMPARE(s.x->Category.str(), std::string("Jazz"));
        QCOMPARE(FolderOf(s.live)->Comments, std::string("first line\nsecond line"));
        QCOMPARE(s.z->Comments.str(), std::string("first line\nsecond line"));
    }

    // OK without changes leaves the catalog unmodified; Cancel writes nothing.
    void unchangedAndCancel() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        s.x->Category = "Rock";
        TPropertiesTarget t;
        t.Nodes = {s.music};
        t.ListFolder = FolderOf(s.music);
        t.Entries = {s.x, s.y};
        {
            TfrmProperties dlg(*gd, store);
            dlg.Fill(s.lib, t);
            dlg.accept();
            QVERIFY(!dlg.Changed());
            QVERIFY(!s.lib.Modified);
            QCOMPARE(s.cd1->Text(), std::string("CD1"));
        }
        {
            TfrmProperties dlg(*gd, store);
            dlg.Fill(s.lib, t);
            Named<QComboBox>(&dlg, "filecat")->setCurrentText(QStringLiteral("Pop"));
            Named<QLineEdit>(&dlg, "volCaption")->setText(QStringLiteral("Renamed"));
            dlg.reject();
            QCOMPARE(s.x->Category.str(), std::string("Rock"));
            QCOMPARE(FolderOf(s.cd1)->Caption, std::string("CD1"));
            QVERIFY(!s.lib.Modified);
        }
    }

    // Several entries: merged fields, only changed fields written, tags merged,
    // edited and stored.
    void severalEntries() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        QVERIFY(gd->TagNames.Add("Album=Album Title") >= 0);
        QVERIFY(gd->TagNames.Add("Year=Year") >= 0);
        TSample s;
        TLibFolderItem* z2 = AddFile(s.lib, s.music, "w.ogg", 5, 40000);
        s.x->Comments = "one";
        s.y->Comments = "two";
        z2->Comments = "three";
        for (TLibFolderItem* e : {s.x, s.y, z2})
            e->Category = "Same";
        s.x->TagInfo.SetValues({"Album=X", "Track=1"});
        s.y->TagInfo.SetValues({"Track=2", "Album=X"});
        z2->TagInfo.SetValues({"Album=X", "Track=1", "Genre=Rock"});
        s.y->Date = 41000;

        TPropertiesTarget t;
        t.ListFolder = FolderOf(s.music);
        t.Entries = {s.x, s.y, z2};
        t.Page = TfrmProperties::kFilePage;
        TfrmProperties dlg(*gd, store);
        dlg.Fill(s.lib, t);
        QCOMPARE(Named<QLineEdit>(&dlg, "filecaption")->text(),
                 QStringLiteral("x.ogg; y.ogg; w.ogg"));
        QCOMPARE(Named<QLineEdit>(&dlg, "filepath")->text(),
                 QStringLiteral("[CD1]\\music\\x.ogg; [CD1]\\music\\y.ogg; [CD1]\\music\\w.ogg"));
        QCOMPARE(Named<QLineEdit>(&dlg, "filesize")->text(), Bytes(3005));
        QVERIFY(Named<QLineEdit>(&dlg, "filedate")->text().isEmpty()); // dates differ
        QVERIFY(Named<QPlainTextEdit>(&dlg, "filecom")->toPlainText().isEmpty());
        QCOMPARE(Named<QComboBox>(&dlg, "filecat")->currentText(), QStringLiteral("Same"));
        // The volume of the list's folder shows too.
        QVERIFY(Named<QTabWidget>(&dlg, "pcProp")->isTabEnabled(TfrmProperties::kVolumePage));
        QCOMPARE(Named<QLineEdit>(&dlg, "volCaption")->text(), QStringLiteral("CD1"));
        QVERIFY(!Named<QTabWidget>(&dlg, "pcProp")->isTabEnabled(TfrmProperties::kFolderPage));
        // Only the shared line, under its caption.
        QCOMPARE(Named<QTableWidget>(&dlg, "vle")->rowCount(), 1);
        QCOMPARE(Named<QTableWidget>(&dlg, "vle")->item(0, 0)->text(),
                 QStringLiteral("Album Title"));
        QCOMPARE(Named<QTableWidget>(&dlg, "vle")->item(0, 1)->text(), QStringLiteral("X"));

        Named<QComboBox>(&dlg, "filecat")->setCurrentText(QStringLiteral("Live"));
        Named<QTableWidget>(&dlg, "vle")->item(0, 1)->setText(QStringLiteral("Y"));
        // Add "Year" through the pick list; "Album Title" is there already.
        OnNextModal([](QWidget* w) {
            auto* pick = qobject_cast<TfrmPickList*>(w);
            QVERIFY(pick);
            for (int i = 0; i < pick->List()->count(); ++i)
                pick->SetChecked(i, true);
            pick->accept();
        });
        dlg.tbAddClick();
        QCOMPARE(Named<QTableWidget>(&dlg, "vle")->rowCount(), 2);
        QCOMPARE(Named<QTableWidget>(&dlg, "vle")->item(1, 0)->text(), QStringLiteral("Year"));
        Named<QTableWidget>(&dlg, "vle")->item(1, 1)->setText(QStringLiteral("1999"));
        GrabPages(&dlg, Named<QTabWidget>(&dlg, "pcProp"), "frmPropertiesEntries");
        dlg.accept();
        QVERIFY(dlg.Changed());
        QVERIFY(s.lib.Modified);
        QCOMPARE(s.x->Comments.str(), std::string("one"));
        QCOMPARE(s.y->Comments.str(), std::string("two"));
        QCOMPARE(z2->Comments.str(), std::string("three"));
        for (TLibFolderItem* e : {s.x, s.y, z2}) {
            QCOMPARE(e->Category.str(), std::string("Live"));
            QCOMPARE(e->TagInfo.Value("Album"), std::string("Y"));
            QCOMPARE(e->TagInfo.Value("Year"), std::string("1999"));
        }
        QCOMPARE(s.y->TagInfo.Values(),
                 (std::vector<std::string>{"Track=2", "Album=Y", "Year=1999"}));
        QCOMPARE(z2->TagInfo.Value("Genre"), std::string("Rock"));
        // Untouched entries outside the selection.
        QVERIFY(s.z->Category.empty());

        // Equal dates show.
        s.y->Date = 40000;
        TfrmProperties same(*gd, store);
        same.Fill(s.lib, t);
        QCOMPARE(Named<QLineEdit>(&same, "filedate")->text(), Q(FormatDateTime(40000)));
        same.reject();
    }

    // Tag merging never hands one entry another's values; a caption shared by
    // two keys writes back to the key it was read with; a deleted row leaves
    // the entries.
    void tagEdgeCases() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        QVERIFY(gd->TagNames.Add("Artist=Performer") >= 0);
        QVERIFY(gd->TagNames.Add("TPE1=Performer") >= 0);
        TSample s;
        // The first entry has no tags: nothing is shared.
        s.y->TagInfo.SetValues({"Album=X"});
        TPropertiesTarget t;
        t.Entries = {s.x, s.y};
        t.ListFolder = FolderOf(s.music);
        {
            TfrmProperties dlg(*gd, store);
            dlg.Fill(s.lib, t);
            QCOMPARE(Named<QTableWidget>(&dlg, "vle")->rowCount(), 0);
            dlg.accept();
            QVERIFY(s.x->TagInfo.Empty());
            QVERIFY(!dlg.Changed());
        }
        s.x->TagInfo.SetValues({"TPE1=Z", "Title=T"});
        t.Entries = {s.x};
        {
            TfrmProperties dlg(*gd, store);
            dlg.Fill(s.lib, t);
            QCOMPARE(Named<QTableWidget>(&dlg, "vle")->rowCount(), 2);
            QCOMPARE(Named<QTableWidget>(&dlg, "vle")->item(0, 0)->text(),
                     QStringLiteral("Performer"));
            Named<QTableWidget>(&dlg, "vle")->item(0, 1)->setText(QStringLiteral("W"));
            Named<QTableWidget>(&dlg, "vle")->setCurrentCell(1, 1);
            dlg.tbDeleteClick();
            QCOMPARE(Named<QTableWidget>(&dlg, "vle")->rowCount(), 1);
            dlg.accept();
            QCOMPARE(s.x->TagInfo.Values(), (std::vector<std::string>{"TPE1=W"}));
        }
    }

    // A folder entry in the list writes to its folder's record too.
    void folderEntryInList() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        TLibFolderItem* entry = FolderOf(s.cd1)->FindItem("music");
        TPropertiesTarget t;
        t.ListFolder = FolderOf(s.cd1);
        t.Entries = {entry};
        TfrmProperties dlg(*gd, store);
        dlg.Fill(s.lib, t);
        Named<QComboBox>(&dlg, "filecat")->setCurrentText(QStringLiteral("Music"));
        dlg.accept();
        QCOMPARE(entry->Category.str(), std::string("Music"));
        QCOMPARE(FolderOf(s.music)->Category, std::string("Music"));
    }

    // Volume page: caption renames the node, drive gets its separator, the
    // volume's values go down with overwrite; library comments and counters.
    void volumeAndLibrary() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        s.lib.Category = "Collection";
        s.x->Category = "Rock";
        TPropertiesTarget t;
        t.Nodes = {s.cd1};
        t.Page = TfrmProperties::kVolumePage;
        TfrmProperties dlg(*gd, store);
        dlg.Fill(s.lib, t);
        QCOMPARE(Named<QLineEdit>(&dlg, "volser")->text(), QStringLiteral("1234ABCD"));
        QCOMPARE(Named<QLineEdit>(&dlg, "volpath")->text(), QStringLiteral("[CD1]\\"));
        QCOMPARE(Named<QComboBox>(&dlg, "volLoc")->currentText(), QStringLiteral("Shelf 1"));
        QCOMPARE(Named<QLineEdit>(&dlg, "volDrive")->text(), QStringLiteral("/media/CD1/"));
        QCOMPARE(Named<QComboBox>(&dlg, "LibCat")->currentText(), QStringLiteral("Collection"));
        QCOMPARE(Named<QLineEdit>(&dlg, "infoV")->text(), QStringLiteral("2"));
        QCOMPARE(Named<QLineEdit>(&dlg, "infoF")->text(), QStringLiteral("3"));
        QCOMPARE(Named<QLineEdit>(&dlg, "infoFi")->text(), QStringLiteral("7"));
        QVERIFY(Named<QLineEdit>(&dlg, "volDrive")->isReadOnly());
        dlg.tbEditDriveClick();
        QVERIFY(!Named<QLineEdit>(&dlg, "volDrive")->isReadOnly());
        Named<QLineEdit>(&dlg, "volDrive")->setText(QStringLiteral("/mnt/disc"));
        Named<QLineEdit>(&dlg, "volCaption")->setText(QStringLiteral("ZZZ"));
        Named<QComboBox>(&dlg, "volCat")->setCurrentText(QStringLiteral("Backup"));
        Named<QComboBox>(&dlg, "volLoc")->setCurrentText(QStringLiteral("Shelf 2"));
        Named<QCheckBox>(&dlg, "cb_rec_vol")->setChecked(true);
        Named<QCheckBox>(&dlg, "cb_rec_volow")->setChecked(true);
        Named<QPlainTextEdit>(&dlg, "libCom")->setPlainText(QStringLiteral("my discs"));
        GrabPages(&dlg, Named<QTabWidget>(&dlg, "pcProp"), "frmProperties");
        dlg.accept();
        TLibFolder* v = FolderOf(s.cd1);
        QCOMPARE(v->Caption, std::string("ZZZ"));
        QCOMPARE(s.cd1->Text(), std::string("ZZZ"));
        QCOMPARE(s.lib.Tree.Root(1), s.cd1); // sorted again
        QCOMPARE(v->SourcePath, std::string("/mnt/disc/"));
        QCOMPARE(v->Location, std::string("Shelf 2"));
        QCOMPARE(s.x->Category.str(), std::string("Backup"));
        QCOMPARE(FolderOf(s.live)->Category, std::string("Backup"));
        QCOMPARE(s.lib.Comments, std::string("my discs"));
        QCOMPARE(s.lib.Category, std::string("Collection"));
        QVERIFY(s.lib.Modified);
    }

    // The comment button edits the page's comments in the text editor.
    void commentEditor() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        TPropertiesTarget t;
        t.Nodes = {s.music};
        TfrmProperties dlg(*gd, store);
        dlg.Fill(s.lib, t);
        QString caption;
        OnNextModal([&caption](QWidget* w) {
            auto* ed = qobject_cast<TfrmTextEdit*>(w);
            QVERIFY(ed);
            caption = ed->windowTitle();
            ed->SetText(QStringLiteral("line 1\nline 2"));
            ed->accept();
        });
        dlg.tbEditClick(TfrmProperties::kFolderPage);
        QCOMPARE(caption, QStringLiteral("Edit Comments - music"));
        QCOMPARE(Named<QPlainTextEdit>(&dlg, "catcom")->toPlainText(),
                 QStringLiteral("line 1\nline 2"));
        dlg.accept();
        QCOMPARE(FolderOf(s.music)->Comments, std::string("line 1\nline 2"));
    }

    // The size threads publish their totals: files only, archive members
    // counted in their archive folder, folder and archive entries not.
    void sizeTotals() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        TPropertiesTarget t;
        t.Nodes = {s.music, s.live}; // live is inside music: counted once
        TfrmProperties dlg(*gd, store);
        dlg.Fill(s.lib, t);
        QCOMPARE(Named<QLineEdit>(&dlg, "catSize")->text(),
                 Bytes(3000 + 4000)); // direct entries of each node
        QTRY_COMPARE(Named<QLineEdit>(&dlg, "infoFis")->text(),
                     Bytes(100 + 200 + 30 + 1000 + 2000 + 4000 + 7));
        QTRY_COMPARE(Named<QLineEdit>(&dlg, "volsize")->text(),
                     Bytes(100 + 200 + 30 + 1000 + 2000 + 4000));
        QTRY_COMPARE(Named<QLineEdit>(&dlg, "catSize")->text(), Bytes(1000 + 2000 + 4000));
        dlg.reject();
        QVERIFY(!dlg.SizeThreadsRunning());

        // In the chosen unit.
        gd->Sizes = 1;
        TfrmProperties kb(*gd, store);
        kb.Fill(s.lib, t);
        QTRY_COMPARE(Named<QLineEdit>(&kb, "catSize")->text(),
                     Q(FormatSize(1, 7000.0, GetMessageText("infoStrKB"), "")));
    }

    // Closing while the totals still run stops and joins their threads, by
    // Cancel, by OK (before anything is written) and by destruction.
    void sizeThreadsStopOnEarlyClose() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TLibObj lib;
        TTreeNode* vol = AddVolume(lib, "Big");
        for (int f = 0; f < 200; ++f) {
            TTreeNode* folder = AddFolder(lib, vol, "f" + std::to_string(1000 + f));
            for (int i = 0; i < 1000; ++i)
                AddFile(lib, folder, "file" + std::to_string(100000 + i), 1);
        }
        TPropertiesTarget t;
        t.Nodes = {vol};
        for (int round = 0; round < 3; ++round) {
            auto dlg = std::make_unique<TfrmProperties>(*gd, store);
            dlg->Fill(lib, t);
            QVERIFY(dlg->SizeThreadsRunning());
            if (round == 0) {
                dlg->reject();
                QVERIFY(!dlg->SizeThreadsRunning());
            } else if (round == 1) {
                Named<QComboBox>(dlg.get(), "volCat")->setCurrentText(QStringLiteral("Backup"));
                dlg->accept();
                QVERIFY(!dlg->SizeThreadsRunning());
                QCOMPARE(FolderOf(vol)->Category, std::string("Backup"));
            }
            dlg.reset(); // round 2: the destructor joins
        }
        // A full run gives the exact total.
        TfrmProperties dlg(*gd, store);
        dlg.Fill(lib, t);
        QTRY_COMPARE_WITH_TIMEOUT(Named<QLineEdit>(&dlg, "volsize")->text(), Bytes(200000), 20000);
    }

    // A whole large folder selected: filled and written in one pass each; the
    // joined names stop at a bound.
    void largeSelection() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TLibObj lib;
        TTreeNode* vol = AddVolume(lib, "Big");
        TPropertiesTarget t;
        t.ListFolder = FolderOf(vol);
        for (int i = 0; i < 100000; ++i) {
            TLibFolderItem* e = AddFile(lib, vol, "file" + std::to_string(1000000 + i), 1);
            e->TagInfo.SetValues({"Album=A", "Track=" + std::to_string(i)});
            t.Entries.push_back(e);
        }
        QElapsedTimer clock;
        clock.start();
        TfrmProperties dlg(*gd, store);
        dlg.Fill(lib, t);
        qint64 fill = clock.restart();
        QCOMPARE(Named<QTableWidget>(&dlg, "vle")->rowCount(), 1);
        QVERIFY(Named<QLineEdit>(&dlg, "filecaption")->text().size() < 20000);
        QVERIFY(Named<QLineEdit>(&dlg, "filecaption")->text().endsWith(QStringLiteral("; ...")));
        Named<QComboBox>(&dlg, "filecat")->setCurrentText(QStringLiteral("Bulk"));
        dlg.accept();
        qint64 write = clock.elapsed();
        qInfo("100000 entries: fill %lld ms, write %lld ms", fill, write);
        QCOMPARE(t.Entries.back()->Category.str(), std::string("Bulk"));
        QCOMPARE(t.Entries.back()->TagInfo.Value("Track"), std::string("99999"));
    }

    // Library only: the other pages are off; Refresh recounts.
    void libraryOnly() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        QString file = dir_.filePath(QStringLiteral("lib.txc"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'x'));
        f.close();
        s.lib.FileName = file.toStdString();
        TPropertiesTarget t;
        t.Nodes = {s.music};
        t.LibraryOnly = true;
        t.Page = TfrmProperties::kFolderPage;
        TfrmProperties dlg(*gd, store);
        dlg.Fill(s.lib, t);
        QCOMPARE(Named<QTabWidget>(&dlg, "pcProp")->currentIndex(),
                 int(TfrmProperties::kLibraryPage));
        for (int i = 1; i < Named<QTabWidget>(&dlg, "pcProp")->count(); ++i)
            QVERIFY(!Named<QTabWidget>(&dlg, "pcProp")->isTabEnabled(i));
        QCOMPARE(Named<QLineEdit>(&dlg, "libfile")->text(), file);
        QCOMPARE(Named<QLineEdit>(&dlg, "libsize")->text(), Bytes(2048));
        QVERIFY(!Named<QLineEdit>(&dlg, "libdate")->text().isEmpty());
        AddFile(s.lib, s.cd2, "new.txt", 1);
        s.lib.CountsValid = false;
        dlg.btnRefreshClick();
        QCOMPARE(Named<QLineEdit>(&dlg, "infoFi")->text(), QStringLiteral("8"));
        Named<QComboBox>(&dlg, "LibCat")->setCurrentText(QStringLiteral("Music"));
        dlg.accept();
        QCOMPARE(s.lib.Category, std::string("Music"));
        QVERIFY(FolderOf(s.music)->Category.empty());
    }

    // Through Execute, as the main window calls it.
    void executeReportsChange() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TSample s;
        TPropertiesTarget t;
        t.Nodes = {s.music};
        t.Page = TfrmProperties::kFolderPage;
        OnNextModal([](QWidget* w) {
            auto* d = qobject_cast<TfrmProperties*>(w);
            QVERIFY(d);
            Named<QComboBox>(d, "catcat")->setCurrentText(QStringLiteral("Backup"));
            d->accept();
        });
        QVERIFY(TfrmProperties::Execute(nullptr, s.lib, *gd, store, t));
        QCOMPARE(FolderOf(s.music)->Category, std::string("Backup"));
        OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
        QVERIFY(!TfrmProperties::Execute(nullptr, s.lib, *gd, store, t));
    }

    // ---------------------------------------------------------------------
    // Options

    void optionsRoundTrip() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        gd->NewLine = ",";
        OnNextModal([](QWidget* w) {
            auto* d = qobject_cast<TfrmOptions*>(w);
            QVERIFY(d);
            QCOMPARE(Named<QTabWidget>(d, "pcOpt")->currentIndex(), 0);
            QCOMPARE(Named<QComboBox>(d, "cbSep")->currentIndex(), 1);
            QVERIFY(Named<QCheckBox>(d, "cb_confExit")->isChecked());
            for (QCheckBox* c : d->findChildren<QCheckBox*>())
                c->setChecked(!c->isChecked());
            Named<QComboBox>(d, "cbK")->setCurrentIndex(2);
            Named<QComboBox>(d, "cbSep")->setCurrentIndex(3); // Tab
            Named<QLineEdit>(d, "edImg")->setText(QStringLiteral("/icons/set.ico"));
            Named<QLineEdit>(d, "edFav")->setText(QStringLiteral("/lists/fav.txt"));
            Named<QLineEdit>(d, "edLoc")->setText(QStringLiteral("/lists/loc.txt"));
            Named<QLineEdit>(d, "edCat")->setText(QStringLiteral("/lists/cat.txt"));
            Named<QLineEdit>(d, "edTag")->setText(QStringLiteral("/lists/tag.txt"));
            GrabPages(d, Named<QTabWidget>(d, "pcOpt"), "frmOptions");
            d->accept();
        });
        QVERIFY(TfrmOptions::Execute(nullptr, *gd, store));
        const TGlobalData& g = *gd;
        for (bool v : {g.SaveSettingsOnExit,
                       g.LoadLast,
                       g.MultiApps,
                       g.AddToGlobalsLocs,
                       g.AddToGlobalsCats,
                       g.AddToGlobalsTags,
                       g.CheckSerial,
                       g.ShowIcons,
                       g.Sort,
                       g.DisableControls,
                       g.ActionEndBeep,
                       g.LocateMain,
                       g.ConfirmDeleteFile,
                       g.ConfirmDeleteFolder,
                       g.ConfirmDeleteVolume,
                       g.ConfirmSaveChanges,
                       g.ConfirmExit,
                       g.ConfirmNew,
                       g.ConfirmReplace,
                       g.ConfirmReload,
                       g.ConfirmClose,
                       g.ConfirmDeleteCollection})
            QVERIFY(!v);
        QVERIFY(g.FoldersOnly);
        QVERIFY(!g.Progress.ActionEndBeep);
        QVERIFY(!TTagInfo::AddToGlobalsTags());
        QCOMPARE(int(g.Sizes), 2);
        QCOMPARE(g.NewLine, std::string("\t"));
        QCOMPARE(g.ImagesFile, std::string("/icons/set.ico"));
        QCOMPARE(g.FavoritesFile, std::string("/lists/fav.txt"));
        QCOMPARE(g.LocationsFile, std::string("/lists/loc.txt"));
        QCOMPARE(g.CategoriesFile, std::string("/lists/cat.txt"));
        QCOMPARE(g.TagsFile, std::string("/lists/tag.txt"));
        gd->AddToGlobalsTags = true;
        gd->RegisterTagNames();
    }

    // Separators: each item gives its text; typed text is kept exactly; a
    // stored text of its own shows as typed text.
    void optionsSeparator() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TfrmOptions dlg(*gd, store);
        const char* expected[] = {";", ",", "-", "\t", "\r\n"};
        for (int i = 0; i < 5; ++i) {
            gd->NewLine = "?";
            dlg.show();
            Named<QComboBox>(&dlg, "cbSep")->setCurrentIndex(i);
            dlg.accept();
            QCOMPARE(gd->NewLine, std::string(expected[i]));
            dlg.show();
            QCOMPARE(Named<QComboBox>(&dlg, "cbSep")->currentIndex(), i);
            dlg.reject();
        }
        dlg.show();
        Named<QComboBox>(&dlg, "cbSep")->setCurrentIndex(-1);
        Named<QComboBox>(&dlg, "cbSep")->setEditText(QStringLiteral(" | "));
        dlg.accept();
        QCOMPARE(gd->NewLine, std::string(" | "));
        dlg.show();
        QCOMPARE(Named<QComboBox>(&dlg, "cbSep")->currentIndex(), -1);
        QCOMPARE(Named<QComboBox>(&dlg, "cbSep")->currentText(), QStringLiteral(" | "));
        dlg.reject();
    }

    void optionsCancelChangesNothing() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        OnNextModal([](QWidget* w) {
            auto* d = qobject_cast<TfrmOptions*>(w);
            for (QCheckBox* c : d->findChildren<QCheckBox*>())
                c->setChecked(!c->isChecked());
            Named<QComboBox>(d, "cbK")->setCurrentIndex(1);
            Named<QLineEdit>(d, "edCat")->setText(QStringLiteral("/elsewhere.txt"));
            d->reject();
        });
        std::string cats = gd->CategoriesFile;
        QVERIFY(!TfrmOptions::Execute(nullptr, *gd, store));
        QVERIFY(gd->ConfirmExit);
        QVERIFY(!gd->FoldersOnly);
        QCOMPARE(int(gd->Sizes), 0);
        QCOMPARE(gd->CategoriesFile, cats);
    }

    // "Defaults" applies at once and stays after Cancel; list-file names that
    // are set stay, empty ones get their defaults; the layout is kept.
    void optionsDefaultsThenCancel() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TGlobalData fresh(dir_.path().toStdString() + "/");
        gd->ConfirmExit = false;
        gd->Sort = false;
        gd->Sizes = 2;
        gd->NewLine = " | ";
        gd->ImagesFile = "/icons/set.ico";
        gd->CategoriesFile = "/mine/cats.txt";
        gd->TagsFile.clear();
        gd->LastLibrary = "/discs/all.txc";
        gd->TreeWidth = 321;
        gd->ViewSettings.Messages = true;
        OnNextModal([](QWidget* w) {
            auto* d = qobject_cast<TfrmOptions*>(w);
            QVERIFY(!Named<QCheckBox>(d, "cb_confExit")->isChecked());
            Named<QPushButton>(d, "btnReset")->click();
            QVERIFY(Named<QCheckBox>(d, "cb_confExit")->isChecked());
            QCOMPARE(Named<QComboBox>(d, "cbSep")->currentIndex(), 0);
            d->reject();
        });
        QVERIFY(TfrmOptions::Execute(nullptr, *gd, store));
        QVERIFY(gd->ConfirmExit);
        QVERIFY(gd->Sort);
        QCOMPARE(int(gd->Sizes), 0);
        QCOMPARE(gd->NewLine, std::string(";"));
        QVERIFY(gd->ImagesFile.empty());
        QCOMPARE(gd->CategoriesFile, std::string("/mine/cats.txt"));
        QCOMPARE(gd->TagsFile, fresh.TagsFile);
        QCOMPARE(gd->LastLibrary, std::string("/discs/all.txc"));
        QCOMPARE(gd->TreeWidth, 321);
        QVERIFY(gd->ViewSettings.Messages);
    }

    // F4 in a file edit browses for that edit's file.
    void optionsBrowseWithF4() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        gd->CategoriesFile = "/lists/cats.txt";
        TfrmOptions dlg(*gd, store);
        QString start;
        dlg.OpenDlg = [&start](QWidget*, const QString& s) {
            start = s;
            return QStringLiteral("/picked/Categories.txt");
        };
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Named<QTabWidget>(&dlg, "pcOpt")->setCurrentIndex(5);
        dlg.activateWindow();
        Named<QLineEdit>(&dlg, "edCat")->setFocus();
        QTest::keyClick(Named<QLineEdit>(&dlg, "edCat"), Qt::Key_F4);
        QCOMPARE(start, QStringLiteral("/lists/cats.txt"));
        QCOMPARE(Named<QLineEdit>(&dlg, "edCat")->text(), QStringLiteral("/picked/Categories.txt"));
        // A browse button focuses its edit and fills it; a cancelled pick leaves it.
        start.clear();
        Named<QAction>(&dlg, "SpeedButton1")->trigger();
        QCOMPARE(Named<QLineEdit>(&dlg, "edImg")->text(), QStringLiteral("/picked/Categories.txt"));
        dlg.OpenDlg = [](QWidget*, const QString&) { return QString(); };
        Named<QAction>(&dlg, "btnBrowse4")->trigger();
        QCOMPARE(Named<QLineEdit>(&dlg, "edTag")->text(), Q(gd->TagsFile));
        dlg.accept();
        QCOMPARE(gd->CategoriesFile, std::string("/picked/Categories.txt"));
    }
};

QTEST_MAIN(TestProps)
#include "props_test.moc"
