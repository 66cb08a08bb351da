#include "app/command_line.h"
#include "app/display_guard.h"
#include "catalog/catalog_thumbs.h"
#include "catalog/lib_obj.h"
#include "platform/gui_shell_services.h"
#include "platform/qt_settings_store.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "ui/catalog_models.h"
#include "ui/main_window.h"
#include "ui/multi_lang.h"
#include "ui/new_volume_dialog.h"
#include "ui/search_window.h"
#include "ui/single_instance.h"
#include "ui/space_window.h"
#include "walk/folder_listing.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QTreeView>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Hidden: grab the windows as PNG files into a folder, then quit.
QString ScreenshotDir() {
    const char* env = std::getenv("TAMBLIX_SCREENSHOTS");
    return env ? QString::fromLocal8Bit(env) : QString();
}

// The dialog a command opens, grabbed and closed as Cancel or No would.
void GrabNextModal(QWidget* w, const QString& path) {
    QTimer::singleShot(300, w, [path] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            QApplication::processEvents();
            d->grab().save(path, "PNG");
            d->reject();
        }
    });
}

// Screenshots of the main window in each tab, the space view, the search
// window in German, the main window in French, Japanese and Arabic, the list view style, the delete
// question and the new-volume dialog; with no catalog, the first start and the new-volume dialog.
void TakeScreenshots(TfrmMain& w, const QString& dir) {
    QDir().mkpath(dir);
    auto grab = [](QWidget* widget, const QString& path) {
        QApplication::processEvents();
        widget->grab().save(path, "PNG");
    };
    if (w.Lib().Tree.RootCount() == 0) {
        grab(&w, dir + QStringLiteral("/first-start.png"));
        GrabNextModal(&w, dir + QStringLiteral("/new-volume.png"));
        w.NewVolumeDialog().Run(w.Lib());
        return;
    }
    // Show something in the list: the first volume's first subfolder, and a
    // collection linking the volumes when the catalog has none.
    if (TTreeNode* vol = w.Lib().Tree.FirstNode()) {
        if (w.Lib().ColTree.RootCount() == 0) {
            TTreeNode* col = w.Lib().AddCollection(nullptr, "Favourite discs");
            for (int i = 0; i < w.Lib().Tree.RootCount(); ++i)
                w.Lib().LinkFolder(col, FolderOf(w.Lib().Tree.Root(i)));
            TTreeNode* memo = w.Lib().AddCollection(nullptr, "Shopping list");
            ColItemOf(memo)->URL = "https://example.org/";
            col->Expanded = true;
        }
        vol->Expanded = true;
        w.RebuildViews();
        w.SelectNode(vol->Count() > 0 ? vol->Child(0) : vol);
        if (w.ListModel()->rowCount() > 0)
            w.ListView()->selectionModel()->setCurrentIndex(w.ListModel()->index(0, 0),
                                                            QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
    }
    const char* names[] = {"main-collection.png", "main-volume.png", "main-mixed.png"};
    for (int tab = 0; tab < 3; ++tab) {
        w.SetTab(tab);
        grab(&w, dir + QLatin1Char('/') + QString::fromLatin1(names[tab]));
    }
    // The space view of the largest volume.
    TTreeNode* largest = nullptr;
    for (int i = 0; i < w.Lib().Tree.RootCount(); ++i) {
        TTreeNode* v = w.Lib().Tree.Root(i);
        if (!largest || FolderOf(v)->VolumeSize > FolderOf(largest)->VolumeSize) largest = v;
    }
    if (largest) {
        w.SelectNode(largest);
        w.miSpaceViewClick();
        grab(&w.SpaceWindow(), dir + QStringLiteral("/space-view.png"));
        w.SpaceWindow().close();
    }
    // The search window in German, with what a search for "*.mp3" finds.
    if (w.Translator().SelectLanguage("Deutsch")) {
        TfrmSearch& search = w.SearchWindow();
        search.Start(TSearchStart::ByName, false, QStringLiteral("*.mp3"));
        search.resize(1000, 560);
        search.tbFindClick();
        QElapsedTimer waited;
        waited.start();
        while (search.Searching() && waited.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        grab(&search, dir + QStringLiteral("/search-german.png"));
        search.close();
        w.miLoadOriginalLanguageClick();
    }
    // The main window in French, Japanese and Arabic (mirrored).
    for (const char* language : {"French", "Japanese", "Arabic"}) {
        for (const TMultiLang::TLanguageFile& f : w.Translator().ListLanguages()) {
            if (QFileInfo(f.Path).completeBaseName() != QLatin1String(language)) continue;
            if (!w.Translator().SelectLanguage(f.MenuName.toStdString())) break;
            w.SetTab(2);
            grab(&w,
                 dir + QStringLiteral("/main-%1.png").arg(QString::fromLatin1(language).toLower()));
            w.miLoadOriginalLanguageClick();
            break;
        }
    }
    // The list view style, whose names must show whole.
    if (QAction* list = w.Action(QStringLiteral("miFList"))) {
        w.SetTab(1);
        list->trigger();
        grab(&w, dir + QStringLiteral("/main-list.png"));
        w.Action(QStringLiteral("miFDetails"))->trigger();
    }
    // The thumbnail grid of the folder with the most pictures, its first one selected.
    TTreeNode* pictures = nullptr;
    size_t most = 0;
    TCatalogThumbs thumbs(w.Lib());
    w.Lib().Tree.ForEach([&](TTreeNode* n) {
        size_t count = 0;
        for (const auto& e : FolderOf(n)->Items())
            count += thumbs.Has(e.get()) ? 1 : 0;
        if (count > most) {
            most = count;
            pictures = n;
        }
    });
    if (pictures) {
        w.SetTab(1);
        w.SelectNode(pictures);
        w.ListView()->selectionModel()->setCurrentIndex(w.ListModel()->index(0, 0),
                                                        QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
        w.Action(QStringLiteral("tbThumbs"))->trigger();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        grab(&w, dir + QStringLiteral("/thumbnails.png"));
        w.Action(QStringLiteral("miFDetails"))->trigger();
    }
    // The question a whole volume's delete asks, answered No.
    if (largest) {
        w.SetTab(1);
        w.SelectNode(largest);
        w.SetActiveView(w.NodesView());
        GrabNextModal(&w, dir + QStringLiteral("/delete-question.png"));
        w.tbDelClick();
    }
    GrabNextModal(&w, dir + QStringLiteral("/new-volume.png"));
    w.NewVolumeDialog().Run(w.Lib());
    w.Lib().Modified = false;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // Before the application object, which needs a display.
    TCommandLine args = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (args.Action) {
    case TCommandLine::TAction::Help:
        std::fputs(CommandLineUsage(), stdout);
        return 0;
    case TCommandLine::TAction::Version:
        std::printf("tamblix %s\n", TAMBLIX_VERSION);
        return 0;
    case TCommandLine::TAction::Bad:
        std::fprintf(stderr, "tamblix: %s\n", args.Error.c_str());
        std::fputs(CommandLineUsage(), stderr);
        return 2;
    case TCommandLine::TAction::Run:
        break;
    }
    if (args.SettingsFile.empty())
        if (const char* env = std::getenv("TAMBLIX_SETTINGS")) args.SettingsFile = env;
    // A scan reads many folders ahead, each open until the scan takes it.
    TFolderPrefetch::RaiseDescriptorLimit();
    const QString catalog = QString::fromLocal8Bit(args.Catalog.c_str());
    const QString screenshots = ScreenshotDir();

    TDisplayGuard displayGuard;
    QApplication app(argc, argv);
    displayGuard.Started();
    QApplication::setApplicationName(QStringLiteral("Tamblix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tamblix"));
    QApplication::setApplicationVersion(QStringLiteral(TAMBLIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.tamblix.Tamblix"));

    InstallGuiPlatformServices();
    // A settings file of its own keeps its list files beside it.
    const std::string listFolder =
        args.SettingsFile.empty()
            ? std::string()
            : QFile::encodeName(
                  QFileInfo(QString::fromLocal8Bit(args.SettingsFile.c_str())).absolutePath())
                  .toStdString();
    std::unique_ptr<ISettingsStore> store;
    try {
        store = CreateSettingsStore(args.SettingsFile);
    } catch (const EMessageError& e) {
        // A settings file that is a FIFO or a folder: said plainly, never hung on.
        QMessageBox::critical(nullptr, QStringLiteral("Tamblix"),
                              QString::fromStdString(GetMessageText(e.Key, e.Arg)));
        return 1;
    }
    TfrmMain w(std::move(store), listFolder);

    std::unique_ptr<TSingleInstance> instance;
    if (!w.GD().MultiApps) {
        instance = std::make_unique<TSingleInstance>();
        if (!instance->TryLock()) {
            QString path = catalog.isEmpty() ? QString() : QFileInfo(catalog).absoluteFilePath();
            instance->SendToRunning(path);
            QMessageBox::information(nullptr, QStringLiteral("Tamblix"),
                                     QString::fromStdString(GetMessageText("infoRun")));
            return 0;
        }
        QObject::connect(instance.get(), &TSingleInstance::FileReceived, &w,
                         &TfrmMain::OpenFromOtherInstance);
    }

    w.LoadLanguage();
    w.show();
    w.OpenFirstCatalog(catalog);

    // Hidden: quit once the first window is up, for timing the start.
    if (std::getenv("TAMBLIX_QUIT_WHEN_SHOWN")) {
        w.GD().SaveSettingsOnExit = false;
        QTimer::singleShot(0, &w, &QWidget::close);
    }
    if (!screenshots.isEmpty()) {
        QTimer::singleShot(200, &w, [&w, dir = screenshots] {
            TakeScreenshots(w, dir);
            w.GD().SaveSettingsOnExit = false;
            w.close();
        });
    }
    return app.exec();
}
