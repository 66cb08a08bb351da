#include "cli/cli_progress.h"

#include "settings/message_table.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t gStop = 0;
void OnInterrupt(int) {
    gStop = 1;
}
} // namespace

TCliProgress::TCliProgress() : tty_(::isatty(2) != 0) {
    gStop = 0;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

TCliProgress::~TCliProgress() {
    Flush();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool TCliProgress::StopRequested() const {
    return gStop != 0;
}

void TCliProgress::Redraw(const std::string& text) {
    if (!text.empty()) text_ = text;
    if (!tty_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    std::string line = std::to_string(steps_) + " entries, " + std::to_string(position_) + " bytes";
    if (total_ > 0) {
        line += " of ";
        line += std::to_string(total_);
    }
    line += "  ";
    line += text_;
    if (line.size() > 120) {
        line.resize(117);
        line.append(3, '.');
    }
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
}

void TCliProgress::BeginProgress(const std::string& text, int64_t total) {
    total_ = total;
    position_ = 0;
    steps_ = 0;
    Redraw(text);
}

void TCliProgress::StepProgress(const std::string& text, int64_t position) {
    ++steps_;
    if (position != 0) position_ = position;
    Redraw(text);
}

void TCliProgress::EndProgress(const std::string& text) {
    Flush();
    if (tty_) std::fprintf(stderr, "\r\033[K");
    if (!text.empty() && !Quiet) std::fprintf(stderr, "%s\n", text.c_str());
}

void TCliProgress::ShowStatus(const std::string& text, const std::string& logText, bool log) {
    if (log)
        LogMessage(logText.empty() ? text : logText);
    else
        Redraw(text);
}

void TCliProgress::LogMessage(const std::string& text) {
    if (!BufferLog || tty_) {
        if (tty_) std::fprintf(stderr, "\r\033[K");
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    // A scan may log a line for most of its files: one write per line would
    // cost more than the line. Lines still reach a log file as they come, in bursts.
    pending_ += text;
    pending_ += '\n';
    const auto now = std::chrono::steady_clock::now();
    if (pending_.size() >= kFlushBytes || now - lastFlush_ >= std::chrono::milliseconds(200))
        Flush();
}

void TCliProgress::Flush() {
    lastFlush_ = std::chrono::steady_clock::now();
    if (pending_.empty()) return;
    std::fwrite(pending_.data(), 1, pending_.size(), stderr);
    std::fflush(stderr);
    pending_.clear();
}

bool TCliQuestions::Interactive() {
    return ::isatty(0) && ::isatty(2);
}

TAnswer TCliQuestions::Ask(const std::string& key, const std::string& arg, TButtons buttons) {
    if (!Interactive()) return unattended_;
    const char* choices = buttons == TButtons::YesNoCancel ? " [y/n/c] "
                          : buttons == TButtons::YesNo     ? " [y/n] "
                                                           : " [ok/cancel] ";
    // An empty key: the text was put together by the caller.
    std::cerr << (key.empty() ? arg : GetMessageText(key, arg)) << choices << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return TAnswer::Cancel;
    char c =
        line.empty() ? 'c' : static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    if (buttons == TButtons::OkCancel) return c == 'o' || c == 'y' ? TAnswer::Ok : TAnswer::Cancel;
    if (c == 'y') return TAnswer::Yes;
    if (c == 'n') return TAnswer::No;
    return buttons == TButtons::YesNo ? TAnswer::No : TAnswer::Cancel;
}

void TCliQuestions::ShowError(const std::string& key, const std::string& arg) {
    std::cerr << "tamblix-cli: " << GetMessageText(key, arg) << "\n";
}
