#include "ui/main_menus.h"

#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "ui/catalog_models.h"
#include "ui/main_commands.h"
#include "ui/main_views.h"
#include "ui/view_layout.h"

#include <QtGui/QAction>
#include <QtGui/QActionGroup>
#include <QtWidgets/QListView>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeView>
#include <algorithm>

TMainMenus::TMainMenus(QMainWindow& window, IMainCommands& commands, TMainViews& views,
                       TViewLayout& layout, TGlobalData& gd)
    : QObject(&window), w_(window), commands_(commands), views_(views), layout_(layout), gd_(gd) {
    BuildActions();
    BuildMenus();
    BuildToolbar();
    layout_.AddSortChecks(arrange_);
    layout_.AddSortChecks(arrange2_);
    layout_.AddStyleChecks(viewStyle_);
    layout_.AddStyleChecks(viewStyle2_);
    views_.SetMenus(pmLv_, pmTv_, pmCol_);
    connect(&views_, &TMainViews::ListMenuAboutToShow, this, &TMainMenus::UpdateFilesMenu);
    connect(&views_, &TMainViews::ColMenuAboutToShow, this, &TMainMenus::UpdateCollectionMenu);
}

QAction* TMainMenus::MakeAction(const QString& name, const QString& text,
                                void (IMainCommands::*slot)(), const QString& icon, int fallback,
                                bool catalog) {
    auto* a = new QAction(text, &w_);
    a->setObjectName(name);
    if (!icon.isEmpty())
        a->setIcon(TIcons::Theme(icon.toLatin1().constData(),
                                 fallback >= 0 ? fallback : int(QStyle::SP_FileIcon)));
    if (slot) connect(a, &QAction::triggered, &w_, [c = &commands_, slot] { (c->*slot)(); });
    actions_[name] = a;
    if (catalog) catalogActions_.push_back(a);
    return a;
}

