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

private:
    // A volume scanned from a folder that is empty now (nothing mounted there),
    // updated from that folder deleting what is not found, the question
    // answered with `answer`. Null when a step failed.
    TTreeNode* UpdatedFromEmptiedFolder(TfrmMain& w, TAnswer answer) {
        const QString folder = WriteSource("disc", {{"a.mp3", 1000}, {"sub/b.txt", 10}});
        TTreeNode* vol = AddVolume(w, folder, "Disc");
        if (!vol || !QDir(folder).removeRecursively() || !QDir().mkpath(folder)) return nullptr;
        Answers = {answer};
        return UpdateDeleting(w, vol, folder) ? vol : nullptr;
    }

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    void emptySourceAnsweredNoKeepsEverything() {
        auto w = MakeWindow();
        TTreeNode* vol = UpdatedFromEmptiedFolder(*w, TAnswer::No);
        QVERIFY(vol);
        QCOMPARE(Asked.size(), size_t(1));
        QVERIFY2(Asked[0].Arg.find("empty") != std::string::npos, Asked[0].Arg.c_str());
        QCOMPARE(FolderOf(vol)->ItemsCount(), 2);
        QCOMPARE(vol->Count(), 1);
    }

    void emptySourceAnsweredYesDeletes() {
        auto w = MakeWindow();
        TTreeNode* vol = UpdatedFromEmptiedFolder(*w, TAnswer::Yes);
        QVERIFY(vol);
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(FolderOf(vol)->ItemsCount(), 0);
        QCOMPARE(vol->Count(), 0);
    }
};

QTEST_MAIN(TestUpdateQuestion)
#include "update_question_test.moc"
