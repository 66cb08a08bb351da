#include "ui/main_views.h"

#include "catalog/lib_obj.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "text/text_utils.h"
#include "ui/catalog_models.h"
#include "ui/dialog_common.h"
#include "ui/name_fit_delegate.h"
#include "ui/panel_bar.h"
#include "ui/thumb_view.h"
#include "ui/ui_questions.h"

#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListView>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kLogLines = 20000; // lines the message pane keeps

std::vector<TTreeNode*> SelectedOf(QTreeView* view, TCatalogTreeModel* model) {
    std::vector<TTreeNode*> out;
    for (const QModelIndex& i : view->selectionModel()->selectedRows())
        if (TTreeNode* n = model->NodeAt(i)) out.push_back(n);
    // Tree order, so messages name the nodes as the user sees them.
    std::sort(out.begin(), out.end(),
              [](TTreeNode* a, TTreeNode* b) { return a->AbsoluteIndex() < b->AbsoluteIndex(); });
    if (out.empty())
        if (TTreeNode* n = model->NodeAt(view->currentIndex())) out.push_back(n);
    return out;
}

// Remembers which view had the focus last.
class TFocusTracker : public QObject {
public:
    explicit TFocusTracker(QPointer<QAbstractItemView>& active, QObject* parent)
        : QObject(parent), active_(active) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn)
            if (auto* v = qobject_cast<QAbstractItemView*>(watched)) active_ = v;
        return false;
    }

private:
    QPointer<QAbstractItemView>& active_;
};

// Makes the node's row current and selected, scrolled into sight; a node the
// tree does not show leaves nothing selected.
void SelectIn(QTreeView* tree, const TCatalogTreeModel* model, const TTreeNode* node) {
    QModelIndex i = model->IndexOf(node);
    if (i.isValid()) {
        tree->scrollTo(i);
        tree->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    } else {
        tree->selectionModel()->clear();
    }
}

} // namespace

TMainViews::TMainViews(TGlobalData& gd, QWidget* parent) : QObject(parent), gd_(gd) {
    Build(parent);
}

TMainViews::~TMainViews() {
    // The views go before the catalog they show.
    if (lib_) SetLib(nullptr);
    listModel_->Clear();
}

QWidget* TMainViews::Root() const {
    return spltMsgs_;
}

void TMainViews::SetLib(TLibObj* lib) {
    lib_ = lib;
    thumbCache_->SetLib(lib);
    nodesModel_->SetLib(lib);
    colModel_->SetLib(lib);
}

