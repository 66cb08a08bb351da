#pragma once

#include "handlers/handlers.h"
#include "settings/progress_state.h"
#include "ui/catalog_commands.h"
#include "ui/collection_commands.h"
#include "ui/main_commands.h"
#include "ui/main_host.h"
#include "ui/main_menus.h"
#include "ui/main_views.h"
#include "ui/multi_lang.h"
#include "ui/peer_import_command.h"
#include "ui/search_commands.h"
#include "ui/search_host.h"
#include "ui/space_host.h"
#include "ui/tool_commands.h"
#include "ui/ui_questions.h"
#include "ui/view_layout.h"
#include "ui/volume_commands.h"

#include <QtWidgets/QMainWindow>
#include <memory>
#include <string>
#include <vector>

class ISettingsStore;
class TCatalogCommands;
class TCatalogTreeModel;
class TCollectionCommands;
class TEntryListModel;
class TEventPumpProgress;
class TGlobalData;
class TLibFolderItem;
class TLibObj;
class TMainMenus;
class TMainViews;
class TEmptyCatalogBar;
class TMountNotices;
class TPanelBar;
class TProgressPanel;
class TSearchCommands;
class TSearchResults;
class TToolCommands;
class TTreeNode;
class TViewLayout;
class TVolumeCommands;
class TfrmExport;
class TfrmImport;
class TfrmNewVolume;
class TfrmSearch;
class TfrmSpace;
class TfrmUpdate;
class QAbstractItemView;
class QAction;
class QPlainTextEdit;
class QTabBar;
class QTreeView;

