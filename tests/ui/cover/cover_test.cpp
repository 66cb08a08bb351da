// The disc-case insert: what lands where on the page, cut and continued lists,
// the PDF it writes, and the settings it keeps. TAMBLIX_GRAB_DIR=folder also
// saves a picture of the window and of a rendered page.

#include "catalog/lib_records.h"
#include "settings/global_data.h"
#include "settings/settings_helpers.h"
#include "settings/settings_store.h"
#include "support/window_grab.h"
#include "ui/cover_painter.h"
#include "ui/print_cover.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtGui/QFontMetricsF>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtTest/QtTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>

namespace {

QStringList Tracks(int n) {
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out << QStringLiteral("Track %1").arg(i);
    return out;
}

TCoverData Sample(int lines) {
    TCoverData d;
    d.LabelL = QStringLiteral("Summer Mix");
    d.LabelR = QStringLiteral("Summer Mix");
    d.Bottom = QStringLiteral("2024-06-01 512 MB");
    d.Front = d.Back = d.List = Tracks(lines);
    return d;
}

QFont TestFont(int points = 10) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(points);
    return f;
}

// An A4 page (10 mm margins left out) at `dpi`, white.
QImage PageImage(int dpi = 150) {
    const double dpm = dpi / 0.0254;
    QImage img(static_cast<int>(190 / 25.4 * dpi), static_cast<int>(277 / 25.4 * dpi),
               QImage::Format_RGB32);
    img.setDotsPerMeterX(static_cast<int>(dpm));
    img.setDotsPerMeterY(static_cast<int>(dpm));
    img.fill(Qt::white);
    return img;
}

struct TRendered {
    QImage Image;
    TCoverPageInfo Info;
};

