#include "catalog/lib_obj.h"
#include "platform/qt_settings_store.h"
#include "platform/shell_services.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "ui/catalog_models.h"
#include "ui/main_window.h"
#include "ui/new_volume_dialog.h"
#include "ui/single_instance.h"

#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QTreeView>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct TArgs {
    QString SettingsFile;
    QString Catalog;
    QString ScreenshotDir;
    bool Help = false;
    bool Bad = false;
};

TArgs ParseArgs(const QStringList& args) {
    TArgs a;
    if (const char* env = std::getenv("TAMBLIX_SETTINGS"))
        a.SettingsFile = QString::fromLocal8Bit(env);
    // Hidden: grab the windows as PNG files into a folder, then quit.
    if (const char* env = std::getenv("TAMBLIX_SCREENSHOTS"))
        a.ScreenshotDir = QString::fromLocal8Bit(env);
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& s = args[i];
        if (s == QLatin1String("--settings")) {
            if (i + 1 >= args.size()) {
                a.Bad = true;
                break;
            }
            a.SettingsFile = args[++i];
        } else if (s.startsWith(QLatin1String("--settings="))) {
            a.SettingsFile = s.mid(11);
        } else if (s == QLatin1String("--help") || s == QLatin1String("-h")) {
            a.Help = true;
        } else if (s.startsWith(QLatin1String("-")) && s.size() > 1 && a.Catalog.isEmpty() &&
                   !QFileInfo::exists(s)) {
            a.Bad = true;
        } else if (a.Catalog.isEmpty()) {
            a.Catalog = s;
        }
    }
    return a;
}

// Screenshots of the main window in each tab and of the new-volume dialog.
void TakeScreenshots(TfrmMain& w, const QString& dir) {
    QDir().mkpath(dir);
    auto grab = [](QWidget* widget, const QString& path) {
        QApplication::processEvents();
        widget->grab().save(path, "PNG");
    };
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
    QTimer::singleShot(300, &w, [&w, dir, grab] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            grab(d, dir + QStringLiteral("/new-volume.png"));
            d->reject();
        }
    });
    w.NewVolumeDialog().Run(w.Lib());
    w.Lib().Modified = false;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tamblix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tamblix"));
    QApplication::setApplicationVersion(QStringLiteral(TAMBLIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tamblix"));

    TArgs args = ParseArgs(QApplication::arguments());
    if (args.Help || args.Bad) {
        std::fprintf(args.Bad ? stderr : stdout,
                     "Usage: tamblix [--settings FILE] [CATALOG.TXC]\n"
                     "  --settings FILE   settings file to use (also TAMBLIX_SETTINGS)\n");
        return args.Bad ? 2 : 0;
    }

    InstallPlatformServices();
    TfrmMain w(CreateSettingsStore(args.SettingsFile.toStdString()));

    std::unique_ptr<TSingleInstance> instance;
    if (!w.GD().MultiApps) {
        instance = std::make_unique<TSingleInstance>();
        if (!instance->TryLock()) {
            QString path =
                args.Catalog.isEmpty() ? QString() : QFileInfo(args.Catalog).absoluteFilePath();
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
    w.OpenFirstCatalog(args.Catalog);

    if (!args.ScreenshotDir.isEmpty()) {
        QTimer::singleShot(200, &w, [&w, dir = args.ScreenshotDir] {
            TakeScreenshots(w, dir);
            w.GD().SaveSettingsOnExit = false;
            w.close();
        });
    }
    return app.exec();
}
