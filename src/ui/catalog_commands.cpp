#include "ui/catalog_commands.h"

#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "ui/main_host.h"
#include "ui/main_views.h"
#include "ui/text_edit_dialog.h"
#include "ui/ui_questions.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QAction>
#include <QtWidgets/QMenu>
#include <QtWidgets/QTreeView>

TCatalogCommands::TCatalogCommands(IMainHost& host, QMenu& recent, QMenu& favorites,
                                   QAction& addFavorite, QAction& organizeFavorites)
    : host_(host), recent_(recent), favorites_(favorites), addFavorite_(addFavorite),
      organizeFavorites_(organizeFavorites) {}

bool TCatalogCommands::MayReplaceCatalog() {
    return host_.CheckIdle() && QuerySaveChanges(host_.Lib(), host_.OperationProgress(),
                                                 host_.Questions()) != TAnswer::Cancel;
}

void TCatalogCommands::Empty(bool confirm, const char* question) {
    if (!MayReplaceCatalog()) return;
    if (confirm && host_.Questions().Ask(question, {}, TButtons::YesNo) != TAnswer::Yes) return;
    host_.ResetCatalog(false);
    host_.ClearStatus();
    host_.UpdateStatus();
}

void TCatalogCommands::New() {
    Empty(host_.GD().ConfirmNew, "confCreate");
}

void TCatalogCommands::Close() {
    Empty(host_.GD().ConfirmClose, "confClose");
}

void TCatalogCommands::Open() {
    if (!MayReplaceCatalog()) return;
    std::string path = host_.Questions().AskOpenPath(QString());
    if (path.empty()) return;
    host_.Lib().Modified = false; // already answered
    OpenFile(path, false);
}

void TCatalogCommands::Load(const std::string& path, bool confirm, IQuestions& questions,
                            bool* opened) {
    TLibObj& lib = host_.Lib();
    try {
        bool ok = OpenLibrary(lib, path, false, confirm, host_.OperationProgress(), questions);
        if (opened) *opened = ok;
        if (ok) host_.CatalogOpened();
    } catch (...) {
        // Whatever stopped the load, a plain Save must not write over that file.
        if (lib.FileName == path) lib.FileName.clear();
        throw;
    }
}

bool TCatalogCommands::OpenFile(const std::string& path, bool confirm) {
    if (!MayReplaceCatalog()) return false;
    bool opened = false;
    bool ok = host_.RunBusy([&] {
        Load(path, confirm, host_.Questions(), &opened);
        host_.AfterBusy() = TViewRestore();
    });
    if (opened && ok) {
        host_.GD().AddRecent(path);
        UpdateRecentMenu();
    }
    host_.ApplySettingsToLib();
    host_.UpdateStatus();
    return opened && ok;
}

void TCatalogCommands::OpenFirst(const QString& argument) {
    TGlobalData& gd = host_.GD();
    std::string name = gd.LastLibrary;
    host_.Lib().FileName.clear();
    try {
        std::string path;
        if (!argument.isEmpty()) {
            if (QFileInfo::exists(argument)) path = StdStr(argument);
        } else if (!name.empty() && gd.LoadLast && QFileInfo::exists(QStr(name))) {
            path = name;
        }
        if (path.empty()) return;
        TFixedAnswers quiet(TAnswer::Yes);
        host_.RunBusy([&] { Load(path, false, quiet, nullptr); });
    } catch (const std::exception&) {
    }
    host_.UpdateStatus();
}

void TCatalogCommands::Reload() {
    if (host_.Lib().FileName.empty() || !MayReplaceCatalog()) return;
    if (host_.GD().ConfirmReload &&
        host_.Questions().Ask("confReload", {}, TButtons::YesNo) != TAnswer::Yes)
        return;
    LoadAgain();
}

void TCatalogCommands::LoadAgain() {
    std::string path = host_.Lib().FileName;
    host_.ResetCatalog(false);
    host_.ClearStatus();
    host_.RunBusy([&] { Load(path, false, host_.Questions(), nullptr); });
    host_.UpdateStatus();
}

void TCatalogCommands::CheckChangedOnDisk() {
    TLibObj& lib = host_.Lib();
    // With unsaved changes the save asks instead, before it overwrites anything.
    if (!host_.CheckIdle() || lib.Modified || !ChangedOnDisk(lib, lib.FileName)) return;
    TFileIdentity now = TFileIdentity::OfPath(lib.FileName);
    if (now == askedAbout_) return;
    askedAbout_ = now;
    if (host_.Questions().Ask("confReloadChanged", lib.FileName, TButtons::YesNo) != TAnswer::Yes)
        return;
    LoadAgain();
}

