#include "cli/cli_progress.h"

#include "cli/cli_context.h"
#include "settings/message_table.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

// Cells a character takes on a terminal: none for combining marks, two for
// the wide scripts and most emoji, one for the rest (a stray byte shows as
// one replacement sign).
int CellsOf(char32_t c) {
    if ((c >= 0x300 && c <= 0x36F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F))
        return 0;
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
        (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
        (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
        (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
        (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD))
        return 2;
    return 1;
}

// One character of text: its bytes and its cells.
struct TGlyph {
    size_t Begin, End;
    int Cells;
};

std::vector<TGlyph> GlyphsOf(std::string_view s) {
    std::vector<TGlyph> out;
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80         ? 1
                         : (b >> 5) == 6  ? 2
                         : (b >> 4) == 14 ? 3
                         : (b >> 3) == 30 ? 4
                                          : 0;
        bool whole = n != 0 && i + n <= s.size();
        char32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
        for (size_t k = 1; whole && k < n; ++k) {
            const auto x = static_cast<unsigned char>(s[i + k]);
            whole = (x & 0xC0) == 0x80;
            c = (c << 6) | (x & 0x3F);
        }
        const size_t len = whole ? n : 1;
        out.push_back({i, i + len, whole ? CellsOf(c) : 1});
        i += len;
    }
    return out;
}

// The first glyphs of `s` that fit in `cells`.
std::string Head(std::string_view s, size_t cells) {
    size_t used = 0, end = 0;
    for (const TGlyph& g : GlyphsOf(s)) {
        if (used + static_cast<size_t>(g.Cells) > cells) break;
        used += static_cast<size_t>(g.Cells);
        end = g.End;
    }
    return std::string(s.substr(0, end));
}

size_t CellsOf(std::string_view s) {
    size_t n = 0;
    for (const TGlyph& g : GlyphsOf(s))
        n += static_cast<size_t>(g.Cells);
    return n;
}

// The terminal's width on stderr; 80 when it does not say.
size_t TerminalColumns() {
    winsize w{};
    if (::ioctl(2, TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
    return 80;
}

volatile std::sig_atomic_t gStop = 0;
void OnInterrupt(int) {
    gStop = 1;
}
} // namespace

std::string FitProgressLine(const std::string& counts, std::string_view text, size_t columns) {
    const size_t room = columns > 1 ? columns - 1 : 1;
    const std::string shown = CliField(text);
    std::string line = counts + "  " + shown;
    if (CellsOf(line) <= room) return line;
    const size_t fixed = CellsOf(counts) + 2 + 3; // the counts, the gap, "..."
    if (fixed + 8 > room) return Head(line, room);
    // A third of the room for the start of the text, the rest for its end.
    const size_t head = (room - fixed) / 3;
    size_t tail = room - fixed - head;
    const std::vector<TGlyph> glyphs = GlyphsOf(shown);
    size_t from = glyphs.size();
    while (from > 0 && static_cast<size_t>(glyphs[from - 1].Cells) <= tail) {
        tail -= static_cast<size_t>(glyphs[from - 1].Cells);
        --from;
    }
    const size_t tailBegin = from < glyphs.size() ? glyphs[from].Begin : shown.size();
    return counts + "  " + Head(shown, head) + "..." + shown.substr(tailBegin);
}

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
    std::string counts =
        std::to_string(steps_) + " entries, " + std::to_string(position_) + " bytes";
    if (total_ > 0) counts += " of " + std::to_string(total_);
    // Asked at each drawing: the window may have been resized.
    const std::string line = FitProgressLine(counts, text_, TerminalColumns());
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
    const bool defaultNo =
        buttons == TButtons::YesNoCancelDefaultNo || buttons == TButtons::YesNoDefaultNo;
    const bool twoWay = buttons == TButtons::YesNo || buttons == TButtons::YesNoDefaultNo;
    const char* choices = buttons == TButtons::OkCancel ? " [ok/cancel] "
                          : twoWay                      ? (defaultNo ? " [y/N] " : " [y/n] ")
                          : defaultNo                   ? " [y/N/c] "
                                                        : " [y/n/c] ";
    // An empty key: the text was put together by the caller.
    std::cerr << (key.empty() ? arg : GetMessageText(key, arg)) << choices << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return TAnswer::Cancel;
    char empty = defaultNo ? 'n' : 'c';
    char c =
        line.empty() ? empty : static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    if (buttons == TButtons::OkCancel) return c == 'o' || c == 'y' ? TAnswer::Ok : TAnswer::Cancel;
    if (c == 'y') return TAnswer::Yes;
    if (c == 'n') return TAnswer::No;
    return twoWay ? TAnswer::No : TAnswer::Cancel;
}

void TCliQuestions::ShowError(const std::string& key, const std::string& arg) {
    std::cerr << "tamblix-cli: " << GetMessageText(key, arg) << "\n";
}
