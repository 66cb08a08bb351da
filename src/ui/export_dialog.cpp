#include "ui/export_dialog.h"

#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "ui/ui_questions.h"

#include <QtCore/QFileInfo>
#include <QtGui/QKeySequence>
#include <QtGui/QShortcut>
#include <QtGui/QShowEvent>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

void FillFieldList(QListWidget* list, const std::vector<TFieldItem>& items) {
    list->clear();
    for (const TFieldItem& f : items) {
        auto* it = new QListWidgetItem(Qs(f.Name), list);
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        it->setCheckState(f.Checked ? Qt::Checked : Qt::Unchecked);
    }
}

std::vector<TFieldItem> FieldListItems(const QListWidget* list) {
    std::vector<TFieldItem> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back({Ss(list->item(i)->text()), list->item(i)->checkState() == Qt::Checked});
    return out;
}

void MoveFieldItem(QListWidget* list, int delta) {
    int row = list->currentRow();
    if (row < 0 || !list->currentItem() || !list->currentItem()->isSelected()) return;
    int to = row + delta;
    if (to < 0 || to >= list->count()) return;
    QListWidgetItem* it = list->takeItem(row);
    list->insertItem(to, it);
    list->setCurrentRow(to);
}

QComboBox* SeparatorCombo(QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QStringLiteral("cbSep"));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    for (const char* s : kSeparatorItems)
        c->addItem(QString::fromLatin1(s));
    return c;
}

QComboBox* QualifierCombo(QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QStringLiteral("cbTxtQ"));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems({QStringLiteral("\""), QStringLiteral("'")});
    return c;
}

TFileAndFields BuildFileAndFields(QWidget* dialog, QBoxLayout* top, const char* fileLabel,
                                  QStyle::StandardPixmap browseIcon, const char* listName) {
    TFileAndFields p;
    QStyle* st = dialog->style();
    auto* fileRow = new QHBoxLayout;
    p.File = new QLineEdit(dialog);
    p.File->setObjectName(QStringLiteral("edfile"));
    p.Browse = DlgTool(dialog, "btnBrowse", "Browse (F4)");
    p.Browse->setIcon(st->standardIcon(browseIcon));
    fileRow->addWidget(DlgLabel(dialog, "lblFile", fileLabel, p.File));
    fileRow->addWidget(p.File, 1);
    fileRow->addWidget(p.Browse);
    top->addLayout(fileRow);

    p.Pages = new QTabWidget(dialog);
    p.Pages->setObjectName(QStringLiteral("pc"));
    auto* fields = new QWidget(p.Pages);
    fields->setObjectName(QStringLiteral("tsFields"));
    auto* fl = new QGridLayout(fields);
    p.Fields = new QListWidget(fields);
    p.Fields->setObjectName(QString::fromLatin1(listName));
    p.Up = DlgTool(fields, "btnUp", "Move Up");
    p.Up->setIcon(st->standardIcon(QStyle::SP_ArrowUp));
    p.Down = DlgTool(fields, "btnDown", "Move Down");
    p.Down->setIcon(st->standardIcon(QStyle::SP_ArrowDown));
    fl->addWidget(p.Fields, 0, 0, 3, 1);
    fl->addWidget(p.Up, 0, 1);
    fl->addWidget(p.Down, 1, 1);
    fl->setRowStretch(2, 1);
    p.Pages->addTab(fields, QStringLiteral("&Fields"));
    return p;
}

TfrmExport::TfrmExport(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmExport"), store, parent) {
    setWindowTitle(QStringLiteral("Export"));
    auto* top = new QVBoxLayout(this);
    TFileAndFields parts =
        BuildFileAndFields(this, top, "&Export filename:", QStyle::SP_DialogSaveButton, "lbFields");
    edfile = parts.File;
    btnBrowse = parts.Browse;
    pc = parts.Pages;
    lbFields = parts.Fields;
    btnUp = parts.Up;
    btnDown = parts.Down;

    auto* opts = new QWidget(pc);
    opts->setObjectName(QStringLiteral("tsOptions"));
    auto* ol = new QGridLayout(opts);
    cbK = new QComboBox(opts);
    cbK->setObjectName(QStringLiteral("cbK"));
    cbK->addItems({QStringLiteral("Bytes"), QStringLiteral("KB"), QStringLiteral("MB")});
    cbSep = SeparatorCombo(opts);
    cbTxtQ = QualifierCombo(opts);
    cbFolders = DlgCheck(opts, "cbFolders", "E&xport Folders as line");
    cbFldProp = DlgCheck(opts, "cbFldProp", "Show &Total Properties");
    cbOnlyFld = DlgCheck(opts, "cbOnlyFld", "&Only Foders");
    cbLev = DlgCheck(opts, "cbLev", "&Level:");
    seLev = new QSpinBox(opts);
    seLev->setObjectName(QStringLiteral("seLev"));
    seLev->setRange(1, 999);
    seLev->setValue(1);
    cbIndent = DlgCheck(opts, "cbIndent", "&Indent subitems");
    cbArch = DlgCheck(opts, "cbArch", "&Archives contents");
    int row = 0;
    ol->addWidget(DlgLabel(opts, "lblK", "&Filesize in: ", cbK), row, 0);
    ol->addWidget(cbK, row++, 1);
    ol->addWidget(DlgLabel(opts, "lblSep", "&Separator: ", cbSep), row, 0);
    ol->addWidget(cbSep, row++, 1);
    ol->addWidget(DlgLabel(opts, "lblTxtQ", "Text &Qualifier:", cbTxtQ), row, 0);
    ol->addWidget(cbTxtQ, row++, 1);
    ol->addWidget(cbFolders, row++, 0, 1, 2);
    auto* indented = new QVBoxLayout;
    indented->setContentsMargins(20, 0, 0, 0);
    indented->addWidget(cbFldProp);
    indented->addWidget(cbOnlyFld);
    ol->addLayout(indented, row++, 0, 1, 2);
    ol->addWidget(cbLev, row, 0);
    ol->addWidget(seLev, row++, 1, Qt::AlignLeft);
    ol->addWidget(cbIndent, row++, 0, 1, 2);
    ol->addWidget(cbArch, row++, 0, 1, 2);
    ol->setColumnStretch(1, 1);
    ol->setRowStretch(row, 1);
    pc->addTab(opts, QStringLiteral("&Options"));
    top->addWidget(pc, 1);

    QDialogButtonBox* box = MakeButtons(false);
    OKBtn = box->findChild<QPushButton*>(QStringLiteral("OKBtn"));
    top->addWidget(box);
    resize(420, 400);

    connect(edfile, &QLineEdit::textChanged, this,
            [this](const QString& t) { OKBtn->setEnabled(!t.isEmpty()); });
    connect(btnBrowse, &QToolButton::triggered, this, &TfrmExport::btnBrowseClick);
    connect(new QShortcut(QKeySequence(Qt::Key_F4), this), &QShortcut::activated, this,
            &TfrmExport::btnBrowseClick);
    connect(btnUp, &QToolButton::triggered, this, [this] { MoveFieldItem(lbFields, -1); });
    connect(btnDown, &QToolButton::triggered, this, [this] { MoveFieldItem(lbFields, 1); });
    connect(cbFolders, &QCheckBox::toggled, this, &TfrmExport::cbFoldersClick);
    connect(cbLev, &QCheckBox::toggled, seLev, &QWidget::setEnabled);
    SetOptions(TExportOptions());
}

