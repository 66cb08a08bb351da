#include "ui/space_view.h"

#include "catalog/lib_obj.h"
#include "settings/message_table.h"
#include "text/text_utils.h"
#include "ui/language_locale.h"
#include "ui/space_host.h"

#include <QtGui/QHelpEvent>
#include <QtGui/QLinearGradient>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QToolTip>
#include <algorithm>
#include <utility>

namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString Count(int64_t n) {
    return Q(FormatNumber(static_cast<double>(n)));
}

QString Msg(std::string_view key, std::vector<std::string> args = {}) {
    return Q(GetMessageText(key, args));
}

std::string S(const QString& s) {
    return s.toStdString();
}

// "4.2 MB (4 404 019 bytes)"; bytes alone below a kilobyte.
QString SizeWithBytes(int64_t size) {
    if (size < 1024) return Q(FormatBinarySize(size));
    return Msg("spaceBytes", {FormatBinarySize(size), S(Count(size))});
}

// Different extensions of one group get slightly different shades.
int ShadeOf(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return 100;
    uint32_t h = 2166136261u;
    for (char c : name.substr(dot + 1))
        h = (h ^ static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c)) * 16777619u;
    return 88 + static_cast<int>(h % 31);
}

QColor TextOn(const QColor& c) {
    return qGray(c.rgb()) < 135 ? QColor(Qt::white) : QColor(0x1a, 0x1a, 0x1a);
}

} // namespace

