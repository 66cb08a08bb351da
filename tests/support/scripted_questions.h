#pragma once

#include "ui/ui_questions.h"

#include <QtCore/QStringList>
#include <deque>
#include <string>
#include <vector>

// Questions answered from queues instead of message boxes and file dialogs,
// for a window under test (TfrmMain::SetQuestions, TPlacedDialog::SetQuestions).
//   TScriptedQuestions q;
//   q.Answers = {TAnswer::No};        // the next question is answered No
//   q.Paths = {"/tmp/x/a.TXC"};       // the next file dialog picks this file
//   window.SetQuestions(q);
class TScriptedQuestions : public IUiQuestions {
public:
    struct TAsked {
        std::string Key;
        std::string Arg;
        TButtons Buttons = TButtons::YesNo;
    };

    TAnswer Ask(const std::string& key, const std::string& arg, TButtons buttons) override;
    void ShowError(const std::string& key, const std::string& arg) override;
    std::string AskSavePath(const std::string& suggested) override;
    std::string AskOpenPath(const QString& title) override;
    QString AskFile(const TFileQuestion& question) override;
    void ShowErrorText(const QString& text) override;
    void ShowInfo(const QString& text) override;

    // Forgets what was asked and the queued answers.
    void Clear();

    std::vector<TAsked> Asked;     // every question, in order
    std::deque<TAnswer> Answers;   // answers to give in order; Yes (Ok) once empty
    QStringList Errors;            // every error and notice shown, as display text
    std::deque<std::string> Paths; // file-dialog answers in order; cancel once empty
    bool AskedForPath = false;

private:
    std::string NextPath();
};
