#include "ui/import_dialog.h"

#include "settings/settings_store.h"

#include <QtGui/QShowEvent>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
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
    parts_ = BuildTextFileParts(this, top, "&Import filename:", QStyle::SP_DialogOpenButton, "lb");
    // Sizes carry their unit word when they are not in bytes.
    parts_.SizeUnit->setEnabled(false);
    parts_.AddPages(top, parts_.AddOptionRows());

    QDialogButtonBox* box = MakeButtons(false);
    OKBtn = box->findChild<QPushButton*>(QStringLiteral("OKBtn"));
    top->addWidget(box);
    resize(420, 380);

    parts_.Connect(this, OKBtn, [this] { btnBrowseClick(); });
    connect(parts_.Fields, &QListWidget::itemChanged, this, [this](QListWidgetItem* it) {
        if (Required(it->text()) && it->checkState() != Qt::Checked) it->setCheckState(Qt::Checked);
    });
    SetOptions(TImportOptions());
}

void TfrmImport::ForceRequired() {
    QListWidget* lb = parts_.Fields;
    for (int i = 0; i < lb->count(); ++i)
        if (Required(lb->item(i)->text())) lb->item(i)->setCheckState(Qt::Checked);
}

TImportOptions TfrmImport::Options() const {
    TImportOptions o;
    parts_.Read(o);
    o.ForceRequired();
    return o;
}

void TfrmImport::SetOptions(const TImportOptions& o) {
    parts_.Show(o);
    ForceRequired();
    OKBtn->setEnabled(!parts_.File->text().isEmpty());
}

void TfrmImport::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        parts_.Pages->setCurrentIndex(0);
        TImportOptions o = Options();
        o.Load(Store());
        SetOptions(o);
    }
    TPlacedDialog::showEvent(e);
}

void TfrmImport::btnBrowseClick() {
    TFileQuestion q;
    q.Title = windowTitle();
    q.Over = this;
    parts_.ChooseFile(Questions(), q);
}

void TfrmImport::done(int r) {
    Options().Save(Store());
    TPlacedDialog::done(r);
}

bool TfrmImport::Run() {
    return exec() == QDialog::Accepted;
}
