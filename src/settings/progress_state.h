#pragma once

#include "settings/progress.h"

#include <cstdint>
#include <functional>
#include <string>

// What a progress display shows. The desktop program implements it with its
// progress panel, status bar and message pane; the command line with stderr.
class IProgressSink {
public:
    virtual ~IProgressSink() = default;
    // A long operation starts: `label` is its text + ": "; `maximum` is the bar's
    // maximum (0 while the total is unknown).
    virtual void ProgressStarted(const std::string& label, int64_t maximum) = 0;
    // The bar's position, already scaled to the bar (0..maximum).
    virtual void ProgressMoved(int64_t position) = 0;
    // A scan's running totals (see IProgress::ScanCounts).
    virtual void ScanCounts(int64_t entries, int64_t bytes) {
        (void)entries;
        (void)bytes;
    }
    // The operation ended: hide the progress panel, refresh the status panels.
    virtual void ProgressEnded() = 0;
    virtual void StatusText(const std::string& text) = 0;
    virtual void LogLine(const std::string& text) = 0;
    // Commands are enabled only while idle (Stop only while busy).
    virtual void IdleChanged(bool idle) = 0;
    // The end-of-operation signal, when the user wants one.
    virtual void Beep() {}
    // Lets window events run during a long operation.
    virtual void ProcessEvents() {}
};

// What the summary line at the end of an operation counts.
struct TProgressCounts {
    int64_t Volumes = 0;
    int64_t Folders = 0;
    int64_t Files = 0;
    int64_t Size = 0;
    int64_t Members = 0; // entries listed inside archives
};

// The progress and busy/idle state every long operation shares. It scales
// totals beyond the bar's range, times the operation and writes the
// "msgsInfo" summary line when it ends.
class TProgressState : public IProgress {
public:
    static constexpr int64_t kBarMax = 2147483647;

    explicit TProgressState(IProgressSink* sink = nullptr) : sink_(sink) {}

    void SetSink(IProgressSink* sink) { sink_ = sink; }

    void BeginProgress(const std::string& text, int64_t total) override;
    void StepProgress(const std::string& text, int64_t position) override;
    void EndProgress(const std::string& text) override;
    void ScanCounts(int64_t entries, int64_t bytes) override {
        if (sink_) sink_->ScanCounts(entries, bytes);
    }
    void ShowStatus(const std::string& text, const std::string& logText, bool log) override;
    void LogMessage(const std::string& text) override;
    bool StopRequested() const override { return stopRequested_; }

    // Busy (false) while a long operation runs.
    void SetIdle(bool idle);
    bool Idle() const { return idle_; }
    // The Stop command: the running operation sees StopRequested at its next
    // poll and ends through EndProgress; commands stay disabled until then.
    void RequestStop();

    // The summary line for EndProgress: "msgsInfo" with the counts and the
    // time since BeginProgress as hours:minutes:seconds.
    std::string Summary() const;
    // That line for any counts (`size` already formatted).
    static std::string SummaryLine(const TProgressCounts& counts, const std::string& size,
                                   double seconds);
    static std::string FormatElapsed(double seconds);

    // Start of the current operation (local time), and the factor from
    // operation units to bar units.
    double StartTime = 0;
    double ProgressScale = 1.0;
    int64_t BarMaximum = 0;
    bool ActionEndBeep = true;

    // Where the summary counts come from (the catalog's counters); zero when unset.
    std::function<TProgressCounts()> Counts;
    // Size text for the summary (the size display setting); plain bytes when unset.
    std::function<std::string(int64_t)> FormatSize;
    // Seconds on a monotonic clock; tests replace it.
    std::function<double()> Clock;

private:
    double Seconds() const;

    IProgressSink* sink_;
    bool idle_ = true;
    bool stopRequested_ = false;
    double startSeconds_ = 0;
};
