#include "ui/options_dialog.h"

#include "settings/global_data.h"
#include "ui/multi_lang.h"
#include "ui/ui_questions.h"

#include <QtCore/QFileInfo>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// The separators cbSep offers, by item index.
const char* const kSeparators[] = {";", ",", "-", "\t", "\r\n"};

QString DefaultOpenDialog(QWidget* parent, const QString& start) {
    return QFileDialog::getOpenFileName(parent, QString(), start,
                                        FileFilter("fltTextFiles", "*.TXT *.txt"));
}

// The check boxes, page by page in the order they are made, and the settings they show.
struct TCheckSetting {
    const char* Page;
    const char* Name;
    const char* Text;
    bool TGlobalData::*Setting;
};
const TCheckSetting kChecks[] = {
    {"tsGeneral", "cbSave", "&Save Settings On Exit", &TGlobalData::SaveSettingsOnExit},
    {"tsGeneral", "cbOpen", "&Open Last Library", &TGlobalData::LoadLast},
    {"tsGeneral", "cbMulti", "&Allow Multiple Application Instances", &TGlobalData::MultiApps},
    {"tsGeneral", "cbAddLoc", "Add &Location to Globals", &TGlobalData::AddToGlobalsLocs},
    {"tsGeneral", "cbAddCat", "Add Categor&y to Globals", &TGlobalData::AddToGlobalsCats},
    {"tsGeneral", "cbAddTag", "Add &Tag to Globals", &TGlobalData::AddToGlobalsTags},
    {"tsNewVolumes", "cbSer", "Check for duplicate Se&rials", &TGlobalData::CheckSerial},
    {"tsNewVolumes", "cbFoldersOnly", "Folders O&nly", &TGlobalData::FoldersOnly},
    {"tsView", "cbShow", "&Show Real File Icons", &TGlobalData::ShowIcons},
    {"tsView", "cbSort", "&Alpha Sort Volumes", &TGlobalData::Sort},
    {"tsView", "cbDisableCtrls", "&Disable Visual Controls on Action",
     &TGlobalData::DisableControls},
    {"tsView", "cb_msg", "&Beep After Long Operations", &TGlobalData::ActionEndBeep},
    {"tsFind", "cb_findLocate", "Focus Main Window on &Locate", &TGlobalData::LocateMain},
    {"tsConfirmations", "cb_confDelfile", "Confirm File &Deletion",
     &TGlobalData::ConfirmDeleteFile},
    {"tsConfirmations", "cb_confDelfolder", "Confirm F&older Deletion",
     &TGlobalData::ConfirmDeleteFolder},
    {"tsConfirmations", "cb_confDelvol", "Confirm Vol&ume Deletion",
     &TGlobalData::ConfirmDeleteVolume},
    {"tsConfirmations", "cb_confSave", "Confirm &Save Changes", &TGlobalData::ConfirmSaveChanges},
    {"tsConfirmations", "cb_confExit", "Confirm E&xit", &TGlobalData::ConfirmExit},
    {"tsConfirmations", "cb_confNew", "Confirm &New", &TGlobalData::ConfirmNew},
    {"tsConfirmations", "cb_confRep", "Confirm &Replace ", &TGlobalData::ConfirmReplace},
    {"tsConfirmations", "cb_confReload", "Confirm Re&load", &TGlobalData::ConfirmReload},
    {"tsConfirmations", "cb_confClose", "Confir&m Close", &TGlobalData::ConfirmClose},
    {"tsConfirmations", "cb_confDelCol", "Confirm Collec&tion Deletion",
     &TGlobalData::ConfirmDeleteCollection},
};

void AddChecks(QWidget* page, const std::vector<QCheckBox*>& boxes) {
    auto* box = new QVBoxLayout(page);
    for (QCheckBox* c : boxes)
        box->addWidget(c);
    box->addStretch();
}

} // namespace

