#pragma once

#include <string>

enum class TAnswer { Yes, No, Ok, Cancel };

enum class TButtons { YesNo, YesNoCancel, OkCancel };

// The questions an operation may ask; the caller answers them (a message box,
// a terminal prompt, or a fixed answer in tests). `text` is already filled in.
class IQuestions {
public:
    virtual ~IQuestions() = default;
    virtual TAnswer Ask(const std::string& key, const std::string& text, TButtons buttons) = 0;
    // Shows an error the user must acknowledge (for example "errFNF").
    virtual void ShowError(const std::string& text) = 0;
    // Save As: asks for a path; an empty result means cancelled.
    virtual std::string AskSavePath(const std::string& suggested) = 0;
};
