#pragma once

#include "ui/cover_painter.h"
#include "ui/dialog_common.h"

#include <QtGui/QColor>
#include <QtGui/QFont>
#include <memory>
#include <vector>

class ISettingsStore;
class TGlobalData;
class TLibFolder;
class TLibFolderItem;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPrintPreviewWidget;
class QTabWidget;
class QTimer;

// The disc-case insert: front square, back sheet with two spines, or a plain
// list, drawn from the main window's current list, previewed and printed.
class TfrmPrintCover : public TPlacedDialog {
    Q_OBJECT
public:
    // Zoom box items: 25, 50, 100, 200 %, then the three fit modes.
    enum { kZoom25, kZoom50, kZoom100, kZoom200, kZoomFit, kZoomHeight, kZoomWidth, kZoomCount };

    // Takes the preview font and zoom from gd's print settings.
    TfrmPrintCover(TGlobalData& gd, ISettingsStore& store, QWidget* parent = nullptr);
    ~TfrmPrintCover() override;

    // Shows the dialog for `folder` (the selected catalog-tree node's record;
    // may be null) and the entries the main window's list shows, in list
    // order; returns when it is closed.
    static void Execute(QWidget* parent, TGlobalData& gd, ISettingsStore& store,
                        const TLibFolder* folder, const std::vector<const TLibFolderItem*>& rows);

    // Fills the texts from the folder and the rows, and redraws.
    void FillData(const TLibFolder* folder, const std::vector<const TLibFolderItem*>& rows);
    // The texts as they stand in the controls.
    TCoverData Data() const;
    TCoverLayout Layout() const;
    void SetLayout(TCoverLayout layout);
    QFont PreviewFont() const { return font_; }
    QColor PreviewColor() const { return color_; }
    void SetPreviewFont(const QFont& font, const QColor& color);
    int ZoomIndex() const;
    void SetZoomIndex(int index);
    // The print job's title: the left label, or the window's title when it is empty.
    QString JobTitle() const;

    // Draws every page onto `device` (a printer or a PDF writer); the pages drawn.
    int PrintTo(QPagedPaintDevice& device) const;
    // Writes the insert as a PDF file (through a safe write); throws EMessageError.
    // Adds ".pdf" to a name without a suffix; returns the file written.
    QString SavePdf(QString path) const;
    // Zoom, font and colour back into the global data.
    void StoreSettings();

    QPrintPreviewWidget* Preview() const { return preview_; }
    int PreviewPageCount() const;

    // Commands, by their handler names.
    void tbResetDataClick();
    void tbPrintClick();
    void tbPdfClick();
    void tbFontClick();
    void tbFontColorClick();
    void tbRefreshPreviewClick();
    void cbZoomChange();

    void done(int r) override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Redraw();
    void ApplyZoom();
    void PaintPreview(QPrinter* printer);
    void ScheduleRedraw();
    static void SetupPage(QPagedPaintDevice& device);

    TGlobalData& gd_;
    const TLibFolder* folder_ = nullptr;
    std::vector<const TLibFolderItem*> rows_;
    QFont font_;
    QColor color_ = Qt::black;

    QTabWidget* pgCover_ = nullptr;
    QLineEdit* edLabelL_ = nullptr;
    QLineEdit* edLabelR_ = nullptr;
    QLineEdit* edBottom_ = nullptr;
    QCheckBox* cbNumber_ = nullptr;
    QPlainTextEdit* itemsFront_ = nullptr;
    QPlainTextEdit* itemsBack_ = nullptr;
    QPlainTextEdit* itemsList_ = nullptr;
    QAction* tbCover_ = nullptr;
    QAction* tbList_ = nullptr;
    QComboBox* cbZoom_ = nullptr;
    std::unique_ptr<QPrinter> previewPrinter_;
    QPrintPreviewWidget* preview_ = nullptr;
    QTimer* redrawTimer_ = nullptr;
};
