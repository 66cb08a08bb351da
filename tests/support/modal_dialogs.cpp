#include "support/modal_dialogs.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <vector>

namespace {

std::vector<QPointer<QTimer>>& Pending() {
    static std::vector<QPointer<QTimer>> timers;
    return timers;
}

} // namespace

void OnNextModal(std::function<void(QWidget*)> act, QWidget* except) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act), except] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == except) return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    Pending().push_back(timer);
    timer->start();
}

void CancelPendingModalActions() {
    for (auto& t : Pending())
        if (t && t->isActive()) {
            t->stop();
            t->deleteLater();
        }
    Pending().clear();
}
