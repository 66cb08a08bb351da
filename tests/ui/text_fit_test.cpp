// Texts the user reads are shown whole where there is room: translated option
// pages, the search window's dates, names in the list and icon views; and
// small things that once went wrong without anyone noticing.
#include "platform/qt_settings_store.h"
#include "settings/global_data.h"
#include "support/main_window_fixture.h"
#include "text/text_utils.h"
#include "ui/catalog_models.h"
#include "ui/main_window.h"
#include "ui/memo_dialog.h"
#include "ui/multi_lang.h"
#include "ui/options_dialog.h"
#include "ui/panel_bar.h"
#include "ui/print_cover.h"
#include "ui/search_window.h"
#include "ui/text_edit_dialog.h"

#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListView>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTreeView>

class TestTextFit : public QObject, public TMainWindowFixture {
    Q_OBJECT

    // The visible labels and buttons of `page` whose text is cut.
    static QStringList CutTexts(QWidget* page) {
        QStringList cut;
        for (QWidget* c : page->findChildren<QWidget*>()) {
            if (!c->isVisible()) continue;
            QString text;
            if (auto* l = qobject_cast<QLabel*>(c)) text = l->text();
            if (auto* b = qobject_cast<QAbstractButton*>(c)) text = b->text();
            if (!text.isEmpty() && c->width() < c->sizeHint().width()) cut << text;
        }
        return cut;
    }

