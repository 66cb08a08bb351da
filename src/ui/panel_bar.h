#pragma once

#include <QtWidgets/QLabel>
#include <QtWidgets/QStatusBar>
#include <vector>

// A label that shows a long path shortened in the middle.
class TElideLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Elide();
    QString full_;
};

// A status bar of a few text panels (the window's small status bars). It keeps
// the height of one text line while its panels are empty.
class TPanelBar : public QStatusBar {
public:
    TPanelBar(const QString& name, int panels, QWidget* parent, bool elideFirst = false);
    void SetText(int panel, const QString& text);
    QString Text(int panel) const;
    void ClearAll();

private:
    std::vector<QLabel*> labels_;
};
