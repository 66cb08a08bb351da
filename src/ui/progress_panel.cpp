#include "ui/progress_panel.h"

#include "settings/message_table.h"
#include "settings/progress_state.h"
#include "text/text_utils.h"
#include "ui/catalog_models.h"
#include "ui/multi_lang.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyle>
#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

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
    MarkTranslated(btnStop);
    connect(btnStop, &QPushButton::clicked, this, &TProgressPanel::StopClicked);
    lblCounts_ = new QLabel(this);
    lblCounts_->setObjectName(QStringLiteral("lblCounts"));
    late_ = new QTimer(this);
    late_->setSingleShot(true);
    connect(late_, &QTimer::timeout, this, [this] { Show(true); });
    ip->addWidget(lblPB_);
    ip->addWidget(pb_, 1);
    ip->addWidget(lblCounts_);
    ip->addWidget(btnStop);
    hide();
}

void TProgressPanel::Start(const QString& label, int64_t maximum) {
    lblPB_->setText(label);
    pb_->setRange(0, static_cast<int>(std::clamp<int64_t>(maximum, 0, INT32_MAX)));
    pb_->setValue(0);
    position_ = 0;
    entries_ = -1;
    bytes_ = 0;
    lblCounts_->clear();
    lblCounts_->hide();
    started_.start();
    shown_.invalidate();
    show();
}

void TProgressPanel::Move(int64_t position) {
    if (pb_->maximum() <= 0) return;
    position_ = std::clamp<int64_t>(position, 0, pb_->maximum());
    // The end is always shown: the bar must not stop short of it.
    Show(position_ == pb_->maximum());
}

void TProgressPanel::Counts(int64_t entries, int64_t bytes) {
    entries_ = entries;
    bytes_ = bytes;
    Show(false);
}

void TProgressPanel::Show(bool now) {
    if (!now && shown_.isValid() && shown_.elapsed() < 100) {
        // The latest figures show when the time is up, even if no report follows.
        if (!late_->isActive()) late_->start(100 - static_cast<int>(shown_.elapsed()));
        return;
    }
    late_->stop();
    shown_.start();
    if (pb_->maximum() > 0 && position_ > pb_->value()) pb_->setValue(static_cast<int>(position_));
    if (entries_ < 0) return;
    lblCounts_->setText(CountsText(entries_, bytes_, started_.elapsed() / 1000.0, SizeText));
    lblCounts_->show();
}

QString TProgressPanel::CountsText(int64_t entries, int64_t bytes, double seconds,
                                   const std::function<std::string(int64_t)>& sizeText) {
    const std::string size = sizeText ? sizeText(bytes) : FormatNumber(static_cast<double>(bytes));
    std::string text = GetMessageText(
        "msgsScanned", std::vector<std::string>{FormatNumber(static_cast<double>(entries)), size});
    if (seconds >= 0.1 && entries > 0) {
        const bool bigFiles = bytes / entries >= 1048576;
        const double perSecond = (bigFiles ? static_cast<double>(bytes) : entries) / seconds;
        text +=
            ", " + (bigFiles ? GetMessageText("msgsScanRateMB", FormatSize(kSizeMB, perSecond))
                             : GetMessageText("msgsScanRate", FormatNumber(std::round(perSecond))));
    }
    return QString::fromStdString(text);
}

void TProgressPanel::Finish() {
    Show(true);
    late_->stop();
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

void TEventPumpProgress::ScanCounts(int64_t entries, int64_t bytes) {
    state_.ScanCounts(entries, bytes);
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
