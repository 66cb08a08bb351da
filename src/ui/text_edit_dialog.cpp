#include "ui/text_edit_dialog.h"

#include "text/string_list.h"
#include "ui/dialog_files.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

TfrmTextEdit::TfrmTextEdit(ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmTextEdit"), store, parent) {
    auto* top = new QVBoxLayout(this);
    tbLoad_ = DlgTool(this, "tbLoad", "Load");
    tbSave_ = DlgTool(this, "tbSave", "Save");
    DlgToolRow(top, {tbLoad_, tbSave_});
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo"));
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    top->addWidget(memo_);
    // Typing goes into the list at once; Enter there is a new line, not OK.
    memo_->setFocus();
    top->addWidget(MakeButtons(true));
    resize(480, 360);
    connect(tbLoad_, &QToolButton::triggered, this, &TfrmTextEdit::tbLoadClick);
    connect(tbSave_, &QToolButton::triggered, this, &TfrmTextEdit::tbSaveClick);
}

void TfrmTextEdit::SetLines(const std::vector<std::string>& lines) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(lines.size()));
    for (const auto& l : lines)
        list << Qs(l);
    memo_->setPlainText(list.join(QLatin1Char('\n')));
}

std::vector<std::string> TfrmTextEdit::Lines() const {
    QStringList list = memo_->toPlainText().split(QLatin1Char('\n'));
    if (!list.isEmpty() && list.back().isEmpty()) list.removeLast();
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(list.size()));
    for (const QString& l : list) {
        QString line = l;
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        out.push_back(Ss(line));
    }
    return out;
}

void TfrmTextEdit::SetText(const QString& text) {
    memo_->setPlainText(text);
}

QString TfrmTextEdit::Text() const {
    return memo_->toPlainText();
}

void TfrmTextEdit::tbLoadClick() {
    if (auto lines = DlgLoadLines(this, windowTitle())) SetLines(*lines);
}

void TfrmTextEdit::tbSaveClick() {
    DlgSaveLines(this, windowTitle(), Lines());
}

std::optional<QString> TfrmTextEdit::EditText(QWidget* parent, ISettingsStore& store,
                                              const QString& caption, const QString& text) {
    TfrmTextEdit dlg(store, parent);
    dlg.setWindowTitle(caption);
    dlg.SetText(text);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Text();
}

bool TfrmTextEdit::EditList(QWidget* parent, ISettingsStore& store, const QString& caption,
                            TStringList& list) {
    TfrmTextEdit dlg(store, parent);
    dlg.setWindowTitle(caption);
    dlg.SetLines(list.Lines());
    while (dlg.exec() == QDialog::Accepted) {
        try {
            TStringList edited(list.Sorted, list.Duplicates);
            for (const auto& l : dlg.Lines())
                if (l.find_first_not_of(" \t") != std::string::npos) edited.Add(l);
            list = edited;
            return true;
        } catch (const std::exception& e) {
            DlgShowError(&dlg, e);
        }
    }
    return false;
}
