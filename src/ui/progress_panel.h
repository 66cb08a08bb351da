#pragma once

#include "settings/progress.h"

#include <QtCore/QElapsedTimer>
#include <QtWidgets/QWidget>
#include <cstdint>
#include <functional>
#include <string>

class TProgressState;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The panel over the views while a long operation runs: its text, the bar,
// what a scan found so far with its rate, and the Stop button. A scan reports
// every entry; the panel shows the latest figures at most every 100 ms, so
// drawing never slows the scan down.
class TProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent);

    void Start(const QString& label, int64_t maximum);
    void Move(int64_t position);
    void Counts(int64_t entries, int64_t bytes);
    // Shows the last figures (they stay readable after the panel hides).
    void Finish();

    // Size text for the figures (the size display setting); plain bytes when unset.
    std::function<std::string(int64_t)> SizeText;

    // "1 234 entries, 56.7 MB, 890 entries/s": entries and bytes so far, and
    // the rate as entries or MB per second, whichever tells more (MB once the
    // files are a megabyte each on average). No rate before a tenth of a second.
    static QString CountsText(int64_t entries, int64_t bytes, double seconds,
                              const std::function<std::string(int64_t)>& sizeText);

signals:
    void StopClicked();

private:
    void Show(bool now);

    QLabel* lblPB_ = nullptr;
    QProgressBar* pb_ = nullptr;
    QLabel* lblCounts_ = nullptr;
    QTimer* late_ = nullptr;
    QElapsedTimer started_;
    QElapsedTimer shown_;
    int64_t position_ = 0;
    int64_t entries_ = -1;
    int64_t bytes_ = 0;
};

// What long operations report to and poll: the program's progress state,
// with the event queue let run (at most every 30 ms) whenever the operation
// polls for Stop, so the windows repaint and Stop can be pressed.
class TEventPumpProgress : public IProgress {
public:
    explicit TEventPumpProgress(TProgressState& state) : state_(state) {}

    void BeginProgress(const std::string& text, int64_t total) override;
    void StepProgress(const std::string& text, int64_t position) override;
    void EndProgress(const std::string& text) override;
    void ScanCounts(int64_t entries, int64_t bytes) override;
    void ShowStatus(const std::string& text, const std::string& logText, bool log) override;
    void LogMessage(const std::string& text) override;
    bool StopRequested() const override;

    // Lets window events run, unless the last turn was less than 30 ms ago.
    void ProcessEvents() const;
    // An operation turns busy: the next turn is skipped (the state clears a
    // stop request right after it turns busy, so no Stop click may run in
    // between), and the one after runs at once whatever ran before.
    void SkipNextTurn() {
        skip_ = true;
        timer_.invalidate();
    }
    // A new operation: its first poll lets events run at once.
    void Restart() { timer_.invalidate(); }

private:
    TProgressState& state_;
    mutable QElapsedTimer timer_;
    mutable bool skip_ = false;
};
