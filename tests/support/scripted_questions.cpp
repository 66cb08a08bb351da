#include "support/scripted_questions.h"

TAnswer TScriptedQuestions::Ask(const std::string& key, const std::string& arg, TButtons buttons) {
    Asked.push_back({key, arg, buttons});
    TAnswer a = TAnswer::Yes;
    if (!Answers.empty()) {
        a = Answers.front();
        Answers.pop_front();
    }
    // Yes and Ok stand for each other, so a queue need not know the buttons.
    if (a == TAnswer::Yes && buttons == TButtons::OkCancel) a = TAnswer::Ok;
    if (a == TAnswer::Ok && buttons != TButtons::OkCancel) a = TAnswer::Yes;
    return a;
}

void TScriptedQuestions::ShowError(const std::string& key, const std::string& arg) {
    ShowErrorText(key.empty() ? QStr(arg) : MsgText(key, arg));
}

std::string TScriptedQuestions::AskSavePath(const std::string&) {
    return NextPath();
}

std::string TScriptedQuestions::AskOpenPath(const QString&) {
    return NextPath();
}

QString TScriptedQuestions::AskFile(const TFileQuestion&) {
    return QStr(NextPath());
}

void TScriptedQuestions::ShowErrorText(const QString& text) {
    Errors << text;
}

void TScriptedQuestions::ShowInfo(const QString& text) {
    Errors << text;
}

void TScriptedQuestions::Clear() {
    Asked.clear();
    Answers.clear();
    Errors.clear();
    Paths.clear();
    AskedForPath = false;
}

std::string TScriptedQuestions::NextPath() {
    AskedForPath = true;
    if (Paths.empty()) return {};
    std::string p = Paths.front();
    Paths.pop_front();
    return p;
}
