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
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractSpinBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QTabBar>
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

} // namespace

class TestLanguageWindows : public QObject, public TMainWindowFixture {
    Q_OBJECT

    std::unique_ptr<TfrmMain> w_;

    // Each window and dialog of the program, made, shown and handed to `check`.
    void EveryWindow(const std::function<void(QWidget*)>& check) {
        TfrmMain& w = *w_;
        check(&w);
        for (QWidget* shown :
             std::initializer_list<QWidget*>{&w.SearchWindow(), &w.SpaceWindow()}) {
            shown->show();
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
