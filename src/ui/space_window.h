#pragma once

#include <QtWidgets/QWidget>

class ISpaceHost;
class QLabel;
class QToolButton;
class TSpaceView;
class TTreeNode;

// The space view's window: the folder's path and total, the picture, and a
// legend of the colours.
class TfrmSpace : public QWidget {
    Q_OBJECT
public:
    TfrmSpace(ISpaceHost& host, QWidget* parent);

    // Shows the window (over its parent) with the folder below `node`.
    void ShowFor(TTreeNode* node);
    TSpaceView& View() { return *view_; }
    QString PathText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FolderChanged();

    TSpaceView* view_ = nullptr;
    QLabel* path_ = nullptr;
    QToolButton* up_ = nullptr;
};