void TMainViews::Build(QWidget* parent) {
    auto* focus = new TFocusTracker(activeView_, this);
    spltMsgs_ = new QSplitter(Qt::Vertical, parent);
    spltMsgs_->setObjectName(QStringLiteral("spltMsgs"));
    spltMain_ = new QSplitter(Qt::Horizontal, spltMsgs_);
    spltMain_->setObjectName(QStringLiteral("spltMain"));

    // Left: the tab bar choosing the trees, and the two tree panels.
    auto* left = new QWidget(spltMain_);
    auto* ll = DlgColumn(left, "panTab", 0);
    tab_ = new QTabBar(left);
    tab_->setObjectName(QStringLiteral("tab"));
    tab_->addTab(QStringLiteral("&Collection"));
    tab_->addTab(QStringLiteral("Vol&ume"));
    tab_->addTab(QStringLiteral("&Mixed"));
    tab_->setExpanding(false);
    ll->addWidget(tab_);
    spt_ = new QSplitter(Qt::Horizontal, left);
    spt_->setObjectName(QStringLiteral("Spt"));
    ll->addWidget(spt_, 1);

    auto makeTree = [focus](const QString& name, QWidget* parent) {
        auto* t = new QTreeView(parent);
        t->setObjectName(name);
        t->setHeaderHidden(true);
        t->setUniformRowHeights(true);
        t->setSelectionMode(QAbstractItemView::ExtendedSelection);
        t->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        t->setContextMenuPolicy(Qt::CustomContextMenu);
        t->setDragEnabled(true);
        t->installEventFilter(focus);
        return t;
    };

    panCol_ = new QWidget(spt_);
    auto* cl = DlgColumn(panCol_, "panCol", 0);
    sbColH_ = new TPanelBar(QStringLiteral("sb_colH"), 1, panCol_);
    tvCol_ = makeTree(QStringLiteral("tvCol"), panCol_);
    tvCol_->setAcceptDrops(true);
    tvCol_->setDropIndicatorShown(true);
    tvCol_->setDragDropMode(QAbstractItemView::DragDrop);
    tvCol_->setDefaultDropAction(Qt::CopyAction);
    sbColL_ = new TPanelBar(QStringLiteral("sb_colL"), 2, panCol_);
    cl->addWidget(sbColH_);
    cl->addWidget(tvCol_, 1);
    cl->addWidget(sbColL_);

    panTV_ = new QWidget(spt_);
    auto* tl = DlgColumn(panTV_, "panTV", 0);
    sbLoc_ = new TPanelBar(QStringLiteral("sb_loc"), 1, panTV_);
    tvNodes_ = makeTree(QStringLiteral("tvNodes"), panTV_);
    tvNodes_->setDragDropMode(QAbstractItemView::DragOnly);
    sbTree_ = new TPanelBar(QStringLiteral("sb_tree"), 2, panTV_);
    tl->addWidget(sbLoc_);
    tl->addWidget(tvNodes_, 1);
    tl->addWidget(sbTree_);

    // Middle: the list over the information bar.
    spltList_ = new QSplitter(Qt::Vertical, spltMain_);
    spltList_->setObjectName(QStringLiteral("spltList"));
    panLV_ = new QWidget(spltList_);
    auto* vl = DlgColumn(panLV_, "panLV", 0);
    sbFp_ = new TPanelBar(QStringLiteral("sb_fp"), 1, panLV_, true);
    lvStack_ = new QStackedWidget(panLV_);
    lvStack_->setObjectName(QStringLiteral("lvStack"));
    listModel_ = new TEntryListModel(&gd_, this);
    lv_ = new QTreeView(lvStack_);
    lv_->setObjectName(QStringLiteral("lv"));
    lv_->setModel(listModel_);
    lv_->setRootIsDecorated(false);
    lv_->setUniformRowHeights(true);
    lv_->setItemsExpandable(false);
    lv_->setAllColumnsShowFocus(true);
    lv_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv_->setDragEnabled(true);
    lv_->setDragDropMode(QAbstractItemView::DragOnly);
    lv_->setContextMenuPolicy(Qt::CustomContextMenu);
    lv_->header()->setSectionsClickable(true);
    lv_->header()->setSortIndicatorShown(true);
    lv_->header()->setStretchLastSection(true);
    lv_->installEventFilter(focus);
    lvIcons_ = new QListView(lvStack_);
    lvIcons_->setObjectName(QStringLiteral("lvIcons"));
    lvIcons_->setModel(listModel_);
    lvIcons_->setSelectionModel(lv_->selectionModel());
    lvIcons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvIcons_->setDragEnabled(true);
    lvIcons_->setDragDropMode(QAbstractItemView::DragOnly);
    lvIcons_->setContextMenuPolicy(Qt::CustomContextMenu);
    lvIcons_->setUniformItemSizes(true);
    lvIcons_->setLayoutMode(QListView::Batched);
    nameFit_ = new TNameFitDelegate(lvIcons_);
    lvIcons_->setItemDelegate(nameFit_);
    connect(listModel_, &QAbstractItemModel::modelReset, nameFit_, [this] {
        if (lvStack_->currentWidget() == lvIcons_) nameFit_->Fit();
    });
    lvIcons_->installEventFilter(focus);
    thumbCache_ = new TThumbCache(this);
    lvThumbs_ = new TThumbGrid(*thumbCache_, *listModel_, lvStack_);
    lvThumbs_->setSelectionModel(lv_->selectionModel());
    lvThumbs_->installEventFilter(focus);
    lvStack_->addWidget(lv_);
    lvStack_->addWidget(lvIcons_);
    lvStack_->addWidget(lvThumbs_);
    sb_ = new TPanelBar(QStringLiteral("sb"), 2, panLV_);
    vl->addWidget(sbFp_);
    vl->addWidget(lvStack_, 1);
    vl->addWidget(sb_);

    panInfo_ = new QWidget(spltList_);
    auto* il = DlgColumn(panInfo_, "panInfo");
    pcInfo_ = new QTabWidget(panInfo_);
    pcInfo_->setObjectName(QStringLiteral("pcInfo"));
    auto* general = new QWidget;
    general->setObjectName(QStringLiteral("tsGeneral"));
    auto* gl = new QVBoxLayout(general);
    gl->setContentsMargins(4, 4, 4, 4);
    infolblCat_ = new QLabel(general);
    infolblCat_->setObjectName(QStringLiteral("infolblCat"));
    infolblLoc_ = new QLabel(general);
    infolblLoc_->setObjectName(QStringLiteral("infolblLoc"));
    infoThumb_ = new QLabel(general);
    infoThumb_->setObjectName(QStringLiteral("infoThumb"));
    infoThumb_->setAlignment(Qt::AlignCenter);
    infoThumb_->hide();
    infomemo_ = new QTextEdit(general);
    infomemo_->setObjectName(QStringLiteral("infomemo"));
    infomemo_->setReadOnly(true);
    gl->addWidget(infoThumb_);
    gl->addWidget(infolblCat_);
    gl->addWidget(infolblLoc_);
    gl->addWidget(infomemo_, 1);
    infovle_ = new QTableWidget(0, 2);
    infovle_->setObjectName(QStringLiteral("infovle"));
    infovle_->horizontalHeader()->setStretchLastSection(true);
    infovle_->horizontalHeader()->hide();
    infovle_->verticalHeader()->hide();
    infovle_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pcInfo_->addTab(general, QStringLiteral("&General"));
    pcInfo_->addTab(infovle_, QStringLiteral("Tag&s"));
    il->addWidget(pcInfo_);
    spltList_->setStretchFactor(0, 3);
    spltList_->setStretchFactor(1, 1);
    spltMain_->setStretchFactor(0, 1);
    spltMain_->setStretchFactor(1, 2);

    panMessages_ = new QWidget(spltMsgs_);
    auto* ml = DlgColumn(panMessages_, "panMessages");
    msgs_ = new QPlainTextEdit(panMessages_);
    msgs_->setObjectName(QStringLiteral("msgs"));
    msgs_->setReadOnly(true);
    msgs_->setMaximumBlockCount(kLogLines);
    ml->addWidget(msgs_);
    logTimer_ = new QTimer(msgs_);
    logTimer_->setSingleShot(true);
    logTimer_->setInterval(100);
    connect(logTimer_, &QTimer::timeout, this, &TMainViews::FlushLog);
    spltMsgs_->setStretchFactor(0, 4);
    spltMsgs_->setStretchFactor(1, 1);

    nodesModel_ = new TCatalogTreeModel(false, QStringLiteral("tvNodes"), this);
    colModel_ = new TCatalogTreeModel(true, QStringLiteral("tvCol"), this);
    tvNodes_->setModel(nodesModel_);
    tvCol_->setModel(colModel_);

    connect(tvNodes_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TMainViews::OnNodeChanged);
    connect(tvCol_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TMainViews::OnColNodeChanged);
    connect(lv_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { RefreshInfo(); });
    // A mouse click makes the row current before it selects it: the pane
    // looks again once the selection has caught up.
    connect(lv_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { RefreshInfo(); });
    connect(lv_, &QAbstractItemView::doubleClicked, this, &TMainViews::OpenRequested);
    connect(lvIcons_, &QAbstractItemView::doubleClicked, this, &TMainViews::OpenRequested);
    connect(lvThumbs_, &QAbstractItemView::doubleClicked, this, &TMainViews::OpenRequested);
    connect(lvThumbs_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ShowListMenu(lvThumbs_, p); });
    connect(lv_->header(), &QHeaderView::sectionClicked, this, &TMainViews::SortRequested);
    connect(lv_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ShowListMenu(lv_, p); });
    connect(lvIcons_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ShowListMenu(lvIcons_, p); });
    connect(tvNodes_, &QWidget::customContextMenuRequested, this, &TMainViews::ShowTreeMenu);
    connect(tvCol_, &QWidget::customContextMenuRequested, this, &TMainViews::ShowColMenu);
    for (TCatalogTreeModel* m : {nodesModel_, colModel_}) {
        connect(m, &TCatalogTreeModel::RenameRequested, this, &TMainViews::RenameRequested,
                Qt::QueuedConnection);
    }
    // Handled after the drag has ended, as it rebuilds the views.
    connect(colModel_, &TCatalogTreeModel::DropRequested, this, &TMainViews::DropRequested,
            Qt::QueuedConnection);
    auto track = [](QTreeView* view, TCatalogTreeModel* model) {
        connect(view, &QTreeView::expanded, model, [model](const QModelIndex& i) {
            if (TTreeNode* n = model->NodeAt(i)) n->Expanded = true;
        });
        connect(view, &QTreeView::collapsed, model, [model](const QModelIndex& i) {
            if (TTreeNode* n = model->NodeAt(i)) n->Expanded = false;
        });
    };
    track(tvNodes_, nodesModel_);
    track(tvCol_, colModel_);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* w = now; w; w = w->parentWidget()) {
            if (w == tvNodes_ || w == tvCol_ || w == lv_ || w == lvIcons_ || w == lvThumbs_) {
                activeView_ = static_cast<QAbstractItemView*>(w);
                return;
            }
        }
    });
}

