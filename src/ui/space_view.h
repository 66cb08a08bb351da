#pragma once

#include "space/space_map.h"

#include <QtGui/QColor>
#include <QtWidgets/QWidget>
#include <string>
#include <vector>

class ISpaceHost;
class TLibObj;
class TTreeNode;

// A picture of what takes the space below one catalog folder: nested blocks
// with areas proportional to sizes, coloured by file type. Sizes come from the
// catalog only. Hovering names the part under the mouse and its largest
// parts; a click selects its folder in the catalog tree; a double-click opens
// a folder, a right-click goes up.
class TSpaceView : public QWidget {
    Q_OBJECT
public:
    explicit TSpaceView(ISpaceHost& host, QWidget* parent = nullptr);

    // Shows the folder (or volume) below `node`; null shows nothing.
    void ShowFolder(TTreeNode* node);
    // The folder shown; null when there is none or the catalog is busy.
    TTreeNode* Folder();
    void Up();
    // The folder's totals as shown above the picture; empty when nothing is shown.
    QString Caption();

    // For tests and the benchmark: the blocks as laid out for the current size.
    const TSpaceMap& Map();
    QRect BlockRect(int index) const;
    QString ToolTipAt(const QPoint& pos);

    static QColor KindColor(TSpaceKind kind);

signals:
    void FolderChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Re-finds the folder after the catalog changed and lays it out for the
    // current size; false when there is nothing to show.
    bool EnsureCurrent();
    TTreeNode* FindAgain(const TLibObj& lib) const;
    void CatalogChanged();
    int BlockUnder(const QPoint& pos);
    QColor BlockColor(const TSpaceBlock& b) const;
    void PaintBlock(class QPainter& p, const TSpaceBlock& b, int index);

    ISpaceHost& host_;
    // The folder, with what finds it again: the volume's place and the names below it.
    TTreeNode* root_ = nullptr;
    int volumeIndex_ = -1;
    std::vector<std::string> path_;
    TLibObj* lib_ = nullptr;
    unsigned libGeneration_ = 0;
    unsigned treeGeneration_ = 0;
    bool stale_ = true;

    TSpaceTotals totals_;
    TSpaceMap map_;
    TSpaceOptions options_;
    QSize laidOutFor_;
    int hover_ = -1;
    QPoint pressedAt_;
    bool afterDoubleClick_ = false;
};
