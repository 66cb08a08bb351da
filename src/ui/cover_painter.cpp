#include "ui/cover_painter.h"

#include <QtCore/QTextBoundaryFinder>
#include <QtGui/QFontMetricsF>
#include <QtGui/QPagedPaintDevice>
#include <QtGui/QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kUnitsPerInch = 254.0;
// How far lines stay from the bottom of an area: a quarter of the top margin.
constexpr int kBottomGap = TCoverPainter::kTopMargin / 4;
constexpr int kOutlineWidth = 2;

int FontHeight(const QFont& f) {
    return static_cast<int>(std::ceil(QFontMetricsF(f).height()));
}

// The longest start of `text` (whole characters) no wider than `width`.
QString FitFromEnd(const QString& text, const QFont& font, double width) {
    QFontMetricsF fm(font);
    if (fm.horizontalAdvance(text) <= width) return text;
    std::vector<qsizetype> ends;
    QTextBoundaryFinder bf(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype pos = bf.toNextBoundary(); pos > 0; pos = bf.toNextBoundary())
        ends.push_back(pos);
    // Widths grow with the length, so the cut point can be searched for
    // instead of dropping one character at a time.
    size_t lo = 0, hi = ends.size(); // answer: the first `lo` characters
    while (lo < hi) {
        size_t mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(text.left(ends[mid - 1])) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo == 0 ? QString() : text.left(ends[lo - 1]);
}

} // namespace

TCoverPainter::TCoverPainter(TCoverData data, QFont font, QColor color)
    : data_(std::move(data)), color_(color) {
    double pt = font.pointSizeF();
    if (pt <= 0) pt = font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 10.0;
    font_ = ScaledFont(font, pt);
}

QString TCoverPainter::NumberedLine(int index, int count, const QString& text) {
    QString n = QString::number(index);
    if (count >= 11 && index < 10) n.prepend(QLatin1Char('0'));
    return n + QStringLiteral(". ") + text;
}

QFont TCoverPainter::ScaledFont(const QFont& font, double points) {
    QFont f(font);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * kUnitsPerInch / 72.0))));
    // Unhinted metrics scale with the device, so preview and print agree.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QRect TCoverPainter::PageRect(const QPaintDevice& device) {
    double sx = device.logicalDpiX() / kUnitsPerInch;
    double sy = device.logicalDpiY() / kUnitsPerInch;
    if (sx <= 0 || sy <= 0) return {};
    return QRect(0, 0, static_cast<int>(device.width() / sx),
                 static_cast<int>(device.height() / sy));
}

void TCoverPainter::SetUnits(QPainter& painter, const QPaintDevice& device) {
    painter.resetTransform();
    painter.scale(device.logicalDpiX() / kUnitsPerInch, device.logicalDpiY() / kUnitsPerInch);
}

int TCoverPainter::LineStep() const {
    int h = font_.pixelSize();
    return h + h / 4;
}

int TCoverPainter::LinesPerListPage(const QRect& page) const {
    return std::max(1, page.height() / std::max(1, LineStep()));
}

int TCoverPainter::PageCount(TCoverLayout layout, const QRect& pageRect) const {
    if (layout == TCoverLayout::Cover || data_.List.isEmpty()) return 1;
    int per = LinesPerListPage(pageRect);
    return static_cast<int>((data_.List.size() + per - 1) / per);
}

void TCoverPainter::PaintLines(QPainter& p, const QStringList& lines, int first, bool number,
                               QRect box, int limit,
                               std::vector<TCoverPageInfo::TLine>& out) const {
    const int step = LineStep();
    const int count = static_cast<int>(lines.size());
    p.save();
    p.setFont(font_);
    p.setPen(color_);
    int y = box.top();
    for (int i = first; i < count; ++i) {
        if (y + step > limit) break;
        QString text = number ? NumberedLine(i, count, lines[i]) : lines[i];
        QRect cell(box.left(), y, box.width(), step);
        // A line wider than its box is cut at the box's edge.
        p.setClipRect(cell);
        p.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        out.push_back({text, cell});
        y += step;
    }
    p.restore();
}