void TMainViews::SetMenus(QMenu* list, QMenu* tree, QMenu* collections) {
    pmLv_ = list;
    pmTv_ = tree;
    pmCol_ = collections;
}

// ---------------------------------------------------------------------------
// Selection

TTreeNode* TMainViews::SelectedNode() const {
    return nodesModel_->NodeAt(tvNodes_->currentIndex());
}

TTreeNode* TMainViews::SelectedColNode() const {
    return colModel_->NodeAt(tvCol_->currentIndex());
}

std::vector<TTreeNode*> TMainViews::SelectedNodes() const {
    return SelectedOf(tvNodes_, nodesModel_);
}

std::vector<TTreeNode*> TMainViews::SelectedColNodes() const {
    return SelectedOf(tvCol_, colModel_);
}

TLibFolderItem* TMainViews::CurrentEntry() const {
    return listModel_->EntryAt(lv_->currentIndex().row());
}

std::vector<TLibFolderItem*> TMainViews::SelectedEntries() const {
    QModelIndexList rows = lv_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<TLibFolderItem*> out;
    out.reserve(static_cast<size_t>(rows.size()));
    for (const QModelIndex& i : rows)
        if (TLibFolderItem* e = listModel_->EntryAt(i.row())) out.push_back(e);
    return out;
}

