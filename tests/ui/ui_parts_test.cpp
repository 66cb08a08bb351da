// The pieces under the main window: the list model's order, the translator on
// a small window, and the single-instance hand-over.
#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "support/catalog_builder.h"
#include "ui/catalog_models.h"
#include "ui/multi_lang.h"
#include "ui/single_instance.h"

#include <QtCore/QTemporaryDir>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace {

TLibFolderItem* AddItem(TLibObj& lib, TLibFolder* f, const char* name, int64_t size, bool folder,
                        bool archive = false) {
    TLibFolderItem* e = TCatalogBuilder(lib).File(f->Node, name, size);
    e->IsFolder = folder ? 1 : 0;
    e->IsArchive = archive ? 1 : 0;
    return e;
}

} // namespace

class TestUiParts : public QObject {
    Q_OBJECT

private slots:
    void listOrderFollowsTheColumnRules() {
        TLibObj lib;
        TTreeNode* vol = lib.AddVolumeNode(TLibFolder::FromPath("CD"));
        TLibFolder* f = FolderOf(vol);
        AddItem(lib, f, "b.txt", 5, false);
        AddItem(lib, f, "Sub", 0, true);
        AddItem(lib, f, "pack.zip", 50, true, true); // an archive sorts with the files
        AddItem(lib, f, "A.txt", 7, false);
        AddItem(lib, f, "apple", 0, true);
        TGlobalData gd(QDir::tempPath().toStdString());
        TEntryListModel m(&gd);
        m.SetFolder(f);
        auto captions = [&] {
            QStringList out;
            for (int r = 0; r < m.rowCount(); ++r)
                out << QString::fromStdString(m.EntryAt(r)->Caption.str());
            return out;
        };
        QCOMPARE(captions(), (QStringList{"apple", "Sub", "A.txt", "b.txt", "pack.zip"}));
        m.SortBy(0, Qt::DescendingOrder);
        QCOMPARE(captions(), (QStringList{"pack.zip", "b.txt", "A.txt", "Sub", "apple"}));
        m.SortBy(2, Qt::AscendingOrder);
        QCOMPARE(m.EntryAt(m.rowCount() - 1)->Caption.str(), std::string("pack.zip"));
        QCOMPARE(m.CellText(m.EntryAt(m.rowCount() - 1), TEntryListModel::kSize), QString("50"));
        // The scan's mark decides, not the name: a folder named like an
        // archive is a folder, an archive named otherwise is an archive.
        AddItem(lib, f, "photos.zip", 0, true);
        AddItem(lib, f, "comic.cbz", 70, true, true);
        m.SetFolder(f);
        m.SortBy(0, Qt::AscendingOrder);
        QCOMPARE(captions(), (QStringList{"apple", "photos.zip", "Sub", "A.txt", "b.txt",
                                          "comic.cbz", "pack.zip"}));
        auto icon = [&](int row) {
            return m.data(m.index(row, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
        };
        QCOMPARE(icon(1), icon(0));
        QVERIFY(icon(5) != icon(0));
        QCOMPARE(icon(5), icon(6));
        // A frozen model lets go of the folder.
        m.SetFrozen(true);
        QCOMPARE(m.rowCount(), 0);
        QVERIFY(m.Folder() == nullptr);
    }

    void translatorUsesObjectNamesAndSkipsNames() {
        ResetMessageTable();
        QTemporaryDir dir;
        QDialog w;
        w.setObjectName("frmTest");
        w.setWindowTitle("Test Window");
        auto* l = new QVBoxLayout(&w);
        auto* label = new QLabel("&Name:", &w);
        label->setObjectName("lblName");
        auto* box = new QCheckBox("&Only Folders", &w);
        box->setObjectName("cbOnly");
        auto* button = new QPushButton("Go", &w); // buttons are not translated
        button->setObjectName("btnGo");
        auto* skipped = new QLabel("Secret", &w);
        skipped->setObjectName("miReopen");
        l->addWidget(label);
        l->addWidget(box);
        l->addWidget(button);
        l->addWidget(skipped);
        w.show();

        TMultiLang lang;
        lang.SetFolders({dir.path()}, dir.path() + "/user");
        lang.SaveOriginalLanguage();
        QFile orig(dir.path() + "/user/OriginalLanguage.bab");
        QVERIFY(orig.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(orig.readAll());
        QVERIFY(text.contains("frmTest.lblName=&Name:\r\n"));
        QVERIFY(text.contains("frmTest.frmTest=Test Window\r\n"));
        QVERIFY(text.contains("CONFSAVE=Save changes?\r\n"));
        QVERIFY(!text.contains("Secret"));
        QVERIFY(!text.contains("btnGo"));
        // The original file has no menu name, so it is no menu language.
        QVERIFY(lang.ListLanguages().empty());

        QFile f(dir.path() + "/fr.bab");
        QVERIFY(f.open(QIODevice::WriteOnly));
        // 8-bit text (Windows-1252 "é") is decoded.
        f.write("menuname:&Fran\xe7\x61is\r\nhelpfile:aide.html\r\nfrmtest.LBLNAME=&Nom\xa0:\r\n"
                "frmTest.cbOnly=\r\nfrmTest.btnGo=Aller\r\nconfSave=Enregistrer ?\r\n"
                "frmTest.lblName=second wins not\r\n");
        f.close();
        QVERIFY(lang.SelectLanguage("Français"));
        QCOMPARE(lang.LanguageHelpFile, std::string("aide.html"));
        QCOMPARE(label->text(), QString::fromUtf8("&Nom\u00a0:"));
        QCOMPARE(box->text(), QString("&Only Folders"));
        QCOMPARE(button->text(), QString("Go"));
        QCOMPARE(QString::fromStdString(GetMessageText("confSave")), QString("Enregistrer ?"));
        QVERIFY(!lang.SelectLanguage("Klingon"));
        lang.LoadOriginalLanguage();
        QCOMPARE(label->text(), QString("&Name:"));
        QCOMPARE(QString::fromStdString(GetMessageText("confSave")), QString("Save changes?"));
    }

    void secondInstanceHandsItsFileOver() {
        QTemporaryDir dir;
        TSingleInstance first(dir.path());
        QVERIFY(first.TryLock());
        QString received;
        connect(&first, &TSingleInstance::FileReceived, this,
                [&](const QString& p) { received = p; });
        TSingleInstance second(dir.path());
        QVERIFY(!second.TryLock());
        // The hand-over blocks, so it runs on a helper thread while this one serves.
        QThread* t = QThread::create([&] {
            TSingleInstance client(dir.path());
            client.SendToRunning("/some/catalog.TXC");
        });
        t->start();
        QTRY_COMPARE(received, QString("/some/catalog.TXC"));
        t->wait();
        delete t;
    }
};

QTEST_MAIN(TestUiParts)
#include "ui_parts_test.moc"
