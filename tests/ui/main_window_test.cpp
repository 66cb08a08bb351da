// The main window driven as a user would: dialogs answered by timers, message
// boxes by scripted answers.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "files/shell_services.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
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

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QMimeData>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QTreeView>
#include <deque>
#include <memory>
#include <unistd.h>

class TestMainWindow : public QObject, public TMainWindowFixture {
    Q_OBJECT

private:
    // A volume to scan: folders and files of known sizes.
    QString MakeSource(const QString& name) {
        return WriteSource(name, {{"music/b.mp3", 3000},
                                  {"music/a.mp3", 1000},
                                  {"music/C.mp3", 2000},
                                  {"docs/readme.txt", 10},
                                  {"docs/sub/x.txt", 20},
                                  {"Zeta.bin", 500},
                                  {"alpha.txt", 40000}});
    }

    TTreeNode* Child(TTreeNode* n, const char* text) { return n ? n->FindChild(text) : nullptr; }

    std::vector<std::string> ListCaptions(TfrmMain& w) {
        std::vector<std::string> out;
        for (int r = 0; r < w.ListModel()->rowCount(); ++r)
            out.push_back(w.ListModel()->EntryAt(r)->Caption.str());
        return out;
    }

private slots:
    void initTestCase() { SetUpWindows(); }
    void init() { ResetAnswers(); }

