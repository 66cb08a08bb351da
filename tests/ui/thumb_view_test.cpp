// The thumbnails in the desktop program: the grid of a folder, the picture in
// the information bar, on the properties dialog's File page and as a search
// result's tool tip; a damaged thumbnail file opens as no pictures.
#include "catalog/lib_obj.h"
#include "handlers/handlers.h"
#include "support/main_window_fixture.h"
#include "support/modal_dialogs.h"
#include "support/run_program.h"
#include "ui/catalog_models.h"
#include "ui/dialog_handler_view.h"
#include "ui/main_window.h"
#include "ui/new_volume_dialog.h"
#include "ui/properties_dialog.h"
#include "ui/search_models.h"
#include "ui/search_window.h"

#include <QtCore/QFile>
#include <QtGui/QAction>
#include <QtGui/QTextDocument>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListView>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QTreeWidget>

namespace {

// Pixels of the red block the fixture photos have in their top left.
int RedPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 80 && c.blue() < 80) ++n;
        }
    return n;
}

} // namespace

class TestThumbView : public QObject, public TMainWindowFixture {
    Q_OBJECT

    QString catalog_;

    std::unique_ptr<TfrmMain> OpenCatalog() {
        auto w = MakeWindow();
        if (!w->OpenFile(catalog_.toStdString(), false)) return nullptr;
        w->SelectNode(w->Lib().Tree.Root(0));
        return w;
    }
    void SelectEntry(TfrmMain& w, const char* name) {
        TEntryListModel* m = w.ListModel();
        for (int row = 0; row < m->rowCount(); ++row)
            if (m->EntryAt(row)->Caption.view() == name)
                w.ListView()->selectionModel()->setCurrentIndex(
                    m->index(row, 0),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase() {
        SetUpWindows();
        const QString disc = Path(QStringLiteral("disc"));
        QDir().mkpath(disc);
        for (const char* f : {"photo.jpg", "rotated.jpg", "photo.png", "phone.mp4"})
            QVERIFY(QFile::copy(QStringLiteral(TAMBLIX_TEST_DATA "/thumbs/") + QLatin1String(f),
                                disc + QLatin1Char('/') + QLatin1String(f)));
        QFile text(disc + QStringLiteral("/notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("no picture");
        text.close();
        catalog_ = Path(QStringLiteral("photos.txc"));
        const TProgramRun r = RunProgram(
            {TAMBLIX_CLI, "--settings", Path(QStringLiteral("cli.ini")).toStdString(), "scan",
             catalog_.toStdString(), disc.toStdString(), "--title", "D1", "--thumbnails"});
        QVERIFY2(r.ExitCode == 0, r.Err.c_str());
    }
    void init() { ResetAnswers(); }

    void gridShowsPicturesAndTheInfoBarTheSelectedOne() {
        auto w = OpenCatalog();
        QVERIFY(w);
        auto* stack = w->findChild<QStackedWidget*>(QStringLiteral("lvStack"));
        auto* grid = w->findChild<QListView*>(QStringLiteral("lvThumbs"));
        QVERIFY(stack && grid);
        w->Action(QStringLiteral("tbThumbs"))->trigger();
        QCOMPARE(stack->currentWidget(), grid);
        QVERIFY(w->Action(QStringLiteral("miFThumbnails"))->isChecked());
        // The pictures come in as the grid paints: the red block of the photos shows.
        QTRY_VERIFY_WITH_TIMEOUT(RedPixels(grid->viewport()->grab().toImage()) > 200, 5000);

        auto* info = w->findChild<QLabel*>(QStringLiteral("infoThumb"));
        QVERIFY(info);
        SelectEntry(*w, "rotated.jpg");
        QVERIFY(info->isVisible());
        QCOMPARE(info->pixmap().size(), QSize(256, 171)); // shown upright
        SelectEntry(*w, "phone.mp4");
        QCOMPARE(info->pixmap().size(), QSize(120, 160));
        SelectEntry(*w, "notes.txt");
        QVERIFY(!info->isVisible());

        // The toggle again: the details.
        w->Action(QStringLiteral("tbThumbs"))->trigger();
        QCOMPARE(stack->currentWidget(), static_cast<QWidget*>(w->ListView()));
        QVERIFY(!w->Action(QStringLiteral("tbThumbs"))->isChecked());
        w->Lib().Modified = false;
    }

    void propertiesAndSearchShowThePicture() {
        auto w = OpenCatalog();
        QVERIFY(w);
        SelectEntry(*w, "photo.png");
        w->SetActiveView(w->ListView());
        QSize shown;
        QVERIFY(WithDialog<TfrmProperties>([&] { w->pmLVPropertiesClick(); },
                                           [&](TfrmProperties& d) {
                                               auto* l = d.findChild<QLabel*>(
                                                   QStringLiteral("filethumb"));
                                               if (l && !l->isHidden()) shown = l->pixmap().size();
                                               d.reject();
                                           }));
        QCOMPARE(shown, QSize(171, 256));

        w->tbFindClick();
        TfrmSearch& search = w->SearchWindow();
        search.findChild<QLineEdit*>(QStringLiteral("edType"))->setText(QStringLiteral("jpg"));
        search.tbFindClick();
        QTRY_VERIFY(!search.Searching());
        const TSearchResultModel* results = search.ResultModel();
        QCOMPARE(results->rowCount(), 2);
        const QString tip = results->index(0, kColName).data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(QStringLiteral("<img src=\"data:image/jpeg;base64,")),
                 qPrintable(tip.left(60)));
        // The tool tip's rich text shows the picture itself.
        QTextDocument doc;
        doc.setHtml(tip);
        QVERIFY(doc.size().height() > 150);
        search.close();
        w->Lib().Modified = false;
    }

    void handlersPageCheckBoxSwitchesTheHandler() {
        auto w = MakeWindow();
        auto* cb = w->NewVolumeDialog().findChild<QCheckBox*>(QStringLiteral("cbThumbs"));
        QVERIFY(cb);
        QVERIFY(!cb->isChecked()); // off as shipped
        cb->setChecked(true);
        QVERIFY(w->Handlers().Find(kThumbnailsTitle)->Active);
        // The handler's own row says the same, and switching it there moves the box.
        auto* rows = w->NewVolumeDialog().findChild<THandlerView*>(QStringLiteral("lv_Ext"));
        QVERIFY(rows);
        rows->LoadView(); // as the dialog does when it shows
        const auto found = rows->findItems(QStringLiteral("Thumbnails"), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0]->checkState(0), Qt::Checked);
        found[0]->setCheckState(0, Qt::Unchecked);
        QVERIFY(!cb->isChecked());
        QVERIFY(!w->Handlers().Find(kThumbnailsTitle)->Active);
    }

    void damagedSidecarOpensWithoutPictures() {
        const QString side = catalog_ + QStringLiteral("-thumbs");
        const QString kept = Path(QStringLiteral("kept-thumbs"));
        QVERIFY(QFile::copy(side, kept));
        QFile f(side);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.write(QByteArray(100, 'x'));
        f.close();
        auto w = OpenCatalog();
        QVERIFY(w);
        QVERIFY(w->Messages()->toPlainText().contains(QStringLiteral("thumbnails cannot be read")));
        SelectEntry(*w, "photo.jpg");
        QVERIFY(!w->findChild<QLabel*>(QStringLiteral("infoThumb"))->isVisible());
        w->Lib().Modified = false;
        w.reset();
        QVERIFY(QFile::remove(side));
        QVERIFY(QFile::copy(kept, side));
    }
};

QTEST_MAIN(TestThumbView)
#include "thumb_view_test.moc"
