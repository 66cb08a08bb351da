#include "ui/main_window.h"

#include "catalog/lib_obj.h"
#include "platform/volume_info.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "ui/catalog_commands.h"
#include "ui/catalog_models.h"
#include "ui/collection_commands.h"
#include "ui/dialog_common.h"
#include "ui/empty_catalog_bar.h"
#include "ui/file_ext_dialog.h"
#include "ui/handlers_dialog.h"
#include "ui/help_window.h"
#include "ui/language_locale.h"
#include "ui/main_menus.h"
#include "ui/main_views.h"
#include "ui/memo_dialog.h"
#include "ui/mount_notices.h"
#include "ui/new_volume_dialog.h"
#include "ui/options_dialog.h"
#include "ui/panel_bar.h"
#include "ui/pick_list_dialog.h"
#include "ui/print_cover.h"
#include "ui/progress_panel.h"
#include "ui/properties_dialog.h"
#include "ui/search_commands.h"
#include "ui/search_window.h"
#include "ui/space_window.h"
#include "ui/tags_dialog.h"
#include "ui/text_edit_dialog.h"
#include "ui/tool_commands.h"
#include "ui/view_layout.h"
#include "ui/view_restore.h"
#include "ui/volume_commands.h"

#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QTreeView>
#include <QtWidgets/QVBoxLayout>

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

} // namespace

// ---------------------------------------------------------------------------
// Creation

TfrmMain::TfrmMain(std::unique_ptr<ISettingsStore> store, QWidget* parent)
    : TfrmMain(std::move(store), std::string(), parent) {}

TfrmMain::TfrmMain(std::unique_ptr<ISettingsStore> store, const std::string& listFolder,
                   QWidget* parent)
    : QMainWindow(parent), store_(std::move(store)), gd_(std::make_unique<TGlobalData>(listFolder)),
      lib_(std::make_unique<TLibObj>()), ownQuestions_(this) {
    setObjectName(QStringLiteral("frmMain"));
    // The translatable part of the title; UpdateTitle adds the catalog's name.
    setProperty("tamblixTitle", QStringLiteral("Tamblix"));
    setWindowTitle(QStringLiteral("Tamblix"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("tamblix"),
                                   QIcon(QStringLiteral(":/tamblix/tamblix.svg"))));
    InitUiResources();
    qRegisterMetaType<TTreeNode*>("TTreeNode*");
    // Without a desktop theme the icons come from an installed one, else the style's.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    pump_ = std::make_unique<TEventPumpProgress>(gd_->Progress);

    gd_->Progress.SetSink(this);
    gd_->Progress.Counts = [this] {
        if (!lib_->CountsValid) lib_->Recount();
        const TCatalogTotals& t = lib_->Totals;
        return TProgressCounts{lib_->VolumeCount, t.Folders, t.Files, t.Bytes, t.Members};
    };
    gd_->LoadSettings(*store_);
    try {
        handlers_.LoadFromSettings(*store_);
    } catch (const std::exception&) {
        handlers_.SetDefaults();
    }
    gd_->Progress.ActionEndBeep = gd_->ActionEndBeep;

    SetDialogHelpHandler([this](QWidget*) { miContentsClick(); });

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("panMain"));
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 0);
    outer->setSpacing(2);
    progress_ = new TProgressPanel(central);
    connect(progress_, &TProgressPanel::StopClicked, this, &TfrmMain::miVStopProcessClick);
    progress_->SizeText = [this](int64_t bytes) { return gd_->Progress.FormatSize(bytes); };
    outer->addWidget(progress_);
    mounts_ = new TMountNotices(Host(), central);
    outer->addWidget(mounts_);
    emptyBar_ = new TEmptyCatalogBar(central);
    emptyBar_->OnAddVolume = [this] { tbAddClick(); };
    emptyBar_->OnOpenCatalog = [this] { tbOpenClick(); };
    emptyBar_->OnOpenRecent = [this](const std::string& path) { OpenFile(path, true); };
    outer->addWidget(emptyBar_);
    views_ = new TMainViews(*gd_, central);
    outer->addWidget(views_->Root(), 1);
    setCentralWidget(central);
    sbMain_ = new TPanelBar(QStringLiteral("sb_main"), 2, this, true);
    setStatusBar(sbMain_);

    layout_ = std::make_unique<TViewLayout>(*views_, *gd_, *store_);
    menus_ = new TMainMenus(*this, Commands(), *views_, *layout_, *gd_);
    volumes_ = std::make_unique<TVolumeCommands>(Host());
    catalog_ = std::make_unique<TCatalogCommands>(
        Host(), *menus_->RecentMenu(), *menus_->FavoritesMenu(),
        *Action(QStringLiteral("miAddFavorites")), *Action(QStringLiteral("miOrgFavorites")));
    collections_ = std::make_unique<TCollectionCommands>(Host(), *volumes_);
    search_ = std::make_unique<TSearchCommands>(Host(), SearchHost());
    tools_ = std::make_unique<TToolCommands>(Host(), lang_);
    space_ = new TfrmSpace(SpaceHost(), this);
    mounts_->AddVolume = [this](const std::string& point) {
        NewVolumeDialog().StartAt(point);
        tbAddClick();
    };
    mounts_->Watch(ProbeMountedFs);

    connect(views_->Tabs(), &QTabBar::currentChanged, this, &TfrmMain::SetTab);
    connect(views_, &TMainViews::OpenRequested, this, &TfrmMain::pmLVOpenClick);
    connect(views_, &TMainViews::SortRequested, this, &TfrmMain::SortListBy);
    connect(
        views_, &TMainViews::RenameRequested, this,
        [this](TTreeNode* node, const QString& text) { collections_->ApplyRename(node, text); });
    connect(views_, &TMainViews::DropRequested, this, &TfrmMain::DropOnCollections);

    views_->SetLib(lib_.get());
    ApplySettingsToLib();
    catalog_->BuildFavoritesMenu();
    lang_.OnApplied = [this] { RetranslateDynamic(); };
    RebuildLanguageMenu();

    gd_->LoadLayout(*store_);
    layout_->LoadPanelLayout();
    catalog_->UpdateRecentMenu();
    ApplyViewSettings();
    layout_->ApplySort();

    const QByteArray geometry =
        QByteArray::fromBase64(QByteArray::fromStdString(store_->ReadString(kPos, "Geometry", "")));
    if (!gd_->FirstRun && !geometry.isEmpty() && restoreGeometry(geometry)) {
        // Position, size, maximised state and screen as they were left.
    } else if (gd_->MainPlacement && !gd_->FirstRun) {
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
    UpdateActions();
    UpdateStatus();
}

TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    search_.reset();
    volumes_.reset();
    gd_->Progress.SetSink(nullptr);
    SetDialogHelpHandler({});
    // The views go before the catalog they show.
    views_->SetLib(nullptr);
    ListModel()->Clear();
}

// ---------------------------------------------------------------------------
// Views, settings and status

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
    menus_->CheckViewSettings();
    sbMain_->setVisible(gd_->ViewSettings.StatusBar);
    layout_->ApplyViewSettings();
}

void TfrmMain::ClearStatus() {
    sbMain_->ClearAll();
    views_->ClearStatus();
    sbMain_->SetText(0, QStr(lib_->FileName));
}

void TfrmMain::UpdateStatus() {
    sbMain_->SetText(0, QStr(lib_->FileName));
    views_->UpdateStatus();
    UpdateActions();
    const bool empty = lib_->Tree.RootCount() == 0 && lib_->ColTree.RootCount() == 0;
    if (empty) emptyBar_->SetRecent(gd_->RecentFiles.Lines());
    emptyBar_->setVisible(empty);
}

void TfrmMain::UpdateTitle() {
    // The platform adds the program's name after a title that is not just that.
    const QString name = lib_->FileName.empty() ? MsgText("msgsUntitled")
                                                : QFileInfo(QStr(lib_->FileName)).fileName();
    setWindowTitle(name + QStringLiteral("[*]"));
    setWindowModified(lib_->Modified);
}

void TfrmMain::UpdateActions() {
    const bool idle = busy_ == 0 && gd_->Progress.Idle();
    menus_->UpdateActions(idle, lib_->Tree.RootCount() > 0, !lib_->FileName.empty());
    views_->SetEnabled(idle);
    UpdateTitle();
}

