#include "settings/progress_state.h"

#include "settings/message_table.h"
#include "text/date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

TDateTime LocalNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    // timegm of the broken-down local time gives local seconds since 1970.
    return UnixToDateTime(static_cast<int64_t>(timegm(&tm)));
}

} // namespace

double TProgressState::Seconds() const {
    if (Clock) return Clock();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void TProgressState::BeginProgress(const std::string& text, int64_t total) {
    SetIdle(false);
    stopRequested_ = false;
    StartTime = LocalNow();
    startSeconds_ = Seconds();
    ProgressScale = 1.0;
    if (total > kBarMax) {
        BarMaximum = kBarMax;
        ProgressScale = static_cast<double>(kBarMax) / static_cast<double>(total);
    } else if (total > 0) {
        BarMaximum = total;
    }
    if (sink_) sink_->ProgressStarted(text + ": ", BarMaximum);
    ShowStatus(text, {}, true);
}

void TProgressState::StepProgress(const std::string& text, int64_t position) {
    if (position != 0 && sink_) {
        double scaled = std::round(static_cast<double>(position) * ProgressScale);
        // Positions past the total (a file grew during the scan) stop at the end.
        int64_t bar = scaled <= 0                              ? 0
                      : scaled >= static_cast<double>(kBarMax) ? kBarMax
                                                               : static_cast<int64_t>(scaled);
        if (BarMaximum > 0 && bar > BarMaximum) bar = BarMaximum;
        sink_->ProgressMoved(bar);
    }
    if (!text.empty()) ShowStatus(text, {}, false);
    if (sink_) sink_->ProcessEvents();
}

void TProgressState::EndProgress(const std::string& text) {
    BarMaximum = 0;
    if (sink_) sink_->ProgressEnded();
    ShowStatus({}, text + " " + Summary(), true);
    SetIdle(true);
}

void TProgressState::ShowStatus(const std::string& text, const std::string& logText, bool log) {
    if (sink_) sink_->StatusText(text);
    if (!log) return;
    const std::string& line = logText.empty() ? text : logText;
    if (!line.empty()) LogMessage(line);
}

void TProgressState::LogMessage(const std::string& text) {
    if (sink_) sink_->LogLine(text);
}

void TProgressState::SetIdle(bool idle) {
    idle_ = idle;
    if (idle) stopRequested_ = false;
    if (sink_) {
        sink_->IdleChanged(idle);
        if (idle && ActionEndBeep) sink_->Beep();
        sink_->ProcessEvents();
    }
}

void TProgressState::RequestStop() {
    // Only a running operation can be stopped, and only once.
    if (idle_ || stopRequested_) return;
    stopRequested_ = true;
    LogMessage(GetMessageText("msgsStopped"));
}

std::string TProgressState::FormatElapsed(double seconds) {
    if (!(seconds > 0)) seconds = 0;
    auto total = static_cast<int64_t>(std::min(seconds, 1e15));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(total / 3600),
                  static_cast<long long>(total / 60 % 60), static_cast<long long>(total % 60));
    return buf;
}

std::string TProgressState::Summary() const {
    TProgressCounts c = Counts ? Counts() : TProgressCounts{};
    std::string size = FormatSize ? FormatSize(c.Size) : std::to_string(c.Size);
    return SummaryLine(c, size, Seconds() - startSeconds_);
}

std::string TProgressState::SummaryLine(const TProgressCounts& c, const std::string& size,
                                        double seconds) {
    std::vector<std::string> args{std::to_string(c.Volumes), std::to_string(c.Folders),
                                  std::to_string(c.Files), size, FormatElapsed(seconds)};
    if (c.Members == 0) return GetMessageText("msgsInfo", args);
    args.insert(args.begin() + 3, std::to_string(c.Members));
    return GetMessageText("msgsInfoMembers", args);
}
