#include "ui/import_dialog.h"

#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "ui/export_dialog.h"
#include "ui/ui_questions.h"

#include <QtGui/QKeySequence>
#include <QtGui/QShortcut>
#include <QtGui/QShowEvent>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

bool Required(const QString& name) {
    return name == QLatin1String("Volume") || name == QLatin1String("Path") ||
           name == QLatin1String("Name");
}

} // namespace

TfrmImport::TfrmImport(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmImport"), store, parent) {
    setWindowTitle(QStringLiteral("Import"));
    auto* top = new QVBoxLayout(this);
    TFileAndFields parts =
        BuildFileAndFields(this, top, "&Import filename:", QStyle::SP_DialogOpenButton, "lb");
    edfile = parts.File;
    btnBrowse = parts.Browse;
    pc = parts.Pages;
    lb = parts.Fields;
    btnUp = parts.Up;
    btnDown = parts.Down;

    auto* opts = new QWidget(pc);
    opts->setObjectName(QStringLiteral("tsOptions"));
    auto* ol = new QGridLayout(opts);
    cbK = new QComboBox(opts);
    cbK->setObjectName(QStringLiteral("cbK"));
    cbK->addItems({QStringLiteral("Bytes"), QStringLiteral("KB"), QStringLiteral("MB")});
    // Sizes carry their unit word when they are not in bytes.
    cbK->setEnabled(false);
    cbSep = SeparatorCombo(opts);
    cbTxtQ = QualifierCombo(opts);
    ol->addWidget(DlgLabel(opts, "lblK", "&Filesize in: ", cbK), 0, 0);
    ol->addWidget(cbK, 0, 1);
    ol->addWidget(DlgLabel(opts, "lblSep", "&Separator: ", cbSep), 1, 0);
    ol->addWidget(cbSep, 1, 1);
    ol->addWidget(DlgLabel(opts, "lblTxtQ", "Text &Qualifier:", cbTxtQ), 2, 0);
    ol->addWidget(cbTxtQ, 2, 1);
    ol->setColumnStretch(1, 1);
    ol->setRowStretch(3, 1);
    pc->addTab(opts, QStringLiteral("&Options"));
    top->addWidget(pc, 1);

    QDialogButtonBox* box = MakeButtons(false);
    OKBtn = box->findChild<QPushButton*>(QStringLiteral("OKBtn"));
    top->addWidget(box);
    resize(420, 380);

    connect(edfile, &QLineEdit::textChanged, this,
            [this](const QString& t) { OKBtn->setEnabled(!t.isEmpty()); });
    connect(btnBrowse, &QToolButton::triggered, this, &TfrmImport::btnBrowseClick);
    connect(new QShortcut(QKeySequence(Qt::Key_F4), this), &QShortcut::activated, this,
            &TfrmImport::btnBrowseClick);
    connect(btnUp, &QToolButton::triggered, this, [this] { MoveFieldItem(lb, -1); });
    connect(btnDown, &QToolButton::triggered, this, [this] { MoveFieldItem(lb, 1); });
    connect(lb, &QListWidget::itemChanged, this, [this](QListWidgetItem* it) {
        if (Required(it->text()) && it->checkState() != Qt::Checked) it->setCheckState(Qt::Checked);
    });
    SetOptions(TImportOptions());
}

void TfrmImport::ForceRequired() {
    for (int i = 0; i < lb->count(); ++i)
        if (Required(lb->item(i)->text())) lb->item(i)->setCheckState(Qt::Checked);
}

TImportOptions TfrmImport::Options() const {
    TImportOptions o;
    o.FileName = Ss(edfile->text());
    o.Fields = FieldListItems(lb);
    o.Separator = Ss(cbSep->currentText());
    o.Qualifier = Ss(cbTxtQ->currentText());
    o.SizeUnit = std::max(0, cbK->currentIndex());
    o.KBText = GetMessageText("infoStrKB");
    o.MBText = GetMessageText("infoStrMB");
    o.ForceRequired();
    return o;
}

void TfrmImport::SetOptions(const TImportOptions& o) {
    edfile->setText(Qs(o.FileName));
    FillFieldList(lb, o.Fields);
    cbSep->setCurrentText(Qs(o.Separator));
    cbTxtQ->setCurrentText(Qs(o.Qualifier));
    cbK->setCurrentIndex(std::clamp(o.SizeUnit, 0, 2));
    ForceRequired();
    OKBtn->setEnabled(!edfile->text().isEmpty());
}

void TfrmImport::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        pc->setCurrentIndex(0);
        TImportOptions o = Options();
        o.Load(Store());
        SetOptions(o);
    }
    TPlacedDialog::showEvent(e);
}

void TfrmImport::btnBrowseClick() {
    TFileQuestion q;
    q.Title = windowTitle();
    q.Start = edfile->text();
    q.Over = this;
    QString path = Questions().AskFile(q);
    if (!path.isEmpty()) edfile->setText(path);
}

void TfrmImport::done(int r) {
    Options().Save(Store());
    TPlacedDialog::done(r);
}

bool TfrmImport::Run() {
    return exec() == QDialog::Accepted;
}
