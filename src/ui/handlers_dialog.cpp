#include "ui/handlers_dialog.h"

#include "handlers/handlers.h"
#include "ui/dialog_handler_view.h"
#include "ui/multi_lang.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

TfrmHandlers::TfrmHandlers(THandlerList& handlers, ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmHandlers"), store, parent), handlers_(handlers) {
    setWindowTitle(QStringLiteral("Handlers"));
    auto* top = new QVBoxLayout(this);
    lv_ = new THandlerView(handlers, store, this);
    top->addWidget(lv_);
    QDialogButtonBox* buttons = MakeButtons(true);
    auto* defaults = buttons->addButton(QStringLiteral("&Defaults"), QDialogButtonBox::ResetRole);
    defaults->setObjectName(QStringLiteral("btnDefaults"));
    MarkTranslated(defaults);
    connect(defaults, &QPushButton::clicked, this, &TfrmHandlers::btnDefaultsClick);
    top->addWidget(buttons);
    DlgKey(this, Qt::Key_F2, [this] { lv_->EditCurrent(); });
    resize(560, 400);
}

void TfrmHandlers::btnDefaultsClick() {
    handlers_.LoadDefaultHandlers(Store());
    // Show the table as it now is rather than rows of the replaced handlers.
    lv_->LoadView();
}

bool TfrmHandlers::Execute() {
    lv_->LoadView();
    return exec() == QDialog::Accepted;
}

bool TfrmHandlers::EditHandlers(QWidget* parent, THandlerList& handlers, ISettingsStore& store) {
    TfrmHandlers dlg(handlers, store, parent);
    return dlg.Execute();
}
