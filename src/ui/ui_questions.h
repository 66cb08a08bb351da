#pragma once

#include "settings/questions.h"

#include <QtCore/QString>
#include <QtWidgets/QMessageBox>
#include <string>

class QDialogButtonBox;
class QWidget;

QString QStr(std::string_view s);
std::string StdStr(const QString& s);
// The message table's display text of `key` with `arg` filled in.
QString MsgText(std::string_view key, std::string_view arg = {});

// Standard buttons speak the chosen language through the message table
// ("btnYes", "btnCancel"...), whether or not Qt's own translations are there.
QString StandardButtonText(QMessageBox::StandardButton button);
void TranslateButtons(QMessageBox& box);
void TranslateButtons(QDialogButtonBox& box);
// A message box with translated buttons; the button chosen.
QMessageBox::StandardButton
ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton initial = QMessageBox::NoButton);

// A file dialog's filter: the files of one kind (a message key and its
// patterns, "*.TXC *.txc"), then all files.
QString FileFilter(std::string_view key, const char* patterns);
QString AllFilesFilter();

// A file to pick with a file dialog.
struct TFileQuestion {
    QString Title;
    QString Start;         // the file or folder the dialog opens at
    QString Filter;        // name filters, ";;" between them
    QString DefaultSuffix; // added to a name typed without one
    bool Save = false;
    QWidget* Over = nullptr; // the window the dialog sits over; the main window when null
};

// The questions of the desktop program's windows: those of the core, the
// files to open or write, and the texts that are not message keys. Windows
// take it from whoever creates them, so tests can answer in their place.
class IUiQuestions : public IQuestions {
public:
    // The file picked; empty when cancelled.
    virtual QString AskFile(const TFileQuestion& question) = 0;
    // A catalog file to open; empty when cancelled.
    virtual std::string AskOpenPath(const QString& title) = 0;
    // An error text that is not a message key (exceptions from elsewhere).
    virtual void ShowErrorText(const QString& text) = 0;
    virtual void ShowInfo(const QString& text) = 0;
};

// The desktop program's answers: message boxes and file dialogs.
class TUiQuestions : public IUiQuestions {
public:
    explicit TUiQuestions(QWidget* parent) : parent_(parent) {}

    TAnswer Ask(const std::string& key, const std::string& arg, TButtons buttons) override;
    void ShowError(const std::string& key, const std::string& arg) override;
    std::string AskSavePath(const std::string& suggested) override;
    std::string AskOpenPath(const QString& title) override;
    QString AskFile(const TFileQuestion& question) override;
    void ShowErrorText(const QString& text) override;
    void ShowInfo(const QString& text) override;

    static QString CatalogFilter();

private:
    QWidget* parent_;
};
