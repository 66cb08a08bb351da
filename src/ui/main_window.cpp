#include "ui/main_window.h"

#include "analysis/text_utils.h"
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "platform/shell_services.h"
#include "settings/global_data.h"
#include "settings/message_error.h"
#include "settings/message_table.h"
#include "settings/settings_helpers.h"
#include "settings/settings_store.h"
#include "ui/catalog_models.h"
#include "ui/dialog_common.h"
#include "ui/handlers_dialog.h"
#include "ui/help_window.h"
#include "ui/memo_dialog.h"
#include "ui/new_volume_dialog.h"
#include "ui/options_dialog.h"
#include "ui/pick_list_dialog.h"
#include "ui/print_cover.h"
#include "ui/properties_dialog.h"
#include "ui/tags_dialog.h"
#include "ui/text_edit_dialog.h"
#include "ui/update_dialog.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QActionGroup>
#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListView>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

// ---------------------------------------------------------------------------
// Small widgets

// A label that shows a long path shortened in the middle.
class TElideLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetFullText(const QString& t) {
        full_ = t;
        setToolTip(t);
        Elide();
    }
    const QString& FullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QLabel::resizeEvent(e);
        Elide();
    }

private:
    void Elide() {
        setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, std::max(width(), 20)));
    }
    QString full_;
};

class TPanelBar : public QStatusBar {
public:
    TPanelBar(const QString& name, int panels, QWidget* parent, bool elideFirst = false)
        : QStatusBar(parent) {
        setObjectName(name);
        setSizeGripEnabled(false);
        for (int i = 0; i < panels; ++i) {
            QLabel* l = (i == 0 && elideFirst) ? new TElideLabel(this) : new QLabel(this);
            l->setMinimumWidth(20);
            addWidget(l, i == 0 ? 3 : 2);
            labels_.push_back(l);
        }
    }
    void SetText(int i, const QString& t) {
        if (i < 0 || i >= static_cast<int>(labels_.size())) return;
        if (auto* e = dynamic_cast<TElideLabel*>(labels_[static_cast<size_t>(i)]))
            e->SetFullText(t);
        else
            labels_[static_cast<size_t>(i)]->setText(t);
    }
    QString Text(int i) const {
        if (i < 0 || i >= static_cast<int>(labels_.size())) return {};
        if (auto* e = dynamic_cast<TElideLabel*>(labels_[static_cast<size_t>(i)]))
            return e->FullText();
        return labels_[static_cast<size_t>(i)]->text();
    }
    void ClearAll() {
        for (size_t i = 0; i < labels_.size(); ++i)
            SetText(static_cast<int>(i), {});
    }

private:
    std::vector<QLabel*> labels_;
};

// What long operations report to and poll: the window's progress state, with
// the event queue let run (at most every 30 ms) whenever the operation polls
// for Stop, so the window repaints and Stop can be pressed.
class TfrmMain::TPumpProgress : public IProgress {
public:
    explicit TPumpProgress(TfrmMain& w) : w_(w) {}
    void BeginProgress(const std::string& text, int64_t total) override {
        w_.gd_->Progress.BeginProgress(text, total);
    }
    void StepProgress(const std::string& text, int64_t position) override {
        w_.gd_->Progress.StepProgress(text, position);
    }
    void EndProgress(const std::string& text) override { w_.gd_->Progress.EndProgress(text); }
    void ShowStatus(const std::string& text, const std::string& logText, bool log) override {
        w_.gd_->Progress.ShowStatus(text, logText, log);
    }
    void LogMessage(const std::string& text) override { w_.gd_->Progress.LogMessage(text); }
    bool StopRequested() const override {
        w_.ProcessEvents();
        return w_.gd_->Progress.StopRequested();
    }

private:
    TfrmMain& w_;
};

// Marks the window busy for its lifetime.
class TWindowBusyScope {
public:
    explicit TWindowBusyScope(TfrmMain& w) : w_(w) { w_.BeginBusy(); }
    ~TWindowBusyScope() { w_.EndBusy(); }
    TWindowBusyScope(const TWindowBusyScope&) = delete;
    TWindowBusyScope& operator=(const TWindowBusyScope&) = delete;

private:
    TfrmMain& w_;
};

namespace {

const char* const kPos = "Pos\\frmMain";

std::vector<int> RowPath(const TTreeNode* n) {
    std::vector<int> rows;
    for (; n; n = n->Parent())
        rows.insert(rows.begin(), n->Index());
    return rows;
}

TTreeNode* NodeByRows(const TTree& tree, const std::vector<int>& rows) {
    TTreeNode* n = nullptr;
    for (int r : rows) {
        if (!n) {
            if (r < 0 || r >= tree.RootCount()) return nullptr;
            n = tree.Root(r);
        } else {
            if (r < 0 || r >= n->Count()) return n;
            n = n->Child(r);
        }
    }
    return n;
}

} // namespace

// ---------------------------------------------------------------------------
// Creation

TfrmMain::TfrmMain(std::unique_ptr<ISettingsStore> store, QWidget* parent)
    : QMainWindow(parent), store_(std::move(store)), gd_(std::make_unique<TGlobalData>()),
      lib_(std::make_unique<TLibObj>()), questions_(this) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tamblix"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("tamblix"),
                                   QIcon(QStringLiteral(":/tamblix/tamblix.svg"))));
    InitUiResources();
    qRegisterMetaType<TTreeNode*>("TTreeNode*");
    // Without a desktop theme the icons come from an installed one, else the style's.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    pump_ = std::make_unique<TPumpProgress>(*this);

    gd_->Progress.SetSink(this);
    gd_->Progress.Counts = [this] {
        return TProgressCounts{lib_->VolumeCount, lib_->FolderCount, lib_->FileCount,
                               lib_->TotalSize};
    };
    gd_->LoadSettings(*store_);
    try {
        handlers_.LoadFromRegistry(*store_);
    } catch (const std::exception&) {
        handlers_.SetDefaults();
    }
    gd_->Progress.ActionEndBeep = gd_->ActionEndBeep;

    SetDialogHelpHandler([this](QWidget*) { miContentsClick(); });

    BuildViews();
    BuildActions();
    BuildMenus();
    BuildToolbar();
    nodesModel_->SetLib(lib_.get());
    colModel_->SetLib(lib_.get());
    ApplySettingsToLib();
    BuildFavoritesMenu();
    lang_.OnApplied = [this] { RetranslateDynamic(); };
    RebuildLanguageMenu();

    gd_->LoadLayout(*store_);
    LoadPanelLayout();
    UpdateRecentMenu();
    ApplyViewSettings();
    listModel_->SortBy(gd_->LVSortIndex, gd_->ColumnSortState[gd_->LVSortIndex]);
    lv_->header()->setSortIndicator(gd_->LVSortIndex, gd_->ColumnSortState[gd_->LVSortIndex] == 1
                                                          ? Qt::DescendingOrder
                                                          : Qt::AscendingOrder);

    if (gd_->MainPlacement && !gd_->FirstRun) {
        const TPlacement& p = *gd_->MainPlacement;
        setGeometry(p.Left, p.Top, p.Width, p.Height);
        if (p.State == TWindowState::Maximized) setWindowState(Qt::WindowMaximized);
    } else {
        resize(1100, 720);
        if (QScreen* s = QGuiApplication::primaryScreen())
            move(s->availableGeometry().center() - rect().center());
    }
    for (const std::string& e : gd_->LoadErrors)
        LogLine(e);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* w = now; w; w = w->parentWidget()) {
            if (w == tvNodes_ || w == tvCol_ || w == lv_ || w == lvIcons_) {
                activeView_ = static_cast<QAbstractItemView*>(w);
                return;
            }
        }
    });
    UpdateActions();
    UpdateStatus();
}

TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    // The dialogs hold the settings and the handler table, which go before the widgets do.
    delete newVolume_;
    delete update_;
    gd_->Progress.SetSink(nullptr);
    SetDialogHelpHandler({});
    // The views go before the catalog they show.
    nodesModel_->SetLib(nullptr);
    colModel_->SetLib(nullptr);
    listModel_->Clear();
}