void TMainViews::SelectEntries(const std::vector<TLibFolderItem*>& entries) {
    QItemSelection sel;
    int first = -1;
    for (TLibFolderItem* e : entries) {
        int r = listModel_->RowOf(e);
        if (r < 0) continue;
        if (first < 0) first = r;
        sel.select(listModel_->index(r, 0),
                   listModel_->index(r, TEntryListModel::kColumnCount - 1));
    }
    lv_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
    if (first >= 0) {
        lv_->selectionModel()->setCurrentIndex(listModel_->index(first, 0),
                                               QItemSelectionModel::NoUpdate);
        lv_->scrollTo(listModel_->index(first, 0));
    }
    RefreshInfo();
}

void TMainViews::SelectNode(TTreeNode* node) {
    SelectIn(tvNodes_, nodesModel_, node);
    // Filled even when the current index did not change (after a rebuild).
    FillList(node);
}

void TMainViews::SelectColNode(TTreeNode* node) {
    SelectIn(tvCol_, colModel_, node);
}

QAbstractItemView* TMainViews::ActiveView() const {
    QWidget* f = QApplication::focusWidget();
    for (QWidget* w = f; w; w = w->parentWidget())
        if (w == tvNodes_ || w == tvCol_ || w == lv_ || w == lvIcons_ || w == lvThumbs_)
            return static_cast<QAbstractItemView*>(w);
    if (activeView_) return activeView_;
    return tvNodes_;
}

