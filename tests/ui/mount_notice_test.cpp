// The notice a catalogued disc brings when it is mounted, driven through a
// mount table written by the test and answered like the window's questions.
#include "catalog/lib_obj.h"
#include "settings/settings_store.h"
#include "support/main_window_fixture.h"
#include "support/modal_dialogs.h"
#include "support/window_grab.h"
#include "ui/catalog_models.h"
#include "ui/main_window.h"
#include "ui/mount_notices.h"
#include "ui/new_volume_dialog.h"

#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtGui/QFont>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

namespace {

bool Holds(const TTreeNode* vol, const char* name) {
    for (const auto& e : FolderOf(vol)->Items())
        if (e->Caption == name) return true;
    return false;
}

} // namespace

class TestMountNotice : public QObject, public TMainWindowFixture {
    Q_OBJECT

    QString table_;
    QString disc_;
    QString name_;

    void WriteTable(bool mounted) {
        QFile f(table_);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
        if (mounted) f.write(("2 1 8:17 / " + disc_ + " rw - vfat /dev/sdz1 rw\n").toUtf8());
    }
    // The disc: label DISC1, serial 1234ABCD, catalogued in Music.txc.
    TTreeNode* Catalogued(TfrmMain& w, const QString& name) {
        name_ = name;
        disc_ = WriteSource(name, {{"a.mp3", 1000}});
        table_ = Path("mountinfo");
        WriteTable(false);
        TTreeNode* vol = AddVolume(w, disc_, "DISC1");
        if (!vol) return nullptr;
        FolderOf(vol)->Serial = "1234ABCD";
        w.Lib().FileName = Path("Music.txc").toStdString();
        w.MountNotices().Watch(
            [](TMountedFs& fs) {
                if (fs.Device != "/dev/sdz1") return;
                fs.Label = "DISC1";
                fs.Serial = "1234ABCD";
            },
            table_.toStdString());
        return vol;
    }
    // The table with `line` (mountinfo's fields from the mount point on) at `point`.
    void MountOther(TfrmMain& w, const QString& point, const char* line) {
        QFile f(table_);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
        if (line) f.write(("3 1 8:33 / " + point + " " + line + "\n").toUtf8());
        f.close();
        w.MountNotices().CheckMounts();
    }
    void Mount(TfrmMain& w, bool mounted) {
        WriteTable(mounted);
        w.MountNotices().CheckMounts();
    }
    QPushButton* Button(TfrmMain& w, const char* name) {
        return w.MountNotices().findChild<QPushButton*>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    void noticeOffersAndIgnoreChangesNothing() {
        auto w = MakeWindow();
        TTreeNode* vol = Catalogued(*w, "d1");
        QVERIFY(vol);
        QVERIFY(!w->MountNotices().isVisible());
        WriteSource(name_, {{"new.txt", 5}});
        Mount(*w, true);
        QVERIFY(w->MountNotices().isVisible());
        QCOMPARE(w->MountNotices().findChild<QLabel*>("lblMountNotice")->text(),
                 "DISC1 in Music.txc is mounted at " + disc_);
        // The volume is marked in the tree while its disc is mounted.
        auto bold = [&] {
            QModelIndex i = w->NodesModel()->IndexOf(w->Lib().Tree.Root(0));
            return w->NodesModel()->data(i, Qt::FontRole).value<QFont>().bold();
        };
        QVERIFY(bold());
        w->SetTab(1);
        GrabWindow(w.get(), QStringLiteral("mount_notice"));
        QTest::mouseClick(Button(*w, "btnMountIgnore"), Qt::LeftButton);
        QVERIFY(!w->MountNotices().isVisible());
        QVERIFY(!Holds(w->Lib().Tree.Root(0), "new.txt"));
        // Unmounted while shown: the notice goes.
        Mount(*w, false);
        Mount(*w, true);
        QVERIFY(w->MountNotices().isVisible());
        Mount(*w, false);
        QVERIFY(!w->MountNotices().isVisible());
        QVERIFY(!bold());
        QVERIFY(Asked.empty());
    }

    void updateAndAlways() {
        auto w = MakeWindow();
        QVERIFY(Catalogued(*w, "d2"));
        WriteSource(name_, {{"new.txt", 5}});
        Mount(*w, true);
        QTest::mouseClick(Button(*w, "btnMountUpdate"), Qt::LeftButton);
        QVERIFY(!w->MountNotices().isVisible());
        QVERIFY(Holds(w->Lib().Tree.Root(0), "new.txt"));
        QVERIFY(Holds(w->Lib().Tree.Root(0), "a.mp3"));

        // Always, without "Delete not found": from then on no notice, and
        // what is gone from the disc stays in the catalog.
        Mount(*w, false);
        Mount(*w, true);
        QTest::mouseClick(Button(*w, "btnMountAlways"), Qt::LeftButton);
        Mount(*w, false);
        QVERIFY(QFile::remove(disc_ + "/a.mp3"));
        WriteSource(name_, {{"later.txt", 5}});
        Mount(*w, true);
        QVERIFY(!w->MountNotices().isVisible());
        QVERIFY(Holds(w->Lib().Tree.Root(0), "later.txt"));
        QVERIFY(Holds(w->Lib().Tree.Root(0), "a.mp3"));
        QVERIFY(Asked.empty());
        QVERIFY(Errors.isEmpty());
    }

    void alwaysWithDeleteNotFoundKeepsItsChoice() {
        auto w = MakeWindow();
        QVERIFY(Catalogued(*w, "d3"));
        Mount(*w, true);
        w->MountNotices().findChild<QCheckBox*>("cbMountDelete")->setChecked(true);
        QTest::mouseClick(Button(*w, "btnMountAlways"), Qt::LeftButton);
        Mount(*w, false);
        QVERIFY(QFile::remove(disc_ + "/a.mp3"));
        WriteSource(name_, {{"b.txt", 5}});
        Mount(*w, true);
        QVERIFY(!Holds(w->Lib().Tree.Root(0), "a.mp3"));
        QVERIFY(Holds(w->Lib().Tree.Root(0), "b.txt"));
    }

    void sameDiscTwiceIsListedNotGuessed() {
        auto w = MakeWindow();
        QVERIFY(Catalogued(*w, "d4"));
        TTreeNode* again = AddVolume(*w, disc_, "DISC1");
        QVERIFY(again);
        FolderOf(again)->Serial = "1234ABCD";
        WriteSource(name_, {{"new.txt", 5}});
        Mount(*w, true);
        QVERIFY(w->MountNotices().isVisible());
        QVERIFY(w->MountNotices()
                    .findChild<QLabel*>("lblMountNotice")
                    ->text()
                    .contains("DISC1, DISC1 in Music.txc are all the disc"));
        QVERIFY(Button(*w, "btnMountUpdate")->isHidden());
        QVERIFY(Button(*w, "btnMountAlways")->isHidden());
        w->MountNotices().UpdateClick(); // even asked directly: nothing to pick
        QVERIFY(!Holds(w->Lib().Tree.Root(0), "new.txt"));
        QVERIFY(!Holds(w->Lib().Tree.Root(1), "new.txt"));
    }

    // A removable drive that no volume is: offered for Add Volume, whose
    // dialog starts on its mount point (not on the folder added last);
    // pseudo filesystems are not offered.
    void newDriveOffersAddVolume() {
        auto w = MakeWindow();
        QVERIFY(Catalogued(*w, "d6"));
        const QString fresh = WriteSource("fresh", {{"b.txt", 7}});
        w->MountNotices().Watch(
            [](TMountedFs& fs) {
                if (fs.Device != "/dev/sdy1") return;
                fs.Label = "NEWDISK";
                fs.Serial = "77778888";
                fs.Removable = true;
            },
            table_.toStdString());
        MountOther(*w, fresh, "rw - tmpfs tmpfs rw");
        QVERIFY(!w->MountNotices().isVisible());
        MountOther(*w, fresh, nullptr);
        MountOther(*w, fresh, "rw - ext2 /dev/sdy1 rw");
        QVERIFY(w->MountNotices().isVisible());
        QCOMPARE(w->MountNotices().findChild<QLabel*>("lblMountNotice")->text(),
                 "A new drive NEWDISK is mounted at " + fresh);
        QVERIFY(!Button(*w, "btnMountAdd")->isHidden());
        for (const char* hidden : {"btnMountUpdate", "btnMountAlways"})
            QVERIFY(Button(*w, hidden)->isHidden());
        QVERIFY(w->MountNotices().findChild<QCheckBox*>("cbMountDelete")->isHidden());
        w->SetTab(1);
        GrabWindow(w.get(), QStringLiteral("mount_new_drive"));
        // Ignore: nothing added; the drive is offered again at its next mount.
        QTest::mouseClick(Button(*w, "btnMountIgnore"), Qt::LeftButton);
        QVERIFY(!w->MountNotices().isVisible());
        MountOther(*w, fresh, nullptr);
        MountOther(*w, fresh, "rw - ext2 /dev/sdy1 rw");
        QVERIFY(w->MountNotices().isVisible());

        QString started;
        QVERIFY(WithDialog<TfrmNewVolume>(
            [&] { QTest::mouseClick(Button(*w, "btnMountAdd"), Qt::LeftButton); },
            [&](TfrmNewVolume& d) {
                started = d.FolderEdit()->text();
                d.TitleEdit()->setText("NEWDISK");
                d.InsertNextBox()->setChecked(false);
                d.accept();
            }));
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w.get());
        QCOMPARE(started, fresh);
        QVERIFY(!w->MountNotices().isVisible());
        QCOMPARE(w->Lib().Tree.RootCount(), 2);
        QVERIFY(Holds(w->Lib().Tree.Root(1), "b.txt"));
        QVERIFY(Asked.empty());
        QVERIFY(Errors.isEmpty());
    }

    // The disc leaves while the update reads it: the catalog comes back as it was.
    void unmountDuringUpdateAbandonsIt() {
        auto w = MakeWindow();
        QVERIFY(Catalogued(*w, "d5"));
        std::vector<std::pair<QString, qint64>> many;
        for (int i = 0; i < 300; ++i)
            many.emplace_back(QStringLiteral("d%1/f%2.txt").arg(i % 10).arg(i), 10);
        WriteSource(name_, many);
        w->Lib().Modified = false;
        Mount(*w, true);
        // The window's loop turns while the update runs: the table says unmounted then.
        QTimer::singleShot(0, this, [&] { WriteTable(false); });
        QTest::mouseClick(Button(*w, "btnMountUpdate"), Qt::LeftButton);
        TTreeNode* vol = w->Lib().Tree.Root(0);
        QCOMPARE(FolderOf(vol)->ItemsCount(), 1);
        QCOMPARE(vol->Count(), 0);
        QCOMPARE(w->Lib().FileName, Path("Music.txc").toStdString());
        QVERIFY(!w->Lib().Modified);
    }
};

QTEST_MAIN(TestMountNotice)
#include "mount_notice_test.moc"
