#include "ui/ui_questions.h"

#include "settings/message_table.h"

#include <QtCore/QFileInfo>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <utility>

QString QStr(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string StdStr(const QString& s) {
    return s.toStdString();
}

QString MsgText(std::string_view key, std::string_view arg) {
    return QStr(GetMessageText(key, arg));
}

QString StandardButtonText(QMessageBox::StandardButton button) {
    // The buttons the program shows, by their message keys.
    static const std::pair<QMessageBox::StandardButton, const char*> keys[] = {
        {QMessageBox::Ok, "btnOK"},     {QMessageBox::Cancel, "btnCancel"},
        {QMessageBox::Yes, "btnYes"},   {QMessageBox::No, "btnNo"},
        {QMessageBox::Save, "btnSave"}, {QMessageBox::Discard, "btnDiscard"},
        {QMessageBox::Help, "btnHelp"}, {QMessageBox::Close, "btnClose"},
    };
    for (const auto& [b, key] : keys)
        if (b == button) return MsgText(key);
    return {};
}

namespace {

// QMessageBox and QDialogButtonBox number their standard buttons alike.
template <class Box> void TranslateStandardButtons(Box& box) {
    for (QAbstractButton* b : box.buttons()) {
        const QString text =
            StandardButtonText(static_cast<QMessageBox::StandardButton>(box.standardButton(b)));
        if (!text.isEmpty()) b->setText(text);
    }
}

} // namespace

void TranslateButtons(QMessageBox& box) {
    TranslateStandardButtons(box);
}

void TranslateButtons(QDialogButtonBox& box) {
    TranslateStandardButtons(box);
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton initial) {
    QMessageBox box(icon, title, text, buttons, parent);
    if (initial != QMessageBox::NoButton) box.setDefaultButton(initial);
    TranslateButtons(box);
    if (box.exec() == -1) return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

namespace {

QString QuestionText(const std::string& key, const std::string& arg) {
    // An empty key carries a text put together by the caller.
    return key.empty() ? QStr(arg) : MsgText(key, arg);
}

} // namespace

TAnswer TUiQuestions::Ask(const std::string& key, const std::string& arg, TButtons buttons) {
    QMessageBox::StandardButtons b;
    QMessageBox::StandardButton initial = QMessageBox::NoButton;
    switch (buttons) {
    case TButtons::YesNo:
        b = QMessageBox::Yes | QMessageBox::No;
        break;
    case TButtons::YesNoDefaultNo:
        b = QMessageBox::Yes | QMessageBox::No;
        initial = QMessageBox::No;
        break;
    case TButtons::SaveDiscardCancel:
        b = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
        initial = QMessageBox::Save;
        break;
    case TButtons::YesNoCancel:
    case TButtons::YesNoCancelDefaultNo:
        b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case TButtons::OkCancel:
        b = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    }
    if (buttons == TButtons::YesNoCancelDefaultNo) initial = QMessageBox::No;
    auto r = ShowMessage(parent_, QMessageBox::Question, QApplication::applicationDisplayName(),
                         QuestionText(key, arg), b, initial);
    switch (r) {
    case QMessageBox::Yes:
    case QMessageBox::Save:
        return TAnswer::Yes;
    case QMessageBox::No:
    case QMessageBox::Discard:
        return TAnswer::No;
    case QMessageBox::Ok:
        return TAnswer::Ok;
    default:
        return TAnswer::Cancel;
    }
}

void TUiQuestions::ShowError(const std::string& key, const std::string& arg) {
    ShowErrorText(QuestionText(key, arg));
}

void TUiQuestions::ShowErrorText(const QString& text) {
    ShowMessage(parent_, QMessageBox::Critical, QApplication::applicationDisplayName(), text);
}

void TUiQuestions::ShowInfo(const QString& text) {
    ShowMessage(parent_, QMessageBox::Information, QApplication::applicationDisplayName(), text);
}

QString AllFilesFilter() {
    return MsgText("fltAllFiles") + QStringLiteral(" (*)");
}

QString FileFilter(std::string_view key, const char* patterns) {
    return MsgText(key) + QStringLiteral(" (") + QLatin1String(patterns) + QStringLiteral(");;") +
           AllFilesFilter();
}

QString TUiQuestions::CatalogFilter() {
    return FileFilter("fltCatalogs", "*.TXC *.txc");
}

std::string TUiQuestions::AskSavePath(const std::string& suggested) {
    QString path =
        QFileDialog::getSaveFileName(parent_, QString(), QStr(suggested), CatalogFilter(), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return {};
    // A name typed without an extension gets the catalog's.
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".TXC");
    return StdStr(path);
}

std::string TUiQuestions::AskOpenPath(const QString& title) {
    return StdStr(QFileDialog::getOpenFileName(parent_, title, QString(), CatalogFilter()));
}

QString TUiQuestions::AskFile(const TFileQuestion& question) {
    QFileDialog dlg(question.Over ? question.Over : parent_, question.Title, question.Start,
                    question.Filter);
    if (question.Save) dlg.setAcceptMode(QFileDialog::AcceptSave);
    if (!question.DefaultSuffix.isEmpty()) dlg.setDefaultSuffix(question.DefaultSuffix);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().first();
}