void TMainViews::SetActiveView(QAbstractItemView* view) {
    activeView_ = view;
    if (view) view->setFocus();
}

bool TMainViews::IsList(const QAbstractItemView* view) const {
    return view == lv_ || view == lvIcons_ || view == lvThumbs_;
}

// ---------------------------------------------------------------------------
// Content

void TMainViews::SetBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        infoThumb_->hide();
        infovle_->setRowCount(0);
        infomemo_->clear();
    }
}

void TMainViews::SetFrozen(bool frozen) {
    // Every view lets go of the catalog's records before anything changes them.
    listModel_->SetFrozen(frozen);
    nodesModel_->SetFrozen(frozen);
    colModel_->SetFrozen(frozen);
}

void TMainViews::SetEnabled(bool enabled) {
    // Whatever "Disable Controls" says, no view reads the catalog while it changes.
    for (QWidget* v : {static_cast<QWidget*>(tvNodes_), static_cast<QWidget*>(tvCol_),
                       static_cast<QWidget*>(lvStack_), static_cast<QWidget*>(tab_)})
        v->setEnabled(enabled);
    colModel_->AcceptDrops = enabled;
}

void TMainViews::RestoreExpansion(bool collections) {
    if (!lib_) return;
    QTreeView* view = collections ? tvCol_ : tvNodes_;
    TCatalogTreeModel* model = collections ? colModel_ : nodesModel_;
    const TTree& tree = collections ? lib_->ColTree : lib_->Tree;
    // Only the expanded parts are walked, not the whole tree.
    std::vector<TTreeNode*> stack;
    for (int i = tree.RootCount() - 1; i >= 0; --i)
        stack.push_back(tree.Root(i));
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        if (!n->Expanded || n->Count() == 0) continue;
        view->expand(model->IndexOf(n));
        for (int i = n->Count() - 1; i >= 0; --i)
            stack.push_back(n->Child(i));
    }
}

void TMainViews::FillList(TTreeNode* node) {
    TLibFolder* f = busy_ ? nullptr : FolderOf(node);
    if (gd_.ViewSettings.AutoResizeColumns)
        for (int i = 0; i < TEntryListModel::kColumnCount; ++i)
            lv_->header()->setSectionResizeMode(i, QHeaderView::Interactive);
    // The pictures of another folder, or of a catalog saved or loaded since.
    thumbCache_->Clear();
    listModel_->SetFolder(f);
    if (gd_.ViewSettings.AutoResizeColumns && listModel_->rowCount() < 5000)
        for (int i = 0; i < TEntryListModel::kColumnCount; ++i)
            lv_->resizeColumnToContents(i);
    UpdateStatus();
    RefreshInfo();
}

void TMainViews::OnNodeChanged() {
    if (busy_) return;
    TTreeNode* n = SelectedNode();
    FillList(n);
    // A node linked from a collection selects that collection node.
    if (TLibFolder* f = FolderOf(n); f && f->CollectionNode && !colDragging_) {
        QSignalBlocker block(tvCol_->selectionModel());
        tvCol_->setCurrentIndex(colModel_->IndexOf(f->CollectionNode));
    }
}

