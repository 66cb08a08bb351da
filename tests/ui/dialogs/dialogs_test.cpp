// The small dialogs: filled, changed through their controls, accepted, and
// what they hand back. TAMBLIX_GRAB_DIR=folder also saves a picture of each.

#include "catalog/lib_obj.h"
#include "files/volume_info.h"
#include "handlers/handlers.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_helpers.h"
#include "settings/settings_store.h"
#include "support/modal_dialogs.h"
#include "support/named_widget.h"
#include "support/window_grab.h"
#include "text/string_list.h"
#include "ui/dialog_handler_view.h"
#include "ui/file_ext_dialog.h"
#include "ui/handlers_dialog.h"
#include "ui/memo_dialog.h"
#include "ui/new_volume_dialog.h"
#include "ui/options_dialog.h"
#include "ui/pick_list_dialog.h"
#include "ui/tags_dialog.h"
#include "ui/text_edit_dialog.h"
#include "ui/update_dialog.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtTest/QtTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QToolButton>
#include <functional>

namespace {

// Two mounted discs and nothing else.
class TFakeVolumes : public IVolumeInfoProvider {
public:
    TFakeVolumes() {
        TVolumeInfo cd;
        cd.RootPath = "/media/CD1/";
        cd.Label = "MUSIC_01";
        cd.Serial = "1234ABCD";
        cd.FileSystem = "iso9660";
        cd.TotalBytes = 700 * 1024 * 1024;
        cd.FreeBytes = 0;
        TVolumeInfo dvd;
        dvd.RootPath = "/media/DVD/";
        dvd.Label = "BACKUP";
        dvd.Serial = "0000BEEF";
        vols_ = {cd, dvd};
    }
    TVolumeInfo Query(const std::string& path) override {
        for (const auto& v : vols_)
            if (path.rfind(v.RootPath, 0) == 0 || path + "/" == v.RootPath) return v;
        return {};
    }
    std::vector<TVolumeInfo> MountedVolumes() override { return vols_; }

private:
    std::vector<TVolumeInfo> vols_;
};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private:
    TFakeVolumes volumes_;
    QTemporaryDir dir_;

    std::unique_ptr<TGlobalData> NewGlobals() {
        auto gd = std::make_unique<TGlobalData>(Ss(dir_.path()) + "/");
        gd->GlobalCategories.Add("Music");
        gd->GlobalCategories.Add("Backup");
        gd->GlobalLocations.Add("Shelf 2");
        gd->CategoriesFile = Ss(dir_.path()) + "/Categories.txt";
        return gd;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        SetVolumeInfoProvider(&volumes_);
    }
    void cleanupTestCase() { SetVolumeInfoProvider(nullptr); }

    void newVolumeDriveAndFolder() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        THandlerList handlers;
        handlers.SetDefaults();
        TLibObj lib;
        TfrmNewVolume dlg(*gd, handlers, store);

        dlg.PrepareShow(lib);
        // Nothing stored: nothing is chosen for the user, and OK waits for a source.
        QCOMPARE(dlg.DriveCombo()->count(), 2);
        QCOMPARE(dlg.DriveCombo()->currentIndex(), -1);
        QVERIFY(dlg.FolderEdit()->text().isEmpty());
        QVERIFY(!Named<QPushButton>(&dlg, "OKBtn")->isEnabled());
        // The first drive, chosen: its label, serial, file system and size.
        dlg.DriveCombo()->setCurrentIndex(0);
        dlg.cbDrChange();
        QVERIFY(Named<QPushButton>(&dlg, "OKBtn")->isEnabled());
        QCOMPARE(dlg.SourceInfoText(GetVolumeInfo(dlg.FolderEdit()->text().toStdString())),
                 QStringLiteral("iso9660 file system, 700 MiB used of 700 MiB"));
        QCOMPARE(dlg.FolderEdit()->text(), QStringLiteral("/media/CD1/"));
        QCOMPARE(dlg.TitleEdit()->text(), QStringLiteral("MUSIC_01"));
        QCOMPARE(dlg.SerialEdit()->text(), QStringLiteral("1234ABCD"));
        QCOMPARE(dlg.DefaultsPage().filecat->count(), 2);
        QCOMPARE(dlg.DefaultsPage().volLoc->count(), 1);
        QCOMPARE(dlg.HandlerList()->topLevelItemCount(), handlers.Count());

