#include "ui/search_window.h"

#include "catalog/lib_obj.h"
#include "files/input_file.h"
#include "search/export.h"
#include "search/import.h"
#include "search/saved_search.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "ui/catalog_models.h"
#include "ui/dialog_common.h"
#include "ui/search_models.h"
#include "ui/ui_questions.h"

#include <QtCore/QDate>
#include <QtGui/QAction>
#include <QtGui/QCloseEvent>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDateEdit>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

const char* const kPos = "Pos\\frmSearch";
const QDate kDayZero(1899, 12, 30);

TDateTime DateValue(const QDate& d) {
    return d.isValid() ? static_cast<double>(kDayZero.daysTo(d)) : 0.0;
}

QDate DateOf(TDateTime t) {
    if (!(t > -700000 && t < 3000000)) return QDate::currentDate();
    return kDayZero.addDays(static_cast<qint64>(std::floor(t)));
}

void FillCombo(QComboBox* box, const TStringList& list) {
    QString text = box->currentText();
    box->clear();
    for (int i = 0; i < list.Count(); ++i)
        box->addItem(Qs(list[i]));
    box->setCurrentText(text);
}

} // namespace

// The search's status texts go to the window's own status line.
class TfrmSearch::TSearchProgress : public IProgress {
public:
    TSearchProgress(TfrmSearch& s, IProgress& main) : s_(s), main_(main) {}
    void BeginProgress(const std::string& text, int64_t total) override {
        main_.BeginProgress(text, total);
    }
    void StepProgress(const std::string& text, int64_t position) override {
        main_.StepProgress(text, position);
    }
    void EndProgress(const std::string& text) override { main_.EndProgress(text); }
    void ShowStatus(const std::string& text, const std::string&, bool) override {
        s_.SetStatus(5, Qs(text));
    }
    void LogMessage(const std::string& text) override { main_.LogMessage(text); }
    bool StopRequested() const override { return main_.StopRequested(); }

private:
    TfrmSearch& s_;
    IProgress& main_;
};

TfrmSearch::TfrmSearch(ISearchHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window), main_(host) {
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("Search"));
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(2);
    BuildToolbar();
    top->addWidget(tb);
    BuildCriteria();
    auto* crit = new QWidget(this);
    auto* cl = new QVBoxLayout(crit);
    cl->setContentsMargins(6, 0, 6, 0);
    cl->addWidget(pcFind);
    top->addWidget(crit);
    BuildLists();
    top->addWidget(spl, 1);

    sb = new QStatusBar(this);
    sb->setObjectName(QStringLiteral("sb"));
    sb->setSizeGripEnabled(false);
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(sb);
        l->setMinimumWidth(20);
        sb->addWidget(l, 1);
        sbLabels_.push_back(l);
    }
    top->addWidget(sb);
    sb_main = new QStatusBar(this);
    sb_main->setObjectName(QStringLiteral("sb_main"));
    sbMainLabel_ = new QLabel(sb_main);
    sbMainLabel_->setMinimumWidth(20);
    sb_main->addWidget(sbMainLabel_, 1);
    top->addWidget(sb_main);

    format_.SizeUnit = main_.GD().Sizes;
    format_.NewLine = main_.GD().NewLine;
    BindResults();
    // The main window's tree model is reset whenever the catalog is replaced,
    // frozen for a change, or has freed records: the rows are checked then.
    main_.WatchCatalog(this, [this] { CatalogChanged(); });
    // Wide enough for the collections and the result columns up to the date.
    resize(1000, 560);
    UpdateButtons();
}

TfrmSearch::~TfrmSearch() {
    // The views may outlive the rows by a moment while children are deleted.
    slvModel_->SetResults(nullptr);
    dupModel_->SetResults(nullptr);
    colModel_->SetResults(nullptr);
}

void TfrmSearch::BindResults() {
    TLibObj* lib = main_.CurrentCatalog();
    if (!lib) return;
    // The old set may belong to a catalog already freed: it is dropped
    // without asking it anything.
    results_ = std::make_unique<TSearchResults>(*lib);
    resultsLib_ = lib;
    slvModel_->SetResults(results_.get());
    dupModel_->SetResults(results_.get());
    colModel_->SetResults(results_.get());
}

void TfrmSearch::CatalogChanged() {
    if (searching_) return;
    const TLibObj* lib = main_.CurrentCatalog();
    if (lib && lib != resultsLib_) {
        BindResults();
        DrawStatistics();
        return;
    }
    // While the main window changes the catalog, nothing here reads it.
    bool frozen = main_.CatalogFrozen();
    slvModel_->SetFrozen(frozen);
    dupModel_->SetFrozen(frozen);
    colModel_->SetFrozen(frozen);
    if (!frozen) Results();
}

