#pragma once

#include "catalog/file_identity.h"

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
    // When another program saved the open catalog and nothing here is
    // unsaved: offers to load it again, once for each state of the file.
    void CheckChangedOnDisk();
    void ImportCatalog();
    void AddFavorite();
    void OrganizeFavorites();
    void UpdateRecentMenu();
    void BuildFavoritesMenu();

private:
    // Idle, and the unsaved changes saved or let go: the catalog may be replaced.
    bool MayReplaceCatalog();
    // Leaves an empty catalog, after the save question and, when `confirm`, `question`.
    void Empty(bool confirm, const char* question);
    // Loads `path` into the (empty) catalog; a failed load never leaves its
    // name behind for a later Save.
    void Load(const std::string& path, bool confirm, class IQuestions& questions, bool* opened);
    // The open catalog from its file again, nothing asked.
    void LoadAgain();

    IMainHost& host_;
    QMenu& recent_;
    QMenu& favorites_;
    QAction& addFavorite_;
    QAction& organizeFavorites_;
    TFileIdentity askedAbout_; // the file's state the reload question was last asked for
};
