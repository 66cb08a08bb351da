#include "ui/tags_dialog.h"

#include "text/message_error.h"
#include "text/string_list.h"
#include "ui/dialog_files.h"

#include <QtGui/QRegularExpressionValidator>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStyledItemDelegate>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

// A key holds no "=": the line key=caption would split elsewhere when read back.
class TKeyDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            edit->setValidator(
                new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^=]*")), edit));
        return w;
    }
};

} // namespace

TfrmTags::TfrmTags(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmTags"), store, parent) {
    setWindowTitle(QStringLiteral("Tags"));
    auto* top = new QVBoxLayout(this);
    QToolButton* add = DlgTool(this, "tbAdd", "Add");
    QToolButton* del = DlgTool(this, "tbDel", "Delete");
    QToolButton* load = DlgTool(this, "tbLoad", "Load");
    QToolButton* save = DlgTool(this, "tbSave", "Save");
    DlgToolRow(top, {add, del, load, save});
    grid_ = DlgPairTable(this, "grid", "Key", "Caption", 180);
    grid_->setItemDelegateForColumn(0, new TKeyDelegate(grid_));
    top->addWidget(grid_);
    top->addWidget(MakeButtons(false));
    resize(460, 380);
    connect(add, &QToolButton::triggered, this, &TfrmTags::tbAddClick);
    connect(del, &QToolButton::triggered, this, &TfrmTags::tbDelClick);
    connect(load, &QToolButton::triggered, this, &TfrmTags::tbLoadClick);
    connect(save, &QToolButton::triggered, this, &TfrmTags::tbSaveClick);
}

void TfrmTags::SetLines(const std::vector<std::string>& lines) {
    grid_->setRowCount(0);
    grid_->setRowCount(static_cast<int>(lines.size()));
    int row = 0;
    for (const auto& l : lines) {
        size_t eq = l.find('=');
        std::string key = eq == std::string::npos ? l : l.substr(0, eq);
        std::string caption = eq == std::string::npos ? std::string() : l.substr(eq + 1);
        grid_->setItem(row, 0, new QTableWidgetItem(Qs(key)));
        grid_->setItem(row, 1, new QTableWidgetItem(Qs(caption)));
        ++row;
    }
}

std::vector<std::string> TfrmTags::Lines() const {
    std::vector<std::string> out;
    for (int r = 0; r < grid_->rowCount(); ++r) {
        QTableWidgetItem* k = grid_->item(r, 0);
        QTableWidgetItem* c = grid_->item(r, 1);
        QString key = k ? k->text().trimmed() : QString();
        if (key.isEmpty()) continue;
        key.remove(QLatin1Char('='));
        out.push_back(Ss(key) + "=" + (c ? Ss(c->text()) : std::string()));
    }
    return out;
}

void TfrmTags::tbAddClick() {
    int row = grid_->currentRow() + 1;
    if (row <= 0) row = grid_->rowCount();
    grid_->insertRow(row);
    grid_->setItem(row, 0, new QTableWidgetItem);
    grid_->setItem(row, 1, new QTableWidgetItem);
    grid_->setCurrentCell(row, 0);
    if (isVisible()) grid_->editItem(grid_->item(row, 0));
}

void TfrmTags::tbDelClick() {
    int row = grid_->currentRow();
    if (row >= 0) grid_->removeRow(row);
}

void TfrmTags::tbLoadClick() {
    if (auto lines = DlgLoadLines(this, windowTitle())) SetLines(*lines);
}

void TfrmTags::tbSaveClick() {
    DlgSaveLines(this, windowTitle(), Lines());
}

bool TfrmTags::EditTagNames(QWidget* parent, ISettingsStore& store, TStringList& tagNames) {
    TfrmTags dlg(store, parent);
    dlg.SetLines(tagNames.Lines());
    while (dlg.exec() == QDialog::Accepted) {
        try {
            TStringList edited(tagNames.Sorted, tagNames.Duplicates);
            for (const auto& l : dlg.Lines()) {
                // Two rows of one key (ignoring case) would make the caption lookup ambiguous.
                std::string key = l.substr(0, l.find('='));
                if (edited.IndexOfName(key) >= 0) throw EMessageError("errDuplicate", key);
                edited.Add(l);
            }
            tagNames = edited;
            return true;
        } catch (const std::exception& e) {
            DlgShowError(&dlg, e);
        }
    }
    return false;
}