void TfrmMain::RebuildLanguageMenu() {
    lang_.BuildLanguageMenu(menus_->LanguagesMenu(), [this](const QString& name) {
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
    // The toolbar's name in the window's context menu.
    if (auto* tb = findChild<QToolBar*>(QStringLiteral("tb")))
        tb->setWindowTitle(Action("miViewToolbar")->text().remove(QLatin1Char('&')));
    ListModel()->ClearIconCache();
    // A script no installed font has shows as boxes: say why, once per
    // language, in English, since the language's own letters are the boxes.
    if (const QString script = MissingScriptFont(lang_.LocaleName);
        !script.isEmpty() && fontNoticeFor_ != lang_.LocaleName) {
        fontNoticeFor_ = lang_.LocaleName;
        LogLine("No installed font has " + StdStr(script) +
                " letters, so they show as boxes: install one (on Debian, fonts-noto-cjk for "
                "Chinese and Japanese, fonts-noto-core for Arabic).");
    }
    UpdateTitle();
    if (!busy_) {
        UpdateStatus();
        views_->RefreshInfo();
        ListView()->viewport()->update();
    }
}

void TfrmMain::SaveAtExit() {
    layout_->StoreViewSettings();
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
        handlers_.SaveToSettings(*store_);
    }
    gd_->SaveLayout(*store_);
    layout_->SavePanelLayout();
    store_->WriteString(kPos, "Geometry", saveGeometry().toBase64().toStdString());
    try {
        store_->Sync();
    } catch (const std::exception& e) {
        ShowException(e); // the settings were not saved: say so
    }
}

// ---------------------------------------------------------------------------
// Busy state and progress

void TfrmMain::BeginBusy() {
    if (busy_++ > 0) return;
    pump_->Restart();
    TViewRestore saved = ViewRestoreOf(SelectedNode());
    saved.ColRows = RowPath(SelectedColNode());
    if (TLibFolderItem* e = views_->CurrentEntry()) saved.EntryCaption = e->Caption.str();
    restore_ = saved;
    views_->SetBusy(true);
    views_->SetFrozen(true);
    UpdateActions();
}

void TfrmMain::EndBusy() {
    if (--busy_ > 0) return;
    if (!gd_->Progress.Idle()) {
        // An operation that threw before it ended its progress.
        ProgressEnded();
        gd_->Progress.SetIdle(true);
    }
    views_->SetBusy(false);
    views_->SetFrozen(false);
    collections_->SetViewGeneration(lib_->Generation());
    views_->RestoreExpansion(false);
    views_->RestoreExpansion(true);
    TViewRestore r = std::exchange(restore_, TViewRestore());
    TTreeNode* node = FindRestoredNode(*lib_, r);
    SelectNode(node);
    if (!r.EntryCaption.empty() && ListModel()->Folder()) {
        if (TLibFolderItem* e = ListModel()->Folder()->FindItem(r.EntryCaption)) SelectEntries({e});
    }
    if (TTreeNode* c = NodeByRows(lib_->ColTree, r.ColRows)) {
        QSignalBlocker block(ColView()->selectionModel());
        ColView()->setCurrentIndex(ColModel()->IndexOf(c));
    }
    UpdateActions();
    UpdateStatus();
    views_->RefreshInfo();
    if (mounts_) mounts_->MarkMounted(); // volumes added, renamed, or another catalog
}

void TfrmMain::RebuildViews() {
    BeginBusy();
    EndBusy();
}

void TfrmMain::ShowException(const std::exception& e) {
    if (auto* m = dynamic_cast<const EMessageError*>(&e))
        questions_->ShowError(m->Key, m->Arg);
    else
        questions_->ShowErrorText(QString::fromUtf8(e.what()));
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
        questions_->ShowError(key, arg);
    else if (!ok)
        questions_->ShowErrorText(text);
    return ok;
}

void TfrmMain::CatalogOpened() {
    // An empty Collection tab would hide the volumes just opened.
    if (layout_->Tab() == 0 && lib_->ColTree.RootCount() == 0 && lib_->Tree.RootCount() > 0)
        SetTab(1);
}

void TfrmMain::ResetCatalog(bool modified) {
    TWindowBusyScope busy(*this);
    auto fresh = std::make_unique<TLibObj>();
    views_->SetLib(fresh.get());
    lib_.swap(fresh);
    fresh.reset();
    ApplySettingsToLib();
    lib_->Modified = modified;
    lib_->BumpGeneration();
    restore_ = TViewRestore();
}

void TfrmMain::ProgressStarted(const std::string& label, int64_t maximum) {
    progress_->Start(QStr(label), maximum);
    sbMain_->SetText(0, QStr(lib_->FileName));
    UpdateActions();
}

void TfrmMain::ProgressEnded() {
    progress_->Finish();
    sbMain_->SetText(0, QStr(lib_->FileName));
}

void TfrmMain::IdleChanged(bool idle) {
    // The progress state clears a stop request right after it turns busy, so
    // no event (a Stop click) may run in between.
    if (!idle) pump_->SkipNextTurn();
    UpdateActions();
}

QString TfrmMain::MainStatus(int panel) const {
    return sbMain_->Text(panel);
}

void TfrmMain::miVStopProcessClick() {
    gd_->Progress.RequestStop();
}

void TfrmMain::ProgressMoved(int64_t position) {
    progress_->Move(position);
}

void TfrmMain::ScanCounts(int64_t entries, int64_t bytes) {
    progress_->Counts(entries, bytes);
}

void TfrmMain::StatusText(const std::string& text) {
    sbMain_->SetText(1, QStr(text));
}

void TfrmMain::LogLine(const std::string& text) {
    views_->LogLine(QStr(text));
}

void TfrmMain::Beep() {
    QApplication::beep();
}

void TfrmMain::ProcessEvents() {
    pump_->ProcessEvents();
}

void TfrmMain::miSpaceViewClick() {
    TTreeNode* node = SelectedNode();
    space_->ShowFor(node ? node : Lib().Tree.FirstNode());
}

TLibObj* TfrmMain::CurrentCatalog() {
    TLibObj* shown = NodesModel()->Lib();
    return shown ? shown : lib_.get();
}

bool TfrmMain::CatalogFrozen() const {
    return NodesModel()->Frozen();
}

bool TfrmMain::OperationRunning() const {
    return !gd_->Progress.Idle() || Busy();
}

bool TfrmMain::CheckIdle() {
    return busy_ == 0 && gd_->Progress.Idle();
}

IProgress& TfrmMain::OperationProgress() {
    return *pump_;
}

// ---------------------------------------------------------------------------
// What the search window sees of this window

void TfrmMain::WatchCatalog(QObject* context, std::function<void()> changed) {
    // The tree model is reset whenever the catalog is replaced, frozen, thawed or frees records.
    connect(NodesModel(), &QAbstractItemModel::modelReset, context, std::move(changed));
}

void TfrmMain::ExportResults(TSearchResults* results) {
    if (!CheckIdle()) return;
    search_->Export(TExportScope::Results, results);
}

void TfrmMain::BringToFront() {
    raise();
    activateWindow();
}

void TfrmMain::ShowProperties(TPropertiesOf what) {
    switch (what) {
    case TPropertiesOf::Collection:
        SetActiveView(ColView());
        return miColPropClick();
    case TPropertiesOf::Folder:
        SetActiveView(NodesView());
        return miLPropertiesClick();
    case TPropertiesOf::Entry:
        SetActiveView(ListView());
        return pmLVPropertiesClick();
    }
}

// ---------------------------------------------------------------------------
// Commands

void TfrmMain::OpenFromOtherInstance(const QString& path) {
    BringToFront();
    if (path.isEmpty()) return;
    if (!CheckIdle()) {
        LogLine(StdStr(MsgText("errStop")));
        return;
    }
    OpenFile(StdStr(path), true);
}
void TfrmMain::tbDelClick() {
    if (!CheckIdle()) return;
    QAbstractItemView* v = ActiveView();
    if (v == ColView()) return collections_->Delete();
    if (views_->IsList(v)) return volumes_->DeleteEntries();
    volumes_->DeleteNodes();
}
void TfrmMain::pmLVPropertiesClick() {
    if (CheckIdle() && ActiveView() == ColView()) return collections_->Properties();
    volumes_->EntryProperties();
}

void TfrmMain::tbCatClick() {
    tools_->EditCategories(Action(QStringLiteral("miCategories"))->text());
}
void TfrmMain::tbOptionsClick() {
    if (!tools_->EditOptions()) return;
    ApplySettingsToLib();
    catalog_->BuildFavoritesMenu();
    RebuildViews(); // sizes, icons and sorting may have changed
    UpdateActions();
}

// ---------------------------------------------------------------------------
// Language, events, closing

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
        samples.emplace_back(new TfrmFileExtProp(*store_, this));
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
    // On the first start the language follows the system's, when we ship it.
    if (gd_->FirstRun && gd_->Language.empty()) gd_->Language = lang_.LanguageForSystem();
    lang_.CurrentLanguage = gd_->Language;
    if (!gd_->Language.empty()) {
        try {
            lang_.SelectLanguage(gd_->Language);
        } catch (const std::exception& e) {
            LogLine(e.what());
        }
    }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType() && watched != this) {
        // Windows made after the language was applied get its texts when they show.
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow() && !qobject_cast<QMenu*>(w) && !w->objectName().isEmpty())
            lang_.TranslateWindow(w);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back to the window is when another program's save is noticed;
    // asked after the event, not inside it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this, [this] { catalog_->CheckChangedOnDisk(); });
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    // Esc anywhere in the window that nothing else took closes it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!CheckIdle()) {
        questions_->ShowError("errStop", {});
        event->ignore();
        return;
    }
    if (lib_->Modified) {
        // One question, as desktop programs ask it: Save, Don't Save or Cancel.
        TAnswer a = TAnswer::Yes;
        if (gd_->ConfirmSaveChanges)
            a = questions_->Ask("confSave", lib_->FileName, TButtons::SaveDiscardCancel);
        else if (gd_->ConfirmExit &&
                 questions_->Ask("confExit", {}, TButtons::YesNo) != TAnswer::Yes)
            a = TAnswer::Cancel;
        if (a == TAnswer::Cancel || (a == TAnswer::Yes && !catalog_->Save(false))) {
            event->ignore();
            return;
        }
    }
    SaveAtExit();
    event->accept();
}