TSearchResults* TfrmSearch::Results() {
    const TLibObj* lib = main_.CurrentCatalog();
    if (lib && lib != resultsLib_) {
        BindResults();
        DrawStatistics();
        return nullptr;
    }
    if (searching_ || main_.CatalogFrozen()) return nullptr;
    bool had =
        !results_->Rows.empty() || !results_->DupRows.empty() || !results_->CollectionRows.empty();
    if (results_->Valid()) return results_.get();
    if (had) {
        RefreshModels();
        DrawStatistics();
    }
    return nullptr;
}

QByteArray TfrmSearch::ThumbJpeg(const TLibFolderItem* entry) {
    if (!resultsLib_ || main_.CatalogFrozen()) return {};
    if (thumbsLib_ != resultsLib_) {
        thumbs_ = std::make_unique<TCatalogThumbs>(*resultsLib_);
        thumbsLib_ = resultsLib_;
    }
    TThumbnail t;
    if (!thumbs_->Find(entry, t)) return {};
    return QByteArray(t.Data.data(), static_cast<qsizetype>(t.Data.size()));
}

void TfrmSearch::RefreshModels() {
    slvModel_->Refresh();
    dupModel_->Refresh();
    colModel_->Refresh();
}

// ---------------------------------------------------------------------------
// Criteria

TSearchCriteria TfrmSearch::Criteria() const {
    TSearchCriteria c;
    int page = pcFind->currentIndex();
    c.Mode = page == 4   ? TSearchMode::Collections
             : page == 3 ? TSearchMode::Anywhere
                         : TSearchMode::Normal;
    c.Name = Ss(edSearch->text());
    c.Volume = Ss(edVol->text());
    c.Category = Ss(cbCat->currentText());
    c.Comments = Ss(edCom->text());
    c.Type = Ss(edType->text());
    c.Location = Ss(edLoc->currentText());
    c.Date1Use = cbDate1->isChecked();
    c.Date1 = DateValue(edDate1->date());
    c.Date2Use = cbDate2->isChecked();
    c.Date2 = DateValue(edDate2->date());
    c.SizeUse = cbSize->isChecked();
    c.SizeSign = std::max(0, cbSign->currentIndex());
    c.SizeUnit = std::max(0, cbK->currentIndex());
    c.SizeValue = edSize->value();
    c.Anywhere = Ss(edAny->text());
    c.ColCaption = Ss(edcolCaption->text());
    c.ColURL = Ss(edcolUrl->text());
    c.ColComments = Ss(edcolCom->text());
    c.MatchCase = cbCase->isChecked();
    c.FoldersOnly = cbFoldersOnly->isChecked();
    c.Duplicates = cbDup->isChecked();
    TagCriteria(c);
    c.ReplaceCategory = cbrepcat->isChecked();
    c.ReplaceCategoryText = Ss(edrepCat->currentText());
    c.ReplaceComments = cbrepcom->isChecked();
    c.ReplaceCommentsText = Ss(edrepCom->text());
    return c;
}

void TfrmSearch::SetCriteria(const TSearchCriteria& c) {
    edSearch->setText(Qs(c.Name));
    edType->setText(Qs(c.Type));
    cbCat->setCurrentText(Qs(c.Category));
    edCom->setText(Qs(c.Comments));
    cbDate1->setChecked(c.Date1Use);
    edDate1->setDate(DateOf(c.Date1));
    cbDate2->setChecked(c.Date2Use);
    edDate2->setDate(DateOf(c.Date2));
    cbSize->setChecked(c.SizeUse);
    cbSign->setCurrentIndex(std::clamp(c.SizeSign, 0, 2));
    cbK->setCurrentIndex(std::clamp(c.SizeUnit, 0, 2));
    edSize->setValue(static_cast<int>(std::clamp<int64_t>(c.SizeValue, 0, 2147483647)));
    edLoc->setCurrentText(Qs(c.Location));
    edAny->setText(Qs(c.Anywhere));
    edcolCaption->setText(Qs(c.ColCaption));
    edcolUrl->setText(Qs(c.ColURL));
    edcolCom->setText(Qs(c.ColComments));
    cbCase->setChecked(c.MatchCase);
    cbDate1Click();
    cbSelClick();
}

// ---------------------------------------------------------------------------
// Handlers

void TfrmSearch::UpdateButtons() {
    for (QAction* a : {tbFind, tbNew, tbLoad, tbExport})
        a->setEnabled(!searching_);
    tbStop->setEnabled(searching_);
}

