// Every window in every shipped language: each text a window shows comes from
// the language file or the message table, and no label, button, tab or column
// title is cut.
#include "handlers/handlers.h"
#include "support/main_window_fixture.h"
#include "ui/export_dialog.h"
#include "ui/file_ext_dialog.h"
#include "ui/handlers_dialog.h"
#include "ui/import_dialog.h"
#include "ui/main_window.h"
#include "ui/memo_dialog.h"
#include "ui/multi_lang.h"
#include "ui/new_volume_dialog.h"
#include "ui/options_dialog.h"
#include "ui/pick_list_dialog.h"
#include "ui/print_cover.h"
#include "ui/properties_dialog.h"
#include "ui/search_window.h"
#include "ui/space_window.h"
#include "ui/tags_dialog.h"
#include "ui/text_edit_dialog.h"
#include "ui/update_dialog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractSpinBox>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTreeView>
#include <functional>
#include <memory>

namespace {

const QChar kMark(0x2039); // a mark no English text holds

bool HasLetters(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isLetter(); });
}

// The fixed texts a window shows: captions, titles, fixed list items, column
// titles, menu items and toolbar hints. What the user typed or the catalog
// holds (edits, editable lists, the trees' rows) is not a text of the window.
// The controls of `window`, without those of the windows it owns.
QList<QWidget*> Controls(QWidget* window) {
    QList<QWidget*> out;
    for (QWidget* c : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (c->isWindow() && !qobject_cast<QMenu*>(c)) continue;
        out << c << Controls(c);
    }
    return out;
}

QStringList ShownTexts(QWidget* window) {
    QStringList out;
    out << window->windowTitle();
    for (QWidget* c : Controls(window)) {
        if (auto* l = qobject_cast<QLabel*>(c)) {
            // Labels without a name show data: a path, a count, a file name.
            if (!l->objectName().isEmpty()) out << l->text();
        } else if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            if (!b->objectName().startsWith(QLatin1String("qt_"))) out << b->text();
        } else if (auto* g = qobject_cast<QGroupBox*>(c)) {
            out << g->title();
        } else if (auto* t = qobject_cast<QTabBar*>(c)) {
            for (int i = 0; i < t->count(); ++i)
                out << t->tabText(i);
        } else if (auto* h = qobject_cast<QHeaderView*>(c)) {
            if (h->orientation() == Qt::Horizontal && h->model() && !h->isHidden())
                for (int i = 0; i < h->count(); ++i)
                    out << h->model()->headerData(i, Qt::Horizontal).toString();
        } else if (auto* cb = qobject_cast<QComboBox*>(c)) {
            if (!cb->isEditable())
                for (int i = 0; i < cb->count(); ++i)
                    out << cb->itemText(i);
        } else if (auto* s = qobject_cast<QAbstractSpinBox*>(c)) {
            out << s->specialValueText();
        } else if (auto* m = qobject_cast<QMenu*>(c)) {
            out << m->title();
        }
    }
    QList<QObject*> owners{window};
    for (QWidget* c : Controls(window))
        owners << c;
    for (QObject* o : owners)
        for (QAction* a : o->findChildren<QAction*>(Qt::FindDirectChildrenOnly)) {
            if (a->isSeparator() || a->objectName().isEmpty()) continue;
            out << a->text() << a->toolTip();
        }
    return out;
}

QStringList Untranslated(QWidget* window) {
    QStringList out;
    for (const QString& t : ShownTexts(window))
        if (HasLetters(t) && !t.contains(kMark)) out << t;
    out.removeDuplicates();
    return out;
}

// The Alt key of a text: the letter after a single "&".
QChar Accelerator(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Texts of one group sharing an Alt key.
QStringList Clashes(const QStringList& texts) {
    QHash<QChar, QString> seen;
    QStringList out;
    for (const QString& t : texts) {
        const QChar a = Accelerator(t);
        if (a.isNull()) continue;
        if (seen.contains(a))
            out << seen.value(a) + " / " + t;
        else
            seen.insert(a, t);
    }
    return out;
}

// The page of a tab widget `c` lies on, or null.
QWidget* PageOf(QWidget* c, QWidget* window) {
    for (QWidget* p = c->parentWidget(); p && p != window; p = p->parentWidget())
        if (p->parentWidget() && qobject_cast<QTabWidget*>(p->parentWidget()->parentWidget()))
            return p;
    return nullptr;
}

// Alt keys given twice: in one menu, or among a window's controls that show
// together (one page of a tab widget with what lies outside the pages).
QStringList AcceleratorClashes(QWidget* window) {
    QStringList out;
    QHash<QWidget*, QStringList> pages;
    QStringList outside;
    if (auto* mw = qobject_cast<QMainWindow*>(window))
        for (QAction* a : mw->menuBar()->actions())
            outside << a->text();
    for (QWidget* c : Controls(window)) {
        if (auto* m = qobject_cast<QMenu*>(c)) {
            QStringList items;
            for (QAction* a : m->actions())
                if (!a->isSeparator() && a->isVisible()) items << a->text();
            for (const QString& clash : Clashes(items))
                out << m->title() + ": " + clash;
            continue;
        }
        QWidget* page = PageOf(c, window);
        if (!c->isVisibleTo(page ? page : window)) continue;
        QStringList texts;
        if (auto* l = qobject_cast<QLabel*>(c); l && l->buddy()) texts << l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(c)) texts << b->text();
        if (auto* g = qobject_cast<QGroupBox*>(c)) texts << g->title();
        if (auto* t = qobject_cast<QTabBar*>(c))
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i);
        (page ? pages[page] : outside) << texts;
    }
    for (const QString& clash : Clashes(outside))
        out << clash;
    for (auto it = pages.cbegin(); it != pages.cend(); ++it)
        for (const QString& clash : Clashes(*it + outside))
            if (!out.contains(clash)) out << clash;
    return out;
}

