#include "ui/thumb_view.h"

#include "catalog/catalog_thumbs.h"
#include "ui/catalog_models.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>

namespace {

// Time one turn of the event loop may spend loading, and requests kept (the
// oldest were for cells long scrolled away).
constexpr qint64 kSliceMs = 6;
constexpr qsizetype kMaxQueued = 400;
// Pictures kept, in kilobytes (a grid picture is at most 64).
constexpr qsizetype kKeptKb = 48 * 1024;

QPixmap Decode(const TThumbnail& t) {
    QImage img;
    if (t.Empty() || !img.loadFromData(reinterpret_cast<const uchar*>(t.Data.data()),
                                       static_cast<int>(t.Data.size()), "JPEG"))
        return {};
    return QPixmap::fromImage(std::move(img));
}

} // namespace

TThumbCache::TThumbCache(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    pixmaps_.setMaxCost(kKeptKb);
    timer_->setInterval(0);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &TThumbCache::LoadSome);
}

TThumbCache::~TThumbCache() = default;

void TThumbCache::SetLib(const TLibObj* lib) {
    if (lib == lib_) return;
    lib_ = lib;
    thumbs_.reset();
    Clear();
}

void TThumbCache::Clear() {
    pixmaps_.clear();
    queue_.clear();
    queued_.clear();
    // A save may have written the sidecar, a load replaced it.
    if (thumbs_) thumbs_->Reset();
    if (lib_) generation_ = lib_->Generation();
}

TCatalogThumbs* TThumbCache::Thumbs() {
    if (!lib_) return nullptr;
    if (!thumbs_) thumbs_ = std::make_unique<TCatalogThumbs>(*lib_);
    // Entries were freed: what is kept may name another entry at the same address.
    if (lib_->Generation() != generation_) Clear();
    return thumbs_.get();
}

const QPixmap* TThumbCache::Peek(const TLibFolderItem* entry) {
    if (!entry || !Thumbs()) return nullptr;
    if (const QPixmap* p = pixmaps_.object(entry)) return p;
    if (!queued_.contains(entry)) {
        queued_.insert(entry);
        queue_.append(entry);
        if (queue_.size() > kMaxQueued) queued_.remove(queue_.takeFirst());
    }
    if (!timer_->isActive()) timer_->start();
    return nullptr;
}

void TThumbCache::LoadSome() {
    TCatalogThumbs* thumbs = Thumbs();
    QElapsedTimer clock;
    clock.start();
    bool any = false;
    while (thumbs && !queue_.isEmpty() && clock.elapsed() < kSliceMs) {
        const TLibFolderItem* e = queue_.takeLast();
        queued_.remove(e);
        TThumbnail t;
        QPixmap p;
        if (thumbs->Find(e, t)) {
            p = Decode(t);
            if (!p.isNull())
                p = p.scaled(kGridSide, kGridSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        const qsizetype kb = p.isNull() ? 1 : qsizetype{p.width()} * p.height() * 4 / 1024 + 1;
        pixmaps_.insert(e, new QPixmap(std::move(p)), kb);
        any = true;
    }
    if (!queue_.isEmpty()) timer_->start();
    if (any) emit Loaded();
}

QPixmap TThumbCache::Full(const TLibFolderItem* entry) {
    TThumbnail t;
    TCatalogThumbs* thumbs = Thumbs();
    return thumbs && thumbs->Find(entry, t) ? Decode(t) : QPixmap();
}

QByteArray TThumbCache::Jpeg(const TLibFolderItem* entry) {
    TThumbnail t;
    TCatalogThumbs* thumbs = Thumbs();
    if (!thumbs || !thumbs->Find(entry, t)) return {};
    return QByteArray(t.Data.data(), static_cast<qsizetype>(t.Data.size()));
}

TThumbDelegate::TThumbDelegate(TThumbCache& cache, TEntryListModel& model, QObject* parent)
    : QStyledItemDelegate(parent), cache_(cache), model_(model) {}

QSize TThumbDelegate::CellSize() {
    return {TThumbCache::kGridSide + 24, TThumbCache::kGridSide + 40};
}

QSize TThumbDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return CellSize();
}

void TThumbDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // The selection as a rounded block behind picture and name, as file managers show it.
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(opt.palette.color(group, QPalette::Highlight));
        painter->drawRoundedRect(QRectF(option.rect.adjusted(1, 1, -1, -1)), 4, 4);
    } else if (option.state & QStyle::State_MouseOver) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(opt.palette.color(group, QPalette::Midlight));
        painter->drawRoundedRect(QRectF(option.rect.adjusted(1, 1, -1, -1)), 4, 4);
    }
    painter->restore();
    const QRect cell = option.rect.adjusted(4, 4, -4, -4);
    const QRect picture(cell.left(), cell.top(), cell.width(), TThumbCache::kGridSide);
    const TLibFolderItem* e = model_.EntryAt(index.row());
    const QPixmap* p = e && !e->IsFolder ? cache_.Peek(e) : nullptr;
    if (p && !p->isNull()) {
        QRect r(QPoint(), p->size() / p->devicePixelRatio());
        r.moveCenter(picture.center());
        painter->drawPixmap(r, *p);
    } else {
        // The file type's picture while the thumbnail loads, or when there is none.
        const QIcon icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
        QRect r(0, 0, 48, 48);
        r.moveCenter(picture.center());
        icon.paint(painter, r);
    }
    const QRect text(cell.left(), picture.bottom() + 4, cell.width(),
                     cell.bottom() - picture.bottom() - 4);
    painter->setPen(opt.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWrapAnywhere,
                      opt.fontMetrics.elidedText(name, Qt::ElideMiddle, text.width() * 2 - 8));
}

TThumbGrid::TThumbGrid(TThumbCache& cache, TEntryListModel& model, QWidget* parent)
    : QListView(parent) {
    setObjectName(QStringLiteral("lvThumbs"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    // One size for every cell: a folder of many thousands lays out at once.
    setUniformItemSizes(true);
    setGridSize(TThumbDelegate::CellSize());
    setLayoutMode(QListView::Batched);
    setBatchSize(1000);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setModel(&model);
    setItemDelegate(new TThumbDelegate(cache, model, this));
    connect(&cache, &TThumbCache::Loaded, viewport(), [this] { viewport()->update(); });
}
