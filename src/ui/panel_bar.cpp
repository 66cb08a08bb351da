#include "ui/panel_bar.h"

#include "ui/language_locale.h"

#include <algorithm>

void TElideLabel::SetFullText(const QString& text) {
    full_ = text;
    setToolTip(text);
    Elide();
}

void TElideLabel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    Elide();
}

void TElideLabel::Elide() {
    // A path reads left to right in a right-to-left window too.
    setText(LeftToRight(fontMetrics().elidedText(full_, Qt::ElideMiddle, std::max(width(), 20))));
}

TPanelBar::TPanelBar(const QString& name, int panels, QWidget* parent, bool elideFirst)
    : QStatusBar(parent) {
    setObjectName(name);
    setSizeGripEnabled(false);
    for (int i = 0; i < panels; ++i) {
        QLabel* l = (i == 0 && elideFirst) ? new TElideLabel(this) : new QLabel(this);
        l->setMinimumWidth(20);
        // A bar of counts gives the later panels (totals) the room their text
        // needs and the first one the rest; a bar that elides its first
        // panel keeps fixed shares, so changing status texts do not shift it.
        addWidget(l, i == 0 ? 3 : elideFirst ? 2 : 0);
        labels_.push_back(l);
    }
    // As tall with no text as with text, so the window does not jump.
    setMinimumHeight(fontMetrics().height() + 8);
}

void TPanelBar::SetText(int panel, const QString& text) {
    if (panel < 0 || panel >= static_cast<int>(labels_.size())) return;
    if (auto* e = dynamic_cast<TElideLabel*>(labels_[static_cast<size_t>(panel)]))
        e->SetFullText(text);
    else
        labels_[static_cast<size_t>(panel)]->setText(text);
}

QString TPanelBar::Text(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(labels_.size())) return {};
    if (auto* e = dynamic_cast<TElideLabel*>(labels_[static_cast<size_t>(panel)]))
        return e->FullText();
    return labels_[static_cast<size_t>(panel)]->text();
}

void TPanelBar::ClearAll() {
    for (size_t i = 0; i < labels_.size(); ++i)
        SetText(static_cast<int>(i), {});
}