void TfrmSearch::tbFindClick() {
    if (searching_) return;
    // Another long operation runs: its records may change under the search.
    if (main_.OperationRunning()) return;
    Results(); // drops a stale set first
    TSearchCriteria c = Criteria();
    lvStack->setCurrentWidget(c.Duplicates && c.Mode != TSearchMode::Collections ? slvdup : slv);
    if (main_.GD().ConfirmReplace && (c.ReplaceCategory || c.ReplaceComments)) {
        const bool yes =
            main_.Questions().Ask("confFindReplace", {}, TButtons::YesNo) == TAnswer::Yes;
        // The box belongs to the main window: this window comes back to the front.
        ComeToFront();
        if (!yes) {
            results_->Clear();
            RefreshModels();
            return;
        }
    }
    std::vector<TTreeNode*> selected;
    if (cbSel->isChecked()) selected = main_.SelectedNodes(c.Mode == TSearchMode::Collections);
    format_.SizeUnit = main_.GD().Sizes;
    format_.NewLine = main_.GD().NewLine;
    format_.KBText = GetMessageText("infoStrKB");
    format_.MBText = GetMessageText("infoStrMB");

    TSearchProgress progress(*this, main_.OperationProgress());
    TLibObj& lib = *main_.CurrentCatalog();
    TSearchEngine engine(lib, progress);
    engine.Format = format_;
    bool modifiedBefore = lib.Modified;
    std::string key, arg, text;
    searching_ = true;
    // The models show nothing while the engine appends to the rows.
    slvModel_->SetFrozen(true);
    dupModel_->SetFrozen(true);
    colModel_->SetFrozen(true);
    UpdateButtons();
    {
        // Commands that free records wait while the search runs.
        TBusyScope busy(main_.GD().Progress);
        try {
            engine.Run(c, *results_, cbSel->isChecked() ? &selected : nullptr);
        } catch (const EMessageError& e) {
            key = e.Key;
            arg = e.Arg;
        } catch (const std::exception& e) {
            text = e.what();
        }
    }
    searching_ = false;
    bool frozen = main_.CatalogFrozen();
    slvModel_->SetFrozen(frozen);
    dupModel_->SetFrozen(frozen);
    colModel_->SetFrozen(frozen);
    UpdateButtons();
    DrawStatistics();
    // Replaced values show in the main window at once.
    if (lib.Modified != modifiedBefore) main_.CatalogEdited();
    if (!key.empty())
        main_.Questions().ShowError(key, arg);
    else if (!text.empty())
        main_.Questions().ShowErrorText(Qs(text));
}

void TfrmSearch::DrawStatistics() {
    auto texts = results_->StatusTexts(format_);
    for (int i = 0; i < 5; ++i)
        SetStatus(i, Qs(texts[static_cast<size_t>(i)]));
    std::string status = texts[5];
    for (const std::string& more : {results_->UnhashedText(), results_->EmptyText()})
        if (!more.empty()) status += "   " + more;
    SetStatus(5, Qs(status));
}

void TfrmSearch::SetStatus(int panel, const QString& text) {
    if (panel >= 0 && panel < 5)
        sbLabels_[static_cast<size_t>(panel)]->setText(text);
    else if (panel == 5)
        sbMainLabel_->setText(text);
}

QString TfrmSearch::StatusText(int panel) const {
    if (panel >= 0 && panel < 5) return sbLabels_[static_cast<size_t>(panel)]->text();
    if (panel == 5) return sbMainLabel_->text();
    return {};
}

void TfrmSearch::tbNewClick() {
    if (searching_) return;
    for (QLineEdit* e : {edSearch, edCom, edVol, edType, edAny})
        e->clear();
    cbCat->setCurrentText(QString());
    edLoc->setCurrentText(QString());
    for (QCheckBox* c : {cbDate1, cbDate2, cbSize, cbrepcat, cbrepcom, cbDuration, cbTaken})
        c->setChecked(false);
    Results();
    results_->Rows.clear();
    slvModel_->Refresh();
}

void TfrmSearch::tbLoadClick() {
    TFileQuestion q;
    q.Title = tbLoad->toolTip();
    q.Filter = FileFilter("fltSearches", "*.TXS *.txs");
    q.Over = this;
    QString path = main_.Questions().AskFile(q);
    if (!path.isEmpty()) LoadSearchFile(path);
}

void TfrmSearch::tbSaveClick() {
    TFileQuestion q;
    q.Title = tbSave->toolTip();
    q.Filter = FileFilter("fltSearches", "*.TXS *.txs");
    q.DefaultSuffix = QString::fromLatin1(kSavedSearchExtension);
    q.Save = true;
    q.Over = this;
    QString path = main_.Questions().AskFile(q);
    if (!path.isEmpty()) SaveSearchFile(path);
}

