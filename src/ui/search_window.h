#pragma once

#include "catalog/catalog_thumbs.h"
#include "search/search_engine.h"
#include "ui/search_host.h"

#include <QtCore/QByteArray>
#include <QtWidgets/QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class TLibObj;
class TSearchCollectionModel;
class TSearchResultModel;
class QAbstractItemView;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QTreeView;

// The search window: criteria pages, the results and duplicates lists, the
// collections found, and their statistics. One instance lives beside the main
// window and works on its catalog; the rows point at live entries and are
// dropped as soon as the catalog frees records or is replaced.
class TfrmSearch : public QWidget {
    Q_OBJECT
public:
    TfrmSearch(ISearchHost& host, QWidget* parent);
    ~TfrmSearch() override;

    // Shows the window for a search started from the main window: `nodeSelected`
    // when the catalog tree has a selection, `name` the entry's name to look for.
    void Start(TSearchStart how, bool nodeSelected, const QString& name);
    // The criteria in the controls, and back (a loaded search).
    TSearchCriteria Criteria() const;
    void SetCriteria(const TSearchCriteria& c);

    // Handlers, by the controls' names.
    void tbFindClick();
    void tbNewClick();
    void tbLoadClick();
    void tbSaveClick();
    void Export1Click();
    void tbStopClick();
    void tbSelectedClick();
    void cbSelClick();
    void cbDate1Click();
    void slvColumnClick(QAbstractItemView* list, int column);
    // `from`: the list the command came from (null: the one with the focus).
    void pmiLocateClick(QAbstractItemView* from = nullptr);
    void pmiPropertiesClick(QAbstractItemView* from = nullptr);
    void tbHelpClick();

    // Saved searches without the file dialogs; false (error shown) on failure.
    bool LoadSearchFile(const QString& path);
    bool SaveSearchFile(const QString& path);

    // The rows of the last search while they are still valid, else null.
    TSearchResults* Results();
    bool Searching() const { return searching_; }
    // sb panels 0..4 and sb_main (panel 5).
    QString StatusText(int panel) const;
    TSearchResultModel* ResultModel() const { return slvModel_; }
    TSearchResultModel* DupModel() const { return dupModel_; }
    TSearchCollectionModel* ColModel() const { return colModel_; }
    const TSortState& SortState() const { return sort_; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QToolBar* tb = nullptr;
    QAction* tbFind = nullptr;
    QAction* tbNew = nullptr;
    QAction* tbLoad = nullptr;
    QAction* tbSave = nullptr;
    QAction* tbExport = nullptr;
    QAction* tbStop = nullptr;
    QAction* tbSelected = nullptr;
    QAction* tbDuplicates = nullptr;
    QAction* tbMatchCase = nullptr;
    QAction* tbHelp = nullptr;

    QTabWidget* pcFind = nullptr;
    QLineEdit* edSearch = nullptr;
    QLineEdit* edVol = nullptr;
    QComboBox* cbCat = nullptr;
    QLineEdit* edCom = nullptr;
    QLineEdit* edType = nullptr;
    QComboBox* edLoc = nullptr;
    QCheckBox* cbDate1 = nullptr;
    QDateEdit* edDate1 = nullptr;
    QCheckBox* cbDate2 = nullptr;
    QDateEdit* edDate2 = nullptr;
    QCheckBox* cbSize = nullptr;
    QComboBox* cbSign = nullptr;
    QSpinBox* edSize = nullptr;
    QComboBox* cbK = nullptr;
    QCheckBox* cbrepcat = nullptr;
    QComboBox* edrepCat = nullptr;
    QCheckBox* cbrepcom = nullptr;
    QLineEdit* edrepCom = nullptr;
    QLineEdit* edAny = nullptr;
    QLineEdit* edcolCaption = nullptr;
    QLineEdit* edcolUrl = nullptr;
    QLineEdit* edcolCom = nullptr;
    QCheckBox* cbSel = nullptr;
    QCheckBox* cbFoldersOnly = nullptr;
    QCheckBox* cbCase = nullptr;
    QCheckBox* cbDup = nullptr;
    QComboBox* cbDupMode = nullptr; // by name, by content
    QCheckBox* cbDuration = nullptr;
    QDoubleSpinBox* edDuration1 = nullptr; // seconds; the lowest value means no bound
    QDoubleSpinBox* edDuration2 = nullptr;
    QCheckBox* cbTaken = nullptr;
    QDateEdit* edTaken1 = nullptr;
    QDateEdit* edTaken2 = nullptr;

    QSplitter* spl = nullptr;
    QWidget* panCol = nullptr;
    QWidget* panLV = nullptr;
    QTreeView* lvCol = nullptr;
    QStackedWidget* lvStack = nullptr;
    QTreeView* slv = nullptr;
    QTreeView* slvdup = nullptr;
    QStatusBar* sb = nullptr;
    QStatusBar* sb_main = nullptr;
    QMenu* pmFind = nullptr;
    QAction* pmiLocate = nullptr;
    QAction* pmiProperties = nullptr;

    void ComeToFront();
    class TSearchProgress;

    void BuildCriteria();
    // The duplicates mode and the tag ranges of the advanced page.
    void TagCriteria(TSearchCriteria& c) const;
    void BuildLists();
    void BuildToolbar();
    QTreeView* MakeList(const char* name);
    void UpdateButtons();
    void DrawStatistics();
    void SetStatus(int panel, const QString& text);
    void ShowError(const std::exception& e);
    // The catalog was replaced, froze or freed records.
    void CatalogChanged();
    void BindResults();
    void RefreshModels();
    void RestoreLayout();
    void SaveLayout();
    QAbstractItemView* VisibleList() const;
    int FirstSelectedRow(QAbstractItemView* view) const;
    bool LocateResult(QAbstractItemView* from, bool& wasFolder, bool& fromCollections);

    // The stored thumbnail of a result, for its tool tip; empty when none.
    QByteArray ThumbJpeg(const TLibFolderItem* entry);

    ISearchHost& main_;
    std::unique_ptr<TSearchResults> results_;
    const TLibObj* resultsLib_ = nullptr;
    std::unique_ptr<TCatalogThumbs> thumbs_;
    const TLibObj* thumbsLib_ = nullptr;
    TCellFormat format_;
    TSortState sort_;
    bool searching_ = false;
    bool layoutRestored_ = false;
    TSearchResultModel* slvModel_ = nullptr;
    TSearchResultModel* dupModel_ = nullptr;
    TSearchCollectionModel* colModel_ = nullptr;
    std::vector<QLabel*> sbLabels_;
    QLabel* sbMainLabel_ = nullptr;
};
