#pragma once

#include "settings/questions.h"

#include <QtCore/QString>
#include <functional>
#include <string>

class QWidget;

QString QStr(std::string_view s);
std::string StdStr(const QString& s);
// The message table's display text of `key` with `arg` filled in.
QString MsgText(std::string_view key, std::string_view arg = {});

// The desktop program's answers: message boxes and file dialogs. Tests set
// the hooks to answer without a window.
class TUiQuestions : public IQuestions {
public:
    explicit TUiQuestions(QWidget* parent) : parent_(parent) {}

    TAnswer Ask(const std::string& key, const std::string& arg, TButtons buttons) override;
    void ShowError(const std::string& key, const std::string& arg) override;
    std::string AskSavePath(const std::string& suggested) override;
    // A catalog file to open; empty when cancelled.
    std::string AskOpenPath(const QString& title);
    // An error text that is not a message key (exceptions from elsewhere).
    void ShowErrorText(const QString& text);
    void ShowInfo(const QString& text);

    static const QString& CatalogFilter();

    // key, arg, buttons -> answer.
    static inline std::function<TAnswer(const std::string&, const std::string&, TButtons)> AskHook;
    // Every error shown, as display text.
    static inline std::function<void(const QString&)> ErrorHook;
    // save?, suggested -> path ("" cancels).
    static inline std::function<std::string(bool, const std::string&)> PathHook;

private:
    QWidget* parent_;
};
