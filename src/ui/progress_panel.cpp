#include "ui/progress_panel.h"

#include "settings/progress_state.h"
#include "ui/catalog_models.h"

#include <QtCore/QCoreApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyle>
#include <algorithm>
#include <climits>

TProgressPanel::TProgressPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("infoPan"));
    auto* ip = new QHBoxLayout(this);
    ip->setContentsMargins(4, 0, 4, 0);
    lblPB_ = new QLabel(QStringLiteral("Loading:"), this);
    lblPB_->setObjectName(QStringLiteral("lblPB"));
    pb_ = new QProgressBar(this);
    pb_->setObjectName(QStringLiteral("pb"));
    pb_->setRange(0, 0);
    auto* btnStop = new QPushButton(TIcons::Theme("process-stop", QStyle::SP_BrowserStop),
                                    QStringLiteral("Stop"), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    connect(btnStop, &QPushButton::clicked, this, &TProgressPanel::StopClicked);
    ip->addWidget(lblPB_);
    ip->addWidget(pb_, 1);
    ip->addWidget(btnStop);
    hide();
}

void TProgressPanel::Start(const QString& label, int64_t maximum) {
    lblPB_->setText(label);
    pb_->setRange(0, static_cast<int>(std::clamp<int64_t>(maximum, 0, INT32_MAX)));
    pb_->setValue(0);
    show();
}

void TProgressPanel::Move(int64_t position) {
    if (pb_->maximum() > 0)
        pb_->setValue(static_cast<int>(std::clamp<int64_t>(position, 0, pb_->maximum())));
}

void TProgressPanel::Finish() {
    lblPB_->setText(QStringLiteral(" "));
    pb_->setRange(0, 0);
    pb_->reset();
    hide();
}

void TEventPumpProgress::BeginProgress(const std::string& text, int64_t total) {
    state_.BeginProgress(text, total);
}

void TEventPumpProgress::StepProgress(const std::string& text, int64_t position) {
    state_.StepProgress(text, position);
}

void TEventPumpProgress::EndProgress(const std::string& text) {
    state_.EndProgress(text);
}

void TEventPumpProgress::ShowStatus(const std::string& text, const std::string& logText, bool log) {
    state_.ShowStatus(text, logText, log);
}

void TEventPumpProgress::LogMessage(const std::string& text) {
    state_.LogMessage(text);
}

bool TEventPumpProgress::StopRequested() const {
    ProcessEvents();
    return state_.StopRequested();
}

void TEventPumpProgress::ProcessEvents() const {
    if (skip_) {
        skip_ = false;
        return;
    }
    if (timer_.isValid() && timer_.elapsed() < 30) return;
    timer_.restart();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