bool TCatalogCommands::Save(bool askName) {
    if (!host_.CheckIdle()) return false;
    TLibObj& lib = host_.Lib();
    TGlobalData& gd = host_.GD();
    std::string path = lib.FileName;
    if (askName || path.empty()) {
        path = host_.Questions().AskSavePath(lib.FileName);
        if (path.empty()) return false;
    }
    bool saved = false;
    // A read-only folder offers Save As; `path` becomes the one chosen.
    host_.RunBusy([&] {
        saved = SaveOfferingSaveAs(lib, path, host_.OperationProgress(), host_.Questions());
    });
    if (saved) {
        lib.FileName = path;
        if (askName || gd.RecentFiles.Count() == 0 || gd.RecentFiles[0] != path) {
            gd.AddRecent(path);
            UpdateRecentMenu();
        }
    }
    host_.UpdateStatus();
    return saved;
}

void TCatalogCommands::ImportCatalog() {
    if (!MayReplaceCatalog()) return;
    std::string path = host_.Questions().AskOpenPath(QString());
    if (path.empty()) return;
    host_.RunBusy([&] {
        OpenLibrary(host_.Lib(), path, true, true, host_.OperationProgress(), host_.Questions());
    });
    host_.Views().SetActiveView(host_.Views().NodesView());
    host_.UpdateStatus();
}

void TCatalogCommands::UpdateRecentMenu() {
    TGlobalData& gd = host_.GD();
    recent_.clear();
    for (int i = 0; i < gd.RecentFiles.Count(); ++i) {
        std::string path = gd.RecentFiles[i];
        QAction* a = recent_.addAction(QStr(gd.RecentCaption(i)));
        a->setToolTip(QStr(path));
        a->setStatusTip(QStr(path));
        QObject::connect(a, &QAction::triggered, &recent_, [this, path] { OpenFile(path, true); });
    }
    host_.UpdateActions();
}

void TCatalogCommands::BuildFavoritesMenu() {
    TGlobalData& gd = host_.GD();
    favorites_.clear();
    favorites_.addAction(&addFavorite_);
    favorites_.addAction(&organizeFavorites_);
    if (gd.Favorites.Count() > 0) favorites_.addSeparator();
    for (int i = 0; i < gd.Favorites.Count(); ++i) {
        const std::string& line = gd.Favorites[i];
        size_t eq = line.find('=');
        std::string caption = line.substr(0, eq);
        std::string path = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        QAction* a = favorites_.addAction(QStr(caption));
        a->setToolTip(QStr(path));
        QObject::connect(a, &QAction::triggered, &favorites_, [this, path] {
            if (!path.empty()) OpenFile(path, true);
        });
    }
}

void TCatalogCommands::AddFavorite() {
    TLibObj& lib = host_.Lib();
    TGlobalData& gd = host_.GD();
    if (!host_.CheckIdle() || lib.FileName.empty()) return;
    const std::string& path = lib.FileName;
    for (int i = 0; i < gd.Favorites.Count(); ++i) {
        const std::string& line = gd.Favorites[i];
        size_t eq = line.find('=');
        if (eq != std::string::npos && line.substr(eq + 1) == path)
            return host_.Questions().ShowError("errAssigned", line.substr(0, eq));
    }
    if (host_.Questions().Ask("confAddFav", path, TButtons::OkCancel) != TAnswer::Ok) return;
    try {
        gd.Favorites.Add(path + "=" + path);
        if (!gd.FavoritesFile.empty()) gd.SaveLists();
    } catch (const std::exception& e) {
        host_.ShowException(e);
    }
    BuildFavoritesMenu();
}

void TCatalogCommands::OrganizeFavorites() {
    if (!host_.CheckIdle()) return;
    TGlobalData& gd = host_.GD();
    if (gd.FavoritesFile.empty() || !QFileInfo::exists(QStr(gd.FavoritesFile))) {
        if (host_.Questions().Ask("confCreateFav", {}, TButtons::OkCancel) != TAnswer::Ok) return;
        if (gd.FavoritesFile.empty()) gd.FavoritesFile = gd.ConfigFolder() + "Favorites.txt";
        try {
            QDir().mkpath(QFileInfo(QStr(gd.FavoritesFile)).absolutePath());
            gd.SaveLists();
        } catch (const std::exception&) {
        }
    }
    QString caption = organizeFavorites_.text().remove(QLatin1Char('&')) + QStringLiteral(" - ") +
                      QStr(gd.FavoritesFile);
    if (TfrmTextEdit::EditList(host_.Window(), host_.Store(), caption, gd.Favorites)) {
        try {
            gd.SaveLists();
        } catch (const std::exception&) {
        }
    }
    BuildFavoritesMenu();
}
