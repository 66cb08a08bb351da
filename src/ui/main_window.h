#pragma once

#include "analysis/handlers.h"
#include "settings/progress_state.h"
#include "ui/multi_lang.h"
#include "ui/ui_questions.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QPointer>
#include <QtWidgets/QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct TPropertiesTarget;
class ISettingsStore;
class TGlobalData;
class TLibObj;
class TLibFolder;
class TLibFolderItem;
class TTreeNode;
class TCatalogTreeModel;
class TEntryListModel;
class TSearchResults;
class TfrmSearch;
class TfrmExport;
class TfrmImport;
class QAbstractItemView;
class QAction;
class QActionGroup;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTabBar;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QToolBar;
class QTreeView;
class QWidget;

// A status bar of a few text panels (the window's small status bars).
class TPanelBar;

// The main window: the catalog tree, the collections tree, the list of the
// selected folder and the information bar, and every command on them. Long
// operations run on this thread; while one runs every view of the catalog is
// frozen and every command that touches it is off.
class TfrmMain : public QMainWindow, public IProgressSink {
    Q_OBJECT
public:
    // Takes the settings store the program uses (CreateSettingsStore).
    explicit TfrmMain(std::unique_ptr<ISettingsStore> store, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up after every window exists: the language, then the first catalog
    // (`argument` when it names an existing file, else the last catalog).
    void LoadLanguage();
    void OpenFirstCatalog(const QString& argument);
    // A catalog handed over by a second start of the program.
    void OpenFromOtherInstance(const QString& path);

    TGlobalData& GD() const { return *gd_; }
    TLibObj& Lib() const { return *lib_; }
    THandlerList& Handlers() { return handlers_; }
    TMultiLang& Translator() { return lang_; }
    TUiQuestions& Questions() { return questions_; }
    ISettingsStore& Store() const { return *store_; }
    bool Busy() const { return busy_ > 0; }

    QTreeView* NodesView() const { return tvNodes_; }
    QTreeView* ColView() const { return tvCol_; }
    QTreeView* ListView() const { return lv_; }
    TCatalogTreeModel* NodesModel() const { return nodesModel_; }
    TCatalogTreeModel* ColModel() const { return colModel_; }
    TEntryListModel* ListModel() const { return listModel_; }
    QPlainTextEdit* Messages() const { return msgs_; }
    QTabBar* Tabs() const { return tab_; }
    QAction* Action(const QString& name) const;
    QString MainStatus(int panel) const;
    QString ListStatus(int panel) const;
    QString InfoMemoText() const;

    // Commands, by their handler names.
    void tbNewClick();
    void tbOpenClick();
    // Opens `path` after the save question; `confirm` asks "confLoad" first.
    bool OpenFile(const std::string& path, bool confirm);
    void tbReloadClick();
    void tbSaveClick();
    void tbSaveAsClick();
    void miImpLibrabryClick();
    void miImpTextClick();
    void miExportClick();
    void miCloseClick();
    void tbAddClick();
    void miVUpdateClick();
    void tbDelClick();
    void tbPrintClick();
    void pmLVRealSourceClick();
    void pmLVPropertiesClick();
    void pmLVOpenClick();
    void miLPropertiesClick();
    void miLibPropertiesClick();
    void tbFindClick();
    void pmTvSearchClick();
    void pmLVSearchByClick();
    void pmLVSearchDuplicatesClick();
    void AsText1Click();
    // The search window's Export: the export dialog in its search-results scope.
    void ExportSearchResults(TSearchResults* results);
    void miVStopProcessClick();
    void miFSelectAllClick();
    void InvertSelection2Click();
    void tbRefreshClick();
    void miAddFavoritesClick();
    void tbOrgFavoritesClick();
    void tbCatClick();
    void miLocationsClick();
    void miTagsClick();
    void miHandlersClick();
    void tbOptionsClick();
    void miContentsClick();
    void tbAboutClick();
    void miExpLngClick();
    void miLoadOriginalLanguageClick();
    void miColAddClick();
    void miColAddSubClick();
    void miColNewMemoClick();
    void miColRenClick();
    void miColDelClick();
    void miColRunClick();
    void miColPropClick();
    // A column header click or an arrange-icons item.
    void SortListBy(int column);
    void SetTab(int index);

    // Selection helpers (also for tests).
    void SelectNode(TTreeNode* node);
    void SelectColNode(TTreeNode* node);
    TTreeNode* SelectedNode() const;
    TTreeNode* SelectedColNode() const;
    std::vector<TTreeNode*> SelectedNodes() const;
    std::vector<TTreeNode*> SelectedColNodes() const;
    std::vector<TLibFolderItem*> SelectedEntries() const;
    void SelectEntries(const std::vector<TLibFolderItem*>& entries);
    // The view commands act on: the catalog tree, the list or the collections tree.
    QAbstractItemView* ActiveView() const;
    void SetActiveView(QAbstractItemView* view);
    // Links the dragged items of `source` ("tvNodes", "lv", "tvCol") under `target`.
    void DropOnCollections(const QString& source, TTreeNode* target);
    // Rebuilds every view from the catalog (after loads, deletions, scans).
    void RebuildViews();

    // The add and update dialogs, made once (the add dialog keeps its title between volumes).
    class TfrmNewVolume& NewVolumeDialog();
    class TfrmUpdate& UpdateDialog();
    // The search window and the export and import dialogs, made once.
    TfrmSearch& SearchWindow();
    TfrmExport& ExportDialog();
    TfrmImport& ImportDialog();

    // IProgressSink
    void ProgressStarted(const std::string& label, int64_t maximum) override;
    void ProgressMoved(int64_t position) override;
    void ProgressEnded() override;
    void StatusText(const std::string& text) override;
    void LogLine(const std::string& text) override;
    void IdleChanged(bool idle) override;
    void Beep() override;
    void ProcessEvents() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TWindowBusyScope;
    void RunProperties(const TPropertiesTarget& target);
    class TPumpProgress;

    void BuildViews();
    void BuildActions();
    void BuildMenus();
    void BuildToolbar();
    QAction* MakeAction(const QString& name, const QString& text, void (TfrmMain::*slot)(),
                        const QString& icon = {}, int fallback = -1, bool catalog = true);
    QAction* MakeToolAction(const QString& name, const QString& hint, QAction* like);
    void AddScopedShortcut(QWidget* view, const QKeySequence& key, std::function<void()> fn);

    void ApplySettingsToLib();
    void NewLibrary(bool modified);
    void ClearStatus();
    void UpdateStatus();
    void UpdateActions();
    void UpdateRecentMenu();
    void BuildFavoritesMenu();
    void OpenFavorite(const std::string& path);
    void RebuildLanguageMenu();
    void RetranslateDynamic();
    void ApplyViewSettings();
    void StoreViewSettings();
    void ApplyColumnWidths();
    void LoadPanelLayout();
    void SavePanelLayout();
    void SaveAtExit();

    void FillList(TTreeNode* node);
    void RefreshInfo();
    void OnNodeChanged();
    void OnColNodeChanged();
    void OnRenameRequested(TTreeNode* node, const QString& text);
    void ShowListMenu(const QPoint& pos);
    void ShowTreeMenu(const QPoint& pos);
    void ShowColMenu(const QPoint& pos);
    void UpdateFilesMenu();
    void SetListViewStyle(int style);
    void RestoreExpansion(QTreeView* view, TCatalogTreeModel* model);

    // Runs a long operation: views frozen, commands off, errors shown, views
    // rebuilt afterwards. False when it threw.
    bool RunBusy(const std::function<void()>& operation);
    void BeginBusy();
    void EndBusy();
    bool CheckIdle();
    void ShowException(const std::exception& e);
    // how: 0 Find, 1 from the tree, 2 by the entry's name, 3 its duplicates (runs at once).
    void ShowSearch(int how);
    // scope: 0 library, 1 selected nodes, 2 search results.
    void RunExportCommand(int scope, TSearchResults* results);
    void RunImportCommand();
    void CountsForSummary();
    bool SaveCatalog(bool askName);
    bool SaveOnExit();
    // Deletes the list's selected entries (with "Confirm Delete file").
    void DeleteSelectedEntries();
    void DeleteSelectedNodes();

    std::unique_ptr<ISettingsStore> store_;
    std::unique_ptr<TGlobalData> gd_;
    std::unique_ptr<TLibObj> lib_;
    THandlerList handlers_;
    TMultiLang lang_;
    TUiQuestions questions_;
    std::unique_ptr<TPumpProgress> pump_;
    QElapsedTimer pumpTimer_;
    bool skipPump_ = false;
    int busy_ = 0;
    bool closing_ = false;
    bool stopPressed_ = false;

    // Widgets, named as the program's controls.
    QToolBar* tb_ = nullptr;
    QWidget* panMessages_ = nullptr;
    QPlainTextEdit* msgs_ = nullptr;
    QSplitter* spltMsgs_ = nullptr;
    QSplitter* spltMain_ = nullptr;
    QSplitter* spltList_ = nullptr;
    QWidget* infoPan_ = nullptr;
    QLabel* lblPB_ = nullptr;
    QProgressBar* pb_ = nullptr;
    TPanelBar* sbMain_ = nullptr;
    QTabBar* tab_ = nullptr;
    QWidget* panCol_ = nullptr;
    QTreeView* tvCol_ = nullptr;
    TPanelBar* sbColH_ = nullptr;
    TPanelBar* sbColL_ = nullptr;
    QWidget* panTV_ = nullptr;
    QTreeView* tvNodes_ = nullptr;
    TPanelBar* sbTree_ = nullptr;
    TPanelBar* sbLoc_ = nullptr;
    QSplitter* spt_ = nullptr;
    QWidget* panLV_ = nullptr;
    QStackedWidget* lvStack_ = nullptr;
    QTreeView* lv_ = nullptr;
    QListView* lvIcons_ = nullptr;
    TPanelBar* sb_ = nullptr;
    TPanelBar* sbFp_ = nullptr;
    QWidget* panInfo_ = nullptr;
    QTabWidget* pcInfo_ = nullptr;
    QTextEdit* infomemo_ = nullptr;
    QLabel* infolblCat_ = nullptr;
    QLabel* infolblLoc_ = nullptr;
    QTableWidget* infovle_ = nullptr;

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

    TCatalogTreeModel* nodesModel_ = nullptr;
    TCatalogTreeModel* colModel_ = nullptr;
    TEntryListModel* listModel_ = nullptr;

    // Commands that read or write the catalog: off while busy.
    std::vector<QAction*> catalogActions_;
    std::vector<QAction*> stopActions_;
    std::map<QString, QAction*> actions_;
    QPointer<QAbstractItemView> activeView_;
    int currentTab_ = -1;
    unsigned viewGeneration_ = 0;
    bool colDragging_ = false;
    TfrmNewVolume* newVolume_ = nullptr;
    TfrmUpdate* update_ = nullptr;
    TfrmSearch* search_ = nullptr;
    TfrmExport* export_ = nullptr;
    TfrmImport* import_ = nullptr;
};