        dlg.DriveCombo()->setCurrentIndex(1);
        dlg.cbDrChange();
        QCOMPARE(dlg.FolderEdit()->text(), QStringLiteral("/media/DVD/"));
        QCOMPARE(dlg.TitleEdit()->text(), QStringLiteral("BACKUP"));
        QCOMPARE(dlg.SerialEdit()->text(), QStringLiteral("0000BEEF"));
        GrabPages(&dlg, dlg.Pages(), "frmNewVolume");
        dlg.accept();
        QCOMPARE(gd->DriveNumber, 2);
        TScanOptions o = dlg.Options();
        QCOMPARE(o.FolderResult, std::string("/media/DVD/"));
        QCOMPARE(o.TitleResult, std::string("BACKUP"));
        QCOMPARE(o.Serial, std::string("0000BEEF"));

        // A typed folder titles the volume with its path and stays as typed.
        dlg.PrepareShow(lib);
        dlg.FolderEdit()->setText(QStringLiteral("/media/CD1/Music/Jazz"));
        QCOMPARE(dlg.TitleEdit()->text(), QStringLiteral("/media/CD1/Music/Jazz"));
        QCOMPARE(dlg.SerialEdit()->text(), QStringLiteral("1234ABCD"));
        dlg.LevelsBox()->setValue(3);
        dlg.FoldersOnlyBox()->setChecked(true);
        dlg.DefaultsPage().filecat->setCurrentText(QStringLiteral("Jazz"));
        dlg.DefaultsPage().filecom->setText(QStringLiteral("from the shelf"));
        dlg.DefaultsPage().volLoc->setCurrentText(QStringLiteral("Shelf 2"));
        dlg.DefaultsPage().cbAddFiles->setChecked(true);
        dlg.accept();
        o = dlg.Options();
        QCOMPARE(gd->DriveNumber, -1);
        QCOMPARE(o.FolderResult, std::string("/media/CD1/Music/Jazz"));
        QCOMPARE(dlg.FolderEdit()->text(), QStringLiteral("/media/CD1/Music/Jazz"));
        QCOMPARE(o.Levels, uint16_t(3));
        QVERIFY(o.FoldersOnly && gd->FoldersOnly);
        QCOMPARE(o.DefaultCategory, std::string("Jazz"));
        QCOMPARE(gd->DefaultComments, std::string("from the shelf"));
        QCOMPARE(gd->DefaultLocation, std::string("Shelf 2"));
        QVERIFY(gd->DefaultsToFiles && !gd->DefaultsToFolders);
        QVERIFY(o.Collection == nullptr);
    }

    void newVolumeRunAndIncrement() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        THandlerList handlers;
        handlers.SetDefaults();
        TLibObj lib;
        TfrmNewVolume dlg(*gd, handlers, store);

        auto runWith = [&](std::function<void()> set, bool ok) {
            OnNextModal([&, set, ok](QWidget*) {
                set();
                if (ok)
                    dlg.accept();
                else
                    dlg.reject();
            });
            return dlg.Run(lib);
        };
        auto o = runWith(
            [&] {
                dlg.IncrementBox()->setChecked(true);
                dlg.FolderEdit()->setText(QStringLiteral("/media/CD1/"));
                dlg.TitleEdit()->setText(QStringLiteral("Disc 009"));
            },
            true);
        QVERIFY(o);
        QCOMPARE(o->TitleResult, std::string("Disc 009"));

        // The next add starts from the advanced title; a folder change keeps it.
        o = runWith(
            [&] {
                QCOMPARE(dlg.TitleEdit()->text(), QStringLiteral("Disc 010"));
                dlg.DriveCombo()->setCurrentIndex(1);
                dlg.cbDrChange();
                dlg.FolderEdit()->setText(QStringLiteral("/media/DVD/x"));
            },
            false);
        QVERIFY(!o);
        // A cancelled dialog used no number.
        o = runWith([&] { QCOMPARE(dlg.TitleEdit()->text(), QStringLiteral("Disc 010")); }, true);
        QVERIFY(o);
        QCOMPARE(o->TitleResult, std::string("Disc 010"));
        QCOMPARE(o->FolderResult, std::string("/media/DVD/x"));

        // An empty folder is a cancel.
        o = runWith([&] { dlg.FolderEdit()->clear(); }, true);
        QVERIFY(!o);

        // The accepted folders come back newest first, each once, also in a
        // new dialog; a cancelled one is not among them; choosing one fills the folder.
        TfrmNewVolume again(*gd, handlers, store);
        again.PrepareShow(lib);
        QCOMPARE(again.RecentFolders(),
                 QStringList({QStringLiteral("/media/DVD/x"), QStringLiteral("/media/CD1/")}));
        QVERIFY(again.RecentButton()->isEnabled());
        QList<QAction*> items = again.RecentButton()->menu()->actions();
        QCOMPARE(items.size(), 2);
        items[1]->trigger();
        QCOMPARE(again.FolderEdit()->text(), QStringLiteral("/media/CD1/"));
        QStringList many;
        for (int i = 0; i < 12; ++i)
            many = TfrmNewVolume::WithRecent(many, QString::number(i));
        many = TfrmNewVolume::WithRecent(many, QStringLiteral("5"));
        QCOMPARE(many.size(), 10);
        QCOMPARE(many.first(), QStringLiteral("5"));
        QCOMPARE(many.count(QStringLiteral("5")), 1);
        QCOMPARE(TfrmNewVolume::WithRecent(many, QStringLiteral("  ")), many);
    }

    void newVolumeStoredChoicesAndCollections() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        THandlerList handlers;
        handlers.SetDefaults();
        TLibObj lib;
        TTreeNode* music = lib.AddCollection(nullptr, "Music");
        TTreeNode* rock = lib.AddCollection(music, "Rock");
        lib.AddCollection(nullptr, "Photos");
        {
            TfrmNewVolume dlg(*gd, handlers, store);
            dlg.PrepareShow(lib);
            QCOMPARE(dlg.CollectionCombo()->count(), 4); // none + three collections in tree order
            QCOMPARE(dlg.CollectionCombo()->itemText(0), QString());
            QCOMPARE(dlg.CollectionCombo()->itemText(1), QStringLiteral("Music"));
            QVERIFY(dlg.CollectionCombo()->itemText(2).endsWith(QStringLiteral("Rock")));
            QVERIFY(dlg.CollectionCombo()->itemText(2).startsWith(QLatin1Char(' ')));
            dlg.CollectionCombo()->setCurrentIndex(2);
            dlg.FolderEdit()->setText(QStringLiteral("/media/DVD/photos/"));
            dlg.LevelsBox()->setValue(2);
            dlg.DefaultsPage().filecat->setCurrentText(QStringLiteral("Backup"));
            dlg.DefaultsPage().filecom->setText(QStringLiteral("weekly"));
            dlg.DefaultsPage().cbAddFolders->setChecked(true);
            dlg.InsertNextBox()->setChecked(true);
            dlg.accept();
            QVERIFY(dlg.Options().Collection == rock);
            QVERIFY(dlg.RepeatAdd());
        }
        QCOMPARE(store.ReadString("frmNewVolume", "Folder", ""), std::string("/media/DVD/photos/"));
        QCOMPARE(store.ReadInt("frmNewVolume", "Collection", -1), 2);

        // A cancelled dialog stores its choices as well.
        {
            TfrmNewVolume dlg(*gd, handlers, store);
            dlg.PrepareShow(lib);
            QCOMPARE(dlg.FolderEdit()->text(), QStringLiteral("/media/DVD/photos/"));
            QCOMPARE(dlg.TitleEdit()->text(), QStringLiteral("/media/DVD/photos/"));
            QCOMPARE(dlg.DrivePath(), QStringLiteral("/media/DVD/"));
            QCOMPARE(dlg.LevelsBox()->value(), 2);
            QCOMPARE(dlg.DefaultsPage().filecat->currentText(), QStringLiteral("Backup"));
            QCOMPARE(dlg.DefaultsPage().filecom->text(), QStringLiteral("weekly"));
            QVERIFY(dlg.DefaultsPage().cbAddFolders->isChecked());
            QVERIFY(!dlg.DefaultsPage().cbAddFiles->isChecked());
            QVERIFY(dlg.InsertNextBox()->isChecked());
            QCOMPARE(dlg.CollectionCombo()->currentIndex(), 2);
            dlg.InsertNextBox()->setChecked(false);
            dlg.reject();
        }
        QVERIFY(!store.ReadBool("frmNewVolume", "Repeat", true));

        // A stored index past the collections leaves the choice on "none";
        // levels out of range are not taken.
        store.WriteInt("frmNewVolume", "Collection", 7);
        store.WriteInt("frmNewVolume", "Levels", -4);
        TfrmNewVolume dlg(*gd, handlers, store);
        dlg.PrepareShow(lib);
        QCOMPARE(dlg.CollectionCombo()->currentIndex(), 0);
        QCOMPARE(dlg.LevelsBox()->value(), 0);
        QVERIFY(dlg.Options().Collection == nullptr);
    }

    void updateFromSource() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        gd->DefaultCategory = "left over";
        THandlerList handlers;
        handlers.SetDefaults();
        TLibObj lib;
        auto vol = TLibFolder::FromPath("/media/CD1/");
        vol->SourcePath = "/media/CD1/";
        TTreeNode* volNode = lib.AddVolumeNode(std::move(vol));
        auto sub = TLibFolder::FromPath("Jazz");
        TTreeNode* subNode = lib.AddFolderNode(volNode, std::move(sub));

        TfrmUpdate dlg(*gd, handlers, store);
        std::optional<TScanOptions> o;
        OnNextModal([&](QWidget*) {
            // The folder shown is the source path, not the catalog path.
            QCOMPARE(dlg.FolderEdit()->text(), QStringLiteral("/media/CD1/Jazz/"));
            QVERIFY(gd->DefaultCategory.empty());
            QVERIFY(!dlg.RealSourceBox()->isChecked());
            QVERIFY(!dlg.FolderEdit()->isEnabled() && !dlg.DeleteMissingBox()->isEnabled() &&
                    !dlg.BrowseButton()->isEnabled() && !dlg.SerialEdit()->isEnabled());
            dlg.RealSourceBox()->click();
            QVERIFY(dlg.FolderEdit()->isEnabled() && dlg.DeleteMissingBox()->isEnabled());
            QCOMPARE(dlg.SerialEdit()->text(), QStringLiteral("1234ABCD"));
            dlg.DeleteMissingBox()->setChecked(true);
            dlg.LevelsBox()->setValue(1);
            dlg.DefaultsPage().filecat->setCurrentText(QStringLiteral("Jazz"));
            dlg.DefaultsPage().cbAddFiles->setChecked(true);
            GrabPages(&dlg, dlg.Pages(), "frmUpdate");
            dlg.accept();
        });
        o = dlg.Run(FolderOf(subNode));
        QVERIFY(o);
        QCOMPARE(o->FolderResult, std::string("/media/CD1/Jazz/"));
        QVERIFY(o->UseRealSource && o->DeleteNotFound && gd->DeleteNotFound);
        QCOMPARE(o->Serial, std::string("1234ABCD"));
        QCOMPARE(o->Levels, uint16_t(1));
        QCOMPARE(gd->DefaultCategory, std::string("Jazz"));
        QVERIFY(gd->DefaultsToFiles);

        // "Delete not found" left ticked while the rescan is switched off deletes nothing.
        OnNextModal([&](QWidget*) {
            QVERIFY(!dlg.DeleteMissingBox()->isChecked()); // cleared on every show
            dlg.RealSourceBox()->click();
            dlg.DeleteMissingBox()->setChecked(true);
            dlg.RealSourceBox()->click();
            dlg.accept();
        });
        o = dlg.Run(FolderOf(subNode));
        QVERIFY(o);
        QVERIFY(!o->UseRealSource && !o->DeleteNotFound && !gd->DeleteNotFound);

        // A rescan needs a folder: OK without one asks for it and keeps the dialog open.
        FolderOf(volNode)->SourcePath.clear();
        OnNextModal([&](QWidget*) {
            dlg.RealSourceBox()->click();
            dlg.Pages()->setCurrentIndex(0);
            dlg.accept();
            QVERIFY(dlg.isVisible());
            QVERIFY(dlg.Pages()->currentWidget()->isAncestorOf(dlg.FolderEdit()));
            QVERIFY(!dlg.FolderEdit()->placeholderText().isEmpty());
            dlg.reject();
        });
        QVERIFY(!dlg.Run(FolderOf(volNode)));

        // An imported volume's made-up source ("CD1/") is never offered: read
        // against the working folder it would rescan another tree.
        FolderOf(volNode)->SourcePath = "CD1/";
        OnNextModal([&](QWidget*) {
            QVERIFY(dlg.FolderEdit()->text().isEmpty());
            QCOMPARE(dlg.FolderEdit()->placeholderText(),
                     QString::fromStdString(GetMessageText("infoImportedSource")));
            dlg.RealSourceBox()->click();
            dlg.FolderEdit()->setText(QStringLiteral("CD1/"));
            dlg.accept();
            QVERIFY(dlg.isVisible());
            dlg.FolderEdit()->setText(QStringLiteral("/media/CD1/"));
            dlg.accept();
        });
        o = dlg.Run(FolderOf(volNode));
        QVERIFY(o);
        QCOMPARE(o->FolderResult, std::string("/media/CD1/"));
        QVERIFY(store.Keys.count("frmUpdate") == 0); // nothing but the placement is kept
    }

    void handlerViewsChangeTheTable() {
        TMemorySettingsStore store;
        THandlerList handlers;
        handlers.SetDefaults();
        handlers.SaveToSettings(store);
        TfrmHandlers dlg(handlers, store);
        THandlerView* lv = dlg.View();
        lv->LoadView();
        QCOMPARE(lv->topLevelItemCount(), handlers.Count());
        int zip = handlers.IndexOf("ZIP");
        QTreeWidgetItem* row = lv->topLevelItem(zip);
        QCOMPARE(row->text(0), QStringLiteral("ZIP"));
        QVERIFY(handlers.HandlerClaimsFile("ZIP", "b.zip"));
        row->setCheckState(0, Qt::Unchecked); // as a click on the box does
        QVERIFY(!handlers.HandlerClaimsFile("ZIP", "b.zip"));

        int mpg = handlers.IndexOf("MPG");
        QCOMPARE(lv->topLevelItem(mpg)->text(2), QStringLiteral(".MP1 .MP2 .MPA .MPEG .MPG"));
        lv->SetRowExtensions(mpg, {".MPG", "m2a"});
        QCOMPARE(lv->topLevelItem(mpg)->text(2), QStringLiteral(".M2A .MPG"));
        QVERIFY(handlers.HandlerClaimsFile("MPG", "x.m2a"));
        GrabWindow(&dlg, "frmHandlers");

        // Defaults: the stored table goes, the default one is shown.
        THandlerPtr oldZip = lv->RowHandler(zip);
        dlg.btnDefaultsClick();
        QVERIFY(!store.KeyExists("Ext"));
        QVERIFY(handlers.HandlerClaimsFile("ZIP", "b.zip"));
        QVERIFY(!handlers.HandlerClaimsFile("MPG", "x.m2a"));
        QCOMPARE(lv->topLevelItem(zip)->checkState(0), Qt::Checked);
        QVERIFY(lv->RowHandler(zip) != oldZip);
        QVERIFY(!oldZip->Active); // the replaced handler is still there to read

        // The new-volume dialog's page acts on the same table.
        auto gd = NewGlobals();
        TLibObj lib;
        TfrmNewVolume nv(*gd, handlers, store);
        nv.PrepareShow(lib);
        nv.HandlerList()->topLevelItem(handlers.IndexOf("MP3"))->setCheckState(0, Qt::Unchecked);
        QVERIFY(!handlers.isExtHandlerActive("MP3"));
    }

    void extensionEditor() {
        TMemorySettingsStore store;
        THandler h;
        h.Title = "MP3";
        h.Description = "MP3 File";
        h.AddExtension(".mp3");
        TfrmFileExtProp dlg(store);
        dlg.setWindowTitle(QString::fromStdString(h.Description));
        dlg.SetExtensions(h.Extensions.Lines());
        dlg.AddExtension(QStringLiteral("mp4"));
        dlg.AddExtension(QStringLiteral(".Mp4"));
        dlg.AddExtension(QString());
        dlg.AddExtension(QStringLiteral("."));
        QCOMPARE(dlg.Extensions(), (std::vector<std::string>{".MP3", ".MP4"}));
        GrabWindow(&dlg, "frmFileExtProp");
        auto* lb = dlg.findChild<QListWidget*>(QStringLiteral("lbExt"));
        lb->setCurrentRow(0);
        dlg.DeleteSelected();
        dlg.DeleteSelected(); // the last one stays
        QCOMPARE(dlg.Extensions(), (std::vector<std::string>{".MP4"}));

        // Against the table, another handler's extension is refused with the reason.
        THandlerList table;
        table.SetDefaults();
        TfrmFileExtProp checked(store);
        checked.SetExtensions({".MP3"});
        checked.CheckAgainst(&table, "MP3");
        QVERIFY(checked.AddExtension(QStringLiteral("mp2")).contains(QStringLiteral("(MPG)")));
        QVERIFY(!checked.AddExtension(QStringLiteral(".a;b")).isEmpty());
        QVERIFY(checked.AddExtension(QStringLiteral("mp3x")).isEmpty());
        QVERIFY(checked.AddExtension(QStringLiteral("MP3")).isEmpty()); // its own
        QCOMPARE(checked.Extensions(), (std::vector<std::string>{".MP3", ".MP3X"}));

        // Edit: OK hands the list back, Cancel nothing.
        OnNextModal([&](QWidget* w) {
            auto* d = qobject_cast<TfrmFileExtProp*>(w);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QStringLiteral("MP3 File"));
            d->AddExtension(QStringLiteral("mp2"));
            d->accept();
        });
        auto ext = TfrmFileExtProp::EditHandler(nullptr, store, h);
        QVERIFY(ext);
        QCOMPARE(*ext, (std::vector<std::string>{".MP2", ".MP3"}));
        OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
        QVERIFY(!TfrmFileExtProp::EditHandler(nullptr, store, h));
    }

    void textEditorEditsLists() {
        TMemorySettingsStore store;
        TStringList cats(true, TDuplicates::Ignore);
        cats.Add("Music");
        OnNextModal([](QWidget* w) {
            auto* d = qobject_cast<TfrmTextEdit*>(w);
            QVERIFY(d);
            QCOMPARE(d->Memo()->toPlainText(), QStringLiteral("Music"));
            d->Memo()->setPlainText(QStringLiteral("Video\n\nAudio\r\nmusic\n"));
            GrabWindow(d, "frmTextEdit");
            d->accept();
        });
        QVERIFY(TfrmTextEdit::EditList(nullptr, store, QStringLiteral("Categories - x"), cats));
        QCOMPARE(cats.Lines(), (std::vector<std::string>{"Audio", "music", "Video"}));

        // A list that refuses repeats keeps its lines until the text is right;
        // the editor stays open with what the user typed.
        TStringList favs(true, TDuplicates::Error);
        favs.Add("a=1");
        int shown = 0;
        OnNextModal([&](QWidget* w) {
            auto* d = qobject_cast<TfrmTextEdit*>(w);
            d->Memo()->setPlainText(QStringLiteral("b=2\nb=2"));
            OnNextModal(
                [&, d](QWidget* box) {
                    ++shown;
                    QVERIFY(qobject_cast<QMessageBox*>(box));
                    static_cast<QMessageBox*>(box)->reject();
                    OnNextModal(
                        [&, d](QWidget*) {
                            QCOMPARE(d->Memo()->toPlainText(), QStringLiteral("b=2\nb=2"));
                            d->reject();
                        },
                        box);
                },
                d);
            d->accept();
        });
        QVERIFY(!TfrmTextEdit::EditList(nullptr, store, QStringLiteral("Favorites"), favs));
        QCOMPARE(shown, 1);
        QCOMPARE(favs.Lines(), (std::vector<std::string>{"a=1"}));
    }

    void tagsDialog() {
        TMemorySettingsStore store;
        TfrmTags dlg(store);
        dlg.SetLines({"Artist=Performer", "BitRateKBS=Bit rate", "Odd", "Title=A=B"});
        QCOMPARE(dlg.Grid()->rowCount(), 4);
        QCOMPARE(dlg.Grid()->item(3, 1)->text(), QStringLiteral("A=B"));
        dlg.Grid()->setCurrentCell(0, 0);
        dlg.tbAddClick();
        QCOMPARE(dlg.Grid()->rowCount(), 5);
        dlg.Grid()->item(1, 0)->setText(QStringLiteral("Year"));
        dlg.Grid()->item(1, 1)->setText(QStringLiteral("Released"));
        GrabWindow(&dlg, "frmTags");
        dlg.Grid()->setCurrentCell(2, 0);
        dlg.tbDelClick();
        QCOMPARE(dlg.Lines(), (std::vector<std::string>{"Artist=Performer", "Year=Released",
                                                        "Odd=", "Title=A=B"}));

        TStringList names(true, TDuplicates::Error);
        names.Add("Artist=Performer");
        // A key twice (in any case) is refused; the list keeps its lines.
        OnNextModal([&](QWidget* w) {
            auto* d = qobject_cast<TfrmTags*>(w);
            QVERIFY(d);
            d->SetLines({"Genre=Style", "GENRE=Kind"});
            OnNextModal(
                [d](QWidget* box) {
                    static_cast<QMessageBox*>(box)->reject();
                    OnNextModal(
                        [d](QWidget*) {
                            d->SetLines({"Genre=Style", "Artist=Singer"});
                            d->accept();
                        },
                        box);
                },
                d);
            d->accept();
        });
        QVERIFY(TfrmTags::EditTagNames(nullptr, store, names));
        QCOMPARE(names.Lines(), (std::vector<std::string>{"Artist=Singer", "Genre=Style"}));
    }

    void memoDialog() {
        TMemorySettingsStore store;
        TLibColItem item("Old");
        item.URL = "https://example.org/";
        item.MemoText = "line 1\nline 2";
        item.ImageIndex = 1;
        TfrmMemo dlg(store);
        QPixmap px(16, 16);
        px.fill(Qt::red);
        dlg.SetImages({QIcon(px), QIcon(px), QIcon(px)});
        dlg.LoadFrom(item);
        QCOMPARE(dlg.edCaption()->text(), QStringLiteral("Old"));
        QCOMPARE(dlg.ImageIndex(), 1);
        QCOMPARE(dlg.memo()->toPlainText(), QStringLiteral("line 1\nline 2"));
        GrabWindow(&dlg, "frmMemo");
        dlg.edCaption()->setText(QStringLiteral("New"));
        dlg.cbpic()->setCurrentIndex(3); // image 2
        TLibColItem out;
        dlg.StoreTo(out);
        QCOMPARE(out.Caption, std::string("New"));
        QCOMPARE(out.URL, item.URL);
        QCOMPARE(out.MemoText, item.MemoText);
        QCOMPARE(out.ImageIndex, 2);

        dlg.Reset();
        dlg.StoreTo(out);
        QVERIFY(out.Caption.empty() && out.URL.empty() && out.MemoText.empty());
        QCOMPARE(out.ImageIndex, -1);

        // A picture the image list no longer has is kept, not lost.
        item.ImageIndex = 9;
        dlg.LoadFrom(item);
        dlg.StoreTo(out);
        QCOMPARE(out.ImageIndex, 9);

        OnNextModal([](QWidget* w) {
            auto* d = qobject_cast<TfrmMemo*>(w);
            d->ed_url()->setText(QStringLiteral("https://example.com/"));
            d->accept();
        });
        QVERIFY(TfrmMemo::EditItem(nullptr, store, item));
        QCOMPARE(item.URL, std::string("https://example.com/"));
        QCOMPARE(item.Caption, std::string("Old"));
    }

    void pickList() {
        TMemorySettingsStore store;
        OnNextModal([](QWidget* w) {
            auto* d = qobject_cast<TfrmPickList*>(w);
            QVERIFY(d);
            QCOMPARE(d->List()->count(), 3);
            d->SetChecked(2, true);
            d->SetChecked(0, true);
            GrabWindow(d, "frmPickList");
            d->accept();
        });
        auto picked =
            TfrmPickList::Pick(nullptr, store, QStringLiteral("Tags"), {"Artist", "Album", "Year"});
        QVERIFY(picked);
        QCOMPARE(*picked, (std::vector<std::string>{"Artist", "Year"}));
        OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
        QVERIFY(!TfrmPickList::Pick(nullptr, store, QStringLiteral("Tags"), {"Artist"}));
    }

    // Every page of Options, with the tabs and the buttons beside it, gives
    // each Alt key to one control only.
    void optionsAcceleratorsAreUnique() {
        TMemorySettingsStore store;
        auto gd = NewGlobals();
        TfrmOptions dlg(*gd, store);
        auto* tabs = Named<QTabWidget>(&dlg, "pcOpt");
        auto mnemonic = [](const QString& text) {
            const qsizetype i = text.indexOf(QLatin1Char('&'));
            return i >= 0 && i + 1 < text.size() ? text.at(i + 1).toLower() : QChar();
        };
        QMap<QChar, QString> always;
        for (int t = 0; t < tabs->count(); ++t)
            if (QChar c = mnemonic(tabs->tabText(t)); !c.isNull()) {
                QVERIFY2(!always.contains(c), qPrintable(tabs->tabText(t)));
                always.insert(c, tabs->tabText(t));
            }
        for (QAbstractButton* b : dlg.findChildren<QPushButton*>())
            if (QChar c = mnemonic(b->text()); !c.isNull()) always.insert(c, b->text());
        for (int t = 0; t < tabs->count(); ++t) {
            QMap<QChar, QString> taken = always;
            QStringList texts;
            for (QAbstractButton* b : tabs->widget(t)->findChildren<QAbstractButton*>())
                texts << b->text();
            for (QLabel* l : tabs->widget(t)->findChildren<QLabel*>())
                if (l->buddy()) texts << l->text();
            for (const QString& text : texts)
                if (QChar c = mnemonic(text); !c.isNull()) {
                    QVERIFY2(!taken.contains(c), qPrintable(text + " and " + taken.value(c)));
                    taken.insert(c, text);
                }
        }
    }

    void placementIsKept() {
        TMemorySettingsStore store;
        {
            TfrmMemo dlg(store);
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            dlg.setGeometry(40, 50, 500, 333);
            QTest::qWait(20);
            dlg.reject();
        }
        TPlacement p;
        QVERIFY(LoadPlacement(store, "Pos\\frmMemo", p));
        QCOMPARE(p.Width, 500);
        QCOMPARE(p.Height, 333);
        TfrmMemo dlg(store);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.size(), QSize(500, 333));
        dlg.reject();

        // A rectangle no screen shows keeps only its size.
        p.Left = 90000;
        SavePlacement(store, "Pos\\frmMemo", p);
        TfrmMemo far(store);
        far.show();
        QVERIFY(QTest::qWaitForWindowExposed(&far));
        QVERIFY(far.x() < 90000);
        far.reject();
    }
};

QTEST_MAIN(TestDialogs)
#include "dialogs_test.moc"
