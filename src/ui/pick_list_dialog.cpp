#include "ui/pick_list_dialog.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QVBoxLayout>

TfrmPickList::TfrmPickList(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmPickList"), store, parent) {
    auto* top = new QVBoxLayout(this);
    lb_ = new QListWidget(this);
    lb_->setObjectName(QStringLiteral("lbPick"));
    top->addWidget(lb_);
    top->addWidget(MakeButtons(false));
    resize(280, 360);
    // A double click ticks or clears the row, as a click on its box does.
    connect(lb_, &QListWidget::itemDoubleClicked, this, [](QListWidgetItem* item) {
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
}

void TfrmPickList::SetItems(const std::vector<std::string>& items) {
    lb_->clear();
    for (const auto& s : items) {
        auto* item = new QListWidgetItem(Qs(s), lb_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (lb_->count() > 0) lb_->setCurrentRow(0);
}

std::vector<std::string> TfrmPickList::Checked() const {
    std::vector<std::string> out;
    for (int i = 0; i < lb_->count(); ++i)
        if (lb_->item(i)->checkState() == Qt::Checked) out.push_back(Ss(lb_->item(i)->text()));
    return out;
}

void TfrmPickList::SetChecked(int row, bool checked) {
    if (QListWidgetItem* item = lb_->item(row))
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

std::optional<std::vector<std::string>> TfrmPickList::Pick(QWidget* parent, ISettingsStore& store,
                                                           const QString& caption,
                                                           const std::vector<std::string>& items) {
    TfrmPickList dlg(store, parent);
    dlg.setWindowTitle(caption);
    dlg.SetItems(items);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Checked();
}
