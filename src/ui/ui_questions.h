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

// The questions of the desktop program's windows: those of the core, and
// the catalog file to open and the texts that are not message keys.
class IUiQuestions : public IQuestions {
public:
    // A catalog file to open; empty when cancelled.
    virtual std::string AskOpenPath(const QString& title) = 0;
    // An error text that is not a message key (exceptions from elsewhere).
    virtual void ShowErrorText(const QString& text) = 0;
    virtual void ShowInfo(const QString& text) = 0;
};

// The desktop program's answers: message boxes and file dialogs. Tests set
// the hooks to answer without a window.
class TUiQuestions : public IUiQuestions {
public:
    explicit TUiQuestions(QWidget* parent) : parent_(parent) {}

    TAnswer Ask(const std::string& key, const std::string& arg, TButtons buttons) override;
    void ShowError(const std::string& key, const std::string& arg) override;
    std::string AskSavePath(const std::string& suggested) override;
    std::string AskOpenPath(const QString& title) override;
    void ShowErrorText(const QString& text) override;
    void ShowInfo(const QString& text) override;

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