void TMainViews::OnColNodeChanged() {
    if (busy_ || colDragging_ || !lib_) return;
    TLibColItem* c = ColItemOf(SelectedColNode());
    if (c && c->LinkedFolder && c->LinkedFolder->Node) {
        {
            QSignalBlocker block(tvNodes_->selectionModel());
            QModelIndex i = nodesModel_->IndexOf(c->LinkedFolder->Node);
            tvNodes_->scrollTo(i);
            tvNodes_->setCurrentIndex(i);
        }
        FillList(c->LinkedFolder->Node);
        if (c->LinkedItem) SelectEntries({c->LinkedItem});
    }
    sbColH_->SetText(0, sbLoc_->Text(0));
    sbColL_->SetText(0, MsgText("infoItems", std::to_string(lib_->ColTree.TotalCount())));
    sbColL_->SetText(1, sbTree_->Text(1));
}

void TMainViews::RefreshInfo() {
    infovle_->setRowCount(0);
    if (busy_) return;
    try {
        TLibFolderItem* e = CurrentEntry();
        if (e && !lv_->selectionModel()->isSelected(lv_->currentIndex())) e = nullptr;
        // The picture of a photo or video, as large as the stored thumbnail.
        const QPixmap picture = e && !e->IsFolder ? thumbCache_->Full(e) : QPixmap();
        infoThumb_->setPixmap(picture);
        infoThumb_->setVisible(!picture.isNull());
        if (e) {
            infolblCat_->setText(MsgText("InfoCat", e->Category.view()));
            infolblLoc_->setText(
                MsgText("InfoLoc", e->Owner && !e->Owner->Parent ? e->Owner->Location : ""));
            infomemo_->setPlainText(QStr(e->Comments.view()));
            std::vector<std::string> lines;
            ToCaptions(e->TagInfo.Values(), lines, gd_.TagNames);
            infovle_->setRowCount(static_cast<int>(lines.size()));
            for (size_t i = 0; i < lines.size(); ++i) {
                size_t eq = lines[i].find('=');
                infovle_->setItem(static_cast<int>(i), 0,
                                  new QTableWidgetItem(QStr(lines[i].substr(0, eq))));
                infovle_->setItem(static_cast<int>(i), 1,
                                  new QTableWidgetItem(eq == std::string::npos
                                                           ? QString()
                                                           : QStr(lines[i].substr(eq + 1))));
            }
            // A list click on a linked entry selects its collection node.
            if (TTreeNode* link = lib_->EntryLink(e); link && !colDragging_) {
                QSignalBlocker block(tvCol_->selectionModel());
                tvCol_->setCurrentIndex(colModel_->IndexOf(link));
            }
        } else if (TLibFolder* f = FolderOf(SelectedNode())) {
            infolblCat_->setText(MsgText("InfoCat", f->Category));
            infolblLoc_->setText(MsgText("InfoLoc", f->Location));
            infomemo_->setPlainText(QStr(f->Comments));
        } else {
            infolblCat_->setText(MsgText("InfoCat"));
            infolblLoc_->setText(MsgText("InfoLoc"));
            infomemo_->clear();
        }
    } catch (const std::exception&) {
        infolblCat_->clear();
        infolblLoc_->clear();
        infomemo_->clear();
        infovle_->setRowCount(0);
    }
}

// ---------------------------------------------------------------------------
// Status bars

void TMainViews::ClearStatus() {
    for (TPanelBar* b : {sbColH_, sbColL_, sbTree_, sbLoc_, sb_, sbFp_})
        b->ClearAll();
}

namespace {

QString TotalsText(const TCatalogTotals& t, const QString& bytes) {
    std::vector<std::string> args{StdStr(bytes), std::to_string(t.Files),
                                  std::to_string(t.Folders)};
    if (t.Members == 0) return QStr(GetMessageText("infoTotalCounts", args));
    args.push_back(std::to_string(t.Members));
    return QStr(GetMessageText("infoTotalMembers", args));
}

} // namespace

