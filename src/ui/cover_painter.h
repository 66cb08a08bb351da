#pragma once

#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <vector>

class QPainter;
class QPaintDevice;
class QPagedPaintDevice;

// What a disc-case insert shows: the spine labels, the bottom line and the
// three line lists.
struct TCoverData {
    QString LabelL;
    QString LabelR;
    QString Bottom;
    bool Number = false;
    QStringList Front;
    QStringList Back;
    QStringList List;
};

enum class TCoverLayout { Cover, List };

// Where things went on a page, in tenths of a millimetre from the printable
// area's top-left; for the window's notes and for tests.
struct TCoverPageInfo {
    struct TLine {
        QString Text; // as drawn, with its number
        QRect Box;    // the line's cell
    };
    std::vector<TLine> FrontLines;
    std::vector<TLine> BackLines;
    std::vector<TLine> ListLines;
    QRect Front;
    QRect Back;
    QRect SpineL;
    QRect SpineR;
    QString LabelL; // as drawn, after shortening
    int LabelPixelSize = 0;
    QRect BottomBox; // empty when no bottom line was drawn
};

// Draws the insert on any paint device, in tenths of a millimetre (the
// device's resolution gives the scale), so the preview, the printer, a PDF
// and a test image all get the same drawing.
class TCoverPainter {
public:
    static constexpr int kFrontWidth = 1205;
    static constexpr int kFrontHeight = 1205;
    static constexpr int kBackWidth = 1515;
    static constexpr int kBackHeight = 1175;
    static constexpr int kSpineWidth = 70;
    static constexpr int kTextMargin = 50;
    static constexpr int kTopMargin = 50;
    // Fixed point sizes of the bottom line and the spine labels.
    static constexpr int kBottomPoints = 18;
    static constexpr int kSpinePoints = 28;
    static constexpr int kSpinePointsSmall = 26;

    TCoverPainter(TCoverData data, QFont font, QColor color);

    // "0. " style prefix: the index from 0, two digits when there are 11 or
    // more lines (and indices up to 9).
    static QString NumberedLine(int index, int count, const QString& text);
    // A font of `points` in tenths of a millimetre (1 pt = 254/72 of them).
    static QFont ScaledFont(const QFont& font, double points);
    // The printable area of `device` in tenths of a millimetre.
    static QRect PageRect(const QPaintDevice& device);
    // Scales `painter` so that one unit is a tenth of a millimetre on `device`.
    static void SetUnits(QPainter& painter, const QPaintDevice& device);

    // Pages that `layout` takes on a page of `pageRect`: the cover is one
    // page; the list runs on as long as it has lines.
    int PageCount(TCoverLayout layout, const QRect& pageRect) const;
    // Draws one page; `painter` is already scaled to tenths of a millimetre.
    TCoverPageInfo PaintPage(QPainter& painter, TCoverLayout layout, int page,
                             const QRect& pageRect) const;
    // Every page onto a printer or PDF writer (A4 is the caller's choice).
    // Returns the number of pages drawn; 0 when the device cannot be painted.
    int Print(QPagedPaintDevice& device, TCoverLayout layout) const;

    const TCoverData& Data() const { return data_; }

private:
    int LineStep() const;
    void PaintCover(QPainter& p, const QRect& page, TCoverPageInfo& info) const;
    void PaintList(QPainter& p, const QRect& page, int pageIndex, TCoverPageInfo& info) const;
    // Draws lines from `top` down into `box` while a line's bottom stays at
    // or above `limit`; returns where the next line would go.
    void PaintLines(QPainter& p, const QStringList& lines, int first, bool number, QRect box,
                    int limit, std::vector<TCoverPageInfo::TLine>& out) const;
    int LinesPerListPage(const QRect& page) const;

    TCoverData data_;
    QFont font_; // scaled: pixel size in tenths of a millimetre
    QColor color_;
};