TfrmOptions::TfrmOptions(TGlobalData& globals, ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmOptions"), store, parent), globals_(globals) {
    setWindowTitle(QStringLiteral("Options"));
    OpenDlg = DefaultOpenDialog;
    auto* top = new QVBoxLayout(this);
    pcOpt = new QTabWidget(this);
    pcOpt->setObjectName(QStringLiteral("pcOpt"));
    // Every tab stays in sight: longer (translated) captions widen the dialog.
    pcOpt->setUsesScrollButtons(false);
    top->addWidget(pcOpt);

    // General.
    QWidget* p = Page("tsGeneral");
    AddChecks(p, MakeChecks(p));
    pcOpt->addTab(p, QStringLiteral("&General"));

    // New volumes.
    p = Page("tsNewVolumes");
    AddChecks(p, MakeChecks(p));
    pcOpt->addTab(p, QStringLiteral("New &Volumes"));

    // View.
    p = Page("tsView");
    {
        auto* grid = new QGridLayout(p);
        const std::vector<QCheckBox*> checks = MakeChecks(p);
        cbK = DlgSizeUnits(p);
        cbSep = DlgTextCombo(p, "cbSep");
        cbSep->addItems({QStringLiteral(";"), QStringLiteral(","), QStringLiteral("-"),
                         QStringLiteral("Tab"), QStringLiteral("New Line")});
        MarkTranslated(cbSep);
        edImg = DlgEdit(p, "edImg");
        BrowseButtons[0] = DlgTool(p, "SpeedButton1", "Browse (F4)");
        int row = 0;
        for (QCheckBox* c : checks)
            grid->addWidget(c, row++, 0, 1, 3);
        DlgGridField(grid, row++, 0, "lblSizes", "Filesi&ze in:", cbK);
        DlgGridField(grid, row++, 0, "lblSep", "Comment &New Line: ", cbSep);
        DlgGridField(grid, row, 0, "lblImg", "Images File:", edImg);
        grid->addWidget(BrowseButtons[0], row++, 2);
        grid->setColumnStretch(1, 1);
        grid->setRowStretch(row, 1);
    }
    pcOpt->addTab(p, QStringLiteral("V&iew"));

    // Find.
    p = Page("tsFind");
    AddChecks(p, MakeChecks(p));
    pcOpt->addTab(p, QStringLiteral("&Find"));

    // Confirmations: two columns of five, in `cells` by the table's order. The
    // collection's deletion shows with the other deletions but is last in the tab order.
    p = Page("tsConfirmations");
    {
        auto* grid = new QGridLayout(p);
        const std::vector<QCheckBox*> checks = MakeChecks(p);
        const int cells[] = {0, 1, 2, 4, 5, 6, 7, 8, 9, 3};
        for (size_t i = 0; i < checks.size(); ++i)
            grid->addWidget(checks[i], cells[i] % 5, cells[i] / 5);
        grid->setRowStretch(5, 1);
    }
    pcOpt->addTab(p, QStringLiteral("&Confirmations"));

    // Files.
    p = Page("tsFiles");
    {
        auto* grid = new QGridLayout(p);
        struct TFileRow {
            QLineEdit** Edit;
            const char* Name;
            const char* Button;
            const char* Label;
            const char* Text;
        };
        const TFileRow rows[] = {
            {&edFav, "edFav", "btnBrowse1", "lblFav", "F&avorites File"},
            {&edLoc, "edLoc", "btnBrowse2", "lblLoc", "&Locations File"},
            {&edCat, "edCat", "btnBrowse3", "lblCat", "Categ&ories File"},
            {&edTag, "edTag", "btnBrowse4", "lblTag", "&Tags File"},
        };
        int row = 0;
        for (const TFileRow& r : rows) {
            *r.Edit = DlgEdit(p, r.Name);
            BrowseButtons[static_cast<size_t>(row + 1)] = DlgTool(p, r.Button, "Browse (F4)");
            grid->addWidget(DlgLabel(p, r.Label, r.Text, *r.Edit), 2 * row, 0, 1, 2);
            grid->addWidget(*r.Edit, 2 * row + 1, 0);
            grid->addWidget(BrowseButtons[static_cast<size_t>(row + 1)], 2 * row + 1, 1);
            ++row;
        }
        grid->setColumnStretch(0, 1);
        grid->setRowStretch(2 * row, 1);
    }
    pcOpt->addTab(p, QStringLiteral("Fil&es"));
    FileEdits = {edImg, edFav, edLoc, edCat, edTag};

    auto* bottom = new QHBoxLayout;
    btnReset = DlgButton(this, "btnReset", "Defaults");
    bottom->addWidget(btnReset);
    bottom->addStretch();
    bottom->addWidget(MakeButtons(true));
    top->addLayout(bottom);
    setSizeGripEnabled(false); // a fixed dialog border
    resize(sizeHint().expandedTo(QSize(460, 320)));

    connect(btnReset, &QPushButton::clicked, this, &TfrmOptions::btnResetClick);
    for (size_t i = 0; i < BrowseButtons.size(); ++i)
        connect(BrowseButtons[i], &QToolButton::triggered, this,
                [this, i] { SpeedButton1Click(static_cast<int>(i)); });
}

