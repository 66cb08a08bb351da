// Library > Import Other Catalog in the main window: the menu command, the
// summary, and a refused file leaving the catalog as it was.
#include "catalog/lib_obj.h"
#include "support/main_window_fixture.h"
#include "support/temp_folder.h"
#include "ui/main_window.h"

#include <QtGui/QAction>
#include <QtTest/QtTest>

class TestPeerImport : public QObject, public TMainWindowFixture {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    void importsAndSummarises() {
        auto w = MakeWindow();
        const std::string file = tmp_.Write(
            "g.catalog", R"({"storages": [{"name": "Disc", "type": "storage", "children": [
              {"name": "a.txt", "filetype": "file", "size": 5, "maccess": 0}]}]})");
        Paths = {file};
        QAction* a = w->Action("miImpOther");
        QVERIFY(a);
        QVERIFY(a->text().remove(QLatin1Char('&')).startsWith("Import Other Catalog"));
        a->trigger();
        QCOMPARE(w->Lib().Tree.RootCount(), 1);
        QCOMPARE(FolderOf(w->Lib().Tree.Root(0))->Caption, std::string("Disc"));
        QVERIFY(w->Lib().Modified);
        QCOMPARE(Errors.size(), 1);
        QVERIFY2(Errors[0].contains("1 volumes, 0 folders, 1 files, 0 archive members, 0 errors"),
                 qPrintable(Errors[0]));

        // A damaged file: the error is shown and nothing changes.
        Errors.clear();
        w->Lib().Modified = false;
        const std::string bad = tmp_.Write("bad.catalog", "{\"storages\": [");
        Paths = {bad};
        a->trigger();
        QCOMPARE(w->Lib().Tree.RootCount(), 1);
        QVERIFY(!w->Lib().Modified);
        QCOMPARE(Errors.size(), 1);
        QVERIFY2(Errors[0].contains("Damaged catalog"), qPrintable(Errors[0]));

        // Cancelled file dialog: nothing happens.
        Errors.clear();
        Paths.clear(); // the file dialog is cancelled
        a->trigger();
        QCOMPARE(Errors.size(), 0);
    }

private:
    TTempFolder tmp_;
};

QTEST_MAIN(TestPeerImport)
#include "peer_import_test.moc"
