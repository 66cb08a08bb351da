// The space view inside the main window: what the picture shows, what a click
// selects, and how it follows changes of the catalog.
#include "catalog/lib_obj.h"
#include "support/catalog_builder.h"
#include "support/main_window_fixture.h"
#include "ui/main_window.h"
#include "ui/space_view.h"
#include "ui/space_window.h"

#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QTreeView>
#include <memory>

namespace {

QPoint Centre(const QRect& r) {
    return r.topLeft() + QPoint(r.width() / 2, r.height() / 2);
}

// The block standing for `name`; -1 when none.
int BlockNamed(TSpaceView& view, std::string_view name) {
    const auto& blocks = view.Map().Blocks();
    for (size_t i = 0; i < blocks.size(); ++i)
        if (blocks[i].Name() == name) return static_cast<int>(i);
    return -1;
}

bool InMenu(const QMenu* menu, const QString& actionName) {
    for (QAction* a : menu->actions())
        if (a->objectName() == actionName) return true;
    return false;
}

} // namespace

class TestSpaceView : public QObject, public TMainWindowFixture {
    Q_OBJECT

    std::unique_ptr<TfrmMain> w;
    TTreeNode* cd = nullptr;
    TTreeNode* music = nullptr;
    TTreeNode* jazz = nullptr;

    TSpaceView& Open(TTreeNode* node) {
        w->SelectNode(node);
        w->Action(QStringLiteral("miSpaceView"))->trigger();
        TfrmSpace& s = w->SpaceWindow();
        s.resize(800, 600);
        QCoreApplication::processEvents();
        return s.View();
    }

private slots:
    void initTestCase() { SetUpWindows(); }

    void init() {
        ResetAnswers();
        w = MakeWindow();
        TCatalogBuilder b(w->Lib());
        cd = b.Volume("CD");
        music = b.Folder(cd, "music");
        jazz = b.Folder(music, "jazz");
        b.File(jazz, "take five.mp3", 300000);
        b.File(jazz, "so what.mp3", 200000);
        b.File(music, "radio.ogg", 100000);
        b.File(cd, "movie.mkv", 600000);
        b.File(cd, "notes.txt", 50000);
        w->Lib().Recount();
        w->RebuildViews();
    }

    void cleanup() {
        w->Lib().Modified = false;
        w.reset();
    }

    void opensFromTheViewMenuAndTheNodeMenu() {
        QMenu* view = w->menuBar()->findChild<QMenu*>(QStringLiteral("miView"));
        QVERIFY(view && InMenu(view, QStringLiteral("miSpaceView")));
        QMenu* tree = w->findChild<QMenu*>(QStringLiteral("pmTv"));
        QVERIFY(tree && InMenu(tree, QStringLiteral("pmTvSpaceView")));

        w->SelectNode(music);
        w->Action(QStringLiteral("pmTvSpaceView"))->trigger();
        QCoreApplication::processEvents();
        TfrmSpace& s = w->SpaceWindow();
        QVERIFY(s.isVisible());
        QCOMPARE(s.View().Folder(), music);
        QVERIFY(s.PathText().contains(QStringLiteral("music")));
        QVERIFY(s.PathText().contains(QStringLiteral("3 files")));
    }

    void areasAreProportionalToSizes() {
        TSpaceView& view = Open(cd);
        const QSize size = view.size();
        QVERIFY(size.width() > 300 && size.height() > 200);
        const double total = 1250000, area = size.width() * size.height();
        for (const char* name : {"movie.mkv", "notes.txt", "music"}) {
            const int i = BlockNamed(view, name);
            QVERIFY2(i > 0, name);
            const TSpaceBlock& b = view.Map().Blocks()[static_cast<size_t>(i)];
            const QRect r = view.BlockRect(i);
            const double want = static_cast<double>(b.Size) / total * area;
            // Within the rounding of the block's edges to pixels.
            QVERIFY2(std::abs(r.width() * r.height() - want) <= r.width() + r.height() + 1, name);
        }
        QCOMPARE(view.Map().Blocks()[static_cast<size_t>(BlockNamed(view, "music"))].Size,
                 int64_t{600000});
        // The picture paints without a catalog read outside the map.
        QVERIFY(!view.grab().isNull());
    }