bool TfrmSearch::LoadSearchFile(const QString& path) {
    TSearchCriteria c = Criteria();
    try {
        LoadSearch(Ss(path), c);
    } catch (const std::exception& e) {
        ShowError(e);
        return false;
    }
    SetCriteria(c);
    return true;
}

bool TfrmSearch::SaveSearchFile(const QString& path) {
    try {
        // A saved search over the open catalog would destroy it.
        if (const TLibObj* lib = main_.CurrentCatalog();
            lib && SameExistingFile(Ss(path), lib->FileName))
            throw EMessageError("errSameFile", Ss(path));
        SaveSearch(Ss(path), Criteria());
    } catch (const std::exception& e) {
        ShowError(e);
        return false;
    }
    return true;
}

void TfrmSearch::ShowError(const std::exception& e) {
    if (auto* m = dynamic_cast<const EMessageError*>(&e))
        main_.Questions().ShowError(m->Key, m->Arg);
    else
        main_.Questions().ShowErrorText(QString::fromUtf8(e.what()));
}

void TfrmSearch::Export1Click() {
    if (searching_) return;
    TSearchResults* r = Results();
    if (!r) return;
    main_.ExportResults(r);
}

void TfrmSearch::tbStopClick() {
    if (searching_) main_.GD().Progress.RequestStop();
}

void TfrmSearch::tbSelectedClick() {
    cbSel->setChecked(tbSelected->isChecked());
    cbDup->setChecked(tbDuplicates->isChecked());
    cbCase->setChecked(tbMatchCase->isChecked());
}

void TfrmSearch::cbSelClick() {
    tbSelected->setChecked(cbSel->isChecked());
    tbDuplicates->setChecked(cbDup->isChecked());
    tbMatchCase->setChecked(cbCase->isChecked());
}

void TfrmSearch::cbDate1Click() {
    edDate1->setEnabled(cbDate1->isChecked());
    cbDate2->setEnabled(cbDate1->isChecked());
    edDate2->setEnabled(cbDate2->isChecked());
    for (QWidget* w :
         {static_cast<QWidget*>(cbSign), static_cast<QWidget*>(edSize), static_cast<QWidget*>(cbK)})
        w->setEnabled(cbSize->isChecked());
    edSize->setMaximum(2147483647);
}

void TfrmSearch::slvColumnClick(QAbstractItemView* list, int column) {
    TSearchResults* r = Results();
    if (!r) return;
    if (list == lvCol) {
        int& d = sort_.Direction[0];
        const bool asc = d == 2;
        std::stable_sort(r->CollectionRows.begin(), r->CollectionRows.end(),
                         [asc](const TTreeNode* a, const TTreeNode* b) {
                             return asc ? a->Text() < b->Text() : b->Text() < a->Text();
                         });
        d = d == 2 ? 1 : 2;
        colModel_->Refresh();
        return;
    }
    bool dup = list == slvdup;
    SortRows(dup ? r->DupRows : r->Rows, column, sort_);
    (dup ? dupModel_ : slvModel_)->Refresh();
}

QAbstractItemView* TfrmSearch::VisibleList() const {
    return lvStack->currentWidget() == slvdup ? static_cast<QAbstractItemView*>(slvdup)
                                              : static_cast<QAbstractItemView*>(slv);
}

int TfrmSearch::FirstSelectedRow(QAbstractItemView* view) const {
    int best = -1;
    for (const QModelIndex& i : view->selectionModel()->selectedRows())
        if (best < 0 || i.row() < best) best = i.row();
    return best;
}

bool TfrmSearch::LocateResult(QAbstractItemView* from, bool& wasFolder, bool& fromCollections) {
    wasFolder = false;
    fromCollections = from == lvCol || (!from && lvCol->hasFocus());
    TSearchResults* r = Results();
    if (!r) return false;
    if (fromCollections) {
        int row = FirstSelectedRow(lvCol);
        if (row < 0) return false;
        TLocateResult loc = r->LocateCollection(static_cast<size_t>(row));
        if (!loc.CollectionNode) return false;
        main_.ShowColNode(loc.CollectionNode);
        return true;
    }
    QAbstractItemView* list = VisibleList();
    int row = FirstSelectedRow(list);
    if (row < 0) return false;
    TLocateResult loc = r->Locate(list == slvdup, static_cast<size_t>(row));
    if (!loc.Node) return false;
    main_.ShowNode(loc.Node);
    if (loc.Entry && !loc.Entry->IsFolder) {
        main_.ShowEntry(loc.Entry);
    } else {
        wasFolder = true;
    }
    return true;
}

