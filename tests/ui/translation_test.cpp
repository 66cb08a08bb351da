// The main window and the search window in the shipped German, and the
// language file the program writes for translators.
#include "settings/global_data.h"
#include "settings/settings_store.h"
#include "support/main_window_fixture.h"
#include "text/text_utils.h"
#include "ui/language_locale.h"
#include "ui/main_window.h"
#include "ui/multi_lang.h"
#include "ui/options_dialog.h"
#include "ui/search_window.h"
#include "ui/space_window.h"
#include "ui/ui_questions.h"

#include <QtCore/QFile>
#include <QtTest/QtTest>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDateEdit>
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
    void init() {
        ResetAnswers();
        ApplyLanguageLocale({});
    }

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
        // Also the Tools menu's entry, though the toolbar's drop-down took the menu over.
        for (QAction* a : w->findChild<QMenu*>("miTools")->actions())
            if (a->menu() == languages) QCOMPARE(a->text(), QString::fromUtf8("S&prachen"));
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

    // Shipped files name their locale by file name; a system locale finds the
    // file of its language, and of its country when the file names one.
    void localesOfLanguages() {
        QCOMPARE(LocaleOfLanguageFile("French.bab"), std::string("fr"));
        QCOMPARE(LocaleOfLanguageFile("portuguesebrazil.BAB"), std::string("pt_BR"));
        QCOMPARE(LocaleOfLanguageFile("Klingon.bab"), std::string());
        QVERIFY(LocaleServes("de", "de_AT"));
        QVERIFY(LocaleServes("pt_BR", "pt_BR"));
        QVERIFY(!LocaleServes("pt_BR", "pt_PT"));
        QVERIFY(!LocaleServes("de", "fr_FR"));
        QVERIFY(!LocaleServes("de", ""));
        const QByteArray all = qgetenv("LC_ALL");
        qunsetenv("LC_ALL");
        qputenv("LC_MESSAGES", "fr_CA.UTF-8");
        QCOMPARE(SystemMessagesLocale(), std::string("fr_CA"));
        qputenv("LC_ALL", "C");
        QCOMPARE(SystemMessagesLocale(), std::string());
        qputenv("LC_ALL", all);
        qunsetenv("LC_MESSAGES");
    }

    // On the first start the language is the system's when we ship it, and
    // English otherwise; a language chosen before is kept.
    void firstStartFollowsTheSystem() {
        const QByteArray all = qgetenv("LC_ALL");
        qunsetenv("LC_ALL");
        auto start = [](const char* lang, const std::string& chosen) {
            qputenv("LANG", lang);
            auto w = std::make_unique<TfrmMain>(std::make_unique<TMemorySettingsStore>());
            w->GD().Language = chosen;
            w->LoadLanguage();
            auto* languages = w->findChild<QMenu*>("miLanguages");
            return std::pair{w->Translator().LocaleName, languages->title()};
        };
        QCOMPARE(start("de_CH.UTF-8", ""), (std::pair{std::string("de"), QString("S&prachen")}));
        QCOMPARE(start("xx_YY.UTF-8", ""), (std::pair{std::string(), QString("&Languages")}));
        QCOMPARE(start("de_DE.UTF-8", "OriginalLanguage.bab"),
                 (std::pair{std::string(), QString("&Languages")}));
        qputenv("LC_ALL", all);
        qunsetenv("LANG");
    }

    // German dates, number marks and Qt's own texts; a right-to-left language
    // (named by a "locale:" line) mirrors the window; the original undoes it all.
    void conventionsFollowTheLanguage() {
        auto w = MakeWindow();
        w->LoadLanguage();
        auto* date = w->SearchWindow().findChild<QDateEdit*>("edDate1");
        const QString designFormat = date->displayFormat();
        date->setDate(QDate(2026, 12, 10));
        QVERIFY(w->Translator().SelectLanguage("Deutsch"));
        QCOMPARE(date->text(), QStringLiteral("10.12.2026"));
        QCOMPARE(FormatSize(0, int64_t{1234567}), std::string("1.234.567"));
        QCOMPARE(FormatSize(1, int64_t{1536}), std::string("1,50 KB"));
        QVERIFY(w->Translator().QtTranslated);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Abbrechen"));

        const QString path = w->Translator().UserLanguagesFolder() + "/Mirror.bab";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("menuname:Mirror\r\nhelpfile:\r\nlocale:ar\r\nfrmMain.miLanguages=Mirror\r\n");
        f.close();
        QVERIFY(w->Translator().SelectLanguage("Mirror"));
        QCOMPARE(w->Translator().LocaleName, std::string("ar"));
        QVERIFY(w->isRightToLeft());
        QVERIFY(w->ListView()->isRightToLeft());
        // Digits and their marks stay one number as they read right to left.
        QCOMPARE(FormatSize(0, int64_t{1234567}), std::string("1,234,567"));
        QCOMPARE(LeftToRight("/home/a/"), QString("\u200E/home/a/\u200E"));

        w->miLoadOriginalLanguageClick();
        QFile::remove(path);
        QVERIFY(!w->isRightToLeft());
        QCOMPARE(date->displayFormat(), designFormat);
        QCOMPARE(FormatSize(0, int64_t{1234567}), std::string("1 234 567"));
        QCOMPARE(LeftToRight("/home/a/"), QString("/home/a/"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
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
