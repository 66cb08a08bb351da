#pragma once

#include <QtCore/QString>
#include <string>

class IMainHost;
class QAction;
class QMenu;

// The catalog file's commands: new, open, reopen, reload, save, save as,
// close, importing another catalog, and the recent and favorite catalogs.
class TCatalogCommands {
public:
    TCatalogCommands(IMainHost& host, QMenu& recent, QMenu& favorites, QAction& addFavorite,
                     QAction& organizeFavorites);

    void New();
    void Close();
    void Open();
    // Opens `path` after the save question; `confirm` asks "confLoad" first.
    bool OpenFile(const std::string& path, bool confirm);
    // At start-up: `argument` when it names an existing file, else the last catalog.
    void OpenFirst(const QString& argument);
    void Reload();
    bool Save(bool askName);
    void ImportCatalog();
    void AddFavorite();
    void OrganizeFavorites();
    void UpdateRecentMenu();
    void BuildFavoritesMenu();

private:
    // Loads `path` into the (empty) catalog; a failed load never leaves its
    // name behind for a later Save.
    void Load(const std::string& path, bool confirm, class IQuestions& questions, bool* opened);

    IMainHost& host_;
    QMenu& recent_;
    QMenu& favorites_;
    QAction& addFavorite_;
    QAction& organizeFavorites_;
};