// The main window: the views of the catalog and its commands, grouped by what
// they work on. Long operations run on this thread; while one runs every view
// of the catalog is frozen and every command that touches it is off.
class TfrmMain : public QMainWindow,
                 public IProgressSink,
                 private IMainCommands,
                 private IMainHost,
                 private ISearchHost,
                 private ISpaceHost {
    Q_OBJECT
public:
    // Takes the settings store the program uses (CreateSettingsStore).
    explicit TfrmMain(std::unique_ptr<ISettingsStore> store, QWidget* parent = nullptr);
    // Keeps the list files (favorites, categories, locations, tags) in
    // `listFolder` instead of the user's config folder: one profile per folder.
    TfrmMain(std::unique_ptr<ISettingsStore> store, const std::string& listFolder,
             QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up after every window exists: the language, then the first catalog
    // (`argument` when it names an existing file, else the last catalog).
    void LoadLanguage();
    void OpenFirstCatalog(const QString& argument) { catalog_->OpenFirst(argument); }
    // A catalog handed over by a second start of the program.
    void OpenFromOtherInstance(const QString& path);

    TGlobalData& GD() override { return *gd_; }
    const TGlobalData& GD() const { return *gd_; }
    TLibObj& Lib() override { return *lib_; }
    const TLibObj& Lib() const { return *lib_; }
    THandlerList& Handlers() override { return handlers_; }
    TMultiLang& Translator() { return lang_; }
    IUiQuestions& Questions() override { return *questions_; }
    // Where every question of this window and its dialogs goes from now on.
    void SetQuestions(IUiQuestions& questions) { questions_ = &questions; }
    ISettingsStore& Store() override { return *store_; }
    bool Busy() const { return busy_ > 0; }
    bool CheckIdle() override;

    QTreeView* NodesView() const { return views_->NodesView(); }
    QTreeView* ColView() const { return views_->ColView(); }
    QTreeView* ListView() const { return views_->ListView(); }
    TCatalogTreeModel* NodesModel() const { return views_->NodesModel(); }
    TCatalogTreeModel* ColModel() const { return views_->ColModel(); }
    TEntryListModel* ListModel() const { return views_->ListModel(); }
    QPlainTextEdit* Messages() const { return views_->Messages(); }
    QTabBar* Tabs() const { return views_->Tabs(); }
    QAction* Action(const QString& name) const { return menus_->Action(name); }
    QString MainStatus(int panel) const;
    QString ListStatus(int panel) const { return views_->ListStatus(panel); }
    QString InfoMemoText() const { return views_->InfoMemoText(); }

    // Commands, by their handler names.
    void tbNewClick() override { catalog_->New(); }
    void tbOpenClick() override { catalog_->Open(); }
    // Opens `path` after the save question; `confirm` asks "confLoad" first.
    bool OpenFile(const std::string& path, bool confirm) {
        return catalog_->OpenFile(path, confirm);
    }
    void tbReloadClick() override { catalog_->Reload(); }
    void tbSaveClick() override { catalog_->Save(false); }
    void tbSaveAsClick() override { catalog_->Save(true); }
    void miImpLibrabryClick() override { catalog_->ImportCatalog(); }
    void miImpOtherClick() override { TPeerImportCommand::Run(Host()); }
    void miImpTextClick() override {
        if (CheckIdle()) search_->Import();
    }
    void miExportClick() override {
        if (CheckIdle()) search_->Export(TExportScope::Library, nullptr);
    }
    void miCloseClick() override { catalog_->Close(); }
    void tbAddClick() override { volumes_->Add(); }
    void miVUpdateClick() override { volumes_->Update(); }
    void tbDelClick() override;
    void tbPrintClick() override { volumes_->PrintCover(); }
    void pmLVRealSourceClick() override { volumes_->OpenRealSource(); }
    void pmLVPropertiesClick() override;
    void pmLVOpenClick() override { volumes_->OpenEntry(); }
    void miLPropertiesClick() override { volumes_->NodeProperties(); }
    void miLibPropertiesClick() override { volumes_->CatalogProperties(); }
    void tbFindClick() override {
        if (CheckIdle()) search_->ShowSearch(TSearchStart::Find);
    }
    void pmTvSearchClick() override {
        if (CheckIdle()) search_->ShowSearch(TSearchStart::FromTree);
    }
    void pmLVSearchByClick() override {
        if (CheckIdle()) search_->ShowSearch(TSearchStart::ByName);
    }
    void pmLVSearchDuplicatesClick() override {
        if (CheckIdle()) search_->ShowSearch(TSearchStart::Duplicates);
    }
    // The space view of the selected node (the first volume when none is).
    void miSpaceViewClick() override;
    void AsText1Click() override {
        if (CheckIdle()) search_->Export(TExportScope::Selection, nullptr);
    }
    void miVStopProcessClick() override;
    void miFSelectAllClick() override { volumes_->SelectAll(); }
    void InvertSelection2Click() override { volumes_->InvertSelection(); }
    void tbRefreshClick() override { volumes_->Refresh(); }
    void miAddFavoritesClick() override { catalog_->AddFavorite(); }
    void tbOrgFavoritesClick() override { catalog_->OrganizeFavorites(); }
    void tbCatClick() override;
    void miLocationsClick() override {
        tools_->EditLocations(Action(QStringLiteral("miLocations"))->text());
    }
    void miTagsClick() override { tools_->EditTagNames(); }
    void miHandlersClick() override { tools_->EditHandlers(); }
    void tbOptionsClick() override;
    void miContentsClick() override { tools_->ShowManual(); }
    void tbAboutClick() override { tools_->ShowAbout(); }
    void miExpLngClick() override { tools_->ExportLanguage(); }
    void miLoadOriginalLanguageClick() override { tools_->LoadOriginalLanguage(); }
    void miColAddClick() override { collections_->Add(); }
    void miColAddSubClick() override { collections_->AddSub(); }
    void miColNewMemoClick() override { collections_->NewMemo(); }
    void miColRenClick() override { collections_->Rename(); }
    void miColDelClick() override { collections_->Delete(); }
    void miColRunClick() override { collections_->OpenLink(); }
    void miColPropClick() override { collections_->Properties(); }
    void SortListBy(int column) override { layout_->SortListBy(column); }
    void SetTab(int index) { layout_->SetTab(index); }
    void ViewSettingsChanged() override { ApplyViewSettings(); }

    // Selection helpers (also for tests).
    void SelectNode(TTreeNode* node) { views_->SelectNode(node); }
    void SelectColNode(TTreeNode* node) { views_->SelectColNode(node); }
    TTreeNode* SelectedNode() const { return views_->SelectedNode(); }
    TTreeNode* SelectedColNode() const { return views_->SelectedColNode(); }
    std::vector<TTreeNode*> SelectedNodes() const { return views_->SelectedNodes(); }
    std::vector<TTreeNode*> SelectedColNodes() const { return views_->SelectedColNodes(); }
    std::vector<TLibFolderItem*> SelectedEntries() const { return views_->SelectedEntries(); }
    void SelectEntries(const std::vector<TLibFolderItem*>& entries) {
        views_->SelectEntries(entries);
    }
    // The view commands act on: the catalog tree, the list or the collections tree.
    QAbstractItemView* ActiveView() const { return views_->ActiveView(); }
    void SetActiveView(QAbstractItemView* view) { views_->SetActiveView(view); }
    // Links the dragged items of `source` ("tvNodes", "lv", "tvCol") under `target`.
    void DropOnCollections(const QString& source, TTreeNode* target) {
        collections_->Drop(source, target);
    }
    // Rebuilds every view from the catalog (after loads, deletions, scans).
    void RebuildViews() override;

    // The add and update dialogs, the search window and the export and import dialogs, made once.
    TfrmNewVolume& NewVolumeDialog() { return volumes_->NewVolumeDialog(); }
    TfrmUpdate& UpdateDialog() { return volumes_->UpdateDialog(); }
    TfrmSearch& SearchWindow() { return search_->SearchWindow(); }
    TfrmExport& ExportDialog() { return search_->ExportDialog(); }
    TfrmImport& ImportDialog() { return search_->ImportDialog(); }
    TfrmSpace& SpaceWindow() { return *space_; }
    // The notice a catalogued disc brings when it is mounted.
    TMountNotices& MountNotices() { return *mounts_; }
    // How to begin, shown while the catalog holds neither volumes nor collections.
    TEmptyCatalogBar& EmptyCatalogBar() { return *emptyBar_; }

    // IProgressSink
    void ProgressStarted(const std::string& label, int64_t maximum) override;
    void ProgressMoved(int64_t position) override;
    void ScanCounts(int64_t entries, int64_t bytes) override;
    void ProgressEnded() override;
    void StatusText(const std::string& text) override;
    void LogLine(const std::string& text) override;
    void IdleChanged(bool idle) override;
    void Beep() override;
    void ProcessEvents() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TWindowBusyScope;

    IMainHost& Host() { return *this; }
    IMainCommands& Commands() { return *this; }
    ISearchHost& SearchHost() { return *this; }
    // The catalog watch and ShowNode below serve the space view as well.
    ISpaceHost& SpaceHost() { return *this; }

    // IMainHost
    QWidget* Window() override { return this; }
    IProgress& OperationProgress() override;
    TMainViews& Views() override { return *views_; }
    bool RunBusy(const std::function<void()>& operation) override;
    TViewRestore& AfterBusy() override { return restore_; }
    void ResetCatalog(bool modified) override;
    void ApplySettingsToLib() override;
    void UpdateStatus() override;
    void ClearStatus() override;
    void UpdateActions() override;
    void ShowException(const std::exception& e) override;
    void ShowHelp() override { miContentsClick(); }
    void CatalogOpened() override;

    // ISearchHost and ISpaceHost
    TLibObj* CurrentCatalog() override;
    bool CatalogFrozen() const override;
    void WatchCatalog(QObject* context, std::function<void()> changed) override;
    bool OperationRunning() const override;
    std::vector<TTreeNode*> SelectedNodes(bool collections) const override {
        return collections ? SelectedColNodes() : SelectedNodes();
    }
    void CatalogEdited() override { RebuildViews(); }
    void ExportResults(TSearchResults* results) override;
    void ShowNode(TTreeNode* node) override { SelectNode(node); }
    void ShowColNode(TTreeNode* node) override { SelectColNode(node); }
    void ShowEntry(TLibFolderItem* entry) override { SelectEntries({entry}); }
    void BringToFront() override;
    void ShowProperties(TPropertiesOf what) override;

    void RebuildLanguageMenu();
    void RetranslateDynamic();
    // The catalog's file name, and a mark while it has unsaved changes.
    void UpdateTitle();
    void ApplyViewSettings();
    void SaveAtExit();
    void BeginBusy();
    void EndBusy();

    std::unique_ptr<ISettingsStore> store_;
    std::unique_ptr<TGlobalData> gd_;
    std::unique_ptr<TLibObj> lib_;
    THandlerList handlers_;
    TMultiLang lang_;
    TUiQuestions ownQuestions_;
    IUiQuestions* questions_ = &ownQuestions_;
    std::unique_ptr<TEventPumpProgress> pump_;
    int busy_ = 0;
    // The locale whose missing font was last reported.
    std::string fontNoticeFor_;
    TViewRestore restore_;

    TProgressPanel* progress_ = nullptr;
    TPanelBar* sbMain_ = nullptr;
    TMainViews* views_ = nullptr;
    std::unique_ptr<TViewLayout> layout_;
    TMainMenus* menus_ = nullptr;
    std::unique_ptr<TVolumeCommands> volumes_;
    TMountNotices* mounts_ = nullptr;
    TEmptyCatalogBar* emptyBar_ = nullptr;
    std::unique_ptr<TCatalogCommands> catalog_;
    std::unique_ptr<TCollectionCommands> collections_;
    std::unique_ptr<TSearchCommands> search_;
    std::unique_ptr<TToolCommands> tools_;
    TfrmSpace* space_ = nullptr;
};
