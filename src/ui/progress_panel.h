#pragma once

#include "settings/progress.h"

#include <QtCore/QElapsedTimer>
#include <QtWidgets/QWidget>
#include <cstdint>
#include <string>

class TProgressState;
class QLabel;
class QProgressBar;
class QPushButton;

// The panel over the views while a long operation runs: its text, the bar
// and the Stop button.
class TProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent);

    void Start(const QString& label, int64_t maximum);
    void Move(int64_t position);
    void Finish();

signals:
    void StopClicked();

private:
    QLabel* lblPB_ = nullptr;
    QProgressBar* pb_ = nullptr;
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
