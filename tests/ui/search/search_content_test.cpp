// The search window's duplicates by content and its tag ranges, driven as a
// user would: the checksum handler switched on, a volume added, the controls set.
#include "catalog/lib_obj.h"
#include "handlers/handlers.h"
#include "settings/message_table.h"
#include "support/main_window_fixture.h"
#include "support/named_widget.h"
#include "support/window_grab.h"
#include "ui/main_window.h"
#include "ui/search_models.h"
#include "ui/search_window.h"

#include <QtCore/QDate>
#include <QtCore/QFile>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDateEdit>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTreeView>
#include <algorithm>

namespace {

std::vector<std::string> Names(const TSearchResultModel* m) {
    std::vector<std::string> out;
    for (int r = 0; r < m->rowCount(); ++r)
        out.push_back(m->EntryAt(r)->Caption.str());
    return out;
}

} // namespace

class TestSearchContent : public QObject, public TMainWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { SetUpWindows(); }

    void init() { ResetAnswers(); }

    void duplicatesByContentAndTagRanges() {
        auto w = MakeWindow();
        w->Handlers().Check(w->Handlers().Find("Checksum"), true);
        // Same-size files hold the same bytes; "other" is of that size too but differs.
        QString src = WriteSource("v", {{"a.bin", 100},
                                        {"copies/renamed.dat", 100},
                                        {"unique.bin", 101},
                                        {"empty1", 0},
                                        {"sub/empty2", 0}});
        {
            QFile f(src + "/other");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(100, 'y'));
        }
        TTreeNode* vol = AddVolume(*w, src, "Disc");
        QVERIFY(vol);

        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        Named<QCheckBox>(&s, "cbDup")->setChecked(true);
        Named<QComboBox>(&s, "cbDupMode")->setCurrentIndex(1);
        s.tbFindClick();
        QCOMPARE(Named<QStackedWidget>(&s, "lvStack")->currentWidget(),
                 static_cast<QWidget*>(Named<QTreeView>(&s, "slvdup")));
        // Empty files are all alike and waste nothing: counted, not listed.
        std::vector<std::string> dups = Names(s.DupModel());
        std::sort(dups.begin(), dups.end());
        QCOMPARE(dups, (std::vector<std::string>{"a.bin", "renamed.dat"}));
        QVERIFY(s.StatusText(5).contains(
            QString::fromStdString(GetMessageText("infoNoChecksum", "0"))));
        QVERIFY(s.StatusText(5).endsWith(
            QString::fromStdString(GetMessageText("infoEmptyLeftOut", "2"))));
        // The duplicates list numbers the groups in a column of its own.
        const TSearchResultModel* dm = s.DupModel();
        QCOMPARE(dm->columnCount(), kSearchColumnCount + 1);
        QCOMPARE(dm->headerData(kSearchColumnCount, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Group"));
        QCOMPARE(dm->data(dm->index(1, kSearchColumnCount), Qt::DisplayRole).toString(),
                 QStringLiteral("1"));
        QCOMPARE(s.ResultModel()->columnCount(), kSearchColumnCount);
        Named<QTabWidget>(&s, "pcFind")->setCurrentIndex(5);
        GrabWindow(&s, "search_content_duplicates");

        // By name again: no duplicate names here, and no checksum count.
        Named<QComboBox>(&s, "cbDupMode")->setCurrentIndex(0);
        s.tbFindClick();
        QCOMPARE(s.DupModel()->rowCount(), 0);
        QCOMPARE(s.StatusText(5), QString::fromStdString(GetMessageText("infoFindResults", "0")));

        // Ranges on the advanced page, over tag lines the video and photo
        // readers write.
        TLibFolder* root = FolderOf(vol);
        root->FindItem("a.bin")->TagInfo.SetText("DurationSec=90.5\r\n");
        root->FindItem("unique.bin")->TagInfo.SetText("DurationSec=30\r\n");
        root->FindItem("other")->TagInfo.SetText("DateTaken=2024-05-01T12:00:00\r\n");
        Named<QCheckBox>(&s, "cbDup")->setChecked(false);
        Named<QTabWidget>(&s, "pcFind")->setCurrentIndex(1);
        QVERIFY(!Named<QDoubleSpinBox>(&s, "edDuration1")->isEnabled());
        Named<QCheckBox>(&s, "cbDuration")->setChecked(true);
        QVERIFY(Named<QDoubleSpinBox>(&s, "edDuration1")->isEnabled());
        Named<QDoubleSpinBox>(&s, "edDuration1")->setValue(60);
        QCOMPARE(Named<QDoubleSpinBox>(&s, "edDuration2")->text(), QStringLiteral("Any"));
        s.tbFindClick();
        QCOMPARE(Names(s.ResultModel()), (std::vector<std::string>{"a.bin"}));
        Named<QDoubleSpinBox>(&s, "edDuration1")
            ->setValue(Named<QDoubleSpinBox>(&s, "edDuration1")->minimum());
        Named<QDoubleSpinBox>(&s, "edDuration2")->setValue(60);
        s.tbFindClick();
        QCOMPARE(Names(s.ResultModel()), (std::vector<std::string>{"unique.bin"}));
        Named<QCheckBox>(&s, "cbDuration")->setChecked(false);
        Named<QCheckBox>(&s, "cbTaken")->setChecked(true);
        Named<QDateEdit>(&s, "edTaken1")->setDate(QDate(2024, 5, 1));
        Named<QDateEdit>(&s, "edTaken2")->setDate(QDate(2024, 5, 1));
        s.tbFindClick();
        QCOMPARE(Names(s.ResultModel()), (std::vector<std::string>{"other"}));
        GrabWindow(&s, "search_tag_ranges");
        Named<QDateEdit>(&s, "edTaken1")->setDate(QDate(2024, 5, 2));
        Named<QDateEdit>(&s, "edTaken2")->setDate(QDate(2024, 6, 1));
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 0);
        // New Search unticks them: everything is found again.
        s.tbNewClick();
        QVERIFY(!Named<QCheckBox>(&s, "cbTaken")->isChecked() &&
                !Named<QCheckBox>(&s, "cbDuration")->isChecked());
        s.tbFindClick();
        QCOMPARE(s.ResultModel()->rowCount(), 8); // six files and two folders
        w->Lib().Modified = false;
    }
};

QTEST_MAIN(TestSearchContent)
#include "search_content_test.moc"