TSpaceView::TSpaceView(ISpaceHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setObjectName(QStringLiteral("pbSpace"));
    setMouseTracking(true);
    setMinimumSize(240, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
    options_.TitleHeight = fontMetrics().height() + 4;
    options_.MinOpenSide = options_.TitleHeight + 12;
    host_.WatchCatalog(this, [this] { CatalogChanged(); });
}

QColor TSpaceView::KindColor(TSpaceKind kind) {
    switch (kind) {
    case TSpaceKind::Folder:
        return QColor(0xc9, 0xd3, 0xdf);
    case TSpaceKind::Audio:
        return QColor(0x4e, 0x79, 0xa7);
    case TSpaceKind::Video:
        return QColor(0xa0, 0x6c, 0xb0);
    case TSpaceKind::Image:
        return QColor(0x59, 0xa1, 0x4f);
    case TSpaceKind::Archive:
        return QColor(0xf2, 0x8e, 0x2b);
    case TSpaceKind::Document:
        return QColor(0xed, 0xc9, 0x48);
    case TSpaceKind::Program:
        return QColor(0xe1, 0x57, 0x59);
    case TSpaceKind::Other:
        return QColor(0x76, 0xb7, 0xb2);
    case TSpaceKind::Rest:
        return QColor(0xb8, 0xb4, 0xae);
    }
    return QColor(Qt::gray);
}

void TSpaceView::ShowFolder(TTreeNode* node) {
    path_.clear();
    volumeIndex_ = -1;
    for (TTreeNode* n = node; n; n = n->Parent())
        path_.push_back(n->Text());
    std::reverse(path_.begin(), path_.end());
    if (node) volumeIndex_ = RootNode(node)->Index();
    stale_ = true;
    hover_ = -1;
    update();
    emit FolderChanged();
}

TTreeNode* TSpaceView::Folder() {
    return EnsureCurrent() ? root_ : nullptr;
}

void TSpaceView::Up() {
    if (TTreeNode* n = Folder(); n && n->Parent()) ShowFolder(n->Parent());
}

QString TSpaceView::Caption() {
    if (!EnsureCurrent()) return {};
    const TSpaceTotals::TTotal t = totals_.Of(root_);
    return LeftToRight(Q(GetDisplayPath(FolderOf(root_)))) + QStringLiteral("   ") +
           Msg("spaceInFiles", {FormatBinarySize(t.Size), S(Count(t.Files))});
}

const TSpaceMap& TSpaceView::Map() {
    if (!EnsureCurrent()) map_.Clear();
    return map_;
}

void TSpaceView::CatalogChanged() {
    // Nothing held may be touched until the folder is found again.
    stale_ = true;
    root_ = nullptr;
    totals_.Compute(nullptr);
    map_.Clear();
    hover_ = -1;
    update();
    emit FolderChanged();
}

TTreeNode* TSpaceView::FindAgain(const TLibObj& lib) const {
    if (path_.empty()) return nullptr;
    // By the volume's place first, so that two volumes of one name stay apart.
    TTreeNode* n = nullptr;
    const TTree& tree = lib.Tree;
    if (volumeIndex_ >= 0 && volumeIndex_ < tree.RootCount() &&
        tree.Root(volumeIndex_)->Text() == path_[0])
        n = tree.Root(volumeIndex_);
    for (int i = 0; !n && i < tree.RootCount(); ++i)
        if (tree.Root(i)->Text() == path_[0]) n = tree.Root(i);
    for (size_t i = 1; n && i < path_.size(); ++i)
        n = n->FindChild(path_[i]);
    return n;
}

bool TSpaceView::EnsureCurrent() {
    if (host_.CatalogFrozen()) return false;
    TLibObj* lib = host_.CurrentCatalog();
    if (stale_ || lib != lib_ ||
        (lib &&
         (lib->Generation() != libGeneration_ || lib->Tree.Generation() != treeGeneration_))) {
        stale_ = false;
        lib_ = lib;
        libGeneration_ = lib ? lib->Generation() : 0;
        treeGeneration_ = lib ? lib->Tree.Generation() : 0;
        root_ = lib ? FindAgain(*lib) : nullptr;
        totals_.Compute(root_);
        map_.Clear();
        laidOutFor_ = QSize();
        hover_ = -1;
    }
    if (!root_) return false;
    if (laidOutFor_ != size()) {
        map_.Build(totals_, {0, 0, static_cast<double>(width()), static_cast<double>(height())},
                   options_);
        laidOutFor_ = size();
        hover_ = -1;
    }
    return true;
}

QRect TSpaceView::BlockRect(int index) const {
    const auto& blocks = map_.Blocks();
    if (index < 0 || static_cast<size_t>(index) >= blocks.size()) return {};
    const TPixelRect r = SnapToPixels(blocks[static_cast<size_t>(index)].Rect);
    return QRect(r.X, r.Y, r.W, r.H);
}

int TSpaceView::BlockUnder(const QPoint& pos) {
    if (!EnsureCurrent()) return -1;
    // The pixel's centre decides, as the edges are rounded when drawn.
    return map_.BlockAt(pos.x() + 0.5, pos.y() + 0.5);
}

QColor TSpaceView::BlockColor(const TSpaceBlock& b) const {
    const QColor base = KindColor(b.Kind);
    if (b.Kind == TSpaceKind::Folder) return base.darker(100 + 7 * std::max(0, b.Depth - 1));
    if (b.Kind == TSpaceKind::Rest) return base;
    return base.lighter(ShadeOf(b.Name()));
}

void TSpaceView::PaintBlock(QPainter& p, const TSpaceBlock& b, int index) {
    const QRect r = BlockRect(index);
    if (r.width() <= 0 || r.height() <= 0) return;
    if (index == 0) {
        p.fillRect(r, QColor(0xf3, 0xf3, 0xf1));
        return;
    }
    const QColor c = BlockColor(b);
    const bool framed = r.width() >= 4 && r.height() >= 4;
    if (b.Kind == TSpaceKind::Rest) {
        p.fillRect(r, c);
        if (framed) p.fillRect(r, QBrush(c.darker(118), Qt::BDiagPattern));
    } else if (b.Kind != TSpaceKind::Folder && r.width() * r.height() >= 900) {
        // A soft light from the top left makes neighbours of one colour easy to tell apart.
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, c.lighter(122));
        g.setColorAt(1, c.darker(112));
        p.fillRect(r, g);
    } else {
        p.fillRect(r, c);
    }
    if (framed) {
        p.setPen(c.darker(b.Kind == TSpaceKind::Folder ? 125 : 150));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }

    const QFontMetrics fm = fontMetrics();
    const QString name =
        b.Kind == TSpaceKind::Rest ? Msg("spaceMore", {S(Count(b.Files))}) : Q(b.Name());
    const QString size = Q(FormatBinarySize(b.Size));
    const int sizeWidth = fm.horizontalAdvance(size);
    const int minName = fm.horizontalAdvance(QStringLiteral("MMM"));
    p.setPen(TextOn(c));
    if (b.ChildCount > 0) {
        // An open folder: its name and size in the strip above its contents.
        const QRect strip(r.x() + 4, r.y() + 1, r.width() - 8,
                          static_cast<int>(options_.TitleHeight) - 2);
        if (strip.width() < minName) return;
        const int room = strip.width() - sizeWidth - fm.horizontalAdvance(QStringLiteral("  "));
        const QString text = room >= minName ? fm.elidedText(name, Qt::ElideRight, room) +
                                                   QStringLiteral("  ") + size
                                             : fm.elidedText(name, Qt::ElideRight, strip.width());
        p.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter, text);
        return;
    }
    const QRect inner = r.adjusted(4, 2, -4, -2);
    if (inner.width() < 2 * minName || inner.height() < fm.height()) return;
    // A name cut to a few letters says nothing: such blocks stay plain.
    const QString shown = fm.elidedText(name, Qt::ElideRight, inner.width());
    if (shown.size() < 6 && shown != name) return;
    p.drawText(QRect(inner.x(), inner.y(), inner.width(), fm.height()), Qt::AlignLeft, shown);
    if (inner.height() >= 2 * fm.height() && sizeWidth <= inner.width())
        p.drawText(QRect(inner.x(), inner.y() + fm.height(), inner.width(), fm.height()),
                   Qt::AlignLeft, size);
}

