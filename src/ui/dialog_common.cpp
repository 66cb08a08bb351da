#include "ui/dialog_common.h"

#include "settings/message_table.h"
#include "settings/settings_helpers.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "ui/multi_lang.h"
#include "ui/ui_questions.h"

#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

TDialogHelpFn& HelpHandler() {
    static TDialogHelpFn fn;
    return fn;
}

// A stored rectangle that no screen shows any more would put the window out of reach.
bool OnSomeScreen(const QRect& r) {
    for (QScreen* s : QGuiApplication::screens())
        if (s->availableGeometry().intersects(r)) return true;
    return false;
}

} // namespace

QString DlgMessage(std::string_view key, std::string_view arg) {
    return Qs(GetMessageText(key, arg));
}

QString DlgErrorText(const std::exception& e) {
    if (auto* m = dynamic_cast<const EMessageError*>(&e)) return DlgMessage(m->Key, m->Arg);
    return QString::fromLocal8Bit(e.what());
}

void DlgShowError(QWidget* parent, const std::exception& e) {
    ShowMessage(parent, QMessageBox::Critical, parent ? parent->windowTitle() : QString(),
                DlgErrorText(e));
}

QLabel* DlgLabel(QWidget* parent, const char* name, const char* text, QWidget* buddy) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QLatin1String(name));
    l->setBuddy(buddy);
    return l;
}

void DlgGridField(QGridLayout* grid, int row, int column, const char* name, const char* text,
                  QWidget* field) {
    grid->addWidget(DlgLabel(grid->parentWidget(), name, text, field), row, column);
    grid->addWidget(field, row, column + 1);
}

QLineEdit* DlgEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QComboBox* DlgTextCombo(QWidget* parent, const char* name) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QComboBox* DlgSizeUnits(QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QStringLiteral("cbK"));
    c->addItems({QStringLiteral("Bytes"), QStringLiteral("KB"), QStringLiteral("MB")});
    MarkTranslated(c);
    return c;
}

QCheckBox* DlgCheck(QWidget* parent, const char* name, const char* text) {
    auto* c = new QCheckBox(QString::fromUtf8(text), parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QVBoxLayout* DlgColumn(QWidget* panel, const char* name, int spacing) {
    panel->setObjectName(QLatin1String(name));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    if (spacing >= 0) column->setSpacing(spacing);
    return column;
}

QPushButton* DlgButton(QWidget* parent, const char* name, const char* text, const char* hint) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QLatin1String(name));
    if (hint) b->setToolTip(QString::fromUtf8(hint));
    b->setAutoDefault(false);
    MarkTranslated(b);
    return b;
}

QToolButton* DlgTool(QWidget* parent, const char* name, const char* hint) {
    auto* a = new QAction(QString::fromUtf8(hint), parent);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(QString::fromUtf8(hint));
    a->setProperty("tamblixHint", true);
    auto* b = new QToolButton(parent);
    b->setDefaultAction(a);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

void DlgToolRow(QBoxLayout* box, std::initializer_list<QToolButton*> tools) {
    auto* bar = new QHBoxLayout;
    for (QToolButton* t : tools)
        bar->addWidget(t);
    bar->addStretch();
    box->addLayout(bar);
}

QTableWidget* DlgPairTable(QWidget* parent, const char* name, const char* first, const char* second,
                           int firstWidth) {
    auto* t = new QTableWidget(0, 2, parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels({QLatin1String(first), QLatin1String(second)});
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
    t->setColumnWidth(0, firstWidth);
    return t;
}

QString DlgHintText(const QToolButton* tool) {
    QString text = tool->defaultAction() ? tool->defaultAction()->text() : tool->text();
    qsizetype bracket = text.lastIndexOf(QStringLiteral(" ("));
    if (bracket > 0 && text.endsWith(QLatin1Char(')'))) text.truncate(bracket);
    return text;
}

void SetDialogHelpHandler(TDialogHelpFn fn) {
    HelpHandler() = std::move(fn);
}

const TDialogHelpFn& DialogHelpHandler() {
    return HelpHandler();
}

void DlgRestorePlacement(QWidget* w, const ISettingsStore& store) {
    TPlacement p;
    if (!LoadPlacement(store, PlacementKey(Ss(w->objectName())), p)) return;
    QRect r(p.Left, p.Top, p.Width, p.Height);
    if (OnSomeScreen(r))
        w->setGeometry(r);
    else
        w->resize(r.size());
    // A dialog is never shown minimised; maximised it may be.
    if (p.State == TWindowState::Maximized)
        w->setWindowState(w->windowState() | Qt::WindowMaximized);
}

void DlgSavePlacement(const QWidget* w, ISettingsStore& store) {
    QRect r = w->isMaximized() ? w->normalGeometry() : w->geometry();
    if (!r.isValid()) return;
    TPlacement p;
    p.Left = r.left();
    p.Top = r.top();
    p.Width = r.width();
    p.Height = r.height();
    p.State = w->isMaximized() ? TWindowState::Maximized : TWindowState::Normal;
    SavePlacement(store, PlacementKey(Ss(w->objectName())), p);
}

TPlacedDialog::TPlacedDialog(const QString& name, ISettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {
    setObjectName(name);
    setSizeGripEnabled(true);
}

TPlacedDialog::~TPlacedDialog() = default;

IUiQuestions& TPlacedDialog::Questions() {
    if (!questions_) {
        ownQuestions_ = std::make_unique<TUiQuestions>(this);
        questions_ = ownQuestions_.get();
    }
    return *questions_;
}

void TPlacedDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (auto* help = findChild<QPushButton*>(QStringLiteral("HelpBtn")))
        help->setVisible(static_cast<bool>(DialogHelpHandler()));
    // The language may have changed since the dialog was made.
    SetButtonTexts();
    if (!placed_) {
        placed_ = true;
        DlgRestorePlacement(this, store_);
    }
}

void TPlacedDialog::done(int r) {
    if (isVisible()) DlgSavePlacement(this, store_);
    placed_ = false;
    QDialog::done(r);
}

void TPlacedDialog::SetButtonTexts() {
    for (auto [name, key] : {std::pair{"OKBtn", "btnOK"}, std::pair{"CancelBtn", "btnCancel"},
                             std::pair{"HelpBtn", "btnHelp"}})
        if (auto* b = findChild<QPushButton*>(QLatin1String(name))) b->setText(MsgText(key));
}

QDialogButtonBox* TPlacedDialog::MakeButtons(bool withHelp) {
    auto* box = new QDialogButtonBox(this);
    box->setObjectName(QStringLiteral("btnBar"));
    auto* ok = box->addButton(MsgText("btnOK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    auto* cancel = box->addButton(MsgText("btnCancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    if (withHelp) {
        auto* help = box->addButton(MsgText("btnHelp"), QDialogButtonBox::HelpRole);
        help->setObjectName(QStringLiteral("HelpBtn"));
        help->setVisible(static_cast<bool>(DialogHelpHandler()));
        connect(help, &QPushButton::clicked, this, [this] {
            if (DialogHelpHandler()) DialogHelpHandler()(this);
        });
    }
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    return box;
}
