#pragma once

#include <string>

enum class TAnswer { Yes, No, Ok, Cancel };

// The ...DefaultNo kinds take No when the user just presses Enter, for
// questions whose Yes loses something. SaveDiscardCancel asks about unsaved
// changes: Save answers Yes, Don't Save No.
enum class TButtons {
    YesNo,
    YesNoCancel,
    OkCancel,
    YesNoCancelDefaultNo,
    YesNoDefaultNo,
    SaveDiscardCancel
};

// The questions an operation may ask; the caller answers them (a message box,
// a terminal prompt, or a fixed answer in tests). The text is the message
// table's text for `key` with `arg` filled in; an empty key means that `arg`
// is the whole text (questions put together from several messages).
class IQuestions {
public:
    virtual ~IQuestions() = default;
    virtual TAnswer Ask(const std::string& key, const std::string& arg, TButtons buttons) = 0;
    // An error the user must acknowledge (for example "errFNF").
    virtual void ShowError(const std::string& key, const std::string& arg) = 0;
    // Save As: asks for a path; an empty result means cancelled.
    virtual std::string AskSavePath(const std::string& suggested) = 0;
};

// Answers every question the same way; for tests and unattended callers.
class TFixedAnswers : public IQuestions {
public:
    explicit TFixedAnswers(TAnswer answer = TAnswer::Yes, std::string savePath = {})
        : Answer(answer), SavePath(std::move(savePath)) {}
    TAnswer Ask(const std::string&, const std::string&, TButtons buttons) override {
        if (buttons == TButtons::OkCancel && Answer == TAnswer::Yes) return TAnswer::Ok;
        return Answer;
    }
    void ShowError(const std::string&, const std::string&) override {}
    std::string AskSavePath(const std::string&) override { return SavePath; }

    TAnswer Answer;
    std::string SavePath;
};
