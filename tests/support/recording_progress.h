#pragma once

#include "settings/progress.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Records what an operation reports and stops it at a known point, never by a clock.
//   TRecordingProgress p;
//   p.StopAfterPolls = 3;   // the fourth StopRequested() answers true
//   p.StopAtStep = 100;     // or: true once StepProgress reached position 100
//   p.OnStep = [&](int64_t pos) { ... };  // act at a step (e.g. press a Stop button)
class TRecordingProgress : public IProgress {
public:
    void BeginProgress(const std::string&, int64_t total) override {
        Total = total;
        ++Begun;
    }
    void StepProgress(const std::string&, int64_t position) override {
        ++Steps;
        if (StopAtStep >= 0 && position >= StopAtStep) stop_ = true;
        if (OnStep) OnStep(position);
    }
    void EndProgress(const std::string& text) override { Ended = text; }
    void ShowStatus(const std::string& text, const std::string& logText, bool log) override {
        Status = text;
        if (log) Logged.push_back(logText.empty() ? text : logText);
    }
    void LogMessage(const std::string& text) override { Logged.push_back(text); }
    bool StopRequested() const override {
        ++Polls;
        if (StopAfterPolls >= 0 && Polls > StopAfterPolls) stop_ = true;
        return stop_;
    }
    // Asks the running operation to stop at its next poll.
    void RequestStop() { stop_ = true; }

    int64_t Total = -1;
    int Begun = 0;
    int64_t Steps = 0;
    std::string Ended;
    std::string Status;
    std::vector<std::string> Logged;
    long StopAfterPolls = -1;
    int64_t StopAtStep = -1;
    std::function<void(int64_t)> OnStep;
    mutable long Polls = 0;

private:
    mutable bool stop_ = false;
};