TRendered Render(const TCoverPainter& cp, TCoverLayout layout, int page = 0) {
    TRendered r{PageImage(), {}};
    QPainter p(&r.Image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    TCoverPainter::SetUnits(p, r.Image);
    r.Info = cp.PaintPage(p, layout, page, TCoverPainter::PageRect(r.Image));
    return r;
}

// Inked pixels inside `box` (tenths of a millimetre) of an image made by Render.
int DarkPixels(const QImage& img, const QRect& box) {
    const double s = img.dotsPerMeterX() * 0.0254 / 254.0;
    QRect px(static_cast<int>(box.left() * s), static_cast<int>(box.top() * s),
             static_cast<int>(box.width() * s), static_cast<int>(box.height() * s));
    px = px.intersected(img.rect());
    int n = 0;
    for (int y = px.top(); y <= px.bottom(); ++y)
        for (int x = px.left(); x <= px.right(); ++x)
            if (qGray(img.pixel(x, y)) < 192) ++n;
    return n;
}

// Page objects of a PDF ("/Type /Page", not "/Pages").
int PdfPages(const QByteArray& pdf) {
    static const QRegularExpression re(QStringLiteral("/Type\\s*/Page(?![s\\w])"));
    int n = 0;
    for (auto it = re.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next())
        ++n;
    return n;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCover : public QObject {
    Q_OBJECT
private slots:
    void numbering();
    void coverPlacesLinesInTheirAreas();
    void longListsAreCutAtTheirArea();
    void spineLabelsFitTheSpine();
    void listRunsOnOverPages();
    void pdfFiles();
    void windowFillsFromFolder();
    void settingsRoundTrip();
    void badStoredSettings();
    void largeFolder();
};

void TestCover::numbering() {
    // Twelve lines: two digits up to 09, then 10, 11; counted from 0.
    QCOMPARE(TCoverPainter::NumberedLine(0, 12, "A"), QStringLiteral("00. A"));
    QCOMPARE(TCoverPainter::NumberedLine(9, 12, "A"), QStringLiteral("09. A"));
    QCOMPARE(TCoverPainter::NumberedLine(10, 12, "A"), QStringLiteral("10. A"));
    QCOMPARE(TCoverPainter::NumberedLine(0, 5, "A"), QStringLiteral("0. A"));
    QCOMPARE(TCoverPainter::NumberedLine(4, 5, "A"), QStringLiteral("4. A"));
    QCOMPARE(TCoverPainter::NumberedLine(9, 10, "A"), QStringLiteral("9. A"));

    TCoverData d = Sample(12);
    d.Number = true;
    TRendered r = Render(TCoverPainter(d, TestFont(), Qt::black), TCoverLayout::Cover);
    QCOMPARE(r.Info.FrontLines.size(), size_t(12));
    QCOMPARE(r.Info.FrontLines[0].Text, QStringLiteral("00. Track 1"));
    QCOMPARE(r.Info.FrontLines[11].Text, QStringLiteral("11. Track 12"));
    QCOMPARE(r.Info.BackLines[9].Text, QStringLiteral("09. Track 10"));
}

void TestCover::coverPlacesLinesInTheirAreas() {
    TCoverPainter cp(Sample(5), TestFont(), Qt::black);
    TRendered r = Render(cp, TCoverLayout::Cover);
    const QRect page = TCoverPainter::PageRect(r.Image);
    QCOMPARE(cp.PageCount(TCoverLayout::Cover, page), 1);

    // Front square centred at the top, back sheet right below it.
    QCOMPARE(r.Info.Front.size(), QSize(1205, 1205));
    QCOMPARE(r.Info.Front.left(), (page.width() - 1205) / 2);
    QCOMPARE(r.Info.Front.top(), 0);
    QCOMPARE(r.Info.Back, QRect((page.width() - 1515) / 2, 1205, 1515, 1175));

    // Lines step by h + h / 4 from 50 below the top, inside the margins.
    const int h = TCoverPainter::ScaledFont(TestFont(), 10).pixelSize();
    QCOMPARE(r.Info.FrontLines.size(), size_t(5));
    const QRect first = r.Info.FrontLines[0].Box;
    QCOMPARE(first.topLeft(), QPoint(r.Info.Front.left() + 50, 50));
    QCOMPARE(first.width(), 1205 - 100);
    QCOMPARE(r.Info.FrontLines[1].Box.top(), 50 + h + h / 4);
    QCOMPARE(r.Info.BackLines[0].Box.topLeft(), QPoint(r.Info.Back.left() + 120, 1205 + 50));
    QCOMPARE(r.Info.BackLines[0].Box.width(), 1515 - 240);

    // Ink where the first line is, none in the empty part of the square.
    QVERIFY(DarkPixels(r.Image, first) > 20);
    QRect emptyFront(r.Info.Front.left() + 60, 600, 1000, 400);
    QCOMPARE(DarkPixels(r.Image, emptyFront), 0);
    // The outline is drawn.
    QVERIFY(DarkPixels(r.Image, QRect(r.Info.Front.left() - 3, 200, 10, 500)) > 50);
    // The bottom line sits inside the back sheet, between the spines.
    QVERIFY(!r.Info.BottomBox.isEmpty());
    QVERIFY(r.Info.Back.contains(r.Info.BottomBox));
    QVERIFY(r.Info.BottomBox.left() >= r.Info.SpineL.right());
    QVERIFY(DarkPixels(r.Image, r.Info.BottomBox) > 20);

    // No bottom text, no bottom line.
    TCoverData d = Sample(5);
    d.Bottom.clear();
    QVERIFY(Render(TCoverPainter(d, TestFont(), Qt::black), TCoverLayout::Cover)
                .Info.BottomBox.isEmpty());
}

void TestCover::longListsAreCutAtTheirArea() {
    TCoverPainter cp(Sample(200), TestFont(12), Qt::black);
    TRendered r = Render(cp, TCoverLayout::Cover);
    const int h = TCoverPainter::ScaledFont(TestFont(12), 12).pixelSize();
    const int step = h + h / 4;
    // The front stops before a line would pass the square's bottom less 12.
    const size_t front = r.Info.FrontLines.size();
    QVERIFY(front > 10 && front < 200);
    QCOMPARE(static_cast<int>(front), (1205 - 12 - 50) / step);
    QVERIFY(r.Info.FrontLines.back().Box.bottom() < 1205 - 12);
    // The back stops above the bottom line instead of printing over it.
    QVERIFY(r.Info.BackLines.size() < 200);
    QVERIFY(r.Info.BackLines.back().Box.bottom() < r.Info.BottomBox.top());
    // Cut lines go to no other page.
    QCOMPARE(cp.PageCount(TCoverLayout::Cover, TCoverPainter::PageRect(r.Image)), 1);

    // A line wider than the square is cut at the margin: no ink outside it.
    TCoverData wide = Sample(1);
    wide.Front = QStringList{QString(300, QLatin1Char('W'))};
    TRendered w = Render(TCoverPainter(wide, TestFont(), Qt::black), TCoverLayout::Cover);
    QVERIFY(DarkPixels(w.Image, w.Info.FrontLines[0].Box) > 100);
    QRect rightMargin(w.Info.Front.right() - 45, 50, 40, 60);
    QCOMPARE(DarkPixels(w.Image, rightMargin), 0);
}

void TestCover::spineLabelsFitTheSpine() {
    TCoverData d = Sample(3);
    d.LabelL = QStringLiteral("A very long volume title that cannot possibly fit the spine of "
                              "a disc case at this size, ending here");
    d.LabelR = d.LabelL;
    TRendered r = Render(TCoverPainter(d, TestFont(), Qt::black), TCoverLayout::Cover);

    // Shortened from its end until it fits 1175 - 2 * 50.
    QVERIFY(r.Info.LabelL.size() < d.LabelL.size());
    QVERIFY(d.LabelL.startsWith(r.Info.LabelL));
    QFont f = TCoverPainter::ScaledFont(TestFont(), 28);
    f.setPixelSize(r.Info.LabelPixelSize);
    QFontMetricsF fm(f);
    QVERIFY(fm.horizontalAdvance(r.Info.LabelL) <= 1075);
    QString oneMore = d.LabelL.left(r.Info.LabelL.size() + 1);
    QVERIFY(fm.horizontalAdvance(oneMore) > 1075);
    // The label's letters stay within the spine's width.
    QVERIFY(fm.height() < 70);

    // Ink in both spines, none in the band between spine and text area.
    QVERIFY(DarkPixels(r.Image, r.Info.SpineL.adjusted(4, 4, -4, -4)) > 100);
    QVERIFY(DarkPixels(r.Image, r.Info.SpineR.adjusted(4, 4, -4, -4)) > 100);
    QRect gap(r.Info.SpineL.right() + 6, 1205 + 200, 40, 700);
    QCOMPARE(DarkPixels(r.Image, gap), 0);
    // The left label reads upwards from the bottom: ink near the bottom.
    QVERIFY(DarkPixels(r.Image, QRect(r.Info.SpineL.left() + 4, 1205 + 1175 - 200, 62, 140)) > 10);

    // A short label keeps every character; an empty one draws nothing.
    d.LabelL = QStringLiteral("Disc 1");
    QCOMPARE(Render(TCoverPainter(d, TestFont(), Qt::black), TCoverLayout::Cover).Info.LabelL,
             QStringLiteral("Disc 1"));
    d.LabelL.clear();
    QCOMPARE(Render(TCoverPainter(d, TestFont(), Qt::black), TCoverLayout::Cover).Info.LabelL,
             QString());
}

void TestCover::listRunsOnOverPages() {
    TCoverPainter cp(Sample(300), TestFont(), Qt::black);
    QImage img = PageImage();
    const QRect page = TCoverPainter::PageRect(img);
    const int pages = cp.PageCount(TCoverLayout::List, page);
    QVERIFY(pages > 1);
    // Every line once, in order, each inside its page.
    QStringList seen;
    for (int i = 0; i < pages; ++i) {
        TRendered r = Render(cp, TCoverLayout::List, i);
        QVERIFY(!r.Info.ListLines.empty());
        QCOMPARE(r.Info.ListLines[0].Box.topLeft(), QPoint(0, 0));
        for (const auto& line : r.Info.ListLines) {
            QVERIFY(line.Box.bottom() <= page.bottom());
            seen << line.Text;
        }
        if (i == 0) QVERIFY(DarkPixels(r.Image, r.Info.ListLines[0].Box) > 20);
    }
    QCOMPARE(seen, Tracks(300));
    // An empty list is still one (blank) page.
    TCoverData empty;
    QCOMPARE(TCoverPainter(empty, TestFont(), Qt::black).PageCount(TCoverLayout::List, page), 1);
}

void TestCover::pdfFiles() {
    QTemporaryDir tmp;
    TGlobalData gd(Ss(tmp.path()));
    TMemorySettingsStore store;
    TfrmPrintCover dlg(gd, store);
    TLibFolder folder;
    folder.Caption = "Summer Mix";
    std::vector<std::unique_ptr<TLibFolderItem>> owned;
    std::vector<const TLibFolderItem*> rows;
    for (int i = 0; i < 250; ++i) {
        auto e = std::make_unique<TLibFolderItem>();
        e->Caption = ("Song " + std::to_string(i)).c_str();
        rows.push_back(e.get());
        owned.push_back(std::move(e));
    }
    dlg.FillData(&folder, rows);

    const QString cover = tmp.filePath("cover.pdf");
    dlg.SavePdf(cover);
    QByteArray pdf = ReadAll(cover);
    QVERIFY(pdf.startsWith("%PDF"));
    QCOMPARE(PdfPages(pdf), 1);
    QCOMPARE(dlg.PreviewPageCount(), 1);

    dlg.SetLayout(TCoverLayout::List);
    const QString list = tmp.filePath("list.pdf");
    dlg.SavePdf(list);
    pdf = ReadAll(list);
    QVERIFY(pdf.startsWith("%PDF"));
    const int pages = PdfPages(pdf);
    QVERIFY(pages >= 3);
    QCOMPARE(dlg.PreviewPageCount(), pages);

    // A name without a suffix gets ".pdf"; another suffix is the user's choice.
    QCOMPARE(dlg.SavePdf(tmp.filePath("plain")), tmp.filePath("plain.pdf"));
    QVERIFY(ReadAll(tmp.filePath("plain.pdf")).startsWith("%PDF"));
    QVERIFY(!QFile::exists(tmp.filePath("plain")));
    QCOMPARE(dlg.SavePdf(tmp.filePath("cover.out")), tmp.filePath("cover.out"));

    // A folder that cannot be written to: an error, and no file left behind.
    const QString bad = tmp.filePath("missing/sub/x.pdf");
    QVERIFY_THROWS_EXCEPTION(std::exception, dlg.SavePdf(bad));
    QVERIFY(!QFile::exists(bad));
    QVERIFY_THROWS_EXCEPTION(std::exception, dlg.SavePdf(QString()));
}

void TestCover::windowFillsFromFolder() {
    QTemporaryDir tmp;
    TGlobalData gd(Ss(tmp.path()));
    TMemorySettingsStore store;
    TfrmPrintCover dlg(gd, store);
    TLibFolder folder;
    folder.Caption = "Disc 7";
    folder.Date = 45292.0; // 2024-01-01
    folder.VolumeSize = 2048;
    TLibFolderItem a, b;
    a.Caption = "Zulu.mp3";
    b.Caption = "Alpha.mp3";
    // List order, not sorted order.
    dlg.FillData(&folder, {&a, &b});
    TCoverData d = dlg.Data();
    QCOMPARE(d.Front, QStringList({"Zulu.mp3", "Alpha.mp3"}));
    QCOMPARE(d.Back, d.Front);
    QCOMPARE(d.List, d.Front);
    QCOMPARE(d.LabelL, QStringLiteral("Disc 7"));
    QCOMPARE(d.LabelR, QStringLiteral("Disc 7"));
    QCOMPARE(d.Bottom, QStringLiteral("2024-01-01 2 048"));
    QCOMPARE(dlg.JobTitle(), QStringLiteral("Disc 7"));

    // Edits are what is drawn; Reset Data brings the catalog's texts back.
    dlg.findChild<QPlainTextEdit*>("itemsFront")->setPlainText("One\nTwo\n");
    dlg.findChild<QLineEdit*>("edLabelL")->setText("Edited");
    dlg.findChild<QCheckBox*>("cbNumber")->setChecked(true);
    QCOMPARE(dlg.Data().Front, QStringList({"One", "Two"}));
    QVERIFY(dlg.Data().Number);
    dlg.tbResetDataClick();
    QCOMPARE(dlg.Data().Front, QStringList({"Zulu.mp3", "Alpha.mp3"}));
    QCOMPARE(dlg.Data().LabelL, QStringLiteral("Disc 7"));

    // No folder: empty labels, nothing breaks.
    dlg.FillData(nullptr, {});
    QVERIFY(dlg.Data().Front.isEmpty());
    QVERIFY(dlg.Data().Bottom.isEmpty());
    QCOMPARE(dlg.PreviewPageCount(), 1);

    // The controls carry their programming names.
    for (const char* name : {"pgCover", "edLabelL", "edLabelR", "edBottom", "cbNumber",
                             "itemsFront", "itemsBack", "itemsList", "tbData", "cbZoom"})
        QVERIFY2(dlg.findChild<QWidget*>(name), name);
    for (const char* name :
         {"tbResetData", "tbCover", "tbList", "tbPrint", "tbFont", "tbRefreshPreview"})
        QVERIFY2(dlg.findChild<QAction*>(name), name);
    QCOMPARE(dlg.objectName(), QStringLiteral("frmPrintCover"));

    // Pictures to look at.
    dlg.FillData(&folder, {&a, &b});
    dlg.resize(900, 640);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    GrabWindow(&dlg, "cover_window");
    if (QString dir = GrabFolder(); !dir.isEmpty()) {
        TCoverData s = Sample(14);
        s.Number = true;
        GrabImage(
            Render(TCoverPainter(s, TestFont(), QColor(20, 40, 120)), TCoverLayout::Cover).Image,
            "cover_page");
        GrabImage(Render(TCoverPainter(s, TestFont(), Qt::black), TCoverLayout::List).Image,
                  "cover_list");
        dlg.findChild<QLineEdit*>("edLabelL")
            ->setText("A rather long title for the left spine, long enough to be cut short");
        dlg.SavePdf(dir + "/cover.pdf");
        dlg.SetLayout(TCoverLayout::List);
        GrabWindow(&dlg, "cover_window_list");
    }
    dlg.reject();
}

void TestCover::settingsRoundTrip() {
    QTemporaryDir tmp;
    TMemorySettingsStore store;
    {
        TGlobalData gd(Ss(tmp.path()));
        gd.FontCharSet = 238;
        TfrmPrintCover dlg(gd, store);
        // A first opening fits the page, whatever the default index says.
        QCOMPARE(dlg.ZoomIndex(), int(TfrmPrintCover::kZoomFit));
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPointSize(14);
        f.setBold(true);
        f.setItalic(true);
        f.setStrikeOut(true);
        dlg.SetPreviewFont(f, QColor(10, 20, 30));
        dlg.SetZoomIndex(TfrmPrintCover::kZoom50);
        dlg.show();
        dlg.reject();
        QCOMPARE(gd.Zoom, int(TfrmPrintCover::kZoom50));
        QCOMPARE(gd.FontName, std::string("DejaVu Serif"));
        QCOMPARE(gd.FontSize, 14);
        QCOMPARE(gd.FontColor, 10 | (20 << 8) | (30 << 16));
        QCOMPARE(gd.FontStyles, (std::array<bool, 4>{true, true, false, true}));
        QCOMPARE(gd.FontCharSet, 238);
        gd.SaveSettings(store);
    }
    TGlobalData gd(Ss(tmp.path()));
    gd.LoadSettings(store);
    TfrmPrintCover dlg(gd, store);
    QCOMPARE(dlg.ZoomIndex(), int(TfrmPrintCover::kZoom50));
    QCOMPARE(dlg.PreviewFont().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(dlg.PreviewFont().pointSize(), 14);
    QVERIFY(dlg.PreviewFont().bold() && dlg.PreviewFont().italic());
    QVERIFY(!dlg.PreviewFont().underline() && dlg.PreviewFont().strikeOut());
    QCOMPARE(dlg.PreviewColor(), QColor(10, 20, 30));
    QCOMPARE(dlg.findChild<QComboBox*>("cbZoom")->currentText(), QStringLiteral("50 %"));
}

void TestCover::badStoredSettings() {
    QTemporaryDir tmp;
    TMemorySettingsStore store;
    SavePlacement(store, PlacementKey("frmPrintCover"), TPlacement{10, 10, 800, 600});
    TGlobalData gd(Ss(tmp.path()));
    gd.FontName = "DejaVu Sans";
    gd.FontSize = 1000000; // damaged: the window must stay usable
    gd.FontColor = -2147483640;
    gd.Zoom = 99;
    TfrmPrintCover dlg(gd, store);
    QCOMPARE(dlg.ZoomIndex(), int(TfrmPrintCover::kZoomFit));
    QVERIFY(dlg.PreviewFont().pointSize() <= 200);
    QCOMPARE(dlg.PreviewColor(), QColor(Qt::black));
    std::vector<const TLibFolderItem*> none;
    dlg.FillData(nullptr, none);
    dlg.findChild<QPlainTextEdit*>("itemsList")->setPlainText("x\ny\nz");
    dlg.SetLayout(TCoverLayout::List);
    QVERIFY(dlg.PreviewPageCount() >= 1);
    // No zoom, no font stored yet: the defaults apply.
    TGlobalData fresh(Ss(tmp.path()));
    TMemorySettingsStore empty;
    TfrmPrintCover plain(fresh, empty);
    QCOMPARE(plain.ZoomIndex(), int(TfrmPrintCover::kZoomFit));
    QCOMPARE(plain.PreviewFont().pointSize(), 10);
}

void TestCover::largeFolder() {
    // A folder of 100,000 files opens in the cover layout without delay; the
    // list layout pages all of it.
    QTemporaryDir tmp;
    TGlobalData gd(Ss(tmp.path()));
    TMemorySettingsStore store;
    TfrmPrintCover dlg(gd, store);
    std::vector<TLibFolderItem> items(100000);
    std::vector<const TLibFolderItem*> rows;
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].Caption = ("File " + std::to_string(i) + ".dat").c_str();
        rows.push_back(&items[i]);
    }
    QElapsedTimer t;
    t.start();
    dlg.FillData(nullptr, rows);
    const qint64 fill = t.elapsed();
    QCOMPARE(dlg.PreviewPageCount(), 1);
    t.restart();
    dlg.SetLayout(TCoverLayout::List);
    const qint64 list = t.elapsed();
    qInfo("fill %lld ms, list of %d pages %lld ms", fill, dlg.PreviewPageCount(), list);
    QVERIFY(dlg.PreviewPageCount() > 1000);
    QVERIFY(fill < 20000 && list < 60000);
}

QTEST_MAIN(TestCover)
#include "cover_test.moc"