// Labels, buttons and tabs shown narrower than their text needs.
QStringList CutTexts(QWidget* window) {
    QStringList out;
    for (QWidget* c : Controls(window)) {
        if (!c->isVisible() || c->width() <= 0) continue;
        if (auto* t = qobject_cast<QTabBar*>(c)) {
            for (int i = 0; i < t->count(); ++i)
                if (t->tabRect(i).right() >= t->width()) out << t->tabText(i);
            continue;
        }
        QString text;
        if (auto* l = qobject_cast<QLabel*>(c); l && !l->wordWrap() && !l->objectName().isEmpty())
            text = l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(c)) text = b->text();
        if (HasLetters(text) && c->width() < c->sizeHint().width())
            out << QStringLiteral("%1 (%2 < %3)")
                       .arg(text)
                       .arg(c->width())
                       .arg(c->sizeHint().width());
    }
    return out;
}

} // namespace

class TestLanguageWindows : public QObject, public TMainWindowFixture {
    Q_OBJECT

    std::unique_ptr<TfrmMain> w_;

    // Each window and dialog of the program, made, shown and handed to `check`.
    void EveryWindow(const std::function<void(QWidget*)>& check) {
        TfrmMain& w = *w_;
        QApplication::processEvents(); // the layout after the texts changed
        check(&w);
        for (QWidget* shown :
             std::initializer_list<QWidget*>{&w.SearchWindow(), &w.SpaceWindow()}) {
            shown->show();
            QApplication::processEvents();
            check(shown);
            shown->hide();
        }
        THandlerList handlers;
        std::vector<std::unique_ptr<QWidget>> made;
        made.emplace_back(new TfrmOptions(w.GD(), w.Store(), &w));
        made.emplace_back(new TfrmProperties(w.GD(), w.Store(), &w));
        made.emplace_back(new TfrmPrintCover(w.GD(), w.Store(), &w));
        made.emplace_back(new TfrmMemo(w.Store(), &w));
        made.emplace_back(new TfrmTextEdit(w.Store(), &w));
        made.emplace_back(new TfrmTags(w.Store(), &w));
        made.emplace_back(new TfrmPickList(w.Store(), &w));
        made.emplace_back(new TfrmHandlers(handlers, w.Store(), &w));
        made.emplace_back(new TfrmFileExtProp(w.Store(), &w));
        std::vector<QWidget*> dialogs{&w.NewVolumeDialog(), &w.UpdateDialog(), &w.ExportDialog(),
                                      &w.ImportDialog()};
        for (auto& m : made)
            dialogs.push_back(m.get());
        for (QWidget* d : dialogs) {
            d->show();
            QApplication::processEvents();
            check(d);
            d->hide();
        }
    }

private slots:
    void initTestCase() {
        SetUpWindows();
        w_ = MakeWindow();
        w_->LoadLanguage();
    }
    void cleanupTestCase() { w_.reset(); }

    void everyLanguageFits_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << QString();
        for (const TMultiLang::TLanguageFile& f : w_->Translator().ListLanguages())
            QTest::newRow(qPrintable(QFileInfo(f.Path).fileName())) << f.MenuName;
    }

    // In every language each label, button and tab shows whole, and no menu or
    // dialog gives one Alt key to two controls.
    void everyLanguageFits() {
        QFETCH(QString, language);
        if (language.isEmpty())
            w_->miLoadOriginalLanguageClick();
        else
            QVERIFY(w_->Translator().SelectLanguage(language.toStdString()));
        QStringList faults;
        EveryWindow([&](QWidget* window) {
            for (const QString& t : CutTexts(window))
                faults << window->objectName() + " cut: " + t;
            for (const QString& t : AcceleratorClashes(window))
                faults << window->objectName() + " Alt key: " + t;
        });
        w_->miLoadOriginalLanguageClick();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // A language whose every text is marked shows the mark in every fixed
    // text of every window: nothing is left as the program was built.
    void everyTextComesFromTheLanguage() {
        const QString path = Path("data/Tamblix/languages/Marked.bab");
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("menuname:Marked\r\nhelpfile:\r\n");
        // The design texts of every window, as the program wrote them at start.
        QFile original(w_->Translator().UserLanguagesFolder() + "/OriginalLanguage.bab");
        QVERIFY(original.open(QIODevice::ReadOnly));
        for (const QString& line : QString::fromUtf8(original.readAll()).split("\r\n")) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0) f.write((line.left(eq + 1) + kMark + line.mid(eq + 1) + "\r\n").toUtf8());
        }
        f.close();
        QVERIFY(w_->Translator().SelectLanguage("Marked"));
        QStringList left;
        EveryWindow([&](QWidget* window) {
            for (const QString& t : Untranslated(window))
                left << window->objectName() + ": " + t;
        });
        w_->miLoadOriginalLanguageClick();
        QFile::remove(path);
        QVERIFY2(left.isEmpty(), qPrintable(left.join('\n')));
    }
};

QTEST_MAIN(TestLanguageWindows)
#include "language_windows_test.moc"
