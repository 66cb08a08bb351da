// The main window's frame driven as a user would: title, tabs, menus, totals,
// and what it says when the desktop cannot open something.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "files/shell_services.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "space/space_map.h"
#include "support/main_window_fixture.h"
#include "support/modal_dialogs.h"
#include "support/named_widget.h"
#include "support/progress_tap.h"
#include "support/temp_folder.h"
#include "text/text_utils.h"
#include "ui/catalog_models.h"
#include "ui/dialog_common.h"
#include "ui/empty_catalog_bar.h"
#include "ui/main_window.h"
#include "ui/new_volume_dialog.h"
#include "ui/options_dialog.h"
#include "ui/panel_bar.h"
#include "ui/print_cover.h"
#include "ui/properties_dialog.h"
#include "ui/search_window.h"
#include "ui/ui_questions.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMimeData>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTreeView>
#include <deque>
#include <memory>
#include <unistd.h>

class TestMainWindowFrame : public QObject, public TMainWindowFixture {
    Q_OBJECT

private:
    TTreeNode* Child(TTreeNode* n, const char* text) { return n ? n->FindChild(text) : nullptr; }

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    // A desktop that opens nothing: a folder that exists was not "not found".
    void failedOpenSaysWhy() {
        struct TRefusingShell : IShellServices {
            std::vector<std::string> Asked;
            bool ShellOpen(const std::string& path) override {
                Asked.push_back(path);
                return false;
            }
            bool OpenURL(const std::string& url) override {
                Asked.push_back(url);
                return false;
            }
            std::string FileIconName(const std::string&) override { return {}; }
        } shell;
        SetShellServices(&shell);
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, WriteSource("opened", {{"d/a.txt", 10}, {"b.txt", 5}}), "O");
        QVERIFY(vol);
        w->SetTab(1);
        w->SelectNode(Child(vol, "d"));
        w->SetActiveView(w->NodesView());
        w->pmLVRealSourceClick();
        QCOMPARE(shell.Asked.size(), size_t(1));
        QCOMPARE(Errors.size(), 1);
        QVERIFY2(Errors[0].startsWith("No program could open ") && Errors[0].contains("opened"),
                 qPrintable(Errors[0]));
        // A file gone from the disc is not found.
        QVERIFY(QFile::remove(Path("opened/b.txt")));
        w->SelectNode(vol);
        w->SelectEntries({FolderOf(vol)->FindItem("b.txt")});
        w->SetActiveView(w->ListView());
        w->pmLVRealSourceClick();
        QCOMPARE(Errors.size(), 2);
        QVERIFY2(Errors[1].startsWith("File not found: "), qPrintable(Errors[1]));
        SetShellServices(nullptr);
        w->Lib().Modified = false;
    }

    // One catalog, one total: the line after loading, Library properties, the
    // tree's status, the list's and the space view all count alike: an archive
    // is a file of its own size, its members are counted apart.
    void oneCatalogOneTotal() {
        auto w = MakeWindow();
        w->GD().Sizes = 0; // bytes, so that no rounding hides a difference
        const QString src =
            WriteSource("totals", {{"a/b/c.bin", 100000}, {"a/d.bin", 20000}, {"e.bin", 3000}});
        QVERIFY(QFile::copy(TAMBLIX_TEST_DATA "/archives/basic.zip", src + "/a/pack.zip"));
        const int64_t zipSize = QFileInfo(src + "/a/pack.zip").size();
        const QString second = WriteSource("totals2", {{"f.bin", 400}});
        TTreeNode* vol = AddVolume(*w, src, "T");
        QVERIFY(AddVolume(*w, second, "U"));
        TTreeNode* pack = Child(Child(vol, "a"), "pack.zip");
        QVERIFY2(pack && FolderOf(pack)->Items().size() > 0, "the archive is read");
        int64_t members = 0;
        std::vector<TTreeNode*> todo{pack};
        while (!todo.empty()) {
            TTreeNode* n = todo.back();
            todo.pop_back();
            members += FolderOf(n)->ItemsCount();
            for (int i = 0; i < n->Count(); ++i)
                todo.push_back(n->Child(i));
        }
        const int64_t volTotal = 100000 + 20000 + 3000 + zipSize;
        const int64_t libTotal = volTotal + 400;
        auto text = [&](int64_t bytes) {
            return QString::fromStdString(FormatSize(0, double(bytes), GetMessageText("infoStrKB"),
                                                     GetMessageText("infoStrMB")));
        };
        auto totals = [&](int64_t bytes, int files, int folders, int64_t inArchives) {
            std::vector<std::string> args{Ss(text(bytes)), std::to_string(files),
                                          std::to_string(folders)};
            if (inArchives == 0)
                return QString::fromStdString(GetMessageText("infoTotalCounts", args));
            args.push_back(std::to_string(inArchives));
            return QString::fromStdString(GetMessageText("infoTotalMembers", args));
        };

        Paths = {Ss(Path("totals.TXC"))};
        w->tbSaveAsClick();
        w->Messages()->clear();
        QVERIFY(w->OpenFile(Ss(Path("totals.TXC")), false));
        const QString loaded = w->Messages()->toPlainText();
        QVERIFY2(loaded.contains("Folders: 2 Files: 5 Archive members: " +
                                 QString::number(members) + " Size: " + text(libTotal) + " "),
                 qPrintable(loaded));

        auto root = [&](const std::string& caption) -> TTreeNode* {
            for (int i = 0; i < w->Lib().Tree.RootCount(); ++i)
                if (FolderOf(w->Lib().Tree.Root(i))->Caption == caption)
                    return w->Lib().Tree.Root(i);
            return nullptr;
        };
        w->SetTab(1);
        w->SelectNode(root("T"));
        auto* tree = w->findChild<TPanelBar*>("sb_tree");
        QVERIFY(tree);
        QCOMPARE(tree->Text(1), totals(volTotal, 4, 2, members));
        TSpaceTotals space;
        space.Compute(root("T"));
        QCOMPARE(space.Of(root("T")).Size, volTotal);
        QCOMPARE(space.Of(root("T")).Files, 4);
        w->SelectNode(Child(root("T"), "a"));
        QCOMPARE(tree->Text(1), totals(volTotal - 3000, 3, 1, members));
        // A folder without subfolders: the list's figures are the tree's.
        w->SelectNode(Child(Child(root("T"), "a"), "b"));
        QCOMPARE(tree->Text(1), totals(100000, 1, 0, 0));
        QCOMPARE(w->ListStatus(0), MsgText("infoFiles", "1"));
        QCOMPARE(w->ListStatus(1), MsgText("infoSize", Ss(text(100000))));
        // The list beside its subfolder and archive names them apart.
        w->SelectNode(Child(root("T"), "a"));
        QCOMPARE(w->ListStatus(0), MsgText("infoFiles", "2") + "   " + MsgText("infoFol", "1"));
        QCOMPARE(w->ListStatus(1), MsgText("infoSize", Ss(text(20000 + zipSize))));

        bool shown = WithDialog<TfrmProperties>(
            [&] { w->miLibPropertiesClick(); },
            [&](TfrmProperties& d) {
                QCOMPARE(Named<QLineEdit>(&d, "infoFis")->text(), text(libTotal));
                QCOMPARE(Named<QLineEdit>(&d, "infoFi")->text(), QString::number(5));
                QCOMPARE(Named<QLineEdit>(&d, "infoMem")->text(), QString::number(members));
                QTest::qWait(200);
                QCOMPARE(Named<QLineEdit>(&d, "infoFis")->text(), text(libTotal));
                d.reject();
            });
        QVERIFY(shown);
    }

    // Logged lines reach the pane in order, also many at once: the pane keeps
    // the last 20,000, and whoever reads it sees every line logged so far.
    void messagePaneKeepsTheLastLinesInOrder() {
        auto w = MakeWindow();
        w->Messages()->clear();
        for (int i = 0; i < 50000; ++i)
            w->GD().Progress.LogMessage("line " + std::to_string(i));
        const QStringList lines = w->Messages()->toPlainText().split('\n');
        QCOMPARE(lines.size(), 20000);
        QCOMPARE(lines.first(), QStringLiteral("line 30000"));
        QCOMPARE(lines.last(), QStringLiteral("line 49999"));
        w->GD().Progress.LogMessage("after");
        // The pane catches up by itself too, without being asked.
        auto* pane = w->findChild<QPlainTextEdit*>(QStringLiteral("msgs"));
        QVERIFY(!pane->toPlainText().endsWith(QStringLiteral("after")));
        QTRY_VERIFY(pane->toPlainText().endsWith(QStringLiteral("line 49999\nafter")));
    }

    // Every menu level, and the window's top level (menu bar and tabs), gives
    // each mnemonic to one item only; in English and in German.
    void mnemonicsAreUnique() {
        auto w = MakeWindow();
        w->LoadLanguage();
        auto mnemonic = [](const QString& text) -> QChar {
            for (qsizetype i = text.indexOf('&'); i >= 0 && i + 1 < text.size();
                 i = text.indexOf('&', i + 2))
                if (text[i + 1] != '&') return text[i + 1].toUpper();
            return {};
        };
        QStringList clashes;
        auto check = [&](const QString& where, const QStringList& texts) {
            QHash<QChar, QString> seen;
            for (const QString& t : texts) {
                const QChar m = mnemonic(t);
                if (m.isNull()) continue;
                if (seen.contains(m)) clashes << where + ": " + seen.value(m) + " / " + t;
                seen.insert(m, t);
            }
        };
        for (const char* language : {"", "Deutsch"}) {
            if (*language) QVERIFY(w->Translator().SelectLanguage(language));
            QStringList top;
            for (QAction* a : w->menuBar()->actions())
                top << a->text();
            for (QTabBar* t : w->findChildren<QTabBar*>())
                if (t->window() == w.get())
                    for (int i = 0; i < t->count(); ++i)
                        top << t->tabText(i);
            check(QStringLiteral("top level"), top);
            for (QMenu* m : w->findChildren<QMenu*>()) {
                QStringList texts;
                for (QAction* a : m->actions())
                    if (!a->isSeparator() && a->isVisible()) texts << a->text();
                check(m->objectName() + " " + language, texts);
            }
        }
        w->miLoadOriginalLanguageClick();
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join('\n')));
    }

    // The title names the catalog's file and marks unsaved changes.
    void titleShowsFileAndUnsavedChanges() {
        auto w = MakeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Untitled[*]"));
        QVERIFY(!w->isWindowModified());
        TTreeNode* vol = AddVolume(*w, WriteSource("titled", {{"a.txt", 1}, {"b.txt", 2}}), "T");
        QVERIFY(vol);
        QVERIFY(w->isWindowModified());
        Paths = {Ss(Path("titled.TXC"))};
        w->tbSaveAsClick();
        QCOMPARE(w->windowTitle(), QStringLiteral("titled.TXC[*]"));
        QVERIFY(!w->isWindowModified());
        w->GD().ConfirmDeleteFile = false;
        w->SelectNode(vol);
        w->SelectEntries({FolderOf(vol)->FindItem("a.txt")});
        w->SetActiveView(w->ListView());
        w->tbDelClick();
        QVERIFY(w->isWindowModified());
        w->tbNewClick(); // asks to save: answered Yes
        QCOMPARE(w->windowTitle(), QStringLiteral("Untitled[*]"));
        // Nothing to save in a new catalog until something is added.
        QVERIFY(!w->isWindowModified());
    }

    // A catalog of volumes without collections opens on the Volume tab; with
    // collections the Collection tab stays.
    void openingVolumesShowsTheVolumeTab() {
        auto w = MakeWindow();
        QVERIFY(AddVolume(*w, WriteSource("tabs", {{"a.txt", 1}}), "V"));
        Paths = {Ss(Path("tabs.TXC"))};
        w->tbSaveAsClick();
        w->SetTab(0);
        QVERIFY(w->OpenFile(Ss(Path("tabs.TXC")), false));
        QCOMPARE(w->Tabs()->currentIndex(), 1);
        w->Lib().AddCollection(nullptr, "C");
        w->Lib().Modified = true;
        w->tbSaveClick();
        w->SetTab(0);
        QVERIFY(w->OpenFile(Ss(Path("tabs.TXC")), false));
        QCOMPARE(w->Tabs()->currentIndex(), 0);
        w->SetTab(2);
        QVERIFY(w->OpenFile(Ss(Path("tabs.TXC")), false));
        QCOMPARE(w->Tabs()->currentIndex(), 2);
    }

    // The search window opens over the main window and keeps the front after Locate.
    void searchWindowStaysInFront() {
        auto w = MakeWindow();
        QVERIFY(AddVolume(*w, WriteSource("found", {{"needle.txt", 5}, {"hay.txt", 5}}), "F"));
        w->GD().LocateMain = false;
        w->tbFindClick();
        TfrmSearch& s = w->SearchWindow();
        QVERIFY(QTest::qWaitForWindowActive(&s));
        QVERIFY(w->geometry().contains(s.geometry().center()));
        Named<QLineEdit>(&s, "edSearch")->setText("needle");
        s.tbFindClick();
        QCOMPARE(Named<QTreeView>(&s, "slv")->model()->rowCount(), 1);
        Named<QTreeView>(&s, "slv")->setCurrentIndex(
            Named<QTreeView>(&s, "slv")->model()->index(0, 0));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        s.pmiLocateClick(Named<QTreeView>(&s, "slv"));
        QVERIFY(QTest::qWaitForWindowActive(&s));
        QCOMPARE(w->SelectedEntries().size(), size_t(1));
        QCOMPARE(w->SelectedEntries()[0]->Caption.str(), std::string("needle.txt"));
        s.close();
        w->Lib().Modified = false;
    }

    // Deleting a volume says what goes with it and takes No on Enter, from
    // the menu as from the toolbar; a folder selected with its volume counts once.
    void deletingAVolumeSaysWhatGoesWithIt() {
        auto w = MakeWindow();
        const QString src = WriteSource(
            "delvol",
            {{"music/a.mp3", 1}, {"music/b.mp3", 2}, {"docs/sub/x.txt", 3}, {"top.txt", 4}});
        QVERIFY(QFile::copy(QStringLiteral(TAMBLIX_TEST_DATA "/archives/basic.zip"),
                            src + "/docs/basic.zip"));
        TTreeNode* vol = AddVolume(*w, src, "DelVol");
        QVERIFY(vol);
        w->GD().ConfirmDeleteVolume = true;
        w->SelectNode(vol);
        w->NodesView()->selectionModel()->select(w->NodesModel()->IndexOf(vol->FindChild("music")),
                                                 QItemSelectionModel::Select);
        QCOMPARE(w->SelectedNodes().size(), size_t(2));
        w->SetActiveView(w->NodesView());
        Asked.clear();
        Answers = {TAnswer::No};
        w->Action("miVDelete")->trigger();
        QCOMPARE(Asked.size(), size_t(1));
        QVERIFY(Asked[0].Buttons == TButtons::YesNoDefaultNo);
        const std::string& text = Asked[0].Arg;
        QVERIFY2(text.find("3 folders, 5 files and 3 archive members") != std::string::npos,
                 text.c_str());
        QCOMPARE(w->Lib().Tree.RootCount(), 1);
        // The toolbar's Delete asks the same; Yes deletes.
        Asked.clear();
        Answers = {TAnswer::Yes};
        w->SelectNode(vol);
        w->tbDelClick();
        QCOMPARE(Asked.size(), size_t(1));
        QVERIFY(Asked[0].Buttons == TButtons::YesNoDefaultNo);
        QCOMPARE(w->Lib().Tree.RootCount(), 0);
        w->Lib().Modified = false;
    }

    // An empty catalog says how to begin: Add Volume, Open Catalog and the
    // recent catalogs, one click each; it goes once the catalog holds a volume.
    void anEmptyCatalogSaysHowToBegin() {
        auto w = MakeWindow();
        TEmptyCatalogBar& bar = w->EmptyCatalogBar();
        QVERIFY(bar.isVisibleTo(w.get()));
        QVERIFY(Named<QAction>(&bar, "btnEmptyAdd"));
        // Only what works is on: no volume to update, no file to make a favorite.
        QVERIFY(w->Action("miVAdd")->isEnabled());
        QVERIFY(!w->Action("miVUpdate")->isEnabled());
        QVERIFY(!w->Action("tbDel")->isEnabled());
        QVERIFY(!w->Action("miAddFavorites")->isEnabled());
        TTreeNode* vol = AddVolume(*w, WriteSource("begin", {{"a.txt", 1}}), "Begin");
        QVERIFY(vol);
        QVERIFY(!bar.isVisibleTo(w.get()));
        QVERIFY(w->Action("miVUpdate")->isEnabled());
        QVERIFY(w->Action("tbDel")->isEnabled());
        const std::string file = Ss(Path("begin.TXC"));
        Paths = {file};
        w->tbSaveAsClick();
        QVERIFY(w->Action("miAddFavorites")->isEnabled());
        w->tbNewClick();
        QVERIFY(bar.isVisibleTo(w.get()));
        QPushButton* recent = nullptr;
        for (QPushButton* b : bar.findChildren<QPushButton*>())
            if (b->toolTip() == QString::fromStdString(file)) recent = b;
        QVERIFY(recent);
        QCOMPARE(recent->text(), QStringLiteral("begin.TXC"));
        recent->click();
        QCOMPARE(w->Lib().FileName, file);
        QVERIFY(!bar.isVisibleTo(w.get()));
        // Open Catalog asks for a file as the menu's Open does.
        w->tbNewClick();
        AskedForPath = false;
        Named<QAction>(&bar, "btnEmptyOpen")->trigger();
        QVERIFY(AskedForPath);
    }

    // The desktop's usual keys are there, no key of a window-wide command is
    // taken twice (keys bound to one view may repeat across views), and the
    // menus' texts read as written.
    void keysAreConventionalAndUnique() {
        auto w = MakeWindow();
        QCOMPARE(w->Action("miNew")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(w->Action("miSaveAs")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
        QVERIFY(w->Action("miExit")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
        // Two toolbar buttons never look the same.
        QVERIFY(w->Action("tbCat")->icon().pixmap(22).toImage() !=
                w->Action("tbOrgFavorites")->icon().pixmap(22).toImage());
        // Texts are UTF-8: no menu shows "â€¦" for an ellipsis.
        QCOMPARE(w->Action("miImpOther")->text(), QString::fromUtf8("Import Ot&her Catalog\u2026"));
        for (QAction* a : w->findChildren<QAction*>())
            QVERIFY2(!a->text().contains(QChar(0x00E2)), qPrintable(a->objectName()));
        QMap<QString, QString> taken;
        for (QAction* a : w->findChildren<QAction*>()) {
            if (a->shortcutContext() != Qt::WindowShortcut || a->objectName().isEmpty()) continue;
            for (const QKeySequence& k : a->shortcuts()) {
                const QString key = k.toString();
                QVERIFY2(!taken.contains(key),
                         qPrintable(key + ": " + taken.value(key) + " and " + a->objectName()));
                taken.insert(key, a->objectName());
            }
        }
    }

    // A settings file of its own keeps its list files beside it.
    void listFilesFollowTheSettingsFolder() {
        TfrmMain w(std::make_unique<TMemorySettingsStore>(), Ss(Path("profile")));
        for (const std::string& f :
             {w.GD().CategoriesFile, w.GD().LocationsFile, w.GD().FavoritesFile, w.GD().TagsFile})
            QVERIFY2(QString::fromStdString(f).startsWith(Path("profile") + "/"), f.c_str());
    }
};

QTEST_MAIN(TestMainWindowFrame)
#include "main_window_frame_test.moc"