void TfrmMain::BuildViews() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("panMain"));
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 0);
    outer->setSpacing(2);

    // Progress panel.
    infoPan_ = new QWidget(central);
    infoPan_->setObjectName(QStringLiteral("infoPan"));
    auto* ip = new QHBoxLayout(infoPan_);
    ip->setContentsMargins(4, 0, 4, 0);
    lblPB_ = new QLabel(QStringLiteral("Loading:"), infoPan_);
    lblPB_->setObjectName(QStringLiteral("lblPB"));
    pb_ = new QProgressBar(infoPan_);
    pb_->setObjectName(QStringLiteral("pb"));
    pb_->setRange(0, 0);
    auto* btnStop = new QPushButton(TIcons::Theme("process-stop", QStyle::SP_BrowserStop),
                                    QStringLiteral("Stop"), infoPan_);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    connect(btnStop, &QPushButton::clicked, this, &TfrmMain::miVStopProcessClick);
    ip->addWidget(lblPB_);
    ip->addWidget(pb_, 1);
    ip->addWidget(btnStop);
    infoPan_->hide();
    outer->addWidget(infoPan_);

    spltMsgs_ = new QSplitter(Qt::Vertical, central);
    spltMsgs_->setObjectName(QStringLiteral("spltMsgs"));
    outer->addWidget(spltMsgs_, 1);
    spltMain_ = new QSplitter(Qt::Horizontal, spltMsgs_);
    spltMain_->setObjectName(QStringLiteral("spltMain"));

    // Left: the tab bar choosing the trees, and the two tree panels.
    auto* left = new QWidget(spltMain_);
    left->setObjectName(QStringLiteral("panTab"));
    auto* ll = new QVBoxLayout(left);
    ll->setContentsMargins(0, 0, 0, 0);
    ll->setSpacing(0);
    tab_ = new QTabBar(left);
    tab_->setObjectName(QStringLiteral("tab"));
    tab_->addTab(QStringLiteral("&Collection"));
    tab_->addTab(QStringLiteral("&Volume"));
    tab_->addTab(QStringLiteral("&Mixed"));
    tab_->setExpanding(false);
    ll->addWidget(tab_);
    spt_ = new QSplitter(Qt::Horizontal, left);
    spt_->setObjectName(QStringLiteral("Spt"));
    ll->addWidget(spt_, 1);

    auto makeTree = [this](const QString& name, QWidget* parent) {
        auto* t = new QTreeView(parent);
        t->setObjectName(name);
        t->setHeaderHidden(true);
        t->setUniformRowHeights(true);
        t->setSelectionMode(QAbstractItemView::ExtendedSelection);
        t->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        t->setContextMenuPolicy(Qt::CustomContextMenu);
        t->setDragEnabled(true);
        t->installEventFilter(this);
        return t;
    };

    panCol_ = new QWidget(spt_);
    panCol_->setObjectName(QStringLiteral("panCol"));
    auto* cl = new QVBoxLayout(panCol_);
    cl->setContentsMargins(0, 0, 0, 0);
    cl->setSpacing(0);
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
    panTV_->setObjectName(QStringLiteral("panTV"));
    auto* tl = new QVBoxLayout(panTV_);
    tl->setContentsMargins(0, 0, 0, 0);
    tl->setSpacing(0);
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
    panLV_->setObjectName(QStringLiteral("panLV"));
    auto* vl = new QVBoxLayout(panLV_);
    vl->setContentsMargins(0, 0, 0, 0);
    vl->setSpacing(0);
    sbFp_ = new TPanelBar(QStringLiteral("sb_fp"), 1, panLV_, true);
    lvStack_ = new QStackedWidget(panLV_);
    lvStack_->setObjectName(QStringLiteral("lvStack"));
    listModel_ = new TEntryListModel(gd_.get(), this);
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
    lv_->installEventFilter(this);
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
    lvIcons_->installEventFilter(this);
    lvStack_->addWidget(lv_);
    lvStack_->addWidget(lvIcons_);
    sb_ = new TPanelBar(QStringLiteral("sb"), 2, panLV_);
    vl->addWidget(sbFp_);
    vl->addWidget(lvStack_, 1);
    vl->addWidget(sb_);

    panInfo_ = new QWidget(spltList_);
    panInfo_->setObjectName(QStringLiteral("panInfo"));
    auto* il = new QVBoxLayout(panInfo_);
    il->setContentsMargins(0, 0, 0, 0);
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
    infomemo_ = new QTextEdit(general);
    infomemo_->setObjectName(QStringLiteral("infomemo"));
    infomemo_->setReadOnly(true);
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
    pcInfo_->addTab(infovle_, QStringLiteral("&Tags"));
    il->addWidget(pcInfo_);
    spltList_->setStretchFactor(0, 3);
    spltList_->setStretchFactor(1, 1);
    spltMain_->setStretchFactor(0, 1);
    spltMain_->setStretchFactor(1, 2);

    panMessages_ = new QWidget(spltMsgs_);
    panMessages_->setObjectName(QStringLiteral("panMessages"));
    auto* ml = new QVBoxLayout(panMessages_);
    ml->setContentsMargins(0, 0, 0, 0);
    msgs_ = new QPlainTextEdit(panMessages_);
    msgs_->setObjectName(QStringLiteral("msgs"));
    msgs_->setReadOnly(true);
    msgs_->setMaximumBlockCount(20000);
    ml->addWidget(msgs_);
    spltMsgs_->setStretchFactor(0, 4);
    spltMsgs_->setStretchFactor(1, 1);
    setCentralWidget(central);

    sbMain_ = new TPanelBar(QStringLiteral("sb_main"), 2, this, true);
    setStatusBar(sbMain_);

    nodesModel_ = new TCatalogTreeModel(false, QStringLiteral("tvNodes"), this);
    colModel_ = new TCatalogTreeModel(true, QStringLiteral("tvCol"), this);
    tvNodes_->setModel(nodesModel_);
    tvCol_->setModel(colModel_);

    connect(tab_, &QTabBar::currentChanged, this, &TfrmMain::SetTab);
    connect(tvNodes_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmMain::OnNodeChanged);
    connect(tvCol_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmMain::OnColNodeChanged);
    // The selection models are replaced when a model resets? No: they persist.
    connect(lv_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { RefreshInfo(); });
    connect(lv_, &QAbstractItemView::doubleClicked, this, [this] { pmLVOpenClick(); });
    connect(lvIcons_, &QAbstractItemView::doubleClicked, this, [this] { pmLVOpenClick(); });
    connect(lv_->header(), &QHeaderView::sectionClicked, this, &TfrmMain::SortListBy);
    connect(lv_, &QWidget::customContextMenuRequested, this, &TfrmMain::ShowListMenu);
    connect(lvIcons_, &QWidget::customContextMenuRequested, this, &TfrmMain::ShowListMenu);
    connect(tvNodes_, &QWidget::customContextMenuRequested, this, &TfrmMain::ShowTreeMenu);
    connect(tvCol_, &QWidget::customContextMenuRequested, this, &TfrmMain::ShowColMenu);
    for (TCatalogTreeModel* m : {nodesModel_, colModel_}) {
        connect(m, &TCatalogTreeModel::RenameRequested, this, &TfrmMain::OnRenameRequested,
                Qt::QueuedConnection);
    }
    // Handled after the drag has ended, as it rebuilds the views.
    connect(colModel_, &TCatalogTreeModel::DropRequested, this, &TfrmMain::DropOnCollections,
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
}

QAction* TfrmMain::MakeAction(const QString& name, const QString& text, void (TfrmMain::*slot)(),
                              const QString& icon, int fallback, bool catalog) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    if (!icon.isEmpty())
        a->setIcon(TIcons::Theme(icon.toLatin1().constData(),
                                 fallback >= 0 ? fallback : int(QStyle::SP_FileIcon)));
    if (slot) connect(a, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    actions_[name] = a;
    if (catalog) catalogActions_.push_back(a);
    return a;
}

