#include "catalog/lib_obj.h"
#include "search/export.h"
#include "search/import.h"
#include "search/saved_search.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "text/text_utils.h"
#include "ui/catalog_models.h"
#include "ui/dialog_common.h"
#include "ui/multi_lang.h"
#include "ui/search_models.h"
#include "ui/search_window.h"
#include "ui/ui_questions.h"

#include <QtCore/QDate>
#include <QtGui/QAction>
#include <QtGui/QCloseEvent>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDateEdit>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QFileDialog>
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

QLineEdit* Edit(QWidget* parent, const char* name) {
    QLineEdit* e = DlgEdit(parent, name);
    e->setClearButtonEnabled(true);
    return e;
}

} // namespace

void TfrmSearch::BuildToolbar() {
    tb = new QToolBar(this);
    tb->setObjectName(QStringLiteral("tb"));
    tb->setIconSize(QSize(20, 20));
    auto act = [this](const char* name, const char* hint, const char* icon, int fallback) {
        auto* a = new QAction(TIcons::Theme(icon, fallback), QString::fromUtf8(hint), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(QString::fromUtf8(hint));
        // Translated as a toolbar button's hint: its text and its tooltip.
        a->setProperty("tamblixHint", true);
        tb->addAction(a);
        return a;
    };
    using S = QStyle;
    tbFind = act("tbFind", "Start Search", "edit-find", S::SP_FileDialogContentsView);
    tb->addSeparator();
    tbNew = act("tbNew", "New Search", "document-new", S::SP_FileIcon);
    tb->addSeparator();
    tbLoad = act("tbLoad", "Load Search", "document-open", S::SP_DialogOpenButton);
    tbSave = act("tbSave", "Save Search", "document-save", S::SP_DialogSaveButton);
    tb->addSeparator();
    tbExport = act("tbExport", "Export", "document-export", S::SP_ArrowRight);
    tb->addSeparator();
    tbStop = act("tbStop", "Stop", "process-stop", S::SP_BrowserStop);
    tb->addSeparator();
    tbSelected = act("tbSelected", "Search Selected Nodes Only", "edit-select-all",
                     S::SP_FileDialogListView);
    tbDuplicates =
        act("tbDuplicates", "Search for Duplicates", "edit-copy", S::SP_FileDialogDetailedView);
    tbMatchCase =
        act("tbMatchCase", "Search Matching Case", "format-text-bold", S::SP_FileDialogInfoView);
    for (QAction* a : {tbSelected, tbDuplicates, tbMatchCase})
        a->setCheckable(true);
    tb->addSeparator();
    tbHelp = act("tbHelp", "Help", "help-browser", S::SP_DialogHelpButton);

    connect(tbFind, &QAction::triggered, this, [this] { tbFindClick(); });
    connect(tbNew, &QAction::triggered, this, [this] { tbNewClick(); });
    connect(tbLoad, &QAction::triggered, this, [this] { tbLoadClick(); });
    connect(tbSave, &QAction::triggered, this, [this] { tbSaveClick(); });
    connect(tbExport, &QAction::triggered, this, [this] { Export1Click(); });
    connect(tbStop, &QAction::triggered, this, [this] { tbStopClick(); });
    for (QAction* a : {tbSelected, tbDuplicates, tbMatchCase})
        connect(a, &QAction::triggered, this, [this] { tbSelectedClick(); });
    connect(tbHelp, &QAction::triggered, this, [this] { tbHelpClick(); });
}

void TfrmSearch::BuildCriteria() {
    pcFind = new QTabWidget(this);
    pcFind->setObjectName(QStringLiteral("pcFind"));
    auto page = [this](const char* name, const char* caption) {
        auto* w = new QWidget(pcFind);
        w->setObjectName(QString::fromLatin1(name));
        pcFind->addTab(w, QString::fromUtf8(caption));
        auto* g = new QGridLayout(w);
        g->setColumnStretch(1, 1);
        return std::make_pair(w, g);
    };

    // General
    auto [gen, g0] = page("tsGeneral", "&General");
    edSearch = Edit(gen, "edSearch");
    edVol = Edit(gen, "edVol");
    cbCat = DlgTextCombo(gen, "cbCat");
    edCom = Edit(gen, "edCom");
    edType = Edit(gen, "edType");
    edLoc = DlgTextCombo(gen, "edLoc");
    DlgGridField(g0, 0, 0, "lblFile", "&Filename:", edSearch);
    DlgGridField(g0, 0, 2, "lblVol", "&Volume:", edVol);
    DlgGridField(g0, 1, 0, "lblCat", "Ca&tegory:", cbCat);
    DlgGridField(g0, 1, 2, "lblCom", "Com&ments:", edCom);
    DlgGridField(g0, 2, 0, "lblType", "Ty&pe:", edType);
    DlgGridField(g0, 2, 2, "lblLoc", "&Location:", edLoc);
    g0->setColumnStretch(3, 1);
    g0->setRowStretch(3, 1);

    // Advanced
    auto [adv, g1] = page("tsAdvanced", "&Advanced");
    auto date = [parent = adv](const char* name) {
        auto* e = new QDateEdit(QDate::currentDate(), parent);
        e->setObjectName(QString::fromLatin1(name));
        e->setCalendarPopup(true);
        return e;
    };
    cbDate1 = DlgCheck(adv, "cbDate1", "&Date:");
    edDate1 = date("edDate1");
    cbDate2 = DlgCheck(adv, "cbDate2", "&Between:");
    edDate2 = date("edDate2");
    cbSize = DlgCheck(adv, "cbSize", "&Size:");
    cbSign = new QComboBox(adv);
    cbSign->setObjectName(QStringLiteral("cbSign"));
    cbSign->addItems({QStringLiteral("="), QStringLiteral(">"), QStringLiteral("<")});
    edSize = new QSpinBox(adv);
    edSize->setObjectName(QStringLiteral("edSize"));
    edSize->setRange(0, 2147483647);
    cbK = DlgSizeUnits(adv);
    g1->addWidget(cbDate1, 0, 0);
    g1->addWidget(edDate1, 0, 1);
    g1->addWidget(cbDate2, 0, 2);
    g1->addWidget(edDate2, 0, 3);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(cbSign);
    sizeRow->addWidget(edSize, 1);
    sizeRow->addWidget(cbK);
    g1->addWidget(cbSize, 1, 0);
    g1->addLayout(sizeRow, 1, 1);
    // Ranges over the tag lines of videos, sound and photos.
    cbDuration = DlgCheck(adv, "cbDuration", "D&uration (s):");
    auto seconds = [parent = adv](const char* name) {
        auto* e = new QDoubleSpinBox(parent);
        e->setObjectName(QString::fromLatin1(name));
        e->setRange(-1, 1e9);
        e->setDecimals(1);
        SetMessageKey(e, "infoAny");
        e->setValue(-1);
        return e;
    };
    edDuration1 = seconds("edDuration1");
    edDuration2 = seconds("edDuration2");
    cbTaken = DlgCheck(adv, "cbTaken", "Ta&ken:");
    edTaken1 = date("edTaken1");
    edTaken2 = date("edTaken2");
    g1->addWidget(cbDuration, 2, 0);
    g1->addWidget(edDuration1, 2, 1);
    DlgGridField(g1, 2, 2, "lblDurationTo", "to", edDuration2);
    g1->addWidget(cbTaken, 3, 0);
    g1->addWidget(edTaken1, 3, 1);
    DlgGridField(g1, 3, 2, "lblTakenTo", "to", edTaken2);
    auto enableRanges = [this] {
        for (QWidget* w : {static_cast<QWidget*>(edDuration1), static_cast<QWidget*>(edDuration2)})
            w->setEnabled(cbDuration->isChecked());
        for (QWidget* w : {edTaken1, edTaken2})
            w->setEnabled(cbTaken->isChecked());
    };
    for (QCheckBox* c : {cbDuration, cbTaken})
        connect(c, &QCheckBox::toggled, this, enableRanges);
    enableRanges();
    g1->setColumnStretch(1, 1);
    g1->setColumnStretch(3, 1);
    g1->setRowStretch(4, 1);

    // Replace
    auto [rep, g2] = page("tsReplace", "&Replace");
    cbrepcat = DlgCheck(rep, "cbrepcat", "Ca&tegory Replace:");
    edrepCat = DlgTextCombo(rep, "edrepCat");
    cbrepcom = DlgCheck(rep, "cbrepcom", "Com&ments Replace:");
    edrepCom = Edit(rep, "edrepCom");
    g2->addWidget(cbrepcat, 0, 0);
    g2->addWidget(edrepCat, 0, 1);
    g2->addWidget(cbrepcom, 1, 0);
    g2->addWidget(edrepCom, 1, 1);
    g2->setRowStretch(2, 1);

    // Anywhere
    auto [any, g3] = page("tsAnywhere", "Any&where");
    edAny = Edit(any, "edAny");
    DlgGridField(g3, 0, 0, "lblAny", "Look for:", edAny);
    g3->setRowStretch(1, 1);

    // Collections
    auto [col, g4] = page("ysCollections", "&Collections");
    edcolCaption = Edit(col, "edcolCaption");
    edcolUrl = Edit(col, "edcolUrl");
    edcolCom = Edit(col, "edcolCom");
    DlgGridField(g4, 0, 0, "lblColCaption", "Caption:", edcolCaption);
    DlgGridField(g4, 1, 0, "lblColUrl", "URL:", edcolUrl);
    DlgGridField(g4, 2, 0, "lblColCom", "Comments:", edcolCom);
    g4->setRowStretch(3, 1);

    // Options
    auto [opt, g5] = page("tsOptions", "&Options");
    cbSel = DlgCheck(opt, "cbSel", "&Selected Nodes Only");
    cbFoldersOnly = DlgCheck(opt, "cbFoldersOnly", "&Folders Only");
    cbCase = DlgCheck(opt, "cbCase", "&Match Case");
    cbDup = DlgCheck(opt, "cbDup", "Find &Duplicates");
    g5->addWidget(cbSel, 0, 0);
    g5->addWidget(cbFoldersOnly, 1, 0);
    g5->addWidget(cbCase, 0, 1);
    g5->addWidget(cbDup, 1, 1);
    cbDupMode = new QComboBox(opt);
    cbDupMode->setObjectName(QStringLiteral("cbDupMode"));
    cbDupMode->addItems(
        {QStringLiteral("By Name"), QStringLiteral("By Content (same size and checksum)")});
    MarkTranslated(cbDupMode);
    DlgGridField(g5, 1, 2, "lblDupMode", "Compare:", cbDupMode);
    g5->setRowStretch(2, 1);

    for (QCheckBox* c : {cbSel, cbCase, cbDup})
        connect(c, &QCheckBox::clicked, this, [this] { cbSelClick(); });
    for (QCheckBox* c : {cbDate1, cbDate2, cbSize})
        connect(c, &QCheckBox::toggled, this, [this] { cbDate1Click(); });
    for (QLineEdit* e : {edSearch, edVol, edCom, edType, edAny, edcolCaption, edcolUrl, edcolCom})
        connect(e, &QLineEdit::returnPressed, this, [this] { tbFindClick(); });
    pcFind->setMaximumHeight(pcFind->sizeHint().height());
}

void TfrmSearch::TagCriteria(TSearchCriteria& c) const {
    c.DupMode = cbDupMode->currentIndex() == 1 ? TDupMode::Content : TDupMode::Names;
    c.DurationUse = cbDuration->isChecked();
    auto bound = [](const QDoubleSpinBox* e) {
        return e->value() <= e->minimum() ? std::nullopt : std::optional<double>(e->value());
    };
    c.DurationMin = bound(edDuration1);
    c.DurationMax = bound(edDuration2);
    c.TakenUse = cbTaken->isChecked();
    c.TakenFrom = edTaken1->date().toString(Qt::ISODate).toStdString();
    c.TakenTo = edTaken2->date().toString(Qt::ISODate).toStdString();
}

QTreeView* TfrmSearch::MakeList(const char* name) {
    auto* v = new QTreeView(this);
    v->setObjectName(QString::fromLatin1(name));
    v->setRootIsDecorated(false);
    v->setUniformRowHeights(true);
    v->setItemsExpandable(false);
    v->setAllColumnsShowFocus(true);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    v->header()->setSectionsClickable(true);
    v->header()->setStretchLastSection(false);
    connect(v->header(), &QHeaderView::sectionClicked, this,
            [this, v](int column) { slvColumnClick(v, column); });
    connect(v, &QTreeView::doubleClicked, this, [this, v] { pmiLocateClick(v); });
    connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& p) {
        v->setFocus();
        pmFind->popup(v->viewport()->mapToGlobal(p));
    });
    // The menu's keys act on the list that has the focus.
    auto* loc = new QAction(v);
    loc->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    loc->setShortcutContext(Qt::WidgetShortcut);
    connect(loc, &QAction::triggered, this, [this, v] { pmiLocateClick(v); });
    v->addAction(loc);
    auto* prop = new QAction(v);
    prop->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
    prop->setShortcutContext(Qt::WidgetShortcut);
    connect(prop, &QAction::triggered, this, [this, v] { pmiPropertiesClick(v); });
    v->addAction(prop);
    return v;
}