void TSpaceView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!EnsureCurrent() || map_.Blocks().empty() || map_.Blocks()[0].Size <= 0) {
        p.fillRect(rect(), palette().window());
        QString text;
        if (host_.CatalogFrozen())
            text = Msg("spaceBusy");
        else if (path_.empty())
            text = Msg("spaceSelect");
        else if (!root_)
            text = Msg("spaceGone");
        else
            text = Msg("spaceEmpty");
        p.setPen(palette().windowText().color());
        p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, text);
        return;
    }
    const auto& blocks = map_.Blocks();
    for (size_t i = 0; i < blocks.size(); ++i)
        PaintBlock(p, blocks[i], static_cast<int>(i));
    if (hover_ > 0) {
        const QRect r = BlockRect(hover_).adjusted(0, 0, -1, -1);
        p.setPen(QPen(QColor(0x10, 0x10, 0x10), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(1, 1, 0, 0));
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(r.adjusted(2, 2, -1, -1));
    }
}

void TSpaceView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    hover_ = -1;
}

QString TSpaceView::ToolTipAt(const QPoint& pos) {
    const int i = BlockUnder(pos);
    if (i < 0) return {};
    const TSpaceBlock& b = map_.Blocks()[static_cast<size_t>(i)];
    const QString where =
        QStringLiteral("<br><i>%1</i>").arg(Q(GetDisplayPath(FolderOf(b.Node))).toHtmlEscaped());
    if (b.Kind == TSpaceKind::Rest)
        return QStringLiteral("<b>%1</b><br>%2")
                   .arg(Msg("spaceSmaller", {S(Count(b.Files))}).toHtmlEscaped(),
                        Msg("spaceInAll", {S(SizeWithBytes(b.Size))}).toHtmlEscaped()) +
               where;
    if (!b.Opens) {
        // A file, an archive, or a folder the catalog holds no entries of.
        TLibFolder* owner = b.Entry && b.Entry->Owner ? b.Entry->Owner : FolderOf(b.Node);
        return QStringLiteral("<b>%1</b><br>%2")
                   .arg(Q(b.Name()).toHtmlEscaped(), SizeWithBytes(b.Size).toHtmlEscaped()) +
               QStringLiteral("<br><i>%1</i>").arg(Q(GetDisplayPath(owner)).toHtmlEscaped());
    }
    QString text =
        QStringLiteral("<b>%1</b><br>%2")
            .arg(
                Q(b.Name()).toHtmlEscaped(),
                Msg("spaceInFiles", {S(SizeWithBytes(b.Size)), S(Count(b.Files))}).toHtmlEscaped());
    const std::vector<TSpacePart> parts = LargestParts(totals_, b.Node, 5);
    if (!parts.empty()) text += QStringLiteral("<br>") + Msg("spaceLargest").toHtmlEscaped();
    for (const TSpacePart& part : parts)
        text += QStringLiteral("<br>&nbsp;&nbsp;%1 &mdash; %2")
                    .arg(Q(part.Name).toHtmlEscaped(), Q(FormatBinarySize(part.Size)));
    return text;
}

bool TSpaceView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this, BlockRect(BlockUnder(help->pos())));
        return true;
    }
    return QWidget::event(event);
}

void TSpaceView::mouseMoveEvent(QMouseEvent* event) {
    const int i = BlockUnder(event->position().toPoint());
    if (i != hover_) {
        hover_ = i;
        update();
    }
}

void TSpaceView::leaveEvent(QEvent*) {
    hover_ = -1;
    update();
}

void TSpaceView::mousePressEvent(QMouseEvent* event) {
    afterDoubleClick_ = false;
    pressedAt_ = event->position().toPoint();
}

void TSpaceView::mouseReleaseEvent(QMouseEvent* event) {
    // The release that ends a double-click lands on the new layout: it selects nothing.
    if (std::exchange(afterDoubleClick_, false)) return;
    const QPoint pos = event->position().toPoint();
    if ((pos - pressedAt_).manhattanLength() > 4) return;
    if (event->button() == Qt::RightButton) return Up();
    if (event->button() != Qt::LeftButton) return;
    const int i = BlockUnder(pos);
    if (i < 0) return;
    if (TTreeNode* node = map_.Blocks()[static_cast<size_t>(i)].Node) host_.ShowNode(node);
}

void TSpaceView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int i = BlockUnder(event->position().toPoint());
    if (i <= 0) return;
    const TSpaceBlock& b = map_.Blocks()[static_cast<size_t>(i)];
    // A folder opens; a file or a merged block opens the folder that holds it.
    TTreeNode* target = b.Opens ? b.Node : (b.Kind == TSpaceKind::Archive ? nullptr : b.Node);
    if (target && target != root_) {
        afterDoubleClick_ = true;
        ShowFolder(target);
        host_.ShowNode(target);
    }
}
