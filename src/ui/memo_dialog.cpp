#include "ui/memo_dialog.h"

#include "catalog/lib_records.h"
#include "files/shell_services.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

TfrmMemo::TfrmMemo(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmMemo"), store, parent) {
    setWindowTitle(QStringLiteral("Memo"));
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    edCaption_ = DlgEdit(this, "edCaption");
    cbpic_ = new QComboBox(this);
    cbpic_->setObjectName(QStringLiteral("cbpic"));
    cbpic_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    edUrl_ = DlgEdit(this, "ed_url");
    tbStart_ = DlgTool(this, "tbStart", "Start (F4)");
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("memo"));

    grid->addWidget(DlgLabel(this, "lblCaption", "&Caption:", edCaption_), 0, 0);
    grid->addWidget(edCaption_, 0, 1);
    grid->addWidget(cbpic_, 0, 2);
    grid->addWidget(DlgLabel(this, "lblUrl", "URL:", edUrl_), 1, 0);
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(edUrl_);
    urlRow->addWidget(tbStart_);
    grid->addLayout(urlRow, 1, 1, 1, 2);
    grid->addWidget(DlgLabel(this, "lblNotes", "Notes:", memo_), 2, 0, Qt::AlignTop);
    grid->addWidget(memo_, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    top->addLayout(grid);
    top->addWidget(MakeButtons(false));
    resize(460, 320);
    SetImages({});

    connect(tbStart_, &QToolButton::triggered, this, &TfrmMemo::tbStartClick);
    DlgKey(this, Qt::Key_F4, &TfrmMemo::tbStartClick);
}

void TfrmMemo::SetImages(const QList<QIcon>& images) {
    int keep = ImageIndex();
    cbpic_->clear();
    cbpic_->addItem(QString(), -1);
    for (int i = 0; i < images.size(); ++i)
        cbpic_->addItem(images[i], QString::number(i), i);
    SetImageIndex(keep);
}

int TfrmMemo::ImageIndex() const {
    return cbpic_->currentIndex() > 0 ? cbpic_->currentData().toInt() : -1;
}

void TfrmMemo::SetImageIndex(int index) {
    // An index the image list does not have shows as no picture but is kept.
    int pos = cbpic_->findData(index);
    if (pos < 0 && index >= 0) {
        cbpic_->addItem(QString::number(index), index);
        pos = cbpic_->count() - 1;
    }
    cbpic_->setCurrentIndex(pos < 0 ? 0 : pos);
}

void TfrmMemo::Reset() {
    edCaption_->clear();
    edUrl_->clear();
    memo_->clear();
    SetImageIndex(-1);
}

void TfrmMemo::LoadFrom(const TLibColItem& item) {
    edCaption_->setText(Qs(item.Caption));
    edUrl_->setText(Qs(item.URL));
    memo_->setPlainText(Qs(item.MemoText));
    SetImageIndex(item.ImageIndex);
}

void TfrmMemo::StoreTo(TLibColItem& item) const {
    item.Caption = Ss(edCaption_->text());
    item.URL = Ss(edUrl_->text());
    item.MemoText = Ss(memo_->toPlainText());
    item.ImageIndex = ImageIndex();
}

void TfrmMemo::tbStartClick() {
    QString url = edUrl_->text().trimmed();
    if (!url.isEmpty()) OpenURL(Ss(url));
}

bool TfrmMemo::EditItem(QWidget* parent, ISettingsStore& store, TLibColItem& item,
                        const QList<QIcon>& images) {
    TfrmMemo dlg(store, parent);
    dlg.SetImages(images);
    dlg.LoadFrom(item);
    if (dlg.exec() != QDialog::Accepted) return false;
    dlg.StoreTo(item);
    return true;
}