void TfrmSearch::BuildLists() {
    pmFind = new QMenu(this);
    pmFind->setObjectName(QStringLiteral("pmFind"));
    pmiLocate = pmFind->addAction(QStringLiteral("&Locate"));
    pmiLocate->setObjectName(QStringLiteral("pmiLocate"));
    pmiLocate->setShortcut(QKeySequence(Qt::Key_Return));
    pmiLocate->setShortcutContext(Qt::WidgetShortcut);
    pmFind->addSeparator();
    pmiProperties = pmFind->addAction(QStringLiteral("&Properties"));
    pmiProperties->setObjectName(QStringLiteral("pmiProperties"));
    pmiProperties->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
    pmiProperties->setShortcutContext(Qt::WidgetShortcut);
    connect(pmiLocate, &QAction::triggered, this, [this] { pmiLocateClick(); });
    connect(pmiProperties, &QAction::triggered, this, [this] { pmiPropertiesClick(); });

    spl = new QSplitter(Qt::Horizontal, this);
    spl->setObjectName(QStringLiteral("spl"));
    panCol = new QWidget(spl);
    auto* cl = DlgColumn(panCol, "panCol");
    lvCol = MakeList("lvCol");
    colModel_ = new TSearchCollectionModel(this);
    lvCol->setModel(colModel_);
    lvCol->header()->setStretchLastSection(true);
    cl->addWidget(lvCol);

    panLV = new QWidget(spl);
    auto* ll = DlgColumn(panLV, "panLV");
    lvStack = new QStackedWidget(panLV);
    lvStack->setObjectName(QStringLiteral("lvStack"));
    slv = MakeList("slv");
    slvdup = MakeList("slvdup");
    slvModel_ = new TSearchResultModel(false, format_, this);
    dupModel_ = new TSearchResultModel(true, format_, this);
    for (TSearchResultModel* m : {slvModel_, dupModel_})
        m->ThumbJpeg = [this](const TLibFolderItem* e) { return ThumbJpeg(e); };
    slv->setModel(slvModel_);
    slvdup->setModel(dupModel_);
    for (QTreeView* v : {slv, slvdup}) {
        static const int widths[kSearchColumnCount] = {180, 50,  100, 200, 80, 130,
                                                       100, 140, 70,  260, 100};
        for (int i = 0; i < kSearchColumnCount; ++i)
            v->setColumnWidth(i, widths[i]);
        // Dates with their time are wider than a fixed guess in many fonts.
        const QString sample = QString::fromStdString(FormatDateTime(36888.8326));
        const int dateWidth = v->fontMetrics().horizontalAdvance(sample) + 20;
        v->setColumnWidth(kColDate, std::max(v->columnWidth(kColDate), dateWidth));
    }
    lvStack->addWidget(slv);
    lvStack->addWidget(slvdup);
    ll->addWidget(lvStack);
    spl->addWidget(panCol);
    spl->addWidget(panLV);
    spl->setStretchFactor(1, 1);
    spl->setSizes({160, 640});
}

// ---------------------------------------------------------------------------
// Results and the catalog