void TCoverPainter::PaintCover(QPainter& p, const QRect& page, TCoverPageInfo& info) const {
    const int L = page.left(), T = page.top(), W = page.width();
    QPen outline(Qt::black);
    outline.setWidth(kOutlineWidth);

    // Front square.
    info.Front = QRect(L + (W - kFrontWidth) / 2, T, kFrontWidth, kFrontHeight);
    // Back sheet with its two spines.
    const int B = L + (W - kBackWidth) / 2;
    const int backTop = T + kFrontHeight;
    const int backBottom = backTop + kBackHeight;
    info.Back = QRect(B, backTop, kBackWidth, kBackHeight);
    info.SpineL = QRect(B, backTop, kSpineWidth, kBackHeight);
    info.SpineR = QRect(B + kBackWidth - kSpineWidth, backTop, kSpineWidth, kBackHeight);

    p.save();
    p.setPen(outline);
    p.setBrush(Qt::NoBrush);
    // Strokes inside the edges, so none is lost at the printable area's border.
    const double half = kOutlineWidth / 2.0;
    p.drawRect(QRectF(info.Front).adjusted(half, half, -half, -half));
    p.drawRect(QRectF(info.Back).adjusted(half, half, -half, -half));
    p.drawLine(B + kSpineWidth, backTop, B + kSpineWidth, backBottom);
    p.drawLine(B + kBackWidth - kSpineWidth, backTop, B + kBackWidth - kSpineWidth, backBottom);
    p.restore();

    // Front lines.
    QRect frontBox(info.Front.left() + kTextMargin, T + kTopMargin, kFrontWidth - 2 * kTextMargin,
                   kFrontHeight - kTopMargin);
    PaintLines(p, data_.Front, 0, data_.Number, frontBox, T + kFrontHeight - kBottomGap,
               info.FrontLines);

    // Bottom line: drawn when there is one, shrunk until it fits above the
    // sheet's edge instead of being cut through its letters.
    int backLimit = backBottom - kBottomGap;
    const int innerLeft = B + kSpineWidth + kTextMargin;
    const int innerWidth = kBackWidth - 2 * (kSpineWidth + kTextMargin);
    if (!data_.Bottom.isEmpty()) {
        QFont f;
        int h = 0;
        for (double pt = kBottomPoints; pt >= 4; pt -= 1) {
            f = ScaledFont(font_, pt);
            h = FontHeight(f);
            if (backBottom - (h + kTopMargin) / 2 + h <= backBottom - 1) break;
        }
        const int top = backBottom - (h + kTopMargin) / 2;
        info.BottomBox = QRect(innerLeft, top, innerWidth, std::min(h, backBottom - 1 - top));
        p.save();
        p.setFont(f);
        p.setPen(color_);
        p.setClipRect(info.BottomBox);
        p.drawText(info.BottomBox, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                   data_.Bottom);
        p.restore();
        // The back's lines stop above it rather than printing over it.
        backLimit = std::min(backLimit, top);
    }

    // Back lines between the spines.
    QRect backBox(innerLeft, backTop + kTopMargin, innerWidth, kBackHeight - kTopMargin);
    PaintLines(p, data_.Back, 0, data_.Number, backBox, backLimit, info.BackLines);

    // Spine labels: 28 pt, 26 when that is too tall for the spine, and
    // smaller still when even that would stick out of it.
    QFont sf = ScaledFont(font_, kSpinePoints);
    if (FontHeight(sf) >= kSpineWidth) {
        sf = ScaledFont(font_, kSpinePointsSmall);
        for (double pt = kSpinePointsSmall - 1; pt >= 4 && FontHeight(sf) >= kSpineWidth; pt -= 1)
            sf = ScaledFont(font_, pt);
    }
    info.LabelPixelSize = sf.pixelSize();
    QFontMetricsF fm(sf);
    const double shift = (fm.ascent() - fm.descent()) / 2;
    info.LabelL = FitFromEnd(data_.LabelL, sf, kBackHeight - 2 * kTextMargin);

    p.save();
    p.setFont(sf);
    p.setPen(color_);
    // Reading upwards, from the back's bottom.
    p.setClipRect(info.SpineL);
    p.translate(info.SpineL.left() + kSpineWidth / 2.0 + shift, backBottom - kTextMargin);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), info.LabelL);
    p.restore();

    p.save();
    p.setFont(sf);
    p.setPen(color_);
    // Reading downwards, from the back's top; kept inside its spine.
    p.setClipRect(info.SpineR);
    p.translate(info.SpineR.left() + kSpineWidth / 2.0 - shift, backTop + kTextMargin);
    p.rotate(90);
    p.drawText(QPointF(0, 0), data_.LabelR);
    p.restore();
}

void TCoverPainter::PaintList(QPainter& p, const QRect& page, int pageIndex,
                              TCoverPageInfo& info) const {
    // The list runs down the whole page and on to the next, so no line is lost.
    const int per = LinesPerListPage(page);
    const int first = pageIndex * per;
    const int last = std::min(static_cast<int>(data_.List.size()), first + per);
    if (first >= last) return;
    QStringList slice = data_.List.mid(first, last - first);
    PaintLines(p, slice, 0, false, page, std::max(page.bottom() + 1, page.top() + LineStep()),
               info.ListLines);
}

TCoverPageInfo TCoverPainter::PaintPage(QPainter& painter, TCoverLayout layout, int page,
                                        const QRect& pageRect) const {
    TCoverPageInfo info;
    if (layout == TCoverLayout::Cover)
        PaintCover(painter, pageRect, info);
    else
        PaintList(painter, pageRect, page, info);
    return info;
}

int TCoverPainter::Print(QPagedPaintDevice& device, TCoverLayout layout) const {
    QPainter p;
    if (!p.begin(&device)) return 0;
    const QRect page = PageRect(device);
    const int pages = PageCount(layout, page);
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage()) break;
        SetUnits(p, device);
        PaintPage(p, layout, i, page);
    }
    p.end();
    return pages;
}
