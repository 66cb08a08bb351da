#pragma once

#include "settings/progress.h"
#include "settings/questions.h"

#include <chrono>
#include <string>
#include <string_view>

// The progress line for a terminal `columns` wide: the counts, then as much
// of the text as fits, its middle given up for "..." (the end of a path
// names the file). It takes at most columns - 1 cells, so that the terminal
// never wraps it, and never splits a UTF-8 character; control bytes in the
// text are escaped.
std::string FitProgressLine(const std::string& counts, std::string_view text, size_t columns);

// Progress on stderr (only when it is a terminal) and Ctrl+C as the stop request.
class TCliProgress : public IProgress {
public:
    TCliProgress();
    ~TCliProgress() override;
    void BeginProgress(const std::string& text, int64_t total) override;
    void StepProgress(const std::string& text, int64_t position) override;
    void EndProgress(const std::string& text) override;
    void ShowStatus(const std::string& text, const std::string& logText, bool log) override;
    void LogMessage(const std::string& text) override;
    bool StopRequested() const override;

    bool Quiet = false; // no summary lines on stderr
    // Log lines are gathered and written a block at a time when stderr is
    // no terminal; Flush before writing anything else to stderr.
    bool BufferLog = false;
    void Flush();

private:
    void Redraw(const std::string& text);
    bool tty_;
    int64_t total_ = 0, position_ = 0, steps_ = 0;
    std::string text_;
    std::chrono::steady_clock::time_point lastDraw_{};
    static constexpr size_t kFlushBytes = 64 * 1024;
    std::string pending_;
    std::chrono::steady_clock::time_point lastFlush_ = std::chrono::steady_clock::now();
};

// Questions on the terminal; without one, the fixed default answer.
class TCliQuestions : public IQuestions {
public:
    explicit TCliQuestions(TAnswer unattended = TAnswer::Cancel) : unattended_(unattended) {}
    TAnswer Ask(const std::string& key, const std::string& arg, TButtons buttons) override;
    void ShowError(const std::string& key, const std::string& arg) override;
    std::string AskSavePath(const std::string& suggested) override { return suggested; }
    // Whether questions reach a person (stdin and stderr are terminals).
    static bool Interactive();

private:
    TAnswer unattended_;
};
