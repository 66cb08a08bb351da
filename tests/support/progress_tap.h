#pragma once

#include "settings/progress_state.h"

#include <functional>
#include <string>
#include <utility>

// Passes what a progress state shows on to its sink (the window) and runs
// `act` at the operation's Nth progress move or status text: a point of the
// operation that does not depend on how fast the machine is. The state gets
// its old sink back when the tap ends.
//   TProgressTap tap(w->GD().Progress, *w, 20, [&] { w->miVStopProcessClick(); });
//   w->tbAddClick();
class TProgressTap : public IProgressSink {
public:
    TProgressTap(TProgressState& state, IProgressSink& next, int at, std::function<void()> act)
        : state_(state), next_(next), at_(at), act_(std::move(act)) {
        state_.SetSink(this);
    }
    ~TProgressTap() override { state_.SetSink(&next_); }
    TProgressTap(const TProgressTap&) = delete;
    TProgressTap& operator=(const TProgressTap&) = delete;

    void ProgressStarted(const std::string& label, int64_t maximum) override {
        next_.ProgressStarted(label, maximum);
    }
    void ProgressMoved(int64_t position) override {
        next_.ProgressMoved(position);
        Count();
    }
    void ScanCounts(int64_t entries, int64_t bytes) override { next_.ScanCounts(entries, bytes); }
    void ProgressEnded() override { next_.ProgressEnded(); }
    void StatusText(const std::string& text) override {
        next_.StatusText(text);
        Count();
    }
    void LogLine(const std::string& text) override { next_.LogLine(text); }
    void IdleChanged(bool idle) override { next_.IdleChanged(idle); }
    void Beep() override { next_.Beep(); }
    void ProcessEvents() override { next_.ProcessEvents(); }

    // Moves and status texts seen so far.
    int Seen() const { return seen_; }

private:
    void Count() {
        if (++seen_ == at_ && act_) act_();
    }

    TProgressState& state_;
    IProgressSink& next_;
    int at_;
    std::function<void()> act_;
    int seen_ = 0;
};