QAction* TfrmMain::Action(const QString& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void TfrmMain::AddScopedShortcut(QWidget* view, const QKeySequence& key, std::function<void()> fn) {
    auto* a = new QAction(view);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(a, &QAction::triggered, this, [fn = std::move(fn)] { fn(); });
    view->addAction(a);
    catalogActions_.push_back(a);
}

void TfrmMain::BuildActions() {
    using S = QStyle;
    auto cmd = [this](const char* name, const char* text, void (TfrmMain::*slot)(),
                      const char* icon = nullptr, int fallback = -1, bool catalog = true) {
        return MakeAction(QString::fromLatin1(name), QString::fromLatin1(text), slot,
                          icon ? QString::fromLatin1(icon) : QString(), fallback, catalog);
    };
    // Shortcuts shared by several commands are bound to the views below; the
    // menus only show them.
    auto shown = [](QAction* a, const QKeySequence& k) {
        a->setShortcut(k);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    };

    // Library
    cmd("miNew", "&New", &TfrmMain::tbNewClick, "document-new", S::SP_FileIcon);
    cmd("miOpen", "&Open..", &TfrmMain::tbOpenClick, "document-open", S::SP_DialogOpenButton)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    cmd("miReload", "Reload Current &Library", &TfrmMain::tbReloadClick, "view-refresh",
        S::SP_BrowserReload);
    cmd("miLProperties", "&Properties..", &TfrmMain::miLibPropertiesClick, "document-properties",
        S::SP_FileDialogDetailedView);
    cmd("miSave", "&Save", &TfrmMain::tbSaveClick, "document-save", S::SP_DialogSaveButton)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    cmd("miSaveAs", "Save &as..", &TfrmMain::tbSaveAsClick, "document-save-as",
        S::SP_DialogSaveButton);
    cmd("miImpLibrabry", "&Library", &TfrmMain::miImpLibrabryClick);
    cmd("miImpText", "&Text File", &TfrmMain::miImpTextClick);
    cmd("miExport", "&Export..", &TfrmMain::miExportClick, "document-export", S::SP_ArrowRight);
    cmd("miClose", "&Close Current Library", &TfrmMain::miCloseClick, "document-close",
        S::SP_DialogCloseButton)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    QAction* exit =
        cmd("miExit", "E&xit", nullptr, "application-exit", S::SP_DialogCloseButton, false);
    exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    // Volume
    shown(cmd("miVAdd", "&Add", &TfrmMain::tbAddClick, "list-add", S::SP_DriveCDIcon),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("miVUpdate", "&Update", &TfrmMain::miVUpdateClick, "view-refresh", S::SP_BrowserReload)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    shown(cmd("miVDelete", "&Delete", &TfrmMain::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_Delete));
    shown(cmd("miVProperties", "&Properties..", &TfrmMain::miLPropertiesClick,
              "document-properties", S::SP_FileDialogDetailedView),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    cmd("miVPrint", "&Print Cover", &TfrmMain::tbPrintClick, "document-print", S::SP_ComputerIcon)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    shown(cmd("miVRealSource", "Explore &Real Source", &TfrmMain::pmLVRealSourceClick,
              "folder-open", S::SP_DirOpenIcon),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    cmd("miVSearch", "Search", &TfrmMain::pmTvSearchClick, "edit-find",
        S::SP_FileDialogContentsView)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    cmd("miVExport", "&Export..", &TfrmMain::AsText1Click, "document-export", S::SP_ArrowRight);
    QAction* stop = cmd("miVStopProcess", "&Stop Process", &TfrmMain::miVStopProcessClick,
                        "process-stop", S::SP_BrowserStop, false);
    stop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    stopActions_.push_back(stop);

    // Files
    shown(cmd("miFProperties", "&Properties..", &TfrmMain::miLPropertiesClick),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    shown(cmd("miFDelete", "&Delete", &TfrmMain::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_D));
    shown(cmd("miFRealSource", "&Open Real Source", &TfrmMain::pmLVRealSourceClick),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    shown(cmd("miFSelectAll", "Select &All", &TfrmMain::miFSelectAllClick, "edit-select-all",
              S::SP_DialogApplyButton),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("miFInvert", "&Invert Selection", &TfrmMain::InvertSelection2Click);
    shown(cmd("miFSearch", "&Search", &TfrmMain::pmLVSearchByClick),
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
        connect(a, &QAction::toggled, this, [this, field](bool on) {
            gd_->ViewSettings.*field = on;
            ApplyViewSettings();
        });
    }
    cmd("miRefresh", "&Refresh", &TfrmMain::tbRefreshClick, "view-refresh", S::SP_BrowserReload)
        ->setShortcut(QKeySequence(Qt::Key_F5));

    // Favorites
    cmd("miAddFavorites", "Add &to Favorites", &TfrmMain::miAddFavoritesClick, "bookmark-new",
        S::SP_DialogYesButton);
    cmd("miOrgFavorites", "&Organize Favorites", &TfrmMain::tbOrgFavoritesClick,
        "bookmarks-organize", S::SP_FileDialogListView);

    // Tools
    cmd("miFind", "&Find..", &TfrmMain::tbFindClick, "edit-find", S::SP_FileDialogContentsView)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    cmd("miCategories", "&Categories", &TfrmMain::tbCatClick, "tag", S::SP_FileDialogListView);
    cmd("miLocations", "L&ocations", &TfrmMain::miLocationsClick, "mark-location",
        S::SP_DirHomeIcon);
    cmd("miTags", "&Tags", &TfrmMain::miTagsClick);
    cmd("miHandlers", "&Handlers", &TfrmMain::miHandlersClick);
    cmd("miExpLng", "E&xport Current Language..", &TfrmMain::miExpLngClick);
    cmd("miLoadOriginalLanguage", "Load Ori&ginal Language",
        &TfrmMain::miLoadOriginalLanguageClick);
    cmd("miOptions", "&Options", &TfrmMain::tbOptionsClick, "preferences-system",
        S::SP_FileDialogDetailedView);

    // Help
    cmd("miContents", "&Contents", &TfrmMain::miContentsClick, "help-contents",
        S::SP_DialogHelpButton, false)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    cmd("miAbout", "&About..", &TfrmMain::tbAboutClick, "help-about", S::SP_MessageBoxInformation,
        false);

    // List pop-up
    shown(cmd("pmLVOpen", "&Open", &TfrmMain::pmLVOpenClick), QKeySequence(Qt::Key_Return));
    shown(cmd("pmLVProperties", "&Properties..", &TfrmMain::pmLVPropertiesClick),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    shown(cmd("pmLVDelete", "&Delete", &TfrmMain::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_D));
    shown(cmd("pmLVRealSource", "Open &Real Source", &TfrmMain::pmLVRealSourceClick),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    shown(cmd("pmLVSelectAll", "Select &All", &TfrmMain::miFSelectAllClick),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("pmLVInvert", "&Invert Selection", &TfrmMain::InvertSelection2Click);
    shown(cmd("pmLVSearchBy", "&Search", &TfrmMain::pmLVSearchByClick),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F));
    shown(cmd("pmLVSearchDuplicates", "Search D&uplicates", &TfrmMain::pmLVSearchDuplicatesClick),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));

    // Tree pop-up
    shown(cmd("pmTvAdd", "&Add", &TfrmMain::tbAddClick, "list-add", S::SP_DriveCDIcon),
          QKeySequence(Qt::CTRL | Qt::Key_A));
    cmd("pmTvUpdate", "&Update", &TfrmMain::miVUpdateClick, "view-refresh", S::SP_BrowserReload);
    shown(cmd("pmTvDelete", "&Delete", &TfrmMain::tbDelClick, "edit-delete", S::SP_TrashIcon),
          QKeySequence(Qt::CTRL | Qt::Key_Delete));
    shown(cmd("pmTvProperties", "&Properties..", &TfrmMain::miLPropertiesClick),
          QKeySequence(Qt::ALT | Qt::Key_Return));
    cmd("pmTvPrint", "Print &Cover", &TfrmMain::tbPrintClick);
    shown(cmd("pmTvRealSource", "Explore &Real Source", &TfrmMain::pmLVRealSourceClick),
          QKeySequence(Qt::CTRL | Qt::Key_Return));
    cmd("pmTvSearch", "&Search", &TfrmMain::pmTvSearchClick);
    cmd("pmTvExport", "&Export..", &TfrmMain::AsText1Click);
    cmd("pmTvImpLibrabry", "&Library", &TfrmMain::miImpLibrabryClick);
    cmd("pmTvImpText", "&Text File", &TfrmMain::miImpTextClick);

    // Collections pop-up
    cmd("pmColProp", "&Properties", &TfrmMain::miColPropClick);
    cmd("pmColAdd", "New &Collection", &TfrmMain::miColAddClick, "folder-new",
        S::SP_FileDialogNewFolder);
    cmd("pmColAddSub", "New &Sub Collection", &TfrmMain::miColAddSubClick);
    cmd("pmColNewMemo", "New &Memo Item", &TfrmMain::miColNewMemoClick);
    shown(cmd("pmColRen", "&Rename", &TfrmMain::miColRenClick), QKeySequence(Qt::Key_F2));
    cmd("pmColDel", "&Delete", &TfrmMain::miColDelClick, "edit-delete", S::SP_TrashIcon);
    cmd("pmColRun", "&Open Link", &TfrmMain::miColRunClick);

    // The shortcuts of the views: each acts on the view that has the focus.
    AddScopedShortcut(tvNodes_, QKeySequence(Qt::CTRL | Qt::Key_A), [this] { tbAddClick(); });
    for (QKeyCombination k : {Qt::CTRL | Qt::Key_Delete, Qt::CTRL | Qt::Key_D}) {
        AddScopedShortcut(tvNodes_, k, [this] { tbDelClick(); });
        AddScopedShortcut(tvCol_, k, [this] { tbDelClick(); });
    }
    AddScopedShortcut(tvNodes_, QKeySequence(Qt::ALT | Qt::Key_Return),
                      [this] { miLPropertiesClick(); });
    AddScopedShortcut(tvNodes_, QKeySequence(Qt::CTRL | Qt::Key_Return),
                      [this] { pmLVRealSourceClick(); });
    AddScopedShortcut(tvCol_, QKeySequence(Qt::ALT | Qt::Key_Return), [this] { miColPropClick(); });
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(lv_), static_cast<QAbstractItemView*>(lvIcons_)}) {
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::Key_A), [this] { miFSelectAllClick(); });
        for (QKeyCombination k : {Qt::CTRL | Qt::Key_Delete, Qt::CTRL | Qt::Key_D})
            AddScopedShortcut(v, k, [this] { tbDelClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::Key_Return), [this] { pmLVOpenClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::ALT | Qt::Key_Return),
                          [this] { pmLVPropertiesClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::Key_Return),
                          [this] { pmLVRealSourceClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F),
                          [this] { pmLVSearchByClick(); });
        AddScopedShortcut(v, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D),
                          [this] { pmLVSearchDuplicatesClick(); });
    }
}

void TfrmMain::BuildMenus() {
    QMenuBar* mb = menuBar();
    mb->setObjectName(QStringLiteral("MainMenu"));
    auto menu = [this](QWidget* parent, const char* name, const char* title) {
        auto* m = new QMenu(QString::fromLatin1(title), parent);
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
    add(lib, {"miExport", "", "miClose", "miExit"});
    mb->addMenu(lib);

    QMenu* vol = menu(mb, "miVolume", "&Volume");
    add(vol, {"miVAdd", "miVUpdate", "miVDelete", "", "miVProperties", "miVPrint", "miVRealSource",
              "miVSearch", "miVExport", "", "miVStopProcess"});
    mb->addMenu(vol);

    // View styles and sort columns: two menus (Files and the list pop-up) show the same checks.
    const char* styleNames[] = {"LargeIcons", "SmallIcons", "List", "Details"};
    const char* styleTexts[] = {"Lar&ge Icons", "S&mall Icons", "&List", "&Details"};
    const char* sortNames[] = {"Name", "Type", "Size", "Date", "Category", "Comments"};
    const char* sortTexts[] = {"&Name", "&Type", "&Size", "&Date", "&Category", "C&omments"};
    auto styleMenu = [&](QMenu* m, const QString& prefix, std::vector<QAction*>& out,
                         QActionGroup*& group) {
        group = new QActionGroup(this);
        for (int i = 0; i < 4; ++i) {
            QAction* a = MakeAction(prefix + QString::fromLatin1(styleNames[i]),
                                    QString::fromLatin1(styleTexts[i]), nullptr, {}, -1, false);
            a->setCheckable(true);
            a->setChecked(i == 3);
            group->addAction(a);
            m->addAction(a);
            connect(a, &QAction::triggered, this, [this, i] { SetListViewStyle(i); });
            out.push_back(a);
        }
    };
    auto arrangeMenu = [&](QMenu* m, const QString& prefix, std::vector<QAction*>& out) {
        for (int i = 0; i < 6; ++i) {
            QAction* a = MakeAction(prefix + QString::fromLatin1(sortNames[i]),
                                    QString::fromLatin1(sortTexts[i]), nullptr);
            a->setCheckable(true);
            m->addAction(a);
            connect(a, &QAction::triggered, this, [this, i] { SortListBy(i); });
            out.push_back(a);
        }
    };

    miFiles_ = menu(mb, "miFiles", "F&iles");
    add(miFiles_,
        {"miFProperties", "miFDelete", "miFRealSource", "", "miFSelectAll", "miFInvert", ""});
    QMenu* fView = menu(miFiles_, "miFView", "&View");
    styleMenu(fView, QStringLiteral("miF"), viewStyle_, viewStyleGroup_);
    miFiles_->addMenu(fView);
    QMenu* fArr = menu(miFiles_, "miFArrange", "Arrange &Icons");
    arrangeMenu(fArr, QStringLiteral("miF"), arrange_);
    miFiles_->addMenu(fArr);
    add(miFiles_, {"", "miFSearch"});
    connect(miFiles_, &QMenu::aboutToShow, this, &TfrmMain::UpdateFilesMenu);
    mb->addMenu(miFiles_);

    QMenu* view = menu(mb, "miView", "&View");
    add(view, {"miViewToolbar", "miViewStatusbar", "miViewMessages", "miInfobar", "",
               "miAutoResizeColumns", "", "miRefresh"});
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

    pmLv_ = menu(this, "pmLv", "");
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
                                    QString::fromLatin1(texts[i]), nullptr);
            connect(a, &QAction::triggered, this, [this, tree, i] {
                if (!CheckIdle()) return;
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

    pmTv_ = menu(this, "pmTv", "");
    add(pmTv_, {"pmTvAdd", "pmTvUpdate", "pmTvDelete", "", "pmTvProperties", "pmTvPrint",
                "pmTvRealSource", "pmTvSearch", "", "pmTvExport"});
    QMenu* tvImp = menu(pmTv_, "pmTvImport", "&Import");
    add(tvImp, {"pmTvImpLibrabry", "pmTvImpText"});
    pmTv_->addMenu(tvImp);
    pmTv_->addSeparator();
    pmTv_->addMenu(nodeMenu(pmTv_, "pmTvNode", tvNodes_, QStringLiteral("pmTVNode")));

    pmCol_ = menu(this, "pmCol", "");
    add(pmCol_, {"pmColProp", "", "pmColAdd", "pmColAddSub", "pmColNewMemo", "", "pmColRen",
                 "pmColDel", "", "pmColRun", ""});
    pmCol_->addMenu(nodeMenu(pmCol_, "pmColNode", tvCol_, QStringLiteral("pmColNode")));
}

QAction* TfrmMain::MakeToolAction(const QString& name, const QString& hint, QAction* like) {
    auto* a = new QAction(like->icon(), hint, this);
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

void TfrmMain::BuildToolbar() {
    tb_ = addToolBar(QStringLiteral("Toolbar"));
    tb_->setObjectName(QStringLiteral("tb"));
    tb_->setMovable(false);
    tb_->setIconSize(QSize(22, 22));
    auto tool = [this](const char* name, const char* hint, const char* like) {
        tb_->addAction(MakeToolAction(QString::fromLatin1(name), QString::fromLatin1(hint),
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
        auto* a = new QAction(icon, QString::fromLatin1(hint), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(QString::fromLatin1(hint));
        a->setProperty("tamblixHint", true);
        a->setMenu(menu);
        actions_[a->objectName()] = a;
        catalogActions_.push_back(a);
        tb_->addAction(a);
        if (auto* b = qobject_cast<QToolButton*>(tb_->widgetForAction(a)))
            b->setPopupMode(QToolButton::InstantPopup);
    };
    auto* impMenu = new QMenu(this);
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
    tool("tbStop", "Stop", "miVStopProcess");
    tb_->addSeparator();
    dropDown("tbLng", "Languages", miLanguages_,
             TIcons::Theme("preferences-desktop-locale", QStyle::SP_DirLinkIcon));
    tool("tbHelp", "Help", "miContents");
    tool("tbAbout", "About", "miAbout");
}

// ---------------------------------------------------------------------------
// Settings, layout, status

void TfrmMain::ApplySettingsToLib() {
    TCatalogOptions& o = lib_->Options;
    o.Sort = gd_->Sort;
    o.AddToGlobalsLocs = gd_->AddToGlobalsLocs;
    o.AddToGlobalsCats = gd_->AddToGlobalsCats;
    o.GlobalLocations = &gd_->GlobalLocations;
    o.GlobalCategories = &gd_->GlobalCategories;
    o.ConfirmSaveChanges = gd_->ConfirmSaveChanges;
    o.NewLine = gd_->NewLine;
}

void TfrmMain::ApplyViewSettings() {
    const TViewSettings& v = gd_->ViewSettings;
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
    sbMain_->setVisible(v.StatusBar);
    panMessages_->setVisible(v.Messages);
    panInfo_->setVisible(v.InfoBar);
    ApplyColumnWidths();
    SetTab(std::clamp(v.View, 0, 2));
}

void TfrmMain::StoreViewSettings() {
    gd_->ViewSettings.View = tab_->currentIndex();
    if (currentTab_ == 2) {
        QList<int> s = spt_->sizes();
        if (s.size() == 2 && s[0] > 0 && s[1] > 0) {
            gd_->CollectionWidth = s[0];
            gd_->TreeWidth = s[1];
        }
    }
}

void TfrmMain::ApplyColumnWidths() {
    QHeaderView* h = lv_->header();
    for (int i = 0; i < TEntryListModel::kColumnCount; ++i) {
        if (gd_->ViewSettings.AutoResizeColumns) {
            h->setSectionResizeMode(i, QHeaderView::ResizeToContents);
        } else {
            h->setSectionResizeMode(i, QHeaderView::Interactive);
            int def = i == 0 ? 200 : (i == 3 ? 150 : 80);
            int w = ReadInt32(*store_, std::string(kPos) + "\\LV\\" + std::to_string(i), "Width",
                              def, 10, 5000);
            h->resizeSection(i, w);
        }
    }
}

void TfrmMain::LoadPanelLayout() {
    auto restore = [this](const char* panel, QSplitter* split, int index, bool horizontal) {
        TPlacement p;
        if (!LoadPlacement(*store_, std::string(kPos) + "\\" + panel, p)) return;
        QList<int> sizes = split->sizes();
        if (index >= sizes.size()) return;
        int total = 0;
        for (int s : sizes)
            total += s;
        int want = horizontal ? p.Width : p.Height;
        if (total <= 0) total = horizontal ? 1000 : 700;
        want = std::clamp(want, 20, std::max(20, total - 20));
        QList<int> out;
        for (int i = 0; i < sizes.size(); ++i)
            out << (i == index ? want : std::max(20, (total - want) / (int(sizes.size()) - 1)));
        split->setSizes(out);
    };
    restore("TAB", spltMain_, 0, true);
    restore("Info", spltList_, 1, false);
    restore("Msg", spltMsgs_, 1, false);
}

void TfrmMain::SavePanelLayout() {
    auto save = [this](const char* panel, QWidget* w) {
        if (!w->isVisible() || w->width() <= 0 || w->height() <= 0) return;
        QRect r = w->geometry();
        SavePlacement(*store_, std::string(kPos) + "\\" + panel,
                      TPlacement{r.left(), r.top(), r.width(), r.height(), TWindowState::Normal});
    };
    save("TAB", spltMain_->widget(0));
    save("LV", panLV_);
    save("Msg", panMessages_);
    save("Info", panInfo_);
    if (!gd_->ViewSettings.AutoResizeColumns)
        for (int i = 0; i < TEntryListModel::kColumnCount; ++i) {
            int w = lv_->header()->sectionSize(i);
            if (w > 0)
                store_->WriteInt(std::string(kPos) + "\\LV\\" + std::to_string(i), "Width", w);
        }
}

void TfrmMain::SetTab(int index) {
    index = std::clamp(index, 0, 2);
    if (currentTab_ == 2) {
        QList<int> s = spt_->sizes();
        if (s.size() == 2 && s[0] > 0 && s[1] > 0) {
            gd_->CollectionWidth = s[0];
            gd_->TreeWidth = s[1];
        }
    }
    if (tab_->currentIndex() != index) {
        QSignalBlocker block(tab_);
        tab_->setCurrentIndex(index);
    }
    panCol_->setVisible(index == 0 || index == 2);
    panTV_->setVisible(index == 1 || index == 2);
    if (index == 2) {
        int c = gd_->CollectionWidth > 0 ? gd_->CollectionWidth : 150;
        int t = gd_->TreeWidth > 0 ? gd_->TreeWidth : 200;
        spt_->setSizes({c, t});
    }
    currentTab_ = index;
    gd_->ViewSettings.View = index;
}

void TfrmMain::ClearStatus() {
    for (TPanelBar* b : {sbMain_, sbColH_, sbColL_, sbTree_, sbLoc_, sb_, sbFp_})
        b->ClearAll();
    sbMain_->SetText(0, QStr(lib_->FileName));
}

void TfrmMain::UpdateStatus() {
    sbMain_->SetText(0, QStr(lib_->FileName));
    sbTree_->SetText(0, MsgText("infoVol", std::to_string(lib_->VolumeCount)));
    sbColL_->SetText(0, MsgText("infoItems", std::to_string(lib_->ColTree.TotalCount())));
    TTreeNode* n = busy_ ? nullptr : SelectedNode();
    TLibFolder* f = FolderOf(n);
    auto size = [this](int64_t bytes) {
        return QStr(FormatSize(gd_->Sizes, static_cast<double>(bytes), GetMessageText("infoStrKB"),
                               GetMessageText("infoStrMB")));
    };
    if (f) {
        TLibFolder* vol = GetVolume(f);
        sbLoc_->SetText(0, QStr(vol ? vol->Location : std::string()));
        sbFp_->SetText(0, QStr(GetDisplayPath(f)));
        sb_->SetText(0, MsgText("infoFiles", std::to_string(f->ItemsCount())));
        sb_->SetText(1, MsgText("infoSize", StdStr(size(DirectItemsSize(f)))));
        sbTree_->SetText(1, MsgText("infoSize", StdStr(size(FolderDisplaySize(f)))));
    } else {
        sbLoc_->SetText(0, {});
        sbFp_->SetText(0, {});
        sb_->ClearAll();
        sbTree_->SetText(1, {});
    }
    sbColL_->SetText(1, sbTree_->Text(1));
    sbColH_->SetText(0, sbLoc_->Text(0));
}

QString TfrmMain::MainStatus(int panel) const {
    return sbMain_->Text(panel);
}

QString TfrmMain::ListStatus(int panel) const {
    return sb_->Text(panel);
}

QString TfrmMain::InfoMemoText() const {
    return infomemo_->toPlainText();
}

void TfrmMain::UpdateActions() {
    const bool idle = busy_ == 0 && gd_->Progress.Idle();
    for (QAction* a : catalogActions_)
        a->setEnabled(idle);
    for (QAction* a : stopActions_)
        a->setEnabled(!idle);
    miReopen_->setEnabled(idle && !miReopen_->isEmpty());
    miLanguages_->setEnabled(idle && !miLanguages_->isEmpty());
    miFavorites_->setEnabled(idle);
    // Whatever "Disable Controls" says, no view reads the catalog while it changes.
    for (QWidget* v : {static_cast<QWidget*>(tvNodes_), static_cast<QWidget*>(tvCol_),
                       static_cast<QWidget*>(lvStack_), static_cast<QWidget*>(tab_)})
        v->setEnabled(idle);
    colModel_->AcceptDrops = idle;
}

void TfrmMain::UpdateRecentMenu() {
    miReopen_->clear();
    for (int i = 0; i < gd_->RecentFiles.Count(); ++i) {
        std::string path = gd_->RecentFiles[i];
        QAction* a = miReopen_->addAction(QStr(gd_->RecentCaption(i)));
        a->setToolTip(QStr(path));
        a->setStatusTip(QStr(path));
        connect(a, &QAction::triggered, this, [this, path] { OpenFile(path, true); });
    }
    UpdateActions();
}

void TfrmMain::BuildFavoritesMenu() {
    miFavorites_->clear();
    miFavorites_->addAction(Action(QStringLiteral("miAddFavorites")));
    miFavorites_->addAction(Action(QStringLiteral("miOrgFavorites")));
    if (gd_->Favorites.Count() > 0) miFavorites_->addSeparator();
    for (int i = 0; i < gd_->Favorites.Count(); ++i) {
        const std::string& line = gd_->Favorites[i];
        size_t eq = line.find('=');
        std::string caption = line.substr(0, eq);
        std::string path = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        QAction* a = miFavorites_->addAction(QStr(caption));
        a->setToolTip(QStr(path));
        connect(a, &QAction::triggered, this, [this, path] { OpenFavorite(path); });
    }
}

void TfrmMain::OpenFavorite(const std::string& path) {
    if (path.empty()) return;
    OpenFile(path, true);
}

void TfrmMain::RebuildLanguageMenu() {
    lang_.BuildLanguageMenu(miLanguages_, [this](const QString& name) {
        if (!CheckIdle()) return;
        try {
            lang_.SelectLanguage(StdStr(name));
        } catch (const std::exception& e) {
            ShowException(e);
        }
    });
    UpdateActions();
}

void TfrmMain::RetranslateDynamic() {
    listModel_->ClearIconCache();
    if (!busy_) {
        UpdateStatus();
        RefreshInfo();
        lv_->viewport()->update();
    }
}

void TfrmMain::SaveAtExit() {
    StoreViewSettings();
    gd_->LastLibrary = lib_->FileName;
    gd_->Language = lang_.CurrentLanguage;
    QRect g = normalGeometry();
    if (g.isValid())
        gd_->MainPlacement = TPlacement{g.left(), g.top(), g.width(), g.height(),
                                        isMaximized()   ? TWindowState::Maximized
                                        : isMinimized() ? TWindowState::Minimized
                                                        : TWindowState::Normal};
    if (gd_->SaveSettingsOnExit) {
        try {
            gd_->SaveSettings(*store_);
        } catch (const std::exception& e) {
            ShowException(e);
        }
        handlers_.SaveToRegistry(*store_);
    }
    gd_->SaveLayout(*store_);
    SavePanelLayout();
    store_->Sync();
}

// ---------------------------------------------------------------------------
// Busy state and progress

namespace {
// What the views showed before a long operation, found again afterwards.
struct TViewState {
    std::string NodePath;
    std::vector<int> ColRows;
    std::string EntryCaption;
    bool HadNode = false;
};
TViewState gSaved;
std::string gPendingSelect;
bool gHasPendingSelect = false;
} // namespace

void TfrmMain::BeginBusy() {
    if (busy_++ > 0) return;
    pumpTimer_.invalidate();
    gSaved = TViewState();
    if (TTreeNode* n = SelectedNode()) {
        gSaved.NodePath = GetCatalogPath(FolderOf(n));
        gSaved.HadNode = true;
    }
    gSaved.ColRows = RowPath(SelectedColNode());
    if (TLibFolderItem* e = listModel_->EntryAt(lv_->currentIndex().row()))
        gSaved.EntryCaption = e->Caption.str();
    // Every view lets go of the catalog's records before anything changes them.
    listModel_->SetFrozen(true);
    nodesModel_->SetFrozen(true);
    colModel_->SetFrozen(true);
    infovle_->setRowCount(0);
    infomemo_->clear();
    UpdateActions();
}

void TfrmMain::EndBusy() {
    if (--busy_ > 0) return;
    if (!gd_->Progress.Idle()) {
        // An operation that threw before it ended its progress.
        ProgressEnded();
        gd_->Progress.SetIdle(true);
    }
    listModel_->SetFrozen(false);
    nodesModel_->SetFrozen(false);
    colModel_->SetFrozen(false);
    viewGeneration_ = lib_->Generation();
    RestoreExpansion(tvNodes_, nodesModel_);
    RestoreExpansion(tvCol_, colModel_);
    std::string path = gHasPendingSelect ? gPendingSelect : gSaved.NodePath;
    gHasPendingSelect = false;
    TTreeNode* node = path.empty() ? nullptr : FindFolderByCatalogPath(*lib_, path);
    if (!node && !gSaved.NodePath.empty() && path != gSaved.NodePath)
        node = FindFolderByCatalogPath(*lib_, gSaved.NodePath);
    SelectNode(node);
    if (!gSaved.EntryCaption.empty() && listModel_->Folder()) {
        if (TLibFolderItem* e = listModel_->Folder()->FindItem(gSaved.EntryCaption))
            SelectEntries({e});
    }
    if (TTreeNode* c = NodeByRows(lib_->ColTree, gSaved.ColRows)) {
        QSignalBlocker block(tvCol_->selectionModel());
        tvCol_->setCurrentIndex(colModel_->IndexOf(c));
    }
    UpdateActions();
    UpdateStatus();
    RefreshInfo();
}

void TfrmMain::RebuildViews() {
    BeginBusy();
    EndBusy();
}

void TfrmMain::RestoreExpansion(QTreeView* view, TCatalogTreeModel* model) {
    const TTree& tree = model->Collections() ? lib_->ColTree : lib_->Tree;
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

bool TfrmMain::CheckIdle() {
    return busy_ == 0 && gd_->Progress.Idle();
}

void TfrmMain::ShowException(const std::exception& e) {
    if (auto* m = dynamic_cast<const EMessageError*>(&e))
        questions_.ShowError(m->Key, m->Arg);
    else
        questions_.ShowErrorText(QString::fromUtf8(e.what()));
}

bool TfrmMain::RunBusy(const std::function<void()>& operation) {
    std::string key, arg;
    QString text;
    bool ok = true;
    {
        TWindowBusyScope busy(*this);
        try {
            operation();
        } catch (const EMessageError& e) {
            ok = false;
            key = e.Key;
            arg = e.Arg;
        } catch (const std::exception& e) {
            ok = false;
            text = QString::fromUtf8(e.what());
        }
    }
    // Shown once the views are back, so the window behind the box is whole.
    if (!key.empty())
        questions_.ShowError(key, arg);
    else if (!ok)
        questions_.ShowErrorText(text);
    return ok;
}

void TfrmMain::ProgressStarted(const std::string& label, int64_t maximum) {
    lblPB_->setText(QStr(label));
    pb_->setRange(0, static_cast<int>(std::clamp<int64_t>(maximum, 0, INT32_MAX)));
    pb_->setValue(0);
    infoPan_->show();
    sbMain_->SetText(0, QStr(lib_->FileName));
    UpdateActions();
}

void TfrmMain::ProgressMoved(int64_t position) {
    if (pb_->maximum() > 0)
        pb_->setValue(static_cast<int>(std::clamp<int64_t>(position, 0, pb_->maximum())));
}

void TfrmMain::ProgressEnded() {
    lblPB_->setText(QStringLiteral(" "));
    pb_->setRange(0, 0);
    pb_->reset();
    infoPan_->hide();
    sbMain_->SetText(0, QStr(lib_->FileName));
}

void TfrmMain::StatusText(const std::string& text) {
    sbMain_->SetText(1, QStr(text));
}

void TfrmMain::LogLine(const std::string& text) {
    msgs_->appendPlainText(QStr(text));
    msgs_->verticalScrollBar()->setValue(msgs_->verticalScrollBar()->maximum());
}

void TfrmMain::IdleChanged(bool idle) {
    // The progress state clears a stop request right after it turns busy, so
    // no event (a Stop click) may run in between.
    if (!idle) skipPump_ = true;
    UpdateActions();
}

void TfrmMain::Beep() {
    QApplication::beep();
}

void TfrmMain::ProcessEvents() {
    if (skipPump_) {
        skipPump_ = false;
        return;
    }
    if (pumpTimer_.isValid() && pumpTimer_.elapsed() < 30) return;
    pumpTimer_.restart();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void TfrmMain::miVStopProcessClick() {
    gd_->Progress.RequestStop();
}

// ---------------------------------------------------------------------------
// Views

TTreeNode* TfrmMain::SelectedNode() const {
    return nodesModel_->NodeAt(tvNodes_->currentIndex());
}

TTreeNode* TfrmMain::SelectedColNode() const {
    return colModel_->NodeAt(tvCol_->currentIndex());
}

namespace {
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
} // namespace

std::vector<TTreeNode*> TfrmMain::SelectedNodes() const {
    return SelectedOf(tvNodes_, nodesModel_);
}

std::vector<TTreeNode*> TfrmMain::SelectedColNodes() const {
    return SelectedOf(tvCol_, colModel_);
}

std::vector<TLibFolderItem*> TfrmMain::SelectedEntries() const {
    QModelIndexList rows = lv_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<TLibFolderItem*> out;
    out.reserve(static_cast<size_t>(rows.size()));
    for (const QModelIndex& i : rows)
        if (TLibFolderItem* e = listModel_->EntryAt(i.row())) out.push_back(e);
    return out;
}

void TfrmMain::SelectEntries(const std::vector<TLibFolderItem*>& entries) {
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

void TfrmMain::SelectNode(TTreeNode* node) {
    QModelIndex i = nodesModel_->IndexOf(node);
    if (i.isValid()) {
        tvNodes_->scrollTo(i);
        tvNodes_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    } else {
        tvNodes_->selectionModel()->clear();
    }
    // Filled even when the current index did not change (after a rebuild).
    FillList(node);
}

void TfrmMain::SelectColNode(TTreeNode* node) {
    QModelIndex i = colModel_->IndexOf(node);
    if (i.isValid()) {
        tvCol_->scrollTo(i);
        tvCol_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    } else {
        tvCol_->selectionModel()->clear();
    }
}

QAbstractItemView* TfrmMain::ActiveView() const {
    QWidget* f = QApplication::focusWidget();
    for (QWidget* w = f; w; w = w->parentWidget())
        if (w == tvNodes_ || w == tvCol_ || w == lv_ || w == lvIcons_)
            return static_cast<QAbstractItemView*>(w);
    if (activeView_) return activeView_;
    return tvNodes_;
}

void TfrmMain::SetActiveView(QAbstractItemView* view) {
    activeView_ = view;
    if (view) view->setFocus();
}

void TfrmMain::FillList(TTreeNode* node) {
    TLibFolder* f = busy_ ? nullptr : FolderOf(node);
    if (gd_->ViewSettings.AutoResizeColumns)
        for (int i = 0; i < TEntryListModel::kColumnCount; ++i)
            lv_->header()->setSectionResizeMode(i, QHeaderView::Interactive);
    listModel_->SetFolder(f);
    if (gd_->ViewSettings.AutoResizeColumns && listModel_->rowCount() < 5000)
        for (int i = 0; i < TEntryListModel::kColumnCount; ++i)
            lv_->resizeColumnToContents(i);
    UpdateStatus();
    RefreshInfo();
}

void TfrmMain::OnNodeChanged() {
    if (busy_) return;
    TTreeNode* n = SelectedNode();
    FillList(n);
    // A node linked from a collection selects that collection node.
    if (TLibFolder* f = FolderOf(n); f && f->CollectionNode && !colDragging_) {
        QSignalBlocker block(tvCol_->selectionModel());
        tvCol_->setCurrentIndex(colModel_->IndexOf(f->CollectionNode));
    }
}

void TfrmMain::OnColNodeChanged() {
    if (busy_ || colDragging_) return;
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

void TfrmMain::RefreshInfo() {
    infovle_->setRowCount(0);
    if (busy_) return;
    try {
        TLibFolderItem* e = listModel_->EntryAt(lv_->currentIndex().row());
        if (e && !lv_->selectionModel()->isSelected(lv_->currentIndex())) e = nullptr;
        if (e) {
            infolblCat_->setText(MsgText("InfoCat", e->Category.view()));
            infolblLoc_->setText(
                MsgText("InfoLoc", e->Owner && !e->Owner->Parent ? e->Owner->Location : ""));
            infomemo_->setPlainText(QStr(e->Comments.view()));
            std::vector<std::string> lines;
            ToCaptions(e->TagInfo.Values(), lines, gd_->TagNames);
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
            if (e->CollectionNode && !colDragging_) {
                QSignalBlocker block(tvCol_->selectionModel());
                tvCol_->setCurrentIndex(colModel_->IndexOf(e->CollectionNode));
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

void TfrmMain::SortListBy(int column) {
    if (column < 0 || column >= TEntryListModel::kColumnCount) return;
    uint8_t& state = gd_->ColumnSortState[static_cast<size_t>(column)];
    state = state == 1 ? 2 : 1;
    gd_->LVSortIndex = static_cast<uint8_t>(column);
    listModel_->SortBy(column, state);
    lv_->header()->setSortIndicator(column, state == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    for (auto* list : {&arrange_, &arrange2_})
        for (size_t i = 0; i < list->size(); ++i)
            (*list)[i]->setChecked(static_cast<int>(i) == column);
}

void TfrmMain::SetListViewStyle(int style) {
    for (auto* list : {&viewStyle_, &viewStyle2_})
        for (size_t i = 0; i < list->size(); ++i)
            (*list)[i]->setChecked(static_cast<int>(i) == style);
    if (style == 3) {
        lvStack_->setCurrentWidget(lv_);
        return;
    }
    lvStack_->setCurrentWidget(lvIcons_);
    if (style == 0) {
        lvIcons_->setViewMode(QListView::IconMode);
        lvIcons_->setIconSize(QSize(48, 48));
        lvIcons_->setGridSize(QSize(110, 80));
        lvIcons_->setWordWrap(true);
    } else {
        lvIcons_->setViewMode(QListView::ListMode);
        lvIcons_->setIconSize(QSize(16, 16));
        lvIcons_->setGridSize(QSize());
        lvIcons_->setWordWrap(false);
        lvIcons_->setFlow(style == 1 ? QListView::LeftToRight : QListView::TopToBottom);
        lvIcons_->setWrapping(true);
    }
    lvIcons_->setResizeMode(QListView::Adjust);
}

void TfrmMain::UpdateFilesMenu() {
    const bool idle = CheckIdle();
    const bool any = idle && !SelectedEntries().empty();
    TLibFolderItem* e = listModel_->EntryAt(lv_->currentIndex().row());
    for (const char* n :
         {"miFProperties", "miFDelete", "miFRealSource", "miFSearch", "pmLVOpen", "pmLVProperties",
          "pmLVDelete", "pmLVRealSource", "pmLVSearchBy", "pmLVSearchDuplicates"})
        Action(QString::fromLatin1(n))->setEnabled(any);
    Action(QStringLiteral("pmLVOpen"))->setEnabled(any && e && e->IsFolder);
}

void TfrmMain::ShowListMenu(const QPoint& pos) {
    UpdateFilesMenu();
    auto* view = qobject_cast<QAbstractItemView*>(sender());
    if (!view) view = lv_;
    pmLv_->popup(view->viewport()->mapToGlobal(pos));
}

void TfrmMain::ShowTreeMenu(const QPoint& pos) {
    QModelIndex i = tvNodes_->indexAt(pos);
    if (i.isValid() && !tvNodes_->selectionModel()->isSelected(i)) tvNodes_->setCurrentIndex(i);
    SetActiveView(tvNodes_);
    pmTv_->popup(tvNodes_->viewport()->mapToGlobal(pos));
}

void TfrmMain::ShowColMenu(const QPoint& pos) {
    QModelIndex i = tvCol_->indexAt(pos);
    if (i.isValid() && !tvCol_->selectionModel()->isSelected(i)) tvCol_->setCurrentIndex(i);
    SetActiveView(tvCol_);
    TLibColItem* c = ColItemOf(SelectedColNode());
    const bool idle = CheckIdle();
    Action(QStringLiteral("pmColRun"))->setEnabled(idle && c && !c->URL.empty());
    for (const char* n : {"pmColProp", "pmColAddSub", "pmColNewMemo", "pmColRen", "pmColDel"})
        Action(QString::fromLatin1(n))->setEnabled(idle && c);
    pmCol_->popup(tvCol_->viewport()->mapToGlobal(pos));
}

void TfrmMain::OnRenameRequested(TTreeNode* node, const QString& text) {
    if (!CheckIdle() || lib_->Generation() != viewGeneration_) return;
    TTree* tree = node->Tree();
    if (tree == &lib_->ColTree) {
        RunBusy([&] { lib_->RenameColNode(node, StdStr(text)); });
        SelectColNode(node);
    } else if (tree == &lib_->Tree) {
        bool ok = false;
        RunBusy([&] {
            ok = lib_->RenameVolume(node, StdStr(text));
            if (ok) gPendingSelect = GetCatalogPath(FolderOf(node)), gHasPendingSelect = true;
        });
    }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType() && watched != this) {
        // Windows made after the language was applied get its texts when they show.
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow() && !qobject_cast<QMenu*>(w) && !w->objectName().isEmpty())
            lang_.TranslateWindow(w);
    }
    if (event->type() == QEvent::FocusIn) {
        if (auto* v = qobject_cast<QAbstractItemView*>(watched)) activeView_ = v;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    // Esc anywhere in the window that nothing else took closes it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Library commands

void TfrmMain::NewLibrary(bool modified) {
    TWindowBusyScope busy(*this);
    auto fresh = std::make_unique<TLibObj>();
    nodesModel_->SetLib(fresh.get());
    colModel_->SetLib(fresh.get());
    lib_.swap(fresh);
    fresh.reset();
    ApplySettingsToLib();
    lib_->Modified = modified;
    lib_->BumpGeneration();
    gSaved = TViewState();
}

void TfrmMain::tbNewClick() {
    if (!CheckIdle()) return;
    if (QuerySaveChanges(*lib_, *pump_, questions_) == TAnswer::Cancel) return;
    if (gd_->ConfirmNew && questions_.Ask("confCreate", {}, TButtons::YesNo) != TAnswer::Yes)
        return;
    NewLibrary(true);
    ClearStatus();
    UpdateStatus();
}

void TfrmMain::miCloseClick() {
    if (!CheckIdle()) return;
    if (QuerySaveChanges(*lib_, *pump_, questions_) == TAnswer::Cancel) return;
    if (gd_->ConfirmClose && questions_.Ask("confClose", {}, TButtons::YesNo) != TAnswer::Yes)
        return;
    NewLibrary(true);
    ClearStatus();
    UpdateStatus();
}

void TfrmMain::tbOpenClick() {
    if (!CheckIdle()) return;
    if (QuerySaveChanges(*lib_, *pump_, questions_) == TAnswer::Cancel) return;
    std::string path = questions_.AskOpenPath(QString());
    if (path.empty()) return;
    lib_->Modified = false; // already answered
    OpenFile(path, false);
}

bool TfrmMain::OpenFile(const std::string& path, bool confirm) {
    if (!CheckIdle()) return false;
    if (QuerySaveChanges(*lib_, *pump_, questions_) == TAnswer::Cancel) return false;
    bool opened = false;
    bool ok = RunBusy([&] {
        try {
            opened = OpenLibrary(*lib_, path, false, confirm, *pump_, questions_);
        } catch (...) {
            // Whatever stopped the load, a plain Save must not write over that file.
            if (lib_->FileName == path) lib_->FileName.clear();
            throw;
        }
        gSaved = TViewState();
    });
    if (opened && ok) {
        gd_->AddRecent(path);
        UpdateRecentMenu();
    }
    ApplySettingsToLib();
    UpdateStatus();
    return opened && ok;
}

void TfrmMain::OpenFirstCatalog(const QString& argument) {
    std::string name = gd_->LastLibrary;
    lib_->FileName.clear();
    try {
        std::string path;
        if (!argument.isEmpty()) {
            if (QFileInfo::exists(argument)) path = StdStr(argument);
        } else if (!name.empty() && gd_->LoadLast && QFileInfo::exists(QStr(name))) {
            path = name;
        }
        if (path.empty()) return;
        TFixedAnswers quiet(TAnswer::Yes);
        RunBusy([&] {
            try {
                OpenLibrary(*lib_, path, false, false, *pump_, quiet);
            } catch (...) {
                if (lib_->FileName == path) lib_->FileName.clear();
                throw;
            }
        });
    } catch (const std::exception&) {
    }
    UpdateStatus();
}

void TfrmMain::OpenFromOtherInstance(const QString& path) {
    raise();
    activateWindow();
    if (path.isEmpty()) return;
    if (!CheckIdle()) {
        LogLine(StdStr(MsgText("errStop")));
        return;
    }
    OpenFile(StdStr(path), true);
}

void TfrmMain::tbReloadClick() {
    if (!CheckIdle() || lib_->FileName.empty()) return;
    if (QuerySaveChanges(*lib_, *pump_, questions_) == TAnswer::Cancel) return;
    if (gd_->ConfirmReload && questions_.Ask("confReload", {}, TButtons::YesNo) != TAnswer::Yes)
        return;
    std::string path = lib_->FileName;
    NewLibrary(false);
    ClearStatus();
    RunBusy([&] {
        try {
            OpenLibrary(*lib_, path, false, false, *pump_, questions_);
        } catch (...) {
            if (lib_->FileName == path) lib_->FileName.clear();
            throw;
        }
    });
    UpdateStatus();
}

bool TfrmMain::SaveCatalog(bool askName) {
    if (!CheckIdle()) return false;
    std::string path = lib_->FileName;
    if (askName || path.empty()) {
        path = questions_.AskSavePath(lib_->FileName);
        if (path.empty()) return false;
    }
    bool saved = false;
    // A read-only folder offers Save As; `path` becomes the one chosen.
    RunBusy([&] { saved = SaveOfferingSaveAs(*lib_, path, *pump_, questions_); });
    if (saved) {
        lib_->FileName = path;
        if (askName || gd_->RecentFiles.Count() == 0 || gd_->RecentFiles[0] != path) {
            gd_->AddRecent(path);
            UpdateRecentMenu();
        }
    }
    UpdateStatus();
    return saved;
}

void TfrmMain::tbSaveClick() {
    SaveCatalog(false);
}

void TfrmMain::tbSaveAsClick() {
    SaveCatalog(true);
}

void TfrmMain::miImpLibrabryClick() {
    if (!CheckIdle()) return;
    if (QuerySaveChanges(*lib_, *pump_, questions_) == TAnswer::Cancel) return;
    std::string path = questions_.AskOpenPath(QString());
    if (path.empty()) return;
    RunBusy([&] { OpenLibrary(*lib_, path, true, true, *pump_, questions_); });
    SetActiveView(tvNodes_);
    UpdateStatus();
}

void TfrmMain::miImpTextClick() {
    if (!CheckIdle()) return;
    RunImportCommand();
}

void TfrmMain::miExportClick() {
    if (!CheckIdle()) return;
    RunExportCommand(0, nullptr);
}

void TfrmMain::AsText1Click() {
    if (!CheckIdle()) return;
    RunExportCommand(1, nullptr);
}

void TfrmMain::tbPrintClick() {
    if (!CheckIdle()) return;
    // The insert lists the current list in its order.
    std::vector<const TLibFolderItem*> rows;
    rows.reserve(static_cast<size_t>(listModel_->rowCount()));
    for (int i = 0; i < listModel_->rowCount(); ++i)
        rows.push_back(listModel_->EntryAt(i));
    TfrmPrintCover::Execute(this, *gd_, *store_, listModel_->Folder(), rows);
}

void TfrmMain::tbFindClick() {
    if (!CheckIdle()) return;
    ShowSearch(0);
}

void TfrmMain::pmTvSearchClick() {
    if (!CheckIdle()) return;
    ShowSearch(1);
}

void TfrmMain::pmLVSearchByClick() {
    if (!CheckIdle()) return;
    ShowSearch(2);
}

void TfrmMain::pmLVSearchDuplicatesClick() {
    if (!CheckIdle()) return;
    ShowSearch(3);
}

void TfrmMain::miLPropertiesClick() {
    if (!CheckIdle()) return;
    TPropertiesTarget t;
    t.Nodes = SelectedNodes();
    if (t.Nodes.empty()) return miLibPropertiesClick();
    t.Page = t.Nodes.front()->Parent() ? TfrmProperties::kFolderPage : TfrmProperties::kVolumePage;
    RunProperties(t);
}

void TfrmMain::miLibPropertiesClick() {
    if (!CheckIdle()) return;
    TPropertiesTarget t;
    t.LibraryOnly = true;
    RunProperties(t);
}

void TfrmMain::RunProperties(const TPropertiesTarget& target) {
    // The dialog is modal and nothing else runs; the views are rebuilt when it changed something.
    if (TfrmProperties::Execute(this, *lib_, *gd_, *store_, target)) RebuildViews();
}

void TfrmMain::pmLVPropertiesClick() {
    if (!CheckIdle()) return;
    if (ActiveView() == tvCol_) return miColPropClick();
    if (SelectedEntries().empty()) return;
    TLibFolderItem* e = listModel_->EntryAt(lv_->currentIndex().row());
    if (e && e->IsFolder) return pmLVOpenClick();
    TPropertiesTarget t;
    t.ListFolder = listModel_->Folder();
    t.Entries = SelectedEntries();
    t.Page = TfrmProperties::kFilePage;
    RunProperties(t);
}

void TfrmMain::pmLVOpenClick() {
    if (!CheckIdle()) return;
    TLibFolderItem* e = listModel_->EntryAt(lv_->currentIndex().row());
    if (!e || !e->IsFolder) {
        if (e) pmLVPropertiesClick();
        return;
    }
    // A folder entry opens its folder's node.
    TTreeNode* vol = EntryNode(e);
    TLibFolder* owner = e->Owner;
    TTreeNode* target = nullptr;
    if (owner && owner->Node) target = owner->Node->FindChild(e->Caption.view());
    if (!target && vol) target = FindNodeByPath(RootNode(vol), GetEntryCatalogPath(e) + "\\");
    if (target) SelectNode(target);
}

void TfrmMain::pmLVRealSourceClick() {
    if (!CheckIdle()) return;
    QAbstractItemView* v = ActiveView();
    std::string path;
    if ((v == lv_ || v == lvIcons_) && !SelectedEntries().empty()) {
        TLibFolderItem* e = listModel_->EntryAt(lv_->currentIndex().row());
        if (!e) e = SelectedEntries().front();
        path = GetEntrySourcePath(e);
    } else if (TLibFolder* f = FolderOf(SelectedNode())) {
        path = GetSourcePath(f);
    }
    if (path.empty()) return;
    if (!ShellOpen(path)) questions_.ShowError("errFNF", path);
}

void TfrmMain::miFSelectAllClick() {
    if (!CheckIdle()) return;
    lv_->selectAll();
    SetActiveView(lvStack_->currentWidget() == lv_ ? static_cast<QAbstractItemView*>(lv_)
                                                   : lvIcons_);
    RefreshInfo();
}

void TfrmMain::InvertSelection2Click() {
    if (!CheckIdle()) return;
    int rows = listModel_->rowCount();
    if (rows == 0) return;
    QItemSelection all(listModel_->index(0, 0),
                       listModel_->index(rows - 1, TEntryListModel::kColumnCount - 1));
    lv_->selectionModel()->select(all, QItemSelectionModel::Toggle);
    RefreshInfo();
}

void TfrmMain::tbRefreshClick() {
    if (!CheckIdle()) return;
    TTreeNode* n = SelectedNode();
    if (n) LogLine(StdStr(MsgText("msgsRefreshing", n->Text())));
    std::string text = n ? n->Text() : std::string();
    RebuildViews();
    if (n) LogLine(StdStr(MsgText("msgsRefreshed", text)));
}

// ---------------------------------------------------------------------------
// Volumes

TfrmNewVolume& TfrmMain::NewVolumeDialog() {
    if (!newVolume_) {
        newVolume_ = new TfrmNewVolume(*gd_, handlers_, *store_, this);
        QList<QIcon> images;
        for (const QIcon& i : TIcons::CollectionImages())
            images << i;
        newVolume_->SetCollectionImages(images);
    }
    return *newVolume_;
}

TfrmUpdate& TfrmMain::UpdateDialog() {
    if (!update_) update_ = new TfrmUpdate(*gd_, handlers_, *store_, this);
    return *update_;
}

void TfrmMain::tbAddClick() {
    if (!CheckIdle()) return;
    TfrmNewVolume& dlg = NewVolumeDialog();
    // "Insert New Volume After" brings the dialog back after every volume.
    for (;;) {
        std::optional<TScanOptions> options = dlg.Run(*lib_);
        if (!options) return;
        TTreeNode* added = nullptr;
        bool ok = RunBusy([&] {
            TVolumeScanner scanner(*lib_, &handlers_, *pump_);
            scanner.Options = *options;
            scanner.ApplyDefaults = true;
            gd_->ApplyDefaults = true;
            struct TReset {
                bool& flag;
                ~TReset() { flag = false; }
            } reset{gd_->ApplyDefaults};
            added = scanner.AddVolume(questions_);
        });
        if (added) {
            SelectNode(added);
            SetActiveView(tvNodes_);
        }
        if (!ok || !added || !dlg.RepeatAdd()) return;
    }
}

void TfrmMain::miVUpdateClick() {
    if (!CheckIdle()) return;
    TTreeNode* node = SelectedNode();
    if (!node || ActiveView() != tvNodes_) return;
    std::optional<TScanOptions> options = UpdateDialog().Run(FolderOf(node));
    if (!options) return;
    std::string path = GetCatalogPath(FolderOf(node));
    bool ok = RunBusy([&] {
        TVolumeScanner scanner(*lib_, &handlers_, *pump_);
        scanner.Options = *options;
        scanner.ApplyDefaults = true;
        gd_->ApplyDefaults = true;
        struct TReset {
            bool& flag;
            ~TReset() { flag = false; }
        } reset{gd_->ApplyDefaults};
        scanner.UpdateVolume(node, &questions_);
    });
    SelectNode(FindFolderByCatalogPath(*lib_, path));
    if (ok) SetActiveView(tvNodes_);
}

void TfrmMain::tbDelClick() {
    if (!CheckIdle()) return;
    QAbstractItemView* v = ActiveView();
    if (v == tvCol_) return miColDelClick();
    if (v == lv_ || v == lvIcons_) {
        if (!SelectedEntries().empty()) return DeleteSelectedEntries();
        return;
    }
    DeleteSelectedNodes();
}

void TfrmMain::DeleteSelectedNodes() {
    std::vector<TTreeNode*> nodes = SelectedNodes();
    if (nodes.empty()) return;
    std::string text;
    for (TTreeNode* n : nodes) {
        if (!text.empty()) text += "; ";
        text += n->Text();
    }
    TLibFolder* first = FolderOf(nodes.front());
    bool isVolume = first && !first->Parent;
    if ((isVolume ? gd_->ConfirmDeleteVolume : gd_->ConfirmDeleteFolder) &&
        questions_.Ask("confDelete", text, TButtons::YesNo) != TAnswer::Yes)
        return;
    std::string parentPath = first && first->Parent ? GetCatalogPath(first->Parent) : std::string();
    LogLine(StdStr(MsgText("msgsFree", text)));
    RunBusy([&] {
        // A node below another selected node goes with its ancestor.
        std::vector<TTreeNode*> top;
        for (TTreeNode* n : nodes) {
            bool covered = false;
            for (TTreeNode* m : nodes)
                if (m != n && n->HasAsAncestor(m)) covered = true;
            if (!covered) top.push_back(n);
        }
        lib_->DeleteNodes(top);
        lib_->Modified = true;
        gSaved.NodePath = parentPath;
        gSaved.EntryCaption.clear();
    });
    LogLine(StdStr(MsgText("msgsNodeDel", text)));
}

void TfrmMain::DeleteSelectedEntries() {
    std::vector<TLibFolderItem*> entries = SelectedEntries();
    TLibFolder* folder = listModel_->Folder();
    if (entries.empty() || !folder) return;
    std::string text;
    if (entries.size() >= 6) {
        text = entries.front()->Caption.str() + ";...";
    } else if (entries.size() >= 2) {
        for (TLibFolderItem* e : entries)
            text += e->Caption.str() + ";";
    } else {
        text = entries.front()->Caption.str();
    }
    // Entries are files (or folder entries) of a folder: the file switch governs them.
    if (gd_->ConfirmDeleteFile &&
        questions_.Ask("confDelete", text, TButtons::YesNo) != TAnswer::Yes)
        return;
    std::string path = GetCatalogPath(folder);
    RunBusy([&] {
        lib_->DeleteEntries(folder, entries);
        lib_->Modified = true;
        gSaved.NodePath = path;
        gSaved.EntryCaption.clear();
    });
    LogLine(StdStr(MsgText("msgsDeleted", std::to_string(entries.size()))));
}

// ---------------------------------------------------------------------------
// Collections

void TfrmMain::miColAddClick() {
    if (!CheckIdle()) return;
    TTreeNode* sel = SelectedColNode();
    TTreeNode* added = nullptr;
    RunBusy([&] {
        added = lib_->AddCollection(sel ? sel->Parent() : nullptr, GetMessageText("infoDefNewCol"));
    });
    SelectColNode(added);
    SetActiveView(tvCol_);
}

void TfrmMain::miColAddSubClick() {
    if (!CheckIdle()) return;
    TTreeNode* sel = SelectedColNode();
    if (!sel) return miColAddClick();
    TTreeNode* added = nullptr;
    RunBusy([&] { added = lib_->AddCollection(sel, GetMessageText("infoDefNewCol")); });
    if (added && added->Parent()) added->Parent()->Expanded = true;
    RestoreExpansion(tvCol_, colModel_);
    SelectColNode(added);
    SetActiveView(tvCol_);
}

namespace {
QList<QIcon> CollectionImageList() {
    QList<QIcon> images;
    for (const QIcon& i : TIcons::CollectionImages())
        images << i;
    return images;
}
} // namespace

void TfrmMain::miColNewMemoClick() {
    if (!CheckIdle()) return;
    TTreeNode* sel = SelectedColNode();
    TLibColItem memo(GetMessageText("infoDefNewMemo"));
    memo.ImageIndex = -1;
    if (!TfrmMemo::EditItem(this, *store_, memo, CollectionImageList())) return;
    TTreeNode* added = nullptr;
    RunBusy([&] {
        std::string caption =
            memo.Caption.empty() ? GetMessageText("infoDefNewMemo") : memo.Caption;
        added = lib_->AddCollection(sel, caption);
        if (TLibColItem* c = ColItemOf(added)) {
            c->URL = memo.URL;
            c->MemoText = memo.MemoText;
            c->ImageIndex = memo.ImageIndex;
        }
        if (sel) sel->Expanded = true;
    });
    RestoreExpansion(tvCol_, colModel_);
    SelectColNode(added);
}

void TfrmMain::miColRenClick() {
    if (!CheckIdle()) return;
    QModelIndex i = tvCol_->currentIndex();
    if (!i.isValid()) return;
    SetActiveView(tvCol_);
    tvCol_->edit(i);
}

void TfrmMain::miColDelClick() {
    if (!CheckIdle()) return;
    std::vector<TTreeNode*> nodes = SelectedColNodes();
    if (nodes.empty()) return;
    std::string text;
    for (TTreeNode* n : nodes) {
        if (!text.empty()) text += "; ";
        text += n->Text();
    }
    if (gd_->ConfirmDeleteCollection &&
        questions_.Ask("confDelete", text, TButtons::YesNo) != TAnswer::Yes)
        return;
    std::vector<int> parentRows = RowPath(nodes.front()->Parent());
    RunBusy([&] {
        std::vector<TTreeNode*> top;
        for (TTreeNode* n : nodes) {
            bool covered = false;
            for (TTreeNode* m : nodes)
                if (m != n && n->HasAsAncestor(m)) covered = true;
            if (!covered) top.push_back(n);
        }
        lib_->DeleteColNodes(top);
        lib_->Modified = true;
        gSaved.ColRows = parentRows;
    });
}

void TfrmMain::miColRunClick() {
    if (!CheckIdle()) return;
    TLibColItem* c = ColItemOf(SelectedColNode());
    if (c && !c->URL.empty() && !OpenURL(c->URL)) questions_.ShowError("errFNF", c->URL);
}

void TfrmMain::miColPropClick() {
    if (!CheckIdle()) return;
    TTreeNode* node = SelectedColNode();
    TLibColItem* c = ColItemOf(node);
    if (!c) return;
    if (c->Kind == TLibColItem::kMemo) {
        TLibColItem edited = *c;
        if (!TfrmMemo::EditItem(this, *store_, edited, CollectionImageList())) return;
        RunBusy([&] {
            c->URL = edited.URL;
            c->MemoText = edited.MemoText;
            c->ImageIndex = edited.ImageIndex;
            if (!edited.Caption.empty() && edited.Caption != node->Text())
                lib_->RenameColNode(node, edited.Caption);
            lib_->Modified = true;
        });
        SelectColNode(node);
        return;
    }
    // Links show the properties of what they point at.
    if (c->LinkedFolder && c->LinkedFolder->Node) {
        SelectNode(c->LinkedFolder->Node);
        if (c->LinkedItem) {
            SelectEntries({c->LinkedItem});
            SetActiveView(lv_);
            return pmLVPropertiesClick();
        }
        SetActiveView(tvNodes_);
        miLPropertiesClick();
    }
}

void TfrmMain::DropOnCollections(const QString& source, TTreeNode* target) {
    if (!CheckIdle() || lib_->Generation() != viewGeneration_) return;
    if (source == QLatin1String("tvCol")) {
        TTreeNode* moving = SelectedColNode();
        // A node cannot go onto itself or below itself.
        if (!moving || !target || moving == target || target->HasAsAncestor(moving)) return;
        bool moved = false;
        RunBusy([&] {
            moved = lib_->MoveColNode(moving, target);
            if (moved) {
                target->Expanded = true;
                lib_->Modified = true;
            }
        });
        if (moved) SelectColNode(moving);
        return;
    }
    std::vector<TTreeNode*> nodes;
    std::vector<TLibFolderItem*> entries;
    TLibFolder* listFolder = listModel_->Folder();
    if (source == QLatin1String("tvNodes"))
        nodes = SelectedNodes();
    else if (source == QLatin1String("lv"))
        entries = SelectedEntries();
    if (nodes.empty() && entries.empty()) return;
    if (!target && lib_->ColTree.RootCount() > 0) return;
    colDragging_ = true;
    RunBusy([&] {
        if (!target) target = lib_->AddCollection(nullptr, GetMessageText("infoDefNewCol"));
        for (TTreeNode* n : nodes)
            if (TLibFolder* f = FolderOf(n)) lib_->LinkFolder(target, f);
        for (TLibFolderItem* e : entries)
            if (listFolder) lib_->LinkEntry(target, listFolder, e);
        target->Expanded = true;
        lib_->Modified = true;
    });
    colDragging_ = false;
    RestoreExpansion(tvCol_, colModel_);
    if (!nodes.empty()) tvNodes_->selectionModel()->clearSelection();
    SelectColNode(target);
}

// ---------------------------------------------------------------------------
// Shared lists, favorites, languages, help

void TfrmMain::tbCatClick() {
    if (!CheckIdle()) return;
    TfrmTextEdit::EditList(this, *store_,
                           Action(QStringLiteral("miCategories"))->text().remove(QLatin1Char('&')) +
                               QStringLiteral(" - ") + QStr(gd_->CategoriesFile),
                           gd_->GlobalCategories);
}

void TfrmMain::miLocationsClick() {
    if (!CheckIdle()) return;
    TfrmTextEdit::EditList(this, *store_,
                           Action(QStringLiteral("miLocations"))->text().remove(QLatin1Char('&')) +
                               QStringLiteral(" - ") + QStr(gd_->LocationsFile),
                           gd_->GlobalLocations);
}

void TfrmMain::miTagsClick() {
    if (!CheckIdle()) return;
    TfrmTags::EditTagNames(this, *store_, gd_->TagNames);
    RefreshInfo();
}

void TfrmMain::miHandlersClick() {
    if (!CheckIdle()) return;
    TfrmHandlers::EditHandlers(this, handlers_, *store_);
}

void TfrmMain::tbOptionsClick() {
    if (!CheckIdle()) return;
    if (!TfrmOptions::Execute(this, *gd_, *store_)) return;
    ApplySettingsToLib();
    BuildFavoritesMenu();
    RebuildViews(); // sizes, icons and sorting may have changed
    UpdateActions();
}

void TfrmMain::miAddFavoritesClick() {
    if (!CheckIdle() || lib_->FileName.empty()) return;
    const std::string& path = lib_->FileName;
    for (int i = 0; i < gd_->Favorites.Count(); ++i) {
        const std::string& line = gd_->Favorites[i];
        size_t eq = line.find('=');
        if (eq != std::string::npos && line.substr(eq + 1) == path)
            return questions_.ShowError("errAssigned", line.substr(0, eq));
    }
    if (questions_.Ask("confAddFav", path, TButtons::OkCancel) != TAnswer::Ok) return;
    try {
        gd_->Favorites.Add(path + "=" + path);
        if (!gd_->FavoritesFile.empty()) gd_->SaveLists();
    } catch (const std::exception& e) {
        ShowException(e);
    }
    BuildFavoritesMenu();
}

void TfrmMain::tbOrgFavoritesClick() {
    if (!CheckIdle()) return;
    if (gd_->FavoritesFile.empty() || !QFileInfo::exists(QStr(gd_->FavoritesFile))) {
        if (questions_.Ask("confCreateFav", {}, TButtons::OkCancel) != TAnswer::Ok) return;
        if (gd_->FavoritesFile.empty()) gd_->FavoritesFile = gd_->ConfigFolder() + "Favorites.txt";
        try {
            QDir().mkpath(QFileInfo(QStr(gd_->FavoritesFile)).absolutePath());
            gd_->SaveLists();
        } catch (const std::exception&) {
        }
    }
    QString caption = Action(QStringLiteral("miOrgFavorites"))->text().remove(QLatin1Char('&')) +
                      QStringLiteral(" - ") + QStr(gd_->FavoritesFile);
    if (TfrmTextEdit::EditList(this, *store_, caption, gd_->Favorites)) {
        try {
            gd_->SaveLists();
        } catch (const std::exception&) {
        }
    }
    BuildFavoritesMenu();
}

void TfrmMain::miExpLngClick() {
    if (!CheckIdle()) return;
    QDir().mkpath(lang_.UserLanguagesFolder());
    QString path = QFileDialog::getSaveFileName(this, QString(), lang_.UserLanguagesFolder(),
                                                QStringLiteral("Languages (*.bab);;All Files (*)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".bab");
    try {
        lang_.WriteLanguage(path);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TfrmMain::miLoadOriginalLanguageClick() {
    if (!CheckIdle()) return;
    lang_.LoadOriginalLanguage();
}

void TfrmMain::miContentsClick() {
    ShowManual(this, QStr(lang_.LanguageHelpFile));
}

void TfrmMain::tbAboutClick() {
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("frmAbout"));
    box.setWindowTitle(QStringLiteral("Tamblix"));
    box.setIconPixmap(windowIcon().pixmap(64, 64));
    box.setText(QStringLiteral("<b>Tamblix %1</b><br>A disc cataloguer.")
                    .arg(QStringLiteral(TAMBLIX_VERSION)));
    box.exec();
}

void TfrmMain::LoadLanguage() {
    // Dialogs made on demand are made once here, so that their design texts
    // reach the original-language file.
    {
        std::vector<std::unique_ptr<QWidget>> samples;
        samples.emplace_back(new TfrmMemo(*store_, this));
        samples.emplace_back(new TfrmTextEdit(*store_, this));
        samples.emplace_back(new TfrmTags(*store_, this));
        samples.emplace_back(new TfrmPickList(*store_, this));
        samples.emplace_back(new TfrmHandlers(handlers_, *store_, this));
        samples.emplace_back(new TfrmProperties(*gd_, *store_, this));
        samples.emplace_back(new TfrmOptions(*gd_, *store_, this));
        samples.emplace_back(new TfrmPrintCover(*gd_, *store_, this));
        NewVolumeDialog();
        UpdateDialog();
        SearchWindow();
        ExportDialog();
        ImportDialog();
        lang_.SaveOriginalLanguage();
    }
    qApp->installEventFilter(this);
    RebuildLanguageMenu();
    lang_.CurrentLanguage = gd_->Language;
    if (!gd_->Language.empty()) {
        try {
            lang_.SelectLanguage(gd_->Language);
        } catch (const std::exception& e) {
            LogLine(e.what());
        }
    }
}

// ---------------------------------------------------------------------------
// Closing

bool TfrmMain::SaveOnExit() {
    return SaveCatalog(false);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!CheckIdle()) {
        questions_.ShowError("errStop", {});
        event->ignore();
        return;
    }
    if (lib_->Modified) {
        if (gd_->ConfirmExit && questions_.Ask("confExit", {}, TButtons::YesNo) != TAnswer::Yes) {
            event->ignore();
            return;
        }
        TAnswer a = TAnswer::Yes;
        if (gd_->ConfirmSaveChanges)
            a = questions_.Ask("confSave", lib_->FileName, TButtons::YesNoCancel);
        if (a == TAnswer::Cancel || (a == TAnswer::Yes && !SaveOnExit())) {
            event->ignore();
            return;
        }
    }
    SaveAtExit();
    event->accept();
}
