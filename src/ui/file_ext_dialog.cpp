#include "ui/file_ext_dialog.h"

#include "files/file_utils.h"
#include "handlers/handlers.h"
#include "text/message_error.h"
#include "ui/ui_questions.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

TfrmFileExtProp::TfrmFileExtProp(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmFileExtProp"), store, parent) {
    auto* top = new QVBoxLayout(this);
    tbAdd_ = DlgTool(this, "tbAdd", "Add (F3)");
    tbDel_ = DlgTool(this, "tbDel", "Delete (F4)");
    DlgToolRow(top, {tbAdd_, tbDel_});
    lbExt_ = new QListWidget(this);
    lbExt_->setObjectName(QStringLiteral("lbExt"));
    top->addWidget(lbExt_);
    top->addWidget(MakeButtons(false));
    resize(300, 320);

    connect(tbAdd_, &QToolButton::triggered, this, &TfrmFileExtProp::tbAddClick);
    connect(tbDel_, &QToolButton::triggered, this, &TfrmFileExtProp::DeleteSelected);
    DlgKey(this, Qt::Key_F3, &TfrmFileExtProp::tbAddClick);
    DlgKey(this, Qt::Key_F4, &TfrmFileExtProp::DeleteSelected);
}

void TfrmFileExtProp::SetExtensions(const std::vector<std::string>& extensions) {
    list_.Clear();
    for (const auto& e : extensions) {
        std::string n = NormalizeExtension(e);
        if (!n.empty()) list_.Add(n);
    }
    Refill(0);
}

void TfrmFileExtProp::Refill(int select) {
    lbExt_->clear();
    for (const auto& e : list_.Lines())
        lbExt_->addItem(Qs(e));
    if (lbExt_->count() > 0) lbExt_->setCurrentRow(std::clamp(select, 0, lbExt_->count() - 1));
}

void TfrmFileExtProp::CheckAgainst(const THandlerList* table, const std::string& title) {
    table_ = table;
    title_ = title;
}

QString TfrmFileExtProp::AddExtension(const QString& text) {
    std::string n = NormalizeExtension(Ss(text));
    if (n.empty()) return {};
    if (table_) {
        THandler row;
        row.Title = title_;
        try {
            n = table_->CheckExtension(Ss(text), row);
        } catch (const EMessageError& e) {
            return DlgErrorText(e);
        }
    } else if (n.size() < 2) {
        return {}; // "." alone names no extension
    }
    list_.Add(n);
    Refill(list_.IndexOf(n));
    return {};
}

void TfrmFileExtProp::DeleteSelected() {
    int row = lbExt_->currentRow();
    // A handler always keeps one extension.
    if (row < 0 || list_.Count() <= 1) return;
    list_.Delete(row);
    Refill(row);
}

void TfrmFileExtProp::tbAddClick() {
    bool ok = false;
    QString text =
        QInputDialog::getText(this, windowTitle(), windowTitle(), QLineEdit::Normal, {}, &ok);
    if (!ok) return;
    QString refused = AddExtension(text);
    if (!refused.isEmpty()) ShowMessage(this, QMessageBox::Warning, windowTitle(), refused);
}

std::optional<std::vector<std::string>> TfrmFileExtProp::Edit(const THandler& handler,
                                                              const THandlerList* table) {
    setWindowTitle(Qs(handler.Description));
    CheckAgainst(table, handler.Title);
    SetExtensions(handler.Extensions.Lines());
    if (exec() != QDialog::Accepted) return std::nullopt;
    return Extensions();
}

std::optional<std::vector<std::string>> TfrmFileExtProp::EditHandler(QWidget* parent,
                                                                     ISettingsStore& store,
                                                                     const THandler& handler,
                                                                     const THandlerList* table) {
    TfrmFileExtProp dlg(store, parent);
    return dlg.Edit(handler, table);
}