void TMainViews::UpdateStatus() {
    if (!lib_) return;
    sbTree_->SetText(0, MsgText("infoVol", std::to_string(lib_->VolumeCount)));
    sbColL_->SetText(0, MsgText("infoItems", std::to_string(lib_->ColTree.TotalCount())));
    TTreeNode* n = busy_ ? nullptr : SelectedNode();
    TLibFolder* f = FolderOf(n);
    auto size = [this](int64_t bytes) {
        return QStr(FormatSize(gd_.Sizes, static_cast<int64_t>(bytes), GetMessageText("infoStrKB"),
                               GetMessageText("infoStrMB")));
    };
    if (f) {
        TLibFolder* vol = GetVolume(f);
        sbLoc_->SetText(0, QStr(vol ? vol->Location : std::string()));
        sbFp_->SetText(0, QStr(GetDisplayPath(f)));
        // The list shows this folder's own entries; the tree's figure is
        // everything below. Both count as TCatalogTotals does.
        const TCatalogTotals own = OwnEntryTotals(f);
        QString counts = MsgText("infoFiles", std::to_string(own.Files));
        if (own.Folders > 0)
            counts += QStringLiteral("   ") + MsgText("infoFol", std::to_string(own.Folders));
        sb_->SetText(0, counts);
        sb_->SetText(1, MsgText("infoSize", StdStr(size(own.Bytes))));
        if (!lib_->CountsValid) lib_->Recount();
        sbTree_->SetText(1, TotalsText(f->Totals, size(f->Totals.Bytes)));
    } else {
        sbLoc_->SetText(0, {});
        sbFp_->SetText(0, {});
        sb_->ClearAll();
        sbTree_->SetText(1, {});
    }
    sbColL_->SetText(1, sbTree_->Text(1));
    sbColH_->SetText(0, sbLoc_->Text(0));
}

QString TMainViews::ListStatus(int panel) const {
    return sb_->Text(panel);
}

QString TMainViews::InfoMemoText() const {
    return infomemo_->toPlainText();
}

void TMainViews::LogLine(const QString& text) {
    pendingLog_ << text;
    // The pane keeps its last lines only; so need the waiting ones.
    if (pendingLog_.size() > 2 * kLogLines)
        pendingLog_.erase(pendingLog_.begin(), pendingLog_.end() - kLogLines);
    if (!logTimer_->isActive()) logTimer_->start();
}

void TMainViews::FlushLog() {
    logTimer_->stop();
    if (pendingLog_.isEmpty()) return;
    msgs_->appendPlainText(pendingLog_.join(QLatin1Char('\n')));
    pendingLog_.clear();
    msgs_->verticalScrollBar()->setValue(msgs_->verticalScrollBar()->maximum());
}

QPlainTextEdit* TMainViews::Messages() {
    FlushLog();
    return msgs_;
}

// ---------------------------------------------------------------------------
// Pop-up menus

void TMainViews::ShowListMenu(QAbstractItemView* view, const QPoint& pos) {
    emit ListMenuAboutToShow();
    if (pmLv_) pmLv_->popup(view->viewport()->mapToGlobal(pos));
}

void TMainViews::ShowTreeMenu(const QPoint& pos) {
    QModelIndex i = tvNodes_->indexAt(pos);
    if (i.isValid() && !tvNodes_->selectionModel()->isSelected(i)) tvNodes_->setCurrentIndex(i);
    SetActiveView(tvNodes_);
    if (pmTv_) pmTv_->popup(tvNodes_->viewport()->mapToGlobal(pos));
}

void TMainViews::ShowColMenu(const QPoint& pos) {
    QModelIndex i = tvCol_->indexAt(pos);
    if (i.isValid() && !tvCol_->selectionModel()->isSelected(i)) tvCol_->setCurrentIndex(i);
    SetActiveView(tvCol_);
    emit ColMenuAboutToShow();
    if (pmCol_) pmCol_->popup(tvCol_->viewport()->mapToGlobal(pos));
}
