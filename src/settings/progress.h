#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What a long operation reports and polls. The desktop program shows a progress
// panel and a Stop button; the command line prints to stderr and stops on Ctrl+C.
class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void BeginProgress(const std::string& text, int64_t total) = 0;
    virtual void StepProgress(const std::string& text, int64_t position) = 0;
    virtual void EndProgress(const std::string& text) = 0;
    // What a scan found so far: entries met on the disk and the bytes of its
    // files. Called for every entry, so a display throttles what it shows.
    virtual void ScanCounts(int64_t entries, int64_t bytes) {
        (void)entries;
        (void)bytes;
    }
    // Status text; with log set the line (logText, or text when empty) goes to the message pane.
    virtual void ShowStatus(const std::string& text, const std::string& logText, bool log) = 0;
    virtual void LogMessage(const std::string& text) = 0;
    // True once the user asked to stop; operations turn it into "infoCancel".
    virtual bool StopRequested() const = 0;
};

// A progress sink that shows nothing and never stops; for tests and quiet callers.
class TNullProgress : public IProgress {
public:
    void BeginProgress(const std::string&, int64_t) override {}
    void StepProgress(const std::string&, int64_t) override {}
    void EndProgress(const std::string&) override {}
    void ShowStatus(const std::string&, const std::string&, bool) override {}
    void LogMessage(const std::string&) override {}
    bool StopRequested() const override { return false; }
};

// Shows what `inner` shows; stops when it does, and when `stop` says so (the
// disc being read went away, say).
class TStopWhenProgress : public IProgress {
public:
    TStopWhenProgress(IProgress& inner, std::function<bool()> stop)
        : inner_(inner), stop_(std::move(stop)) {}
    void BeginProgress(const std::string& t, int64_t n) override { inner_.BeginProgress(t, n); }
    void StepProgress(const std::string& t, int64_t p) override { inner_.StepProgress(t, p); }
    void EndProgress(const std::string& t) override { inner_.EndProgress(t); }
    void ScanCounts(int64_t e, int64_t b) override { inner_.ScanCounts(e, b); }
    void ShowStatus(const std::string& t, const std::string& l, bool log) override {
        inner_.ShowStatus(t, l, log);
    }
    void LogMessage(const std::string& t) override { inner_.LogMessage(t); }
    bool StopRequested() const override { return inner_.StopRequested() || stop_(); }

private:
    IProgress& inner_;
    std::function<bool()> stop_;
};