    // The row of `name` in the window's entry list.
    static int Row(TfrmMain& w, const char* name) {
        for (int r = 0; r < w.ListModel()->rowCount(); ++r)
            if (w.ListModel()->index(r, 0).data().toString() == QLatin1String(name)) return r;
        return -1;
    }

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    // In German every tab, check box and label of the options shows whole,
    // and a file name of the usual length fits its box.
    void germanOptionsShowWhole() {
        auto w = MakeWindow();
        w->LoadLanguage();
        QVERIFY(w->Translator().SelectLanguage("Deutsch"));
        const QString fav = QStringLiteral("/home/benutzerin/.config/Tamblix/Favoritenliste.txt");
        w->GD().FavoritesFile = fav.toStdString();
        TfrmOptions dlg(w->GD(), w->Store(), w.get());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* save = dlg.findChild<QAbstractButton*>("cbSave");
        auto* pages = dlg.findChild<QTabWidget*>("pcOpt");
        auto* favorites = dlg.findChild<QLineEdit*>("edFav");
        QVERIFY(save && pages && favorites);
        QCOMPARE(save->text(), QString::fromUtf8("Einstellungen beim Beenden &speichern"));
        QTabBar* tabs = pages->tabBar();
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY2(tabs->tabRect(i).right() < tabs->width(), qPrintable(tabs->tabText(i)));
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QApplication::processEvents();
            const QStringList cut = CutTexts(pages->widget(i));
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(" | ")));
        }
        QVERIFY(favorites->width() > favorites->fontMetrics().horizontalAdvance(fav));
        dlg.reject();
        w->miLoadOriginalLanguageClick();
    }

    // A date with its time fits the search results' Date column as it opens.
    void searchDateColumnFitsADate() {
        auto w = MakeWindow();
        auto* slv = w->SearchWindow().findChild<QTreeView*>("slv");
        QVERIFY(slv);
        const QString date = QString::fromStdString(FormatDateTime(46000.5833));
        QCOMPARE(date, QStringLiteral("2025-12-09 13:59:57"));
        QVERIFY(slv->columnWidth(5) >= slv->fontMetrics().horizontalAdvance(date) + 12);
    }

    // List and Large Icons give a name the width it needs, whatever the
    // folder's first name is.
    void listAndIconViewsShowWholeNames() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(
            *w,
            WriteSource("names",
                        {{"a", 1}, {"README.txt", 10}, {"Konzertmitschnitt 1994.flac", 20}}),
            "Names");
        QVERIFY(vol);
        w->SelectNode(vol);
        auto* icons = w->findChild<QListView*>("lvIcons");
        QVERIFY(icons);
        for (const char* style : {"miFList", "miFLargeIcons", "miFSmallIcons"}) {
            w->Action(style)->trigger();
            QApplication::processEvents();
            QVERIFY(icons->isVisible());
            for (const char* name : {"README.txt", "Konzertmitschnitt 1994.flac"}) {
                const int row = Row(*w, name);
                QVERIFY(row >= 0);
                const QRect r = icons->visualRect(w->ListModel()->index(row, 0));
                const int text = icons->fontMetrics().horizontalAdvance(QLatin1String(name));
                // Large icons wrap a long name onto a second line.
                const int need = icons->viewMode() == QListView::IconMode
                                     ? std::min(text, 180)
                                     : text + icons->iconSize().width();
                QVERIFY2(r.width() >= need,
                         qPrintable(
                             QString("%1 %2: %3 < %4").arg(style, name).arg(r.width()).arg(need)));
            }
        }
        w->Action("miFDetails")->trigger();
        w->Lib().Modified = false;
    }

    // The list editor takes typed text at once: its text box has the focus.
    void listEditorOpensWithFocusInItsText() {
        auto w = MakeWindow();
        TfrmTextEdit dlg(w->Store(), w.get());
        dlg.SetLines({"one"});
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget*>(dlg.Memo()));
        dlg.reject();
    }

    // The main status bar has a line's height before any text is shown.
    void emptyStatusBarHasALinesHeight() {
        auto w = MakeWindow();
        auto* bar = w->findChild<TPanelBar*>("sb_main");
        QVERIFY(bar);
        QVERIFY(bar->height() >= bar->fontMetrics().height());
    }

    // A narrow bar of counts shows its total whole; the first panel gives way.
    void countsBarShowsItsTotalWhole() {
        QWidget host;
        TPanelBar bar(QStringLiteral("sb_test"), 2, &host);
        bar.SetText(0, QStringLiteral("Items: 5"));
        bar.SetText(1, QStringLiteral("Total: 7 000 000"));
        bar.resize(230, bar.sizeHint().height());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        const QList<QLabel*> labels = bar.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 2);
        for (QLabel* l : labels)
            QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
    }

    // Picture numbers from 10 up read as numbers, not as "…".
    void memoPicturesFromTenUpShowTheirNumber() {
        auto w = MakeWindow();
        TfrmMemo dlg(w->Store(), w.get());
        QList<QIcon> images;
        QPixmap px(16, 16);
        px.fill(Qt::red);
        for (int i = 0; i < 12; ++i)
            images << QIcon(px);
        dlg.SetImages(images);
        dlg.SetImageIndex(11);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QComboBox* pic = dlg.cbpic();
        QCOMPARE(pic->currentText(), QStringLiteral("11"));
        QCOMPARE(pic->itemText(11), QStringLiteral("10"));
        // The box is wide enough for its widest item.
        QVERIFY(pic->width() >= pic->sizeHint().width());
        dlg.reject();
    }

    // The sort column chosen under Arrange Icons is still checked after a restart.
    void arrangeIconsCheckSurvivesARestart() {
        const std::string ini = Path("arrange.ini").toStdString();
        {
            TfrmMain w(CreateSettingsStore(ini));
            w.GD().ActionEndBeep = false;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.Action("miFSize")->trigger();
            QVERIFY(w.Action("miFSize")->isChecked());
            QVERIFY(w.close());
        }
        TfrmMain w(CreateSettingsStore(ini));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.Action("miFSize")->isChecked());
        QVERIFY(!w.Action("miFName")->isChecked());
        QVERIFY(w.Action("pmLVSize")->isChecked());
        QVERIFY(w.close());
    }

    // A cover saved under a name without an ending becomes a ".pdf" file.
    void coverPdfGetsItsEnding() {
        auto w = MakeWindow();
        TfrmPrintCover dlg(w->GD(), w->Store(), w.get());
        const QString saved = dlg.SavePdf(Path("cover"));
        QCOMPARE(saved, Path("cover.pdf"));
        QFile pdf(saved);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.read(5), QByteArray("%PDF-"));
        QVERIFY(!QFile::exists(Path("cover")));
    }
};

QTEST_MAIN(TestTextFit)
#include "text_fit_test.moc"