void TfrmSearch::pmiLocateClick(QAbstractItemView* from) {
    bool folder = false, col = false;
    if (!LocateResult(from, folder, col)) return;
    if (main_.GD().LocateMain)
        main_.BringToFront();
    else
        ComeToFront();
}

void TfrmSearch::ComeToFront() {
    raise();
    activateWindow();
}

void TfrmSearch::pmiPropertiesClick(QAbstractItemView* from) {
    bool folder = false, col = false;
    if (!LocateResult(from, folder, col)) return;
    main_.ShowProperties(col      ? TPropertiesOf::Collection
                         : folder ? TPropertiesOf::Folder
                                  : TPropertiesOf::Entry);
}

void TfrmSearch::tbHelpClick() {
    main_.ShowHelp();
}

// ---------------------------------------------------------------------------
// Window

void TfrmSearch::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (e->spontaneous()) return;
    pcFind->setCurrentIndex(0);
    cbrepcat->setChecked(false);
    cbrepcom->setChecked(false);
    if (!layoutRestored_) {
        layoutRestored_ = true;
        RestoreLayout();
    }
    FillCombo(cbCat, main_.GD().GlobalCategories);
    FillCombo(edrepCat, main_.GD().GlobalCategories);
    FillCombo(edLoc, main_.GD().GlobalLocations);
    cbDate1Click();
    UpdateButtons();
    cbSelClick();
    Results();
}

void TfrmSearch::closeEvent(QCloseEvent* e) {
    SaveLayout();
    QWidget::closeEvent(e);
}

void TfrmSearch::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TfrmSearch::RestoreLayout() {
    ISettingsStore& st = main_.Store();
    // The first time, over the main window rather than wherever the system puts it.
    if (!st.KeyExists(kPos) && parentWidget())
        move(parentWidget()->geometry().center() - QPoint(width() / 2, height() / 2));
    DlgRestorePlacement(this, st);
    const std::string k = kPos;
    QList<int> sizes = spl->sizes();
    if (sizes.size() == 2) {
        sizes[0] = static_cast<int>(
            std::clamp<int64_t>(st.ReadInt(k + "\\Col", "Width", sizes[0]), 0, 10000));
        sizes[1] = static_cast<int>(
            std::clamp<int64_t>(st.ReadInt(k + "\\LV", "Width", sizes[1]), 0, 10000));
        spl->setSizes(sizes);
    }
    for (auto [v, sub] : {std::pair{slv, "\\SLV\\"}, std::pair{slvdup, "\\SLVDUP\\"}})
        for (int i = 0; i < kSearchColumnCount; ++i)
            v->setColumnWidth(
                i,
                static_cast<int>(std::clamp<int64_t>(
                    st.ReadInt(k + sub + std::to_string(i), "Width", v->columnWidth(i)), 0, 4000)));
}

void TfrmSearch::SaveLayout() {
    ISettingsStore& st = main_.Store();
    DlgSavePlacement(this, st);
    const std::string k = kPos;
    QList<int> sizes = spl->sizes();
    if (sizes.size() == 2) {
        st.WriteInt(k + "\\Col", "Width", sizes[0]);
        st.WriteInt(k + "\\LV", "Width", sizes[1]);
    }
    for (auto [v, sub] : {std::pair{slv, "\\SLV\\"}, std::pair{slvdup, "\\SLVDUP\\"}})
        for (int i = 0; i < kSearchColumnCount; ++i)
            st.WriteInt(k + sub + std::to_string(i), "Width", v->columnWidth(i));
}

void TfrmSearch::Start(TSearchStart how, bool nodeSelected, const QString& name) {
    switch (how) {
    case TSearchStart::FromTree:
        cbSel->setChecked(nodeSelected);
        cbDup->setChecked(false);
        break;
    case TSearchStart::ByName:
    case TSearchStart::Duplicates:
        cbSel->setChecked(false);
        cbDup->setChecked(how == TSearchStart::Duplicates);
        edSearch->setText(name);
        break;
    case TSearchStart::Find:
        cbSel->setChecked(false);
        break;
    }
    cbSelClick();
    show();
    ComeToFront();
    if (how == TSearchStart::ByName || how == TSearchStart::Duplicates) pcFind->setCurrentIndex(0);
    // What the user types goes to the name box, and Enter there searches.
    if (pcFind->currentIndex() == 0) {
        edSearch->setFocus(Qt::OtherFocusReason);
        edSearch->selectAll();
    }
    if (how == TSearchStart::Duplicates) tbFindClick();
}