std::vector<QCheckBox*> TfrmOptions::MakeChecks(QWidget* page) {
    std::vector<QCheckBox*> made;
    for (const TCheckSetting& c : kChecks) {
        if (page->objectName() != QLatin1String(c.Page)) continue;
        made.push_back(DlgCheck(page, c.Name, c.Text));
        checks_.emplace_back(made.back(), c.Setting);
    }
    return made;
}

QWidget* TfrmOptions::Page(const char* name) {
    auto* w = new QWidget(pcOpt);
    w->setObjectName(QLatin1String(name));
    return w;
}

void TfrmOptions::showEvent(QShowEvent* e) {
    // Each showing starts from the global data as it is now.
    if (!e->spontaneous()) {
        pcOpt->setCurrentIndex(0);
        defaultsApplied_ = false;
        LoadControls();
    }
    TPlacedDialog::showEvent(e);
    FitTexts();
}

void TfrmOptions::FitTexts() {
    // The texts may have been translated since the dialog was built, and a
    // saved size may be too small for them: grow to what they need, with room
    // for the longest file name, up to most of the screen.
    layout()->activate();
    int pathWidth = 0;
    for (QLineEdit* edit : FileEdits)
        pathWidth = std::max(pathWidth, edit->fontMetrics().horizontalAdvance(edit->text()));
    QSize want = sizeHint();
    const int pathRoom = pathWidth + 2 * edFav->height() + 40;
    want.setWidth(std::max(want.width(), pathRoom));
    if (const QScreen* s = screen()) want = want.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(size().expandedTo(want));
}

void TfrmOptions::LoadControls() {
    const TGlobalData& g = globals_;
    for (const auto& [box, setting] : checks_)
        box->setChecked(g.*setting);
    cbK->setCurrentIndex(std::min<int>(g.Sizes, 2));
    int sep = -1;
    for (int i = 0; i < 5; ++i)
        if (g.NewLine == kSeparators[i]) sep = i;
    if (sep >= 0) {
        cbSep->setCurrentIndex(sep);
    } else {
        cbSep->setCurrentIndex(-1);
        cbSep->setEditText(Qs(g.NewLine));
    }
    edImg->setText(Qs(g.ImagesFile));
    edFav->setText(Qs(g.FavoritesFile));
    edLoc->setText(Qs(g.LocationsFile));
    edCat->setText(Qs(g.CategoriesFile));
    edTag->setText(Qs(g.TagsFile));
}

void TfrmOptions::StoreControls() {
    TGlobalData& g = globals_;
    for (const auto& [box, setting] : checks_)
        g.*setting = box->isChecked();
    g.Sizes = static_cast<uint8_t>(std::clamp(cbK->currentIndex(), 0, 2));
    // A text that names an item is that item's separator; anything else was
    // typed and is kept exactly, blanks included.
    QString sep = cbSep->currentText();
    int item = cbSep->findText(sep, Qt::MatchExactly);
    g.NewLine = item >= 0 && item < 5 ? std::string(kSeparators[item]) : Ss(sep);
    g.ImagesFile = Ss(edImg->text());
    g.FavoritesFile = Ss(edFav->text());
    g.LocationsFile = Ss(edLoc->text());
    g.CategoriesFile = Ss(edCat->text());
    g.TagsFile = Ss(edTag->text());
    // Settings the global data hands on to other parts.
    g.Progress.ActionEndBeep = g.ActionEndBeep;
    g.RegisterTagNames();
}

