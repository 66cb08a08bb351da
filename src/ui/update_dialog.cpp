#include "ui/update_dialog.h"

#include "catalog/lib_records.h"
#include "catalog/scan_ops.h"
#include "files/volume_info.h"
#include "settings/global_data.h"
#include "ui/dialog_handler_view.h"
#include "ui/ui_questions.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

TfrmUpdate::TfrmUpdate(TGlobalData& globals, THandlerList& handlers, ISettingsStore& store,
                       QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmUpdate"), store, parent), globals_(globals) {
    setWindowTitle(QStringLiteral("Update"));
    auto* top = new QVBoxLayout(this);
    pc = new QTabWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    top->addWidget(pc);

    Defaults = BuildDefaultsPage(pc, false);
    pc->addTab(Defaults.Page, QStringLiteral("&Properties"));

    auto* src = new QWidget(pc);
    src->setObjectName(QStringLiteral("tsSource"));
    auto* grid = new QGridLayout(src);
    cbReal = DlgCheck(src, "cbReal", "Use &Real Source");
    edFolder = DlgEdit(src, "edFolder");
    edFolder->setReadOnly(true);
    SpeedButton1 = DlgTool(src, "SpeedButton1", "Browse (F4)");
    edser = MakeSerialEdit(src);
    edLevels = MakeLevelsBox(src);
    cbDel = DlgCheck(src, "cbDel", "&Delete not found");
    cbFoldersOnly = DlgCheck(src, "cbFoldersOnly", "Folders &Only");
    int row = 0;
    grid->addWidget(cbReal, row++, 1, 1, 2);
    DlgGridField(grid, row, 0, "lblFolder", "&Folder:", edFolder);
    grid->addWidget(SpeedButton1, row++, 2);
    DlgGridField(grid, row++, 0, "lblSerial", "S&erial:", edser);
    grid->addWidget(DlgLabel(src, "lblLevels", "&Levels:", edLevels), row, 0);
    grid->addWidget(edLevels, row++, 1, Qt::AlignLeft);
    grid->addWidget(cbDel, row++, 1, 1, 2);
    grid->addWidget(cbFoldersOnly, row++, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    pc->addTab(src, QStringLiteral("From &Source"));

    lv_Ext = AddHandlersPage(pc, handlers, store);

    top->addWidget(MakeButtons(false));
    resize(520, 380);

    connect(cbReal, &QCheckBox::clicked, this, &TfrmUpdate::cbRealClick);
    connect(SpeedButton1, &QToolButton::triggered, this, &TfrmUpdate::SpeedButton1Click);
    connect(Defaults.tbCat, &QToolButton::triggered, this, &TfrmUpdate::tbCatClick);
    DlgKey(this, Qt::Key_F2, &TfrmUpdate::tbCatClick);
    DlgKey(this, Qt::Key_F4, [this] {
        if (SpeedButton1->isEnabled()) SpeedButton1Click();
    });
}

void TfrmUpdate::ApplyRealState() {
    bool real = cbReal->isChecked();
    edFolder->setEnabled(real);
    SpeedButton1->setEnabled(real);
    cbDel->setEnabled(real);
    edser->setEnabled(real);
}

void TfrmUpdate::cbRealClick() {
    ApplyRealState();
    QString folder = edFolder->text();
    edser->setText(folder.isEmpty() ? QString() : Qs(GetVolumeSerial(Ss(folder))));
}

void TfrmUpdate::SpeedButton1Click() {
    QString dir = BrowseFolder(this, windowTitle(), edFolder->text());
    if (dir.isEmpty()) return;
    edFolder->setText(dir);
    edser->setText(Qs(GetVolumeSerial(Ss(dir))));
}

void TfrmUpdate::tbCatClick() {
    if (EditSharedList(this, Store(), DlgHintText(Defaults.tbCat), globals_.GlobalCategories,
                       Qs(globals_.CategoriesFile)))
        FillListCombo(Defaults.filecat, globals_.GlobalCategories);
}

void TfrmUpdate::PrepareShow(const QString& sourcePath) {
    pc->setCurrentIndex(0);
    globals_.DefaultCategory.clear();
    globals_.DefaultComments.clear();
    globals_.DefaultsToFolders = false;
    globals_.DefaultsToFiles = false;
    // An imported volume's made-up source is no folder here: the user picks one.
    FolderResult = IsAbsoluteSource(Ss(sourcePath)) ? sourcePath : QString();
    edFolder->setText(FolderResult);
    edFolder->setPlaceholderText(FolderResult.isEmpty() && !sourcePath.isEmpty()
                                     ? MsgText("infoImportedSource")
                                     : QString());
    Defaults.filecat->setCurrentText(QString());
    Defaults.filecom->clear();
    Defaults.cbAddFolders->setChecked(false);
    Defaults.cbAddFiles->setChecked(false);
    cbDel->setChecked(false);
    cbReal->setChecked(false);
    cbFoldersOnly->setChecked(globals_.FoldersOnly);
    FillListCombo(Defaults.filecat, globals_.GlobalCategories);
    cbRealClick();
    lv_Ext->LoadView();
}

void TfrmUpdate::accept() {
    if (cbReal->isChecked() && !IsAbsoluteSource(Ss(edFolder->text()))) {
        if (edFolder->placeholderText().isEmpty())
            edFolder->setPlaceholderText(MsgText("infoChooseSource"));
        edFolder->clear();
        for (int i = 0; i < pc->count(); ++i)
            if (pc->widget(i)->isAncestorOf(edFolder)) pc->setCurrentIndex(i);
        edFolder->setFocus();
        return;
    }
    FolderResult = edFolder->text();
    Defaults.ReadInto(globals_);
    globals_.FoldersOnly = cbFoldersOnly->isChecked();
    globals_.DeleteNotFound = cbReal->isChecked() && cbDel->isChecked();
    TPlacedDialog::accept();
}

TScanOptions TfrmUpdate::Options() const {
    TScanOptions o;
    o.FolderResult = Ss(FolderResult);
    o.Serial = Ss(edser->text());
    o.Levels = static_cast<uint16_t>(edLevels->value());
    o.FoldersOnly = cbFoldersOnly->isChecked();
    Defaults.ReadInto(o);
    o.UseRealSource = cbReal->isChecked();
    // Without a rescan nothing was seen, so nothing may be deleted as gone.
    o.DeleteNotFound = cbReal->isChecked() && cbDel->isChecked();
    o.CheckSerial = globals_.CheckSerial;
    return o;
}

std::optional<TScanOptions> TfrmUpdate::Run(const TLibFolder* selected) {
    PrepareShow(selected ? Qs(GetSourcePath(selected)) : QString());
    if (exec() != QDialog::Accepted) return std::nullopt;
    if (cbReal->isChecked() && FolderResult.isEmpty()) return std::nullopt;
    return Options();
}
