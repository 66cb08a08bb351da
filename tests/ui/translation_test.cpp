// The main window and the search window in the shipped German, and the
// language file the program writes for translators.
#include "support/main_window_fixture.h"
#include "ui/main_window.h"
#include "ui/multi_lang.h"
#include "ui/options_dialog.h"
#include "ui/search_window.h"
#include "ui/space_window.h"
#include "ui/ui_questions.h"

#include <QtCore/QFile>
#include <QtTest/QtTest>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeView>
#include <algorithm>

class TestTranslation : public QObject, public TMainWindowFixture {
    Q_OBJECT

private:
    static QString Header(QTreeView* v, int column) {
        return v->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    void searchWindowAndMenusInGerman() {
        auto w = MakeWindow();
        w->LoadLanguage();
        TfrmSearch& search = w->SearchWindow();
        auto* slv = search.findChild<QTreeView*>("slv");
        auto* dup = search.findChild<QTreeView*>("slvdup");
        auto* col = search.findChild<QTreeView*>("lvCol");
        QVERIFY(slv && dup && col);
        QMenu* languages = w->findChild<QMenu*>("miLanguages");
        QVERIFY(languages);
        const int languageCount = int(languages->actions().size());

        QVERIFY(w->Translator().SelectLanguage("Deutsch"));
        for (QTreeView* v : {slv, dup}) {
            QCOMPARE(Header(v, 2), QString::fromUtf8("Datenträger"));
            QCOMPARE(Header(v, 4), QString::fromUtf8("Größe"));
            QCOMPARE(Header(v, 8), QString::fromUtf8("Duplikate"));
            // What the header widget paints, not only what the model holds.
            QCOMPARE(v->header()->model()->headerData(5, Qt::Horizontal).toString(),
                     QString::fromUtf8("Datum"));
        }
        QCOMPARE(languages->title(), QString::fromUtf8("S&prachen"));
        // The languages stay as they are called in their own files.
        QCOMPARE(int(languages->actions().size()), languageCount);
        const QList<QAction*> names = languages->actions();
        QVERIFY(std::any_of(names.begin(), names.end(),
                            [](QAction* a) { return a->text() == QLatin1String("Deutsch"); }));

        // Back to the original: the texts return, the search headers too.
        w->miLoadOriginalLanguageClick();
        QCOMPARE(Header(slv, 4), QStringLiteral("Size"));
        QCOMPARE(Header(dup, 8), QStringLiteral("Duplicates"));
        QCOMPARE(languages->title(), QStringLiteral("&Languages"));
    }

    // Buttons, the search window's fixed choices and computed texts follow the
    // language, and come back when the original is loaded.
    void germanButtonsAndComputedTexts() {
        auto w = MakeWindow();
        w->LoadLanguage();
        QVERIFY(w->Translator().SelectLanguage("Deutsch"));
        auto texts = [&] {
            TfrmOptions dlg(w->GD(), w->Store(), w.get());
            dlg.show();
            QStringList out;
            for (const char* name : {"OKBtn", "CancelBtn", "btnReset"})
                out << dlg.findChild<QPushButton*>(name)->text();
            dlg.reject();
            QMessageBox box(QMessageBox::Question, {}, {}, QMessageBox::Yes | QMessageBox::No);
            TranslateButtons(box);
            out << box.button(QMessageBox::Yes)->text() << box.button(QMessageBox::No)->text();
            TfrmSearch& search = w->SearchWindow();
            out << search.findChild<QDoubleSpinBox*>("edDuration1")->specialValueText()
                << search.findChild<QComboBox*>("cbDupMode")->itemText(0);
            out << w->SpaceWindow().findChild<QToolButton*>("btnUp")->text();
            out << TUiQuestions::CatalogFilter();
            return out;
        };
        QCOMPARE(texts(), (QStringList{"OK", "Abbrechen", "Standardwerte", "&Ja", "&Nein",
                                       "Beliebig", "Nach Name", "&Nach oben",
                                       "Kataloge (*.TXC *.txc);;Alle Dateien (*)"}));
        w->miLoadOriginalLanguageClick();
        QCOMPARE(texts(), (QStringList{"OK", "Cancel", "Defaults", "&Yes", "&No", "Any", "By Name",
                                       "&Up", "Catalogs (*.TXC *.txc);;All Files (*)"}));
    }

    // The exported file holds every column of both result lists and the
    // submenu titles, but not the language names or recent files below them.
    void exportedLanguageFileIsComplete() {
        auto w = MakeWindow();
        w->LoadLanguage();
        const QString path = Path("export.bab");
        w->Translator().WriteLanguage(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        for (const char* list : {"slv", "slvdup"})
            for (int i = 0; i < 11; ++i)
                QVERIFY2(
                    !lines.filter(QStringLiteral("frmSearch.%1.%2=").arg(list).arg(i)).isEmpty(),
                    list);
        QVERIFY(lines.contains(QStringLiteral("frmSearch.slvdup.8=Duplicates")));
        QVERIFY(lines.contains(QStringLiteral("frmMain.miLanguages=&Languages")));
        QVERIFY(lines.contains(QStringLiteral("frmMain.miReopen=&Reopen Library")));
        QVERIFY(lines.filter(QStringLiteral("Deutsch")).isEmpty());
    }
};

QTEST_MAIN(TestTranslation)
#include "translation_test.moc"