TExportOptions TfrmExport::Options() const {
    TExportOptions o;
    o.FileName = Ss(edfile->text());
    o.Fields = FieldListItems(lbFields);
    o.Separator = Ss(cbSep->currentText());
    o.Qualifier = Ss(cbTxtQ->currentText());
    o.SizeUnit = std::max(0, cbK->currentIndex());
    o.LevelsUse = cbLev->isChecked();
    o.Levels = seLev->value();
    o.Archives = cbArch->isChecked();
    o.Folders = cbFolders->isChecked();
    o.FoldersOnly = cbOnlyFld->isChecked();
    o.FolderTotals = cbFldProp->isChecked();
    o.Indent = cbIndent->isChecked();
    o.KBText = GetMessageText("infoStrKB");
    o.MBText = GetMessageText("infoStrMB");
    return o;
}

void TfrmExport::SetOptions(const TExportOptions& o) {
    edfile->setText(Qs(o.FileName));
    FillFieldList(lbFields, o.Fields);
    cbSep->setCurrentText(Qs(o.Separator));
    cbTxtQ->setCurrentText(Qs(o.Qualifier));
    cbK->setCurrentIndex(std::clamp(o.SizeUnit, 0, 2));
    cbLev->setChecked(o.LevelsUse);
    seLev->setValue(std::clamp(o.Levels, 1, 999));
    cbArch->setChecked(o.Archives);
    cbFolders->setChecked(o.Folders);
    cbOnlyFld->setChecked(o.FoldersOnly);
    cbFldProp->setChecked(o.FolderTotals);
    cbIndent->setChecked(o.Indent);
    cbFoldersClick();
    seLev->setEnabled(cbLev->isChecked());
    OKBtn->setEnabled(!edfile->text().isEmpty());
}

void TfrmExport::cbFoldersClick() {
    cbFldProp->setEnabled(cbFolders->isChecked());
    cbOnlyFld->setEnabled(cbFolders->isChecked());
}

void TfrmExport::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        pc->setCurrentIndex(0);
        setWindowTitle(QString::fromStdString(GetMessageText(ExportCaptionKey(scope_))));
        TExportOptions o = Options();
        o.Load(Store());
        SetOptions(o);
    }
    TPlacedDialog::showEvent(e);
}

void TfrmExport::btnBrowseClick() {
    TFileQuestion q;
    q.Title = windowTitle();
    q.Start = edfile->text();
    q.Filter = QStringLiteral("All Files (*)");
    q.DefaultSuffix = QString::fromLatin1(TExportOptions::kDefaultExtension);
    q.Save = true;
    q.Over = this;
    QString path = Questions().AskFile(q);
    if (!path.isEmpty()) edfile->setText(path);
}

void TfrmExport::accept() {
    if (edfile->text().isEmpty()) return;
    // Writing the text over the open catalog would destroy the catalog.
    if (!catalogFile_.empty()) {
        QFileInfo target(edfile->text()), catalog(Qs(catalogFile_));
        bool same = target.exists() && catalog.exists()
                        ? target.canonicalFilePath() == catalog.canonicalFilePath()
                        : target.absoluteFilePath() == catalog.absoluteFilePath();
        if (same) {
            Questions().ShowError("errWrite", Ss(edfile->text()));
            return;
        }
    }
    TPlacedDialog::accept();
}

void TfrmExport::done(int r) {
    Options().Save(Store());
    TPlacedDialog::done(r);
}

bool TfrmExport::Run(TExportScope scope, const std::string& catalogFile) {
    scope_ = scope;
    catalogFile_ = catalogFile;
    return exec() == QDialog::Accepted;
}
