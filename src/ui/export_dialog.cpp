#include "ui/export_dialog.h"

#include "search/import.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "ui/ui_questions.h"

#include <QtCore/QFileInfo>
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

namespace {

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

// Swaps the selected item with its neighbour (delta -1 up, +1 down).
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
    QComboBox* c = DlgTextCombo(parent, "cbSep");
    for (const char* s : kSeparatorItems)
        c->addItem(QString::fromLatin1(s));
    return c;
}

QComboBox* QualifierCombo(QWidget* parent) {
    QComboBox* c = DlgTextCombo(parent, "cbTxtQ");
    c->addItems({QStringLiteral("\""), QStringLiteral("'")});
    return c;
}

} // namespace

TTextFileParts BuildTextFileParts(QWidget* dialog, QBoxLayout* top, const char* fileLabel,
                                  QStyle::StandardPixmap browseIcon, const char* listName) {
    TTextFileParts p;
    QStyle* st = dialog->style();
    auto* fileRow = new QHBoxLayout;
    p.File = DlgEdit(dialog, "edfile");
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

    p.Options = new QWidget(p.Pages);
    p.Options->setObjectName(QStringLiteral("tsOptions"));
    p.OptionsGrid = new QGridLayout(p.Options);
    p.SizeUnit = DlgSizeUnits(p.Options);
    p.Separator = SeparatorCombo(p.Options);
    p.Qualifier = QualifierCombo(p.Options);
    return p;
}

int TTextFileParts::AddOptionRows() const {
    QGridLayout* g = OptionsGrid;
    DlgGridField(g, 0, 0, "lblK", "Filesi&ze in: ", SizeUnit);
    DlgGridField(g, 1, 0, "lblSep", "&Separator: ", Separator);
    DlgGridField(g, 2, 0, "lblTxtQ", "Text &Qualifier:", Qualifier);
    return 3;
}

void TTextFileParts::AddPages(QBoxLayout* top, int endRow) const {
    OptionsGrid->setColumnStretch(1, 1);
    OptionsGrid->setRowStretch(endRow, 1);
    Pages->addTab(Options, QStringLiteral("&Options"));
    top->addWidget(Pages, 1);
}

void TTextFileParts::Connect(QWidget* dialog, QPushButton* ok,
                             const std::function<void()>& browse) const {
    QObject::connect(File, &QLineEdit::textChanged, dialog,
                     [ok](const QString& t) { ok->setEnabled(!t.isEmpty()); });
    QObject::connect(Browse, &QToolButton::triggered, dialog, browse);
    DlgKey(dialog, Qt::Key_F4, browse);
    QListWidget* list = Fields;
    QObject::connect(Up, &QToolButton::triggered, dialog, [list] { MoveFieldItem(list, -1); });
    QObject::connect(Down, &QToolButton::triggered, dialog, [list] { MoveFieldItem(list, 1); });
}

void TTextFileParts::ChooseFile(IUiQuestions& questions, TFileQuestion question) const {
    question.Start = File->text();
    QString path = questions.AskFile(question);
    if (!path.isEmpty()) File->setText(path);
}

template <class TOptions> void TTextFileParts::Read(TOptions& o) const {
    o.FileName = Ss(File->text());
    o.Fields = FieldListItems(Fields);
    o.Separator = Ss(Separator->currentText());
    o.Qualifier = Ss(Qualifier->currentText());
    o.SizeUnit = std::max(0, SizeUnit->currentIndex());
    o.KBText = GetMessageText("infoStrKB");
    o.MBText = GetMessageText("infoStrMB");
}

template <class TOptions> void TTextFileParts::Show(const TOptions& o) const {
    File->setText(Qs(o.FileName));
    FillFieldList(Fields, o.Fields);
    Separator->setCurrentText(Qs(o.Separator));
    Qualifier->setCurrentText(Qs(o.Qualifier));
    SizeUnit->setCurrentIndex(std::clamp(o.SizeUnit, 0, 2));
}