    // Saving where the folder is read-only says so and offers Save As. Root
    // may write anywhere, so as root the case runs again as the user 65534,
    // from a copy of this program that user can reach.
    void saveIntoReadOnlyFolderOffersSaveAs() {
        if (::geteuid() == 0) {
            QTemporaryDir exeDir;
            QFile::setPermissions(exeDir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner | QFile::ReadOther |
                                                     QFile::ExeOther);
            const QString copy = exeDir.filePath("main_window_test");
            QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--", copy,
                                "saveIntoReadOnlyFolderOffersSaveAs"});
            QVERIFY(p.waitForFinished(300000));
            const QByteArray out = p.readAll();
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, out.constData());
            QVERIFY2(out.contains("PASS   : TestMainWindow::saveIntoReadOnlyFolderOffersSaveAs"),
                     out.constData());
            return;
        }
        auto w = MakeWindow();
        QVERIFY(AddVolume(*w, MakeSource("ro-src"), "RO"));
        const QString ro = Path("ro");
        QVERIFY(QDir().mkpath(ro));
        const std::string first = Ss(ro + "/cat.txc"), second = Ss(Path("elsewhere.txc"));
        Paths = {first};
        w->tbSaveAsClick();
        QVERIFY(QFile::exists(QString::fromStdString(first)));
        const auto keep = QFile::permissions(ro);
        QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner);
        QFile::setPermissions(QString::fromStdString(first), QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray before = [&] {
            QFile f(QString::fromStdString(first));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        w->Lib().Modified = true;
        Asked.clear();
        Paths = {second};
        w->tbSaveClick();
        QFile::setPermissions(ro, keep);
        QVERIFY(!Asked.empty());
        QCOMPARE(Asked.back().Key, std::string("confSaveElsewhere"));
        QCOMPARE(w->Lib().FileName, second);
        QVERIFY(!w->Lib().Modified);
        QVERIFY(QFile::exists(QString::fromStdString(second)));
        QVERIFY(Errors.isEmpty());
        QFile f(QString::fromStdString(first));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QCOMPARE(QDir(ro).entryList(QDir::Hidden | QDir::Files).size(), 1);
    }

    // Add a volume through the dialog; its folders show in the tree, its files in the list.
    void addVolumeShowsFoldersAndFiles() {
        auto w = MakeWindow();
        QString src = MakeSource("vol1");
        TTreeNode* vol = AddVolume(*w, src, "First");
        QVERIFY(vol);
        QCOMPARE(QString::fromStdString(vol->Text()), QString("First"));
        QCOMPARE(w->Lib().VolumeCount, 1);
        QVERIFY(w->Lib().Modified);
        // The tree model shows the volume's folders.
        QModelIndex vi = w->NodesModel()->IndexOf(vol);
        QVERIFY(vi.isValid());
        QCOMPARE(w->NodesModel()->rowCount(vi), 2); // docs, music
        TTreeNode* music = Child(vol, "music");
        QVERIFY(music);
        w->SelectNode(music);
        QCOMPARE(w->ListModel()->rowCount(), 3);
        QCOMPARE(w->ListStatus(0), QString::fromStdString(GetMessageText("infoFiles", "3")));
        // The message pane got the summary line.
        QVERIFY(w->Messages()->toPlainText().contains("Volumes: 1"));
        w->Lib().Modified = false;
    }

    void listSortsByNameFoldersFirstAndBySize() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("vol2"), "Sorted");
        QVERIFY(vol);
        w->SelectNode(vol);
        // Name, ascending at start: folders first, each group by upper-case name.
        std::vector<std::string> expect{"docs", "music", "alpha.txt", "Zeta.bin"};
        QCOMPARE(ListCaptions(*w), expect);
        w->SortListBy(0); // now descending
        std::vector<std::string> desc(expect.rbegin(), expect.rend());
        QCOMPARE(ListCaptions(*w), desc);
        w->SortListBy(0);
        QCOMPARE(ListCaptions(*w), expect);
        // Size: the first click sorts descending, the second ascending.
        w->SelectNode(Child(vol, "music"));
        w->SortListBy(2);
        QCOMPARE(ListCaptions(*w), (std::vector<std::string>{"b.mp3", "C.mp3", "a.mp3"}));
        w->SortListBy(2);
        QCOMPARE(ListCaptions(*w), (std::vector<std::string>{"a.mp3", "C.mp3", "b.mp3"}));
        // The sort column stays when another folder is shown.
        w->SelectNode(vol);
        QCOMPARE(w->ListModel()->SortColumn(), 2);
        QCOMPARE(w->ListModel()->SortOrder(), Qt::AscendingOrder);
        QCOMPARE(w->ListView()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        w->Lib().Modified = false;
    }

    // A mouse click on an entry shows its tag lines, although the view makes
    // the row current before it selects it.
    void clickedEntryShowsItsTags() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("vol7"), "Tagged");
        QVERIFY(vol);
        w->SelectNode(Child(vol, "music"));
        TLibFolderItem* e = w->ListModel()->EntryAt(1);
        QVERIFY(e);
        e->TagInfo.SetValue("Artist", "Ann Example");
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTreeView* lv = w->ListView();
        const QRect r = lv->visualRect(w->ListModel()->index(1, 0));
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(w->ListModel()->EntryAt(lv->currentIndex().row()), e);
        auto* tags = w->findChild<QTableWidget*>(QStringLiteral("infovle"));
        QVERIFY(tags);
        QStringList values;
        for (int i = 0; i < tags->rowCount(); ++i)
            values << tags->item(i, 1)->text();
        QVERIFY2(values.contains(QStringLiteral("Ann Example")), qPrintable(values.join('|')));
        w->Lib().Modified = false;
    }

    // Ctrl+D in the list deletes entries with "Confirm Delete file"; the folder
    // switch does not govern it. Ctrl+A acts on the focused view.
    void deleteEntriesAsksWithTheFileSwitch() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("vol3"), "Del");
        QVERIFY(vol);
        TTreeNode* music = Child(vol, "music");
        w->SelectNode(music);
        w->ListView()->setFocus();
        QApplication::processEvents();
        QTest::keyClick(w->ListView(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w->SelectedEntries().size(), size_t(3));
        // Answer No: nothing goes.
        Asked.clear();
        Answers = {TAnswer::No};
        QTest::keyClick(w->ListView(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(Asked[0].Key, std::string("confDelete"));
        QCOMPARE(Asked[0].Arg, std::string("a.mp3;b.mp3;C.mp3;"));
        QCOMPARE(w->ListModel()->rowCount(), 3);
        // With the file switch off and the folder switch on, no question.
        w->GD().ConfirmDeleteFile = false;
        w->GD().ConfirmDeleteFolder = true;
        Asked.clear();
        w->SelectEntries({music ? FolderOf(music)->FindItem("b.mp3") : nullptr});
        w->ListView()->setFocus();
        QTest::keyClick(w->ListView(), Qt::Key_D, Qt::ControlModifier);
        QVERIFY(Asked.empty());
        QCOMPARE(ListCaptions(*w), (std::vector<std::string>{"a.mp3", "C.mp3"}));
        // The list still shows live entries of the same folder.
        for (int r = 0; r < w->ListModel()->rowCount(); ++r)
            QCOMPARE(w->ListModel()->EntryAt(r)->Owner, FolderOf(music));

        // Ctrl+A in the catalog tree opens the add dialog instead.
        w->SetTab(2); // the catalog tree must be shown
        w->NodesView()->setFocus();
        QApplication::processEvents();
        bool dialog = false;
        QTimer::singleShot(0, w.get(), [&] {
            if (auto* d = qobject_cast<TfrmNewVolume*>(QApplication::activeModalWidget())) {
                dialog = true;
                d->reject();
            }
        });
        QTest::keyClick(w->NodesView(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(dialog);
        w->Lib().Modified = false;
    }

    // Deleting the node the list shows leaves no view on freed records.
    void deletingNodesResetsTheViews() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("vol4"), "Gone");
        QVERIFY(vol);
        TTreeNode* sub = Child(Child(vol, "docs"), "sub");
        QVERIFY(sub);
        w->SelectNode(sub);
        QCOMPARE(w->ListModel()->rowCount(), 1);
        w->NodesView()->setFocus();
        w->SelectNode(vol);
        Asked.clear();
        w->tbDelClick();
        QCOMPARE(Asked.size(), size_t(1));
        QVERIFY2(Asked[0].Arg.rfind("Delete Gone? This removes 3 folders, 7 files", 0) == 0,
                 Asked[0].Arg.c_str());
        QCOMPARE(w->Lib().VolumeCount, 0);
        QCOMPARE(w->NodesModel()->rowCount(), 0);
        QCOMPARE(w->ListModel()->rowCount(), 0);
        QVERIFY(w->ListModel()->Folder() == nullptr);
        QVERIFY(w->Messages()->toPlainText().contains("Node deleted: Gone"));
        w->Lib().Modified = false;
    }

    // Two volumes of the same name: after a delete or a rebuild the views stay
    // on the volume acted on, so the next Ctrl+D cannot hit the other one.
    void deleteStaysOnTheVolumeActedOn() {
        auto w = MakeWindow();
        const std::vector<std::pair<QString, qint64>> files = {
            {"a.txt", 10}, {"b.txt", 20}, {"c.txt", 30}, {"d/x.txt", 5}, {"e/y.txt", 5}};
        TTreeNode* first = AddVolume(*w, WriteSource("cd1", files), "CD");
        TTreeNode* second = AddVolume(*w, WriteSource("cd2", files), "CD");
        QVERIFY(first && second && first != second);
        w->SetTab(1);
        auto deleteEntry = [&](const char* name) {
            w->SelectEntries({FolderOf(w->SelectedNode())->FindItem(name)});
            w->ListView()->setFocus();
            QApplication::processEvents();
            QTest::keyClick(w->ListView(), Qt::Key_D, Qt::ControlModifier);
        };
        w->SelectNode(second);
        deleteEntry("a.txt");
        QCOMPARE(w->SelectedNode(), second);
        QCOMPARE(w->ListModel()->Folder(), FolderOf(second));
        deleteEntry("b.txt");
        QCOMPARE(w->SelectedNode(), second);
        QVERIFY(FolderOf(second)->FindItem("b.txt") == nullptr);
        QVERIFY(FolderOf(first)->FindItem("a.txt") && FolderOf(first)->FindItem("b.txt"));

        // A folder of the second volume goes: its volume is shown.
        w->SelectNode(Child(second, "d"));
        w->NodesView()->setFocus();
        QApplication::processEvents();
        QTest::keyClick(w->NodesView(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(w->SelectedNode(), second);
        QVERIFY(Child(second, "d") == nullptr && Child(first, "d") != nullptr);

        // A rebuild finds the node again by its volume, not by the caption path.
        w->SelectNode(Child(second, "e"));
        w->RebuildViews();
        QCOMPARE(w->SelectedNode(), Child(second, "e"));
        w->SelectNode(second);
        w->RebuildViews();
        QCOMPARE(w->SelectedNode(), second);
        w->Lib().Modified = false;
    }

    // A folder dragged into the collections tree is linked there and found
    // again after save and reload; a collection cannot go below itself.
    void dragIntoCollectionsSurvivesSaveAndReload() {
        auto w = MakeWindow();
        TTreeNode* vol = AddVolume(*w, MakeSource("vol5"), "Linked");
        QVERIFY(vol);
        w->miColAddClick();
        TTreeNode* col = w->SelectedColNode();
        QVERIFY(col);
        // Drag the music folder from the catalog tree onto the collection.
        w->SelectNode(Child(vol, "music"));
        auto* mime = new QMimeData;
        mime->setData(kViewDragMime, "tvNodes");
        QVERIFY(w->ColModel()->canDropMimeData(mime, Qt::CopyAction, -1, -1,
                                               w->ColModel()->IndexOf(col)));
        w->ColModel()->dropMimeData(mime, Qt::CopyAction, -1, -1, w->ColModel()->IndexOf(col));
        delete mime;
        QTRY_COMPARE(col->Count(), 1);
        TLibColItem* link = ColItemOf(col->Child(0));
        QVERIFY(link && link->LinkedFolder);
        QCOMPARE(link->LinkedFolder->Caption, std::string("music"));

        // A sub collection; the parent cannot be dropped onto it.
        w->SelectColNode(col);
        w->miColAddSubClick();
        TTreeNode* sub = w->SelectedColNode();
        QVERIFY(sub && sub->Parent() == col);
        w->SelectColNode(col);
        w->DropOnCollections("tvCol", sub);
        QVERIFY(col->Parent() == nullptr);
        w->DropOnCollections("tvCol", col);
        QVERIFY(col->Parent() == nullptr);

        std::string file = Ss(Path("linked.TXC"));
        Paths = {file};
        w->tbSaveClick();
        QVERIFY(QFile::exists(QString::fromStdString(file)));
        QVERIFY(!w->Lib().Modified);
        Asked.clear();
        w->tbReloadClick();
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(Asked[0].Key, std::string("confReload"));
        QCOMPARE(w->Lib().ColTree.RootCount(), 1);
        TTreeNode* again = w->Lib().ColTree.Root(0);
        bool found = false;
        for (int i = 0; i < again->Count(); ++i) {
            TLibColItem* c = ColItemOf(again->Child(i));
            if (c && c->LinkedFolder && c->LinkedFolder->Caption == "music") found = true;
        }
        QVERIFY(found);

        // Deleting a collection asks with its own switch.
        w->GD().ConfirmDeleteCollection = true;
        w->GD().ConfirmDeleteFolder = false;
        w->SelectColNode(again);
        w->ColView()->setFocus();
        QApplication::processEvents();
        Asked.clear();
        Answers = {TAnswer::No};
        w->tbDelClick();
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(Asked[0].Key, std::string("confDelete"));
        QCOMPARE(w->Lib().ColTree.RootCount(), 1);
        w->Lib().Modified = false;
    }

    void startOpensTheArgumentOrNothing() {
        // A catalog to open.
        std::string file = Ss(Path("start.TXC"));
        {
            auto w = MakeWindow();
            QVERIFY(AddVolume(*w, MakeSource("vol6"), "Start"));
            Paths = {file};
            w->tbSaveClick();
        }
        {
            auto w = MakeWindow();
            w->OpenFirstCatalog(QString::fromStdString(file));
            QCOMPARE(w->Lib().VolumeCount, 1);
            QCOMPARE(w->Lib().FileName, file);
            QCOMPARE(w->MainStatus(0), QString::fromStdString(file));
            QCOMPARE(w->NodesModel()->rowCount(), 1);
            QVERIFY(!w->Lib().Modified);
        }
        {
            // "Last Library" names a file that is gone: empty catalog, no message.
            auto w = MakeWindow();
            w->GD().LastLibrary = Ss(Path("deleted.TXC"));
            w->OpenFirstCatalog({});
            QCOMPARE(w->Lib().VolumeCount, 0);
            QVERIFY(Errors.isEmpty());
        }
    }

    // A damaged file loads what it can and forgets its name: Save asks for one.
    void failedLoadDoesNotSaveOverTheFile() {
        std::string file = Ss(Path("damaged.TXC"));
        {
            auto w = MakeWindow();
            QVERIFY(AddVolume(*w, MakeSource("vol7"), "Damaged"));
            Paths = {file};
            w->tbSaveClick();
        }
        QFile f(QString::fromStdString(file));
        QVERIFY(f.open(QIODevice::ReadWrite));
        qint64 size = f.size();
        QVERIFY(f.resize(size * 2 / 3));
        f.close();
        QByteArray before = [&] {
            QFile r(QString::fromStdString(file));
            r.open(QIODevice::ReadOnly);
            return r.readAll();
        }();
        auto w = MakeWindow();
        w->OpenFile(file, false);
        QVERIFY(!Errors.isEmpty());
        QVERIFY(w->Lib().FileName.empty());
        AskedForPath = false;
        w->tbSaveClick(); // the path hook cancels
        QVERIFY(AskedForPath);
        QFile r(QString::fromStdString(file));
        QVERIFY(r.open(QIODevice::ReadOnly));
        QCOMPARE(r.readAll(), before);
        w->Lib().Modified = false;
    }

    // Closing with changes asks one question: Save, Don't Save or Cancel.
    void closeAsksToSave() {
        auto w = MakeWindow();
        w->miColAddClick();
        QVERIFY(w->Lib().Modified);
        Answers = {TAnswer::Cancel};
        QVERIFY(!w->close());
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(Asked[0].Key, std::string("confSave"));
        QVERIFY(Asked[0].Buttons == TButtons::SaveDiscardCancel);
        QVERIFY(w->isVisible());
        // Don't Save: closes without saving and writes the settings.
        Asked.clear();
        Answers = {TAnswer::No};
        QVERIFY(w->close());
        QCOMPARE(Asked.size(), size_t(1));
        QVERIFY(w->Store().ValueExists("", "Version"));

        // Save on a catalog loaded from a file writes that file without asking to replace it.
        std::string saved = Ss(Path("own.TXC"));
        auto w1 = MakeWindow();
        Paths = {saved};
        w1->miColAddClick();
        w1->tbSaveClick();
        w1->miColAddClick();
        Asked.clear();
        Answers = {TAnswer::Yes};
        QVERIFY(w1->close());
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(Asked[0].Key, std::string("confSave"));

        // A new catalog that was never changed closes without a question.
        auto w3 = MakeWindow();
        w3->tbNewClick();
        Asked.clear();
        QVERIFY(w3->close());
        QVERIFY(Asked.empty());

        // Without the save question, the exit question still guards the changes.
        std::string file = Ss(Path("quiet.TXC"));
        auto w2 = MakeWindow();
        Paths = {file};
        w2->miColAddClick();
        w2->tbSaveClick();
        w2->miColAddClick();
        w2->GD().ConfirmSaveChanges = false;
        w2->GD().ConfirmExit = true;
        Asked.clear();
        Answers = {TAnswer::No};
        QVERIFY(!w2->close());
        QCOMPARE(Asked.size(), size_t(1));
        QCOMPARE(Asked[0].Key, std::string("confExit"));
        // Both switches off: saved without a question.
        w2->GD().ConfirmExit = false;
        Asked.clear();
        QVERIFY(w2->close());
        QVERIFY(Asked.empty());
        TLibObj check;
        TNullProgress quiet;
        LoadFromFile(check, file, false, quiet);
        QCOMPARE(check.ColTree.RootCount(), 2);
    }

    // Another program saved the open catalog. With nothing unsaved, coming back
    // to the window offers to load it again, once for each state of the file.
    // With unsaved changes, Save asks before replacing the newer file, and No
    // (then no other name) leaves it as the other program wrote it.
    void catalogSavedByAnotherProgram() {
        const std::string file = Ss(Path("shared.TXC"));
        auto w = MakeWindow();
        Paths = {file};
        w->miColAddClick();
        w->tbSaveClick();
        QVERIFY(!w->Lib().Modified);
        auto otherProgram = [&](const char* collection) {
            QProcess cli;
            cli.start(TAMBLIX_CLI,
                      {"collections", "create", QString::fromStdString(file), collection});
            return cli.waitForFinished(30000) && cli.exitCode() == 0;
        };
        auto activate = [&] {
            QEvent e(QEvent::ActivationChange);
            QCoreApplication::sendEvent(w.get(), &e);
            QCoreApplication::processEvents();
        };
        QVERIFY(otherProgram("FromCli"));
        Asked.clear();
        Answers = {TAnswer::No};
        activate();
        QCOMPARE(AskedKeys(), std::vector<std::string>{"confReloadChanged"});
        activate();
        QCOMPARE(Asked.size(), size_t(1));
        QVERIFY(otherProgram("Again"));
        Answers = {TAnswer::Yes};
        activate();
        QCOMPARE(Asked.size(), size_t(2));
        QCOMPARE(w->Lib().ColTree.RootCount(), 3);

        w->miColAddClick();
        QVERIFY(otherProgram("Third"));
        QFile disk(QString::fromStdString(file));
        QVERIFY(disk.open(QIODevice::ReadOnly));
        const QByteArray before = disk.readAll();
        disk.close();
        Asked.clear();
        activate();
        QVERIFY(Asked.empty());
        Answers = {TAnswer::No};
        Paths.clear();
        AskedForPath = false;
        w->tbSaveClick();
        QCOMPARE(AskedKeys(), std::vector<std::string>{"confNewerOnDisk"});
        QVERIFY(AskedForPath);
        QVERIFY(disk.open(QIODevice::ReadOnly));
        QCOMPARE(disk.readAll(), before);
        disk.close();
        QVERIFY(w->Lib().Modified);
        // Yes: this window's catalog replaces it.
        Answers = {TAnswer::Yes};
        w->tbSaveClick();
        QVERIFY(!w->Lib().Modified);
        TLibObj check;
        TNullProgress quiet;
        LoadFromFile(check, file, false, quiet);
        QCOMPARE(check.ColTree.RootCount(), 4);
        for (int i = 0; i < check.ColTree.RootCount(); ++i)
            QVERIFY(check.ColTree.Root(i)->Text() != "Third");
    }

    // While a scan runs: views frozen, commands off, closing refused; Stop ends
    // it at once, keeping what was scanned. All of it happens at the scan's
    // 200th progress report, whatever the speed of the machine.
    void scanIsFrozenAndStops() {
        QString src = Path("big");
        for (int d = 0; d < 40; ++d)
            for (int i = 0; i < 100; ++i)
                WriteFile(Ss(QString("%1/d%2/f%3.dat").arg(src).arg(d).arg(i)), "x");
        auto w = MakeWindow();
        bool checked = false;
        int64_t filesAtStop = -1;
        TProgressTap tap(w->GD().Progress, *w, 200, [&] {
            checked = true;
            QVERIFY(w->Busy());
            QCOMPARE(w->NodesModel()->rowCount(), 0);
            QVERIFY(!w->Action("miOpen")->isEnabled());
            QVERIFY(!w->Action("tbAdd")->isEnabled());
            QVERIFY(w->Action("tbStop")->isEnabled());
            QVERIFY(!w->NodesView()->isEnabled());
            Errors.clear();
            QVERIFY(!w->close());
            QVERIFY(Errors.join("").contains(QString::fromStdString(GetMessageText("errStop"))));
            // The counters are summed at the end: count the entries themselves.
            filesAtStop = 0;
            w->Lib().Tree.ForEach([&](TTreeNode* n) {
                for (const auto& e : FolderOf(n)->Items())
                    filesAtStop += e->IsFolder ? 0 : 1;
            });
            w->Action("tbStop")->trigger();
        });
        QVERIFY(AddVolume(*w, src, "Big"));
        QVERIFY(checked);
        // What was scanned stays; nothing was added after the Stop.
        QVERIFY(filesAtStop > 0);
        QCOMPARE(w->Lib().FileCount, filesAtStop);
        QVERIFY(!w->Busy());
        QVERIFY(w->Action("miOpen")->isEnabled());
        QVERIFY(!w->Action("tbStop")->isEnabled());
        QVERIFY(w->Messages()->toPlainText().contains("Stopped by user."));
        w->Lib().Modified = false;
    }

    // The shipped German file translates windows and messages; the original comes back.
    void switchLanguageAndBack() {
        auto w = MakeWindow();
        w->LoadLanguage();
        QString original =
            QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + "/Tamblix/languages/OriginalLanguage.bab";
        QVERIFY(QFile::exists(original));
        QMenu* languages = w->findChild<QMenu*>("miLanguages");
        QVERIFY(languages);
        QStringList names;
        for (QAction* a : languages->actions())
            names << a->text();
        QVERIFY(names.contains("Deutsch"));
        QVERIFY(w->Translator().SelectLanguage("Deutsch"));
        QCOMPARE(w->Action("miOpen")->text(), QString::fromUtf8("Ö&ffnen.."));
        QCOMPARE(w->Action("tbAdd")->toolTip(), QString::fromUtf8("Datenträger hinzufügen"));
        QCOMPARE(w->ListModel()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString::fromUtf8("Größe"));
        QCOMPARE(w->Tabs()->tabText(1), QString::fromUtf8("Date&nträger"));
        QCOMPARE(Named<QAction>(&w->EmptyCatalogBar(), "btnEmptyAdd")->text(),
                 QString::fromUtf8("Datenträger &hinzufügen…"));
        // The Languages entry of the Tools menu, not only its submenu's title.
        QCOMPARE(w->findChild<QMenu*>("miLanguages")->menuAction()->text(),
                 QString::fromUtf8("S&prachen"));
        QCOMPARE(QString::fromStdString(GetMessageText("confSave")),
                 QString::fromUtf8("Änderungen speichern?"));
        QCOMPARE(QString::fromStdString(GetMessageText("confLoad", "x")),
                 QString::fromUtf8("Katalog \"x\" laden?"));
        // Keys in any case; an empty text keeps the current one.
        QString custom = QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + "/Tamblix/languages/t.bab";
        QFile f(custom);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("menuname:Test\r\nhelpfile:\r\nmsgsUNTITLED=Titel\r\nfrmMain.miSave=\r\n"
                "CONFEXIT=Wirklich?\r\n");
        f.close();
        QVERIFY(w->Translator().SelectLanguage("Test"));
        QCOMPARE(w->windowTitle(), QString("Titel[*]"));
        QCOMPARE(w->Action("miSave")->text(), QString("&Speichern"));
        QCOMPARE(QString::fromStdString(GetMessageText("confExit")), QString("Wirklich?"));
        w->miLoadOriginalLanguageClick();
        QCOMPARE(w->Action("miOpen")->text(), QString("&Open.."));
        QCOMPARE(w->Action("miSave")->text(), QString("&Save"));
        QCOMPARE(w->windowTitle(), QString("Untitled[*]"));
        QCOMPARE(QString::fromStdString(GetMessageText("confSave")), QString("Save changes?"));
        QCOMPARE(w->Translator().CurrentLanguage, std::string("OriginalLanguage.bab"));
        QFile::remove(custom);
    }

    void recentFilesKeepTheLatestFive() {
        auto w = MakeWindow();
        std::vector<std::string> files;
        for (int i = 0; i < 6; ++i) {
            std::string file = Ss(Path(QString("recent%1.TXC").arg(i)));
            TLibObj lib;
            TNullProgress quiet;
            SaveToFile(lib, file, quiet);
            QVERIFY(w->OpenFile(file, false));
            files.push_back(file);
        }
        QMenu* reopen = w->findChild<QMenu*>("miReopen");
        QCOMPARE(reopen->actions().size(), 5);
        QCOMPARE(reopen->actions()[0]->text(), QString::fromStdString("&1 " + files[5]));
        QCOMPARE(reopen->actions()[4]->text(), QString::fromStdString("&5 " + files[1]));
        // Opening one already listed moves it to the top.
        QVERIFY(w->OpenFile(files[3], false));
        QCOMPARE(reopen->actions().size(), 5);
        QCOMPARE(reopen->actions()[0]->text(), QString::fromStdString("&1 " + files[3]));
    }

    // Properties, Options and Print Cover open from the main window and act on the catalog.
    void dialogCommandsReachTheCatalog() {
        auto w = MakeWindow();
        QVERIFY(AddVolume(*w, MakeSource("dlg"), "Dialogs"));
        w->Lib().Modified = false;
        bool seen = false;
        QTimer::singleShot(0, w.get(), [&] {
            auto* d = qobject_cast<TfrmProperties*>(QApplication::activeModalWidget());
            if (!d) return;
            seen = true;
            Named<QComboBox>(d, "LibCat")->setEditText("Archive");
            d->accept();
        });
        w->miLibPropertiesClick();
        QVERIFY(seen);
        QCOMPARE(w->Lib().Category, std::string("Archive"));
        QVERIFY(w->Lib().Modified);

        seen = false;
        QTimer::singleShot(0, w.get(), [&] {
            if (auto* d = qobject_cast<TfrmOptions*>(QApplication::activeModalWidget())) {
                seen = true;
                d->reject();
            }
        });
        w->tbOptionsClick();
        QVERIFY(seen);

        seen = false;
        int rows = w->ListModel()->rowCount();
        QTimer::singleShot(0, w.get(), [&] {
            if (auto* d = qobject_cast<TfrmPrintCover*>(QApplication::activeModalWidget())) {
                seen = true;
                d->reject();
            }
        });
        w->tbPrintClick();
        QVERIFY(seen);
        QCOMPARE(w->ListModel()->rowCount(), rows);
    }
};

QTEST_MAIN(TestMainWindow)
#include "main_window_test.moc"
