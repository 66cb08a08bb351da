#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>
#include <functional>
#include <map>
#include <vector>

class IMainCommands;
class QMainWindow;
class TGlobalData;
class TMainViews;
class TViewLayout;
class QAction;
class QActionGroup;
class QKeySequence;
class QMenu;
class QToolBar;
class QWidget;

// The main window's commands as actions, with their menus, pop-up menus and
// toolbar. Actions carry the program's control names as object names.
class TMainMenus : public QObject {
    Q_OBJECT
public:
    TMainMenus(QMainWindow& window, IMainCommands& commands, TMainViews& views, TViewLayout& layout,
               TGlobalData& gd);

    QAction* Action(const QString& name) const;
    QToolBar* Toolbar() const { return tb_; }
    QMenu* RecentMenu() const { return miReopen_; }
    QMenu* LanguagesMenu() const { return miLanguages_; }
    QMenu* FavoritesMenu() const { return miFavorites_; }
    QMenu* ListMenu() const { return pmLv_; }
    QMenu* TreeMenu() const { return pmTv_; }
    QMenu* CollectionMenu() const { return pmCol_; }

    // Commands that touch the catalog are on only while idle, Stop only while
    // busy; the volume commands only with a volume, Add to Favorites only with a file.
    void UpdateActions(bool idle, bool hasVolumes, bool hasFile);
    // The view toggles checked as the view settings say.
    void CheckViewSettings();
    // The list's commands are on only when entries are selected.
    void UpdateFilesMenu();
    void UpdateCollectionMenu();

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolbar();
    QAction* MakeAction(const QString& name, const QString& text, void (IMainCommands::*slot)(),
                        const QString& icon = {}, int fallback = -1, bool catalog = true);
    QAction* MakeToolAction(const QString& name, const QString& hint, QAction* like);
    void AddScopedShortcut(QWidget* view, const QKeySequence& key, std::function<void()> fn);

    QMainWindow& w_;
    IMainCommands& commands_;
    TMainViews& views_;
    TViewLayout& layout_;
    TGlobalData& gd_;

    QToolBar* tb_ = nullptr;
    QMenu* miReopen_ = nullptr;
    QMenu* miLanguages_ = nullptr;
    QMenu* miFavorites_ = nullptr;
    QMenu* miFiles_ = nullptr;
    QMenu* pmLv_ = nullptr;
    QMenu* pmTv_ = nullptr;
    QMenu* pmCol_ = nullptr;
    QActionGroup* viewStyleGroup_ = nullptr;
    QActionGroup* viewStyleGroup2_ = nullptr;
    std::vector<QAction*> arrange_, arrange2_;
    std::vector<QAction*> viewStyle_, viewStyle2_;
    // Commands that read or write the catalog: off while busy.
    std::vector<QAction*> catalogActions_;
    std::vector<QAction*> stopActions_;
    std::map<QString, QAction*> actions_;
};