template void TTextFileParts::Read(TExportOptions&) const;
template void TTextFileParts::Read(TImportOptions&) const;
template void TTextFileParts::Show(const TExportOptions&) const;
template void TTextFileParts::Show(const TImportOptions&) const;

TfrmExport::TfrmExport(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmExport"), store, parent) {
    setWindowTitle(QStringLiteral("Export"));
    auto* top = new QVBoxLayout(this);
    parts_ =
        BuildTextFileParts(this, top, "&Export filename:", QStyle::SP_DialogSaveButton, "lbFields");
    QWidget* opts = parts_.Options;
    cbFolders = DlgCheck(opts, "cbFolders", "E&xport Folders as line");
    cbFldProp = DlgCheck(opts, "cbFldProp", "Show &Total Properties");
    cbOnlyFld = DlgCheck(opts, "cbOnlyFld", "Only Fol&ders");
    cbLev = DlgCheck(opts, "cbLev", "&Level:");
    seLev = new QSpinBox(opts);
    seLev->setObjectName(QStringLiteral("seLev"));
    seLev->setRange(1, 999);
    seLev->setValue(1);
    cbIndent = DlgCheck(opts, "cbIndent", "&Indent subitems");
    cbArch = DlgCheck(opts, "cbArch", "&Archives contents");
    QGridLayout* ol = parts_.OptionsGrid;
    int row = parts_.AddOptionRows();
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
    parts_.AddPages(top, row);

    QDialogButtonBox* box = MakeButtons(false);
    OKBtn = box->findChild<QPushButton*>(QStringLiteral("OKBtn"));
    top->addWidget(box);
    resize(420, 400);

    parts_.Connect(this, OKBtn, [this] { btnBrowseClick(); });
    connect(cbFolders, &QCheckBox::toggled, this, &TfrmExport::cbFoldersClick);
    connect(cbLev, &QCheckBox::toggled, seLev, &QWidget::setEnabled);
    SetOptions(TExportOptions());
}

TExportOptions TfrmExport::Options() const {
    TExportOptions o;
    parts_.Read(o);
    o.LevelsUse = cbLev->isChecked();
    o.Levels = seLev->value();
    o.Archives = cbArch->isChecked();
    o.Folders = cbFolders->isChecked();
    o.FoldersOnly = cbOnlyFld->isChecked();
    o.FolderTotals = cbFldProp->isChecked();
    o.Indent = cbIndent->isChecked();
    return o;
}

void TfrmExport::SetOptions(const TExportOptions& o) {
    parts_.Show(o);
    cbLev->setChecked(o.LevelsUse);
    seLev->setValue(std::clamp(o.Levels, 1, 999));
    cbArch->setChecked(o.Archives);
    cbFolders->setChecked(o.Folders);
    cbOnlyFld->setChecked(o.FoldersOnly);
    cbFldProp->setChecked(o.FolderTotals);
    cbIndent->setChecked(o.Indent);
    cbFoldersClick();
    seLev->setEnabled(cbLev->isChecked());
    OKBtn->setEnabled(!parts_.File->text().isEmpty());
}

void TfrmExport::cbFoldersClick() {
    cbFldProp->setEnabled(cbFolders->isChecked());
    cbOnlyFld->setEnabled(cbFolders->isChecked());
}

void TfrmExport::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        parts_.Pages->setCurrentIndex(0);
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
    q.Filter = AllFilesFilter();
    q.DefaultSuffix = QString::fromLatin1(TExportOptions::kDefaultExtension);
    q.Save = true;
    q.Over = this;
    parts_.ChooseFile(Questions(), q);
}

void TfrmExport::accept() {
    if (parts_.File->text().isEmpty()) return;
    // Writing the text over the open catalog would destroy the catalog.
    if (!catalogFile_.empty()) {
        QFileInfo target(parts_.File->text()), catalog(Qs(catalogFile_));
        bool same = target.exists() && catalog.exists()
                        ? target.canonicalFilePath() == catalog.canonicalFilePath()
                        : target.absoluteFilePath() == catalog.absoluteFilePath();
        if (same) {
            Questions().ShowError("errWrite", Ss(parts_.File->text()));
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
