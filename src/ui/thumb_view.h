#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QCache>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtGui/QPixmap>
#include <QtWidgets/QListView>
#include <QtWidgets/QStyledItemDelegate>
#include <memory>

class QTimer;
class TCatalogThumbs;
class TEntryListModel;
class TLibFolderItem;
class TLibObj;

// The thumbnails of the open catalog as the views show them. The grid asks
// for what it paints and gets it a moment later: pictures load a few
// milliseconds at a time between events, newest request first, so that
// scrolling through a folder of thousands never waits for them.
class TThumbCache : public QObject {
    Q_OBJECT
public:
    // The long side of the grid's pictures.
    static constexpr int kGridSide = 128;

    explicit TThumbCache(QObject* parent = nullptr);
    ~TThumbCache() override;

    void SetLib(const TLibObj* lib);
    // Forgets every picture and request: another folder, catalog or save.
    void Clear();
    // The grid's picture of an entry: null while it loads (Loaded follows),
    // a null pixmap when it has none.
    const QPixmap* Peek(const TLibFolderItem* entry);
    // The stored thumbnail at its own size, now; a null pixmap when none.
    QPixmap Full(const TLibFolderItem* entry);
    // The stored JPEG itself; empty when none.
    QByteArray Jpeg(const TLibFolderItem* entry);
    bool Idle() const { return queue_.isEmpty(); }

signals:
    // Pictures asked for by Peek came in.
    void Loaded();

private:
    void LoadSome();
    TCatalogThumbs* Thumbs();

    const TLibObj* lib_ = nullptr;
    std::unique_ptr<TCatalogThumbs> thumbs_;
    unsigned generation_ = 0;
    QCache<const TLibFolderItem*, QPixmap> pixmaps_;
    QList<const TLibFolderItem*> queue_;
    QSet<const TLibFolderItem*> queued_;
    QTimer* timer_;
};

// Paints one cell of the thumbnail grid: the picture (or the file type's
// icon) above the name.
class TThumbDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TThumbDelegate(TThumbCache& cache, TEntryListModel& model, QObject* parent);
    static QSize CellSize();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    TThumbCache& cache_;
    TEntryListModel& model_;
};

// The file list as a grid of pictures with their names ("lvThumbs").
class TThumbGrid : public QListView {
    Q_OBJECT
public:
    TThumbGrid(TThumbCache& cache, TEntryListModel& model, QWidget* parent);
};
