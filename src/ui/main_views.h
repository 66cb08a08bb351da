#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <vector>

class TCatalogTreeModel;
class TEntryListModel;
class TGlobalData;
class TLibFolderItem;
class TLibObj;
class TNameFitDelegate;
class TPanelBar;
class TThumbCache;
class TTreeNode;
class QAbstractItemView;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QPoint;
class QSplitter;
class QStackedWidget;
class QTabBar;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QTreeView;
class QWidget;

// The main window's views of the catalog: the collections tree and the
// catalog tree under their tab bar, the list of the selected folder (details
// or icons), the information bar, the message pane and the small status bars
// between them. It knows which view commands act on and what is selected.
class TMainViews : public QObject {
    Q_OBJECT
public:
    TMainViews(TGlobalData& gd, QWidget* parent);
    ~TMainViews() override;

    // The widget that holds every view, for the window's layout.
    QWidget* Root() const;
    void SetLib(TLibObj* lib);
    TLibObj* Lib() const { return lib_; }

    QTreeView* NodesView() const { return tvNodes_; }
    QTreeView* ColView() const { return tvCol_; }
    QTreeView* ListView() const { return lv_; }
    QListView* IconsView() const { return lvIcons_; }
    // The grid of thumbnails, and the pictures it and the information bar show.
    QListView* ThumbsView() const { return lvThumbs_; }
    TThumbCache* ThumbCache() const { return thumbCache_; }
    // Sizes the icons view's items to the names of the folder shown.
    TNameFitDelegate* NameFit() const { return nameFit_; }
    QStackedWidget* ListStack() const { return lvStack_; }
    QTabBar* Tabs() const { return tab_; }
    // The message pane, with every line logged so far in it.
    QPlainTextEdit* Messages();
    TCatalogTreeModel* NodesModel() const { return nodesModel_; }
    TCatalogTreeModel* ColModel() const { return colModel_; }
    TEntryListModel* ListModel() const { return listModel_; }

    // The panels the window shows and hides, and the splitters whose sizes it keeps.
    QWidget* CollectionPanel() const { return panCol_; }
    QWidget* TreePanel() const { return panTV_; }
    QWidget* ListPanel() const { return panLV_; }
    QWidget* InfoPanel() const { return panInfo_; }
    QWidget* MessagePanel() const { return panMessages_; }
    QSplitter* TreeSplitter() const { return spt_; }
    QSplitter* MainSplitter() const { return spltMain_; }
    QSplitter* ListSplitter() const { return spltList_; }
    QSplitter* MessageSplitter() const { return spltMsgs_; }

    // Selection.
    void SelectNode(TTreeNode* node);
    void SelectColNode(TTreeNode* node);
    TTreeNode* SelectedNode() const;
    TTreeNode* SelectedColNode() const;
    std::vector<TTreeNode*> SelectedNodes() const;
    std::vector<TTreeNode*> SelectedColNodes() const;
    std::vector<TLibFolderItem*> SelectedEntries() const;
    void SelectEntries(const std::vector<TLibFolderItem*>& entries);
    // The entry under the list's cursor (null when none).
    TLibFolderItem* CurrentEntry() const;
    // The view commands act on: the catalog tree, the list or the collections tree.
    QAbstractItemView* ActiveView() const;
    void SetActiveView(QAbstractItemView* view);
    bool IsList(const QAbstractItemView* view) const;

    // While busy the views show nothing of the catalog.
    void SetBusy(bool busy);
    // Models frozen: no view reads the catalog while it changes.
    void SetFrozen(bool frozen);
    void SetEnabled(bool enabled);
    void SetColDragging(bool on) { colDragging_ = on; }
    void FillList(TTreeNode* node);
    void RefreshInfo();
    void RestoreExpansion(bool collections);
    void UpdateStatus();
    void ClearStatus();
    QString ListStatus(int panel) const;
    QString InfoMemoText() const;
    void LogLine(const QString& text);
    // The pop-up menus of the list, the catalog tree and the collections tree.
    void SetMenus(QMenu* list, QMenu* tree, QMenu* collections);

signals:
    // Enter or a double click on a list entry.
    void OpenRequested();
    // The list's pop-up is about to show (its commands are updated).
    void ListMenuAboutToShow();
    void ColMenuAboutToShow();
    void SortRequested(int column);
    void RenameRequested(TTreeNode* node, const QString& text);
    void DropRequested(const QString& source, TTreeNode* target);

private:
    void Build(QWidget* parent);
    void OnNodeChanged();
    void OnColNodeChanged();
    void ShowListMenu(QAbstractItemView* view, const QPoint& pos);
    void ShowTreeMenu(const QPoint& pos);
    void ShowColMenu(const QPoint& pos);

    TGlobalData& gd_;
    TLibObj* lib_ = nullptr;
    bool busy_ = false;
    bool colDragging_ = false;
    QPointer<QAbstractItemView> activeView_;

    QSplitter* spltMsgs_ = nullptr;
    QSplitter* spltMain_ = nullptr;
    QSplitter* spltList_ = nullptr;
    QWidget* panMessages_ = nullptr;
    QPlainTextEdit* msgs_ = nullptr;
    // Lines waiting for the pane: a scan may log a line per damaged file, and
    // adding them one at a time cost more than the scan itself.
    QStringList pendingLog_;
    QTimer* logTimer_ = nullptr;
    void FlushLog();
    QTabBar* tab_ = nullptr;
    QSplitter* spt_ = nullptr;
    QWidget* panCol_ = nullptr;
    QTreeView* tvCol_ = nullptr;
    TPanelBar* sbColH_ = nullptr;
    TPanelBar* sbColL_ = nullptr;
    QWidget* panTV_ = nullptr;
    QTreeView* tvNodes_ = nullptr;
    TPanelBar* sbTree_ = nullptr;
    TPanelBar* sbLoc_ = nullptr;
    QWidget* panLV_ = nullptr;
    QStackedWidget* lvStack_ = nullptr;
    QTreeView* lv_ = nullptr;
    QListView* lvIcons_ = nullptr;
    TNameFitDelegate* nameFit_ = nullptr;
    TThumbCache* thumbCache_ = nullptr;
    QListView* lvThumbs_ = nullptr;
    QLabel* infoThumb_ = nullptr;
    TPanelBar* sb_ = nullptr;
    TPanelBar* sbFp_ = nullptr;
    QWidget* panInfo_ = nullptr;
    QTabWidget* pcInfo_ = nullptr;
    QTextEdit* infomemo_ = nullptr;
    QLabel* infolblCat_ = nullptr;
    QLabel* infolblLoc_ = nullptr;
    QTableWidget* infovle_ = nullptr;
    QMenu* pmLv_ = nullptr;
    QMenu* pmTv_ = nullptr;
    QMenu* pmCol_ = nullptr;

    TCatalogTreeModel* nodesModel_ = nullptr;
    TCatalogTreeModel* colModel_ = nullptr;
    TEntryListModel* listModel_ = nullptr;
};
