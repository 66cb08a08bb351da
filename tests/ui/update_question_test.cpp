// An update that would delete what it does not find, pointed at a source that
// looks like another medium (here: an empty folder), asks first.
#include "catalog/lib_obj.h"
#include "support/main_window_fixture.h"
#include "ui/main_window.h"

#include <QtCore/QDir>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeView>

class TestUpdateQuestion : public QObject, public TMainWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    // A volume scanned from a folder that is empty now (nothing mounted there).
    TTreeNode* VolumeOfEmptiedFolder(TfrmMain& w, QString& folder) {
        folder = WriteSource("disc", {{"a.mp3", 1000}, {"sub/b.txt", 10}});
        TTreeNode* vol = AddVolume(w, folder, "Disc");
        if (!vol || !QDir(folder).removeRecursively() || !QDir().mkpath(folder)) return nullptr;
        return vol;
    }

    void emptySourceAnsweredNoKeepsEverything() {
        auto w = MakeWindow();
        QString folder;
        TTreeNode* vol = VolumeOfEmptiedFolder(*w, folder);
        QVERIFY(vol);
        Answers = {TAnswer::No};
        QVERIFY(UpdateDeleting(*w, vol, folder));
        QCOMPARE(Asked.size(), size_t(1));
        QVERIFY2(Asked[0].Arg.find("empty") != std::string::npos, Asked[0].Arg.c_str());
        QCOMPARE(FolderOf(vol)->ItemsCount(), 2);
        QCOMPARE(vol->Count(), 1);
    }

    void emptySourceAnsweredYesDeletes() {
        auto w = MakeWindow();
        QString folder;
        TTreeNode* vol = VolumeOfEmptiedFolder(*w, folder);
        QVERIFY(vol);
        Answers = {TAnswer::Yes};
        QVERIFY(UpdateDeleting(*w, vol, folder));
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(FolderOf(vol)->ItemsCount(), 0);
        QCOMPARE(vol->Count(), 0);
    }
};

QTEST_MAIN(TestUpdateQuestion)
#include "update_question_test.moc"