QAction* TMainMenus::Action(const QString& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void TMainMenus::AddScopedShortcut(QWidget* view, const QKeySequence& key,
                                   std::function<void()> fn) {
    auto* a = new QAction(view);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(a, &QAction::triggered, &w_, [fn = std::move(fn)] { fn(); });
    view->addAction(a);
    catalogActions_.push_back(a);
}

void TMainMenus::BuildActions() {
    using S = QStyle;
    auto cmd = [this](const char* name, const char* text, void (IMainCommands::*slot)(),
                      const char* icon = nullptr, int fallback = -1, bool catalog = true) {
        return MakeAction(QString::fromLatin1(name), QString::fromUtf8(text), slot,
                          icon ? QString::fromLatin1(icon) : QString(), fallback, catalog);
    };
    // Shortcuts shared by several commands are bound to the views below; the
    // menus only show them.
    auto shown = [](QAction* a, const QKeySequence& k) {
        a->setShortcut(k);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    };

    // Library
    // Besides the program's own keys, the ones every desktop program has: New,
    // Save As and Quit.
    cmd("miNew", "&New", &IMainCommands::tbNewClick, "document-new", S::SP_FileIcon)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    cmd("miOpen", "&Open..", &IMainCommands::tbOpenClick, "document-open", S::SP_DialogOpenButton)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    cmd("miReload", "Reload Current &Library", &IMainCommands::tbReloadClick, "view-refresh",
        S::SP_BrowserReload);
    cmd("miLProperties", "&Properties..", &IMainCommands::miLibPropertiesClick,
        "document-properties", S::SP_FileDialogDetailedView);
    cmd("miSave", "&Save", &IMainCommands::tbSaveClick, "document-save", S::SP_DialogSaveButton)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    cmd("miSaveAs", "Save &as..", &IMainCommands::tbSaveAsClick, "document-save-as",
        S::SP_DialogSaveButton)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    cmd("miImpLibrabry", "&Library", &IMainCommands::miImpLibrabryClick);
    cmd("miImpText", "&Text File", &IMainCommands::miImpTextClick);
    cmd("miImpOther", "Import Ot&her Catalog\u2026", &IMainCommands::miImpOtherClick);
    cmd("miExport", "&Export..", &IMainCommands::miExportClick, "document-export",
        S::SP_ArrowRight);
    cmd("miClose", "&Close Current Library", &IMainCommands::miCloseClick, "document-close",
        S::SP_DialogCloseButton)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    QAction* exit =
        cmd("miExit", "E&xit", nullptr, "application-exit", S::SP_DialogCloseButton, false);
    exit->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_Q)});
    connect(exit, &QAction::triggered, &w_, &QWidget::close);

    // Volume
    shown(cmd("miVAdd", "&Add", &IMainCommands::tbAddClick, "list-add", S::SP_DriveCDIcon),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("miVUpdate", "&Update", &IMainCommands::miVUpdateClick, "view-refresh", S::SP_BrowserReload)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    shown(cmd("miVDelete", "&Delete", &IMainCommands::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_Delete));
    shown(cmd("miVProperties", "&Properties..", &IMainCommands::miLPropertiesClick,
              "document-properties", S::SP_FileDialogDetailedView),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    cmd("miVPrint", "Print &Cover", &IMainCommands::tbPrintClick, "document-print",
        S::SP_ComputerIcon)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    shown(cmd("miVRealSource", "Explore &Real Source", &IMainCommands::pmLVRealSourceClick,
              "folder-open", S::SP_DirOpenIcon),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    cmd("miVSearch", "Search", &IMainCommands::pmTvSearchClick, "edit-find",
        S::SP_FileDialogContentsView)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    cmd("miVExport", "&Export..", &IMainCommands::AsText1Click, "document-export",
        S::SP_ArrowRight);
    QAction* stop = cmd("miVStopProcess", "&Stop Process", &IMainCommands::miVStopProcessClick,
                        "process-stop", S::SP_BrowserStop, false);
    stop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    stopActions_.push_back(stop);

    // Files
    shown(cmd("miFProperties", "&Properties..", &IMainCommands::miLPropertiesClick),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    shown(cmd("miFDelete", "&Delete", &IMainCommands::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_D));
    shown(cmd("miFRealSource", "&Open Real Source", &IMainCommands::pmLVRealSourceClick),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    shown(cmd("miFSelectAll", "Select &All", &IMainCommands::miFSelectAllClick, "edit-select-all",
              S::SP_DialogApplyButton),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("miFInvert", "&Invert Selection", &IMainCommands::InvertSelection2Click);
    shown(cmd("miFSearch", "&Search", &IMainCommands::pmLVSearchByClick),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F));

    // View
    struct TToggle {
        const char* name;
        const char* text;
        bool TViewSettings::*field;
    };
    for (const TToggle& t : {TToggle{"miViewToolbar", "&Toolbar", &TViewSettings::Toolbar},
                             TToggle{"miViewStatusbar", "&Statusbar", &TViewSettings::StatusBar},
                             TToggle{"miViewMessages", "&Messages", &TViewSettings::Messages},
                             TToggle{"miInfobar", "&Information Bar", &TViewSettings::InfoBar},
                             TToggle{"miAutoResizeColumns", "&Auto Resize Columns",
                                     &TViewSettings::AutoResizeColumns}}) {
        QAction* a = cmd(t.name, t.text, nullptr, nullptr, -1, false);
        a->setCheckable(true);
        auto field = t.field;
        connect(a, &QAction::toggled, &w_, [this, field](bool on) {
            gd_.ViewSettings.*field = on;
            commands_.ViewSettingsChanged();
        });
    }
    cmd("miRefresh", "&Refresh", &IMainCommands::tbRefreshClick, "view-refresh",
        S::SP_BrowserReload)
        ->setShortcut(QKeySequence(Qt::Key_F5));
    cmd("miSpaceView", "S&pace View", &IMainCommands::miSpaceViewClick, "drive-harddisk",
        S::SP_DriveHDIcon);

    // Favorites
    cmd("miAddFavorites", "Add &to Favorites", &IMainCommands::miAddFavoritesClick, "bookmark-new",
        S::SP_DialogYesButton);
    cmd("miOrgFavorites", "&Organize Favorites", &IMainCommands::tbOrgFavoritesClick,
        "user-bookmarks", S::SP_DirLinkIcon);

    // Tools
    cmd("miFind", "&Find..", &IMainCommands::tbFindClick, "edit-find", S::SP_FileDialogContentsView)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    cmd("miCategories", "&Categories", &IMainCommands::tbCatClick, "tag", S::SP_FileDialogListView);
    cmd("miLocations", "Locatio&ns", &IMainCommands::miLocationsClick, "mark-location",
        S::SP_DirHomeIcon);
    cmd("miTags", "&Tags", &IMainCommands::miTagsClick);
    cmd("miHandlers", "&Handlers", &IMainCommands::miHandlersClick);
    cmd("miExpLng", "E&xport Current Language..", &IMainCommands::miExpLngClick);
    cmd("miLoadOriginalLanguage", "Load Ori&ginal Language",
        &IMainCommands::miLoadOriginalLanguageClick);
    cmd("miOptions", "&Options", &IMainCommands::tbOptionsClick, "preferences-system",
        S::SP_FileDialogDetailedView);

    // Help
    cmd("miContents", "&Contents", &IMainCommands::miContentsClick, "help-contents",
        S::SP_DialogHelpButton, false)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    cmd("miAbout", "&About..", &IMainCommands::tbAboutClick, "help-about",
        S::SP_MessageBoxInformation, false);

    // List pop-up
    shown(cmd("pmLVOpen", "&Open", &IMainCommands::pmLVOpenClick), QKeySequence(Qt::Key_Return));
    shown(cmd("pmLVProperties", "&Properties..", &IMainCommands::pmLVPropertiesClick),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    shown(cmd("pmLVDelete", "&Delete", &IMainCommands::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_D));
    shown(cmd("pmLVRealSource", "Open &Real Source", &IMainCommands::pmLVRealSourceClick),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    shown(cmd("pmLVSelectAll", "Select &All", &IMainCommands::miFSelectAllClick),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("pmLVInvert", "&Invert Selection", &IMainCommands::InvertSelection2Click);
    shown(cmd("pmLVSearchBy", "&Search", &IMainCommands::pmLVSearchByClick),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F));
    shown(cmd("pmLVSearchDuplicates", "Search D&uplicates",
              &IMainCommands::pmLVSearchDuplicatesClick),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));

    // Tree pop-up
    shown(cmd("pmTvAdd", "&Add", &IMainCommands::tbAddClick, "list-add", S::SP_DriveCDIcon),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("pmTvUpdate", "&Update", &IMainCommands::miVUpdateClick, "view-refresh",
        S::SP_BrowserReload);
    shown(cmd("pmTvDelete", "&Delete", &IMainCommands::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_Delete));
    shown(cmd("pmTvProperties", "&Properties..", &IMainCommands::miLPropertiesClick),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    cmd("pmTvPrint", "Print &Cover", &IMainCommands::tbPrintClick);
    shown(cmd("pmTvRealSource", "Explore &Real Source", &IMainCommands::pmLVRealSourceClick),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    cmd("pmTvSearch", "&Search", &IMainCommands::pmTvSearchClick);
    cmd("pmTvSpaceView", "Space &View", &IMainCommands::miSpaceViewClick);
    cmd("pmTvExport", "&Export..", &IMainCommands::AsText1Click);
    cmd("pmTvImpLibrabry", "&Library", &IMainCommands::miImpLibrabryClick);
    cmd("pmTvImpText", "&Text File", &IMainCommands::miImpTextClick);

    // Collections pop-up
    cmd("pmColProp", "&Properties", &IMainCommands::miColPropClick);
    cmd("pmColAdd", "New &Collection", &IMainCommands::miColAddClick, "folder-new",
        S::SP_FileDialogNewFolder);
    cmd("pmColAddSub", "New &Sub Collection", &IMainCommands::miColAddSubClick);
    cmd("pmColNewMemo", "New &Memo Item", &IMainCommands::miColNewMemoClick);
    shown(cmd("pmColRen", "&Rename", &IMainCommands::miColRenClick), QKeySequence(Qt::Key_F2));
    cmd("pmColDel", "&Delete", &IMainCommands::miColDelClick, "edit-delete", S::SP_TrashIcon);
    cmd("pmColRun", "&Open Link", &IMainCommands::miColRunClick);

    // The shortcuts of the views: each acts on the view that has the focus.
    AddScopedShortcut(views_.NodesView(), QKeySequence(Qt::CTRL | Qt::Key_A),
                      [this] { commands_.tbAddClick(); });
    for (QKeyCombination k : {Qt::CTRL | Qt::Key_Delete, Qt::CTRL | Qt::Key_D}) {
        AddScopedShortcut(views_.NodesView(), k, [this] { commands_.tbDelClick(); });
        AddScopedShortcut(views_.ColView(), k, [this] { commands_.tbDelClick(); });
    }
    AddScopedShortcut(views_.NodesView(), QKeySequence(Qt::ALT | Qt::Key_Return),
                      [this] { commands_.miLPropertiesClick(); });
    AddScopedShortcut(views_.NodesView(), QKeySequence(Qt::CTRL | Qt::Key_Return),
                      [this] { commands_.pmLVRealSourceClick(); });
    AddScopedShortcut(views_.ColView(), QKeySequence(Qt::ALT | Qt::Key_Return),
                      [this] { commands_.miColPropClick(); });
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(views_.ListView()),
                                 static_cast<QAbstractItemView*>(views_.IconsView()),
                                 static_cast<QAbstractItemView*>(views_.ThumbsView())}) {
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::Key_A),
                          [this] { commands_.miFSelectAllClick(); });
        for (QKeyCombination k : {Qt::CTRL | Qt::Key_Delete, Qt::CTRL | Qt::Key_D})
            AddScopedShortcut(v, k, [this] { commands_.tbDelClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::Key_Return), [this] { commands_.pmLVOpenClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::ALT | Qt::Key_Return),
                          [this] { commands_.pmLVPropertiesClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::Key_Return),
                          [this] { commands_.pmLVRealSourceClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F),
                          [this] { commands_.pmLVSearchByClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D),
                          [this] { commands_.pmLVSearchDuplicatesClick(); });
    }
}

void TMainMenus::BuildMenus() {
    QMenuBar* mb = w_.menuBar();
    mb->setObjectName(QStringLiteral("MainMenu"));
    auto menu = [this](QWidget* parent, const char* name, const char* title) {
        auto* m = new QMenu(QString::fromUtf8(title), parent);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto add = [this](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (!*n)
                m->addSeparator();
            else
                m->addAction(Action(QString::fromLatin1(n)));
        }
    };

    QMenu* lib = menu(mb, "miLibrary", "&Library");
    add(lib, {"miNew", "miOpen"});
    miReopen_ = menu(lib, "miReopen", "&Reopen Library");
    lib->addMenu(miReopen_);
    add(lib, {"miReload", "miLProperties", "", "miSave", "miSaveAs", ""});
    QMenu* imp = menu(lib, "miImport", "&Import");
    add(imp, {"miImpLibrabry", "miImpText"});
    lib->addMenu(imp);
    add(lib, {"miImpOther", "miExport", "", "miClose", "miExit"});
    mb->addMenu(lib);

    QMenu* vol = menu(mb, "miVolume", "V&olume");
    add(vol, {"miVAdd", "miVUpdate", "miVDelete", "", "miVProperties", "miVPrint", "miVRealSource",
              "miVSearch", "miVExport", "", "miVStopProcess"});
    mb->addMenu(vol);

    // View styles and sort columns: two menus (Files and the list pop-up) show the same checks.
    const char* styleNames[] = {"LargeIcons", "SmallIcons", "List", "Details", "Thumbnails"};
    const char* styleTexts[] = {"Lar&ge Icons", "S&mall Icons", "&List", "&Details", "T&humbnails"};
    const char* sortNames[] = {"Name", "Type", "Size", "Date", "Category", "Comments"};
    const char* sortTexts[] = {"&Name", "&Type", "&Size", "&Date", "&Category", "C&omments"};
    auto styleMenu = [&](QMenu* m, const QString& prefix, std::vector<QAction*>& out,
                         QActionGroup*& group) {
        group = new QActionGroup(&w_);
        for (int i = 0; i < kListStyles; ++i) {
            QAction* a = MakeAction(prefix + QString::fromLatin1(styleNames[i]),
                                    QString::fromUtf8(styleTexts[i]), nullptr, {}, -1, false);
            a->setCheckable(true);
            a->setChecked(i == 3);
            group->addAction(a);
            m->addAction(a);
            connect(a, &QAction::triggered, &w_, [this, i] { layout_.SetListViewStyle(i); });
            out.push_back(a);
        }
    };
    auto arrangeMenu = [&](QMenu* m, const QString& prefix, std::vector<QAction*>& out) {
        for (int i = 0; i < 6; ++i) {
            QAction* a = MakeAction(prefix + QString::fromLatin1(sortNames[i]),
                                    QString::fromUtf8(sortTexts[i]), nullptr);
            a->setCheckable(true);
            m->addAction(a);
            connect(a, &QAction::triggered, &w_, [this, i] { commands_.SortListBy(i); });
            out.push_back(a);
        }
    };

    miFiles_ = menu(mb, "miFiles", "F&iles");
    add(miFiles_,
        {"miFProperties", "miFDelete", "miFRealSource", "", "miFSelectAll", "miFInvert", ""});
    QMenu* fView = menu(miFiles_, "miFView", "&View");
    styleMenu(fView, QStringLiteral("miF"), viewStyle_, viewStyleGroup_);
    miFiles_->addMenu(fView);
    QMenu* fArr = menu(miFiles_, "miFArrange", "A&rrange Icons");
    arrangeMenu(fArr, QStringLiteral("miF"), arrange_);
    miFiles_->addMenu(fArr);
    add(miFiles_, {"", "miFSearch"});
    connect(miFiles_, &QMenu::aboutToShow, this, &TMainMenus::UpdateFilesMenu);
    mb->addMenu(miFiles_);

    QMenu* view = menu(mb, "miView", "&View");
    add(view, {"miViewToolbar", "miViewStatusbar", "miViewMessages", "miInfobar", "",
               "miAutoResizeColumns", "", "miRefresh", "miSpaceView"});
    mb->addMenu(view);

    miFavorites_ = menu(mb, "miFavorites", "F&avorites");
    mb->addMenu(miFavorites_);

    QMenu* tools = menu(mb, "miTools", "&Tools");
    add(tools, {"miFind", "", "miCategories", "miLocations", "miTags", "miHandlers", "", "miExpLng",
                "miLoadOriginalLanguage"});
    miLanguages_ = menu(tools, "miLanguages", "&Languages");
    tools->addMenu(miLanguages_);
    add(tools, {"", "miOptions"});
    mb->addMenu(tools);

    QMenu* help = menu(mb, "miHelp", "&Help");
    add(help, {"miContents", "miAbout"});
    mb->addMenu(help);

    pmLv_ = menu(&w_, "pmLv", "");
    add(pmLv_, {"pmLVOpen", "pmLVProperties", "pmLVDelete", "pmLVRealSource", "", "pmLVSelectAll",
                "pmLVInvert", ""});
    QMenu* lvView = menu(pmLv_, "pmLVView", "&View");
    styleMenu(lvView, QStringLiteral("pmLV"), viewStyle2_, viewStyleGroup2_);
    pmLv_->addMenu(lvView);
    QMenu* lvArr = menu(pmLv_, "pmLVArrange", "Arrange I&cons");
    arrangeMenu(lvArr, QStringLiteral("pmLV"), arrange2_);
    pmLv_->addMenu(lvArr);
    add(pmLv_, {"", "pmLVSearchBy", "pmLVSearchDuplicates"});

    auto nodeMenu = [&](QMenu* parent, const char* name, QTreeView* tree, const QString& prefix) {
        QMenu* m = menu(parent, name, "&Node");
        const char* texts[] = {"Expand One Level", "Collapse One Level", "Expand All Levels",
                               "Collapse All Levels"};
        const char* names[] = {"ExpandOne", "CollapseOne", "ExpandAll", "CollapseAll"};
        for (int i = 0; i < 4; ++i) {
            QAction* a = MakeAction(prefix + QString::fromLatin1(names[i]),
                                    QString::fromUtf8(texts[i]), nullptr);
            connect(a, &QAction::triggered, &w_, [this, tree, i] {
                if (!commands_.CheckIdle()) return;
                QModelIndex idx = tree->currentIndex();
                if (!idx.isValid()) return;
                switch (i) {
                case 0:
                    tree->expand(idx);
                    break;
                case 1:
                    tree->collapse(idx);
                    break;
                case 2:
                    tree->expandRecursively(idx);
                    break;
                default: {
                    // Collapse the whole subtree, deepest first.
                    std::vector<QModelIndex> stack{idx}, all;
                    while (!stack.empty()) {
                        QModelIndex c = stack.back();
                        stack.pop_back();
                        if (!tree->isExpanded(c)) continue;
                        all.push_back(c);
                        for (int r = 0; r < tree->model()->rowCount(c); ++r)
                            stack.push_back(tree->model()->index(r, 0, c));
                    }
                    for (auto it = all.rbegin(); it != all.rend(); ++it)
                        tree->collapse(*it);
                }
                }
            });
            m->addAction(a);
        }
        return m;
    };

    pmTv_ = menu(&w_, "pmTv", "");
    add(pmTv_, {"pmTvAdd", "pmTvUpdate", "pmTvDelete", "", "pmTvProperties", "pmTvPrint",
                "pmTvRealSource", "pmTvSearch", "pmTvSpaceView", "", "pmTvExport"});
    QMenu* tvImp = menu(pmTv_, "pmTvImport", "&Import");
    add(tvImp, {"pmTvImpLibrabry", "pmTvImpText"});
    pmTv_->addMenu(tvImp);
    pmTv_->addSeparator();
    pmTv_->addMenu(nodeMenu(pmTv_, "pmTvNode", views_.NodesView(), QStringLiteral("pmTVNode")));

    pmCol_ = menu(&w_, "pmCol", "");
    add(pmCol_, {"pmColProp", "", "pmColAdd", "pmColAddSub", "pmColNewMemo", "", "pmColRen",
                 "pmColDel", "", "pmColRun", ""});
    pmCol_->addMenu(nodeMenu(pmCol_, "pmColNode", views_.ColView(), QStringLiteral("pmColNode")));
}

QAction* TMainMenus::MakeToolAction(const QString& name, const QString& hint, QAction* like) {
    auto* a = new QAction(like->icon(), hint, &w_);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setProperty("tamblixHint", true);
    connect(a, &QAction::triggered, like, &QAction::trigger);
    actions_[name] = a;
    if (std::find(catalogActions_.begin(), catalogActions_.end(), like) != catalogActions_.end())
        catalogActions_.push_back(a);
    if (std::find(stopActions_.begin(), stopActions_.end(), like) != stopActions_.end())
        stopActions_.push_back(a);
    return a;
}

void TMainMenus::BuildToolbar() {
    tb_ = w_.addToolBar(QStringLiteral("Toolbar"));
    tb_->setObjectName(QStringLiteral("tb"));
    tb_->setMovable(false);
    tb_->setIconSize(QSize(22, 22));
    auto tool = [this](const char* name, const char* hint, const char* like) {
        tb_->addAction(MakeToolAction(QString::fromLatin1(name), QString::fromUtf8(hint),
                                      Action(QString::fromLatin1(like))));
    };
    tool("tbNew", "New", "miNew");
    tool("tbOpen", "Open", "miOpen");
    tool("tbReload", "Reload Current Library", "miReload");
    tool("tbSave", "Save", "miSave");
    tb_->addSeparator();
    tool("tbAdd", "Add Volume", "miVAdd");
    tool("tbUpdate", "Update", "miVUpdate");
    tool("tbEdit", "Properties", "pmLVProperties");
    Action(QStringLiteral("tbEdit"))
        ->setIcon(TIcons::Theme("document-properties", QStyle::SP_FileDialogDetailedView));
    tool("tbDel", "Delete Volume", "miVDelete");
    tb_->addSeparator();
    // Import and languages drop down their menus.
    auto dropDown = [this](const char* name, const char* hint, QMenu* menu, const QIcon& icon) {
        // The action stands in for the menu: its text is the menu's title.
        const QString text = menu->title().isEmpty() ? QString::fromUtf8(hint) : menu->title();
        auto* a = new QAction(icon, text, &w_);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(QString::fromUtf8(hint));
        a->setProperty("tamblixHint", true);
        a->setMenu(menu);
        actions_[a->objectName()] = a;
        catalogActions_.push_back(a);
        tb_->addAction(a);
        if (auto* b = qobject_cast<QToolButton*>(tb_->widgetForAction(a)))
            b->setPopupMode(QToolButton::InstantPopup);
    };
    auto* impMenu = new QMenu(&w_);
    impMenu->setObjectName(QStringLiteral("pmImport"));
    impMenu->addAction(Action(QStringLiteral("miImpLibrabry")));
    impMenu->addAction(Action(QStringLiteral("miImpText")));
    dropDown("tbImport", "Import", impMenu, TIcons::Theme("document-import", QStyle::SP_ArrowLeft));
    tool("tbExport", "Export", "miVExport");
    tool("tbFind", "Find", "miFind");
    tool("tbPrint", "Print", "miVPrint");
    tb_->addSeparator();
    tool("tbCat", "Categories", "miCategories");
    tool("tbLoc", "Locations", "miLocations");
    tool("tbOrgFavorites", "Organize Favorites", "miOrgFavorites");
    tool("tbOptions", "Options", "miOptions");
    tb_->addSeparator();
    tool("tbRefresh", "Refresh", "miRefresh");
    // Thumbnails or details at one click; the View menus offer every style.
    auto* thumbs = new QAction(TIcons::Theme("view-preview", QStyle::SP_FileDialogContentsView),
                               QStringLiteral("Thumbnails"), &w_);
    thumbs->setObjectName(QStringLiteral("tbThumbs"));
    thumbs->setToolTip(QStringLiteral("Thumbnails"));
    thumbs->setProperty("tamblixHint", true);
    thumbs->setCheckable(true);
    actions_[thumbs->objectName()] = thumbs;
    connect(thumbs, &QAction::triggered, &w_,
            [this](bool on) { layout_.SetListViewStyle(on ? kThumbnailStyle : kDetailsStyle); });
    layout_.SetThumbsToggle(thumbs);
    tb_->addAction(thumbs);
    tool("tbStop", "Stop", "miVStopProcess");
    tb_->addSeparator();
    dropDown("tbLng", "Languages", miLanguages_,
             TIcons::Theme("preferences-desktop-locale", QStyle::SP_DirLinkIcon));
    tool("tbHelp", "Help", "miContents");
    tool("tbAbout", "About", "miAbout");
}

void TMainMenus::UpdateActions(bool idle, bool hasVolumes, bool hasFile) {
    for (QAction* a : catalogActions_)
        a->setEnabled(idle);
    // Only what works is on: the volume commands need a volume, a favorite needs a file.
    for (const char* n :
         {"miVUpdate", "miVDelete",      "miVProperties", "miVPrint",      "miVRealSource",
          "miVSearch", "miVExport",      "miSpaceView",   "tbUpdate",      "tbDel",
          "tbPrint",   "tbExport",       "pmTvUpdate",    "pmTvDelete",    "pmTvProperties",
          "pmTvPrint", "pmTvRealSource", "pmTvSearch",    "pmTvSpaceView", "pmTvExport"})
        if (QAction* a = Action(QString::fromLatin1(n))) a->setEnabled(idle && hasVolumes);
    Action(QStringLiteral("miAddFavorites"))->setEnabled(idle && hasFile);
    for (QAction* a : stopActions_)
        a->setEnabled(!idle);
    miReopen_->setEnabled(idle && !miReopen_->isEmpty());
    miLanguages_->setEnabled(idle && !miLanguages_->isEmpty());
    miFavorites_->setEnabled(idle);
}

void TMainMenus::CheckViewSettings() {
    const TViewSettings& v = gd_.ViewSettings;
    auto check = [this](const char* name, bool on) {
        QAction* a = Action(QString::fromLatin1(name));
        QSignalBlocker block(a);
        a->setChecked(on);
    };
    check("miViewToolbar", v.Toolbar);
    check("miViewStatusbar", v.StatusBar);
    check("miViewMessages", v.Messages);
    check("miInfobar", v.InfoBar);
    check("miAutoResizeColumns", v.AutoResizeColumns);
    tb_->setVisible(v.Toolbar);
}

void TMainMenus::UpdateFilesMenu() {
    const bool idle = commands_.CheckIdle();
    const bool any = idle && !views_.SelectedEntries().empty();
    TLibFolderItem* e = views_.CurrentEntry();
    for (const char* n :
         {"miFProperties", "miFDelete", "miFRealSource", "miFSearch", "pmLVOpen", "pmLVProperties",
          "pmLVDelete", "pmLVRealSource", "pmLVSearchBy", "pmLVSearchDuplicates"})
        Action(QString::fromLatin1(n))->setEnabled(any);
    Action(QStringLiteral("pmLVOpen"))->setEnabled(any && e && e->IsFolder);
}

void TMainMenus::UpdateCollectionMenu() {
    TLibColItem* c = ColItemOf(views_.SelectedColNode());
    const bool idle = commands_.CheckIdle();
    Action(QStringLiteral("pmColRun"))->setEnabled(idle && c && !c->URL.empty());
    for (const char* n : {"pmColProp", "pmColAddSub", "pmColNewMemo", "pmColRen", "pmColDel"})
        Action(QString::fromLatin1(n))->setEnabled(idle && c);
}