void TfrmOptions::accept() {
    StoreControls();
    TPlacedDialog::accept();
}

void TfrmOptions::btnResetClick() {
    TGlobalData& g = globals_;
    // The defaults of the settings; what is not a setting of this dialog (the
    // window layout, the catalog opened last, the print choices, the scan
    // choices) stays as it is, and a list-file name only returns to its
    // default when it is empty.
    const std::string fav = g.FavoritesFile, tags = g.TagsFile, locs = g.LocationsFile,
                      cats = g.CategoriesFile, last = g.LastLibrary;
    const auto placement = g.MainPlacement;
    const int32_t treeWidth = g.TreeWidth, colWidth = g.CollectionWidth;
    const TViewSettings view = g.ViewSettings;
    const bool firstRun = g.FirstRun;
    const int32_t zoom = g.Zoom, fontSize = g.FontSize, fontColor = g.FontColor,
                  fontCharSet = g.FontCharSet;
    const std::string fontName = g.FontName;
    const auto fontStyles = g.FontStyles;
    const int32_t drive = g.DriveNumber;
    const bool applyDefaults = g.ApplyDefaults, toFolders = g.DefaultsToFolders,
               toFiles = g.DefaultsToFiles, deleteNotFound = g.DeleteNotFound;
    const std::string defCat = g.DefaultCategory, defCom = g.DefaultComments,
                      defLoc = g.DefaultLocation;

    g.SetDefaults();

    if (!fav.empty()) g.FavoritesFile = fav;
    if (!tags.empty()) g.TagsFile = tags;
    if (!locs.empty()) g.LocationsFile = locs;
    if (!cats.empty()) g.CategoriesFile = cats;
    g.LastLibrary = last;
    g.MainPlacement = placement;
    g.TreeWidth = treeWidth;
    g.CollectionWidth = colWidth;
    g.ViewSettings = view;
    g.FirstRun = firstRun;
    g.Zoom = zoom;
    g.FontName = fontName;
    g.FontSize = fontSize;
    g.FontColor = fontColor;
    g.FontCharSet = fontCharSet;
    g.FontStyles = fontStyles;
    g.DriveNumber = drive;
    g.ApplyDefaults = applyDefaults;
    g.DefaultsToFolders = toFolders;
    g.DefaultsToFiles = toFiles;
    g.DeleteNotFound = deleteNotFound;
    g.DefaultCategory = defCat;
    g.DefaultComments = defCom;
    g.DefaultLocation = defLoc;
    g.RegisterTagNames();
    defaultsApplied_ = true;
    LoadControls();
}

void TfrmOptions::SpeedButton1Click(int tag) {
    if (tag < 0 || tag >= static_cast<int>(FileEdits.size())) return;
    QLineEdit* edit = FileEdits[static_cast<size_t>(tag)];
    edit->setFocus();
    QString name = OpenDlg ? OpenDlg(this, edit->text()) : QString();
    if (!name.isEmpty()) edit->setText(QFileInfo(name).absoluteFilePath());
}

void TfrmOptions::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F4 && e->modifiers() == Qt::NoModifier) {
        QWidget* focus = focusWidget();
        for (size_t i = 0; i < FileEdits.size(); ++i) {
            if (FileEdits[i] == focus) {
                SpeedButton1Click(static_cast<int>(i));
                e->accept();
                return;
            }
        }
    }
    TPlacedDialog::keyPressEvent(e);
}

bool TfrmOptions::Execute(QWidget* parent, TGlobalData& globals, ISettingsStore& store) {
    TfrmOptions dlg(globals, store, parent);
    bool ok = dlg.exec() == QDialog::Accepted;
    return ok || dlg.DefaultsApplied();
}