    void clickSelectsTheFolderInTheTree() {
        TSpaceView& view = Open(cd);
        // A file selects the folder that holds it.
        QTest::mouseClick(&view, Qt::LeftButton, {},
                          Centre(view.BlockRect(BlockNamed(view, "so what.mp3"))));
        QCOMPARE(w->SelectedNode(), jazz);
        // A folder's name strip selects that folder.
        const QRect m = view.BlockRect(BlockNamed(view, "music"));
        QTest::mouseClick(&view, Qt::LeftButton, {}, m.topLeft() + QPoint(6, 4));
        QCOMPARE(w->SelectedNode(), music);
        QTest::mouseClick(&view, Qt::LeftButton, {},
                          Centre(view.BlockRect(BlockNamed(view, "movie.mkv"))));
        QCOMPARE(w->SelectedNode(), cd);
        // The view itself stays on the volume; a double-click opens a folder, a right-click goes
        // up.
        QCOMPARE(view.Folder(), cd);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, m.topLeft() + QPoint(6, 4));
        // The window system ends a double-click with a release, on the new layout.
        QTest::mouseRelease(&view, Qt::LeftButton, {}, m.topLeft() + QPoint(6, 4));
        QCOMPARE(view.Folder(), music);
        // What was double-clicked stays selected, not what lands under the pointer after.
        QCOMPARE(w->SelectedNode(), music);
        QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(view.Folder(), cd);
    }

    void hoverNamesThePartAndItsLargestParts() {
        TSpaceView& view = Open(cd);
        const QRect m = view.BlockRect(BlockNamed(view, "music"));
        const QString tip = view.ToolTipAt(m.topLeft() + QPoint(6, 4));
        QVERIFY2(tip.contains(QStringLiteral("<b>music</b>")), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("586 KiB (600 000 bytes) in 3 files")),
                 qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("jazz &mdash; 488 KiB")), qPrintable(tip));
        QVERIFY2(tip.indexOf(QStringLiteral("jazz")) < tip.indexOf(QStringLiteral("radio.ogg")),
                 qPrintable(tip));
        const QString file =
            view.ToolTipAt(Centre(view.BlockRect(BlockNamed(view, "take five.mp3"))));
        QVERIFY2(file.contains(QStringLiteral("take five.mp3")), qPrintable(file));
        QVERIFY2(file.contains(QStringLiteral("293 KiB (300 000 bytes)")), qPrintable(file));
        QVERIFY2(file.contains(QStringLiteral("[CD]\\music\\jazz\\")), qPrintable(file));
        QVERIFY(view.ToolTipAt(QPoint(-5, -5)).isEmpty());
    }

    void followsDeletionsWithoutTouchingFreedRecords() {
        // A second volume of the same name: the view keeps to the one it showed.
        TCatalogBuilder b(w->Lib());
        TTreeNode* cd2 = b.Volume("CD");
        TTreeNode* docs = b.Folder(cd2, "music");
        b.File(docs, "other.flac", 999);
        w->Lib().Recount();
        w->RebuildViews();
        QCOMPARE(w->Lib().Tree.Root(1), cd2);

        TSpaceView& view = Open(docs);
        QCOMPARE(view.Folder(), docs);
        // Deleted through the window's own command, as a user would.
        w->SelectNode(cd);
        w->SelectEntries({FolderOf(cd)->FindItem("notes.txt")});
        w->SetActiveView(w->ListView());
        w->tbDelClick();
        QVERIFY(!FolderOf(cd)->FindItem("notes.txt"));
        QCOMPARE(view.Folder(), docs);

        // The shown folder goes: the view says so and paints.
        w->SelectNode(docs);
        w->SetActiveView(w->NodesView());
        w->tbDelClick();
        QCOMPARE(cd2->Count(), 0);
        QCOMPARE(view.Folder(), static_cast<TTreeNode*>(nullptr));
        QVERIFY(view.Map().Blocks().empty());
        QVERIFY(view.ToolTipAt(QPoint(10, 10)).isEmpty());
        QVERIFY(!view.grab().isNull());

        // New sizes show without reopening.
        TSpaceView& again = Open(music);
        b.File(music, "new.wav", 1000000);
        w->Lib().Recount();
        w->RebuildViews();
        QVERIFY(BlockNamed(again, "new.wav") > 0);
    }
};

QTEST_MAIN(TestSpaceView)
#include "space_view_test.moc"
