#include "ui/print_cover.h"

#include "catalog/lib_records.h"
#include "files/safe_file.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_helpers.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "text/text_utils.h"
#include "ui/multi_lang.h"

#include <QtCore/QBuffer>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QActionGroup>
#include <QtGui/QPageLayout>
#include <QtGui/QPageSize>
#include <QtGui/QPdfWriter>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrintPreviewWidget>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QColorDialog>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QFontDialog>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QGraphicsView>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kDefaultPoints = 10;
constexpr int kMaxPoints = 200;
// Past this many lines the preview waits for "Refresh" instead of following each edit.
constexpr int kLiveRedrawLines = 5000;

QAction* DataAction(QObject* parent, const char* name, const char* hint) {
    auto* a = new QAction(QString::fromUtf8(hint), parent);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(QString::fromUtf8(hint));
    a->setProperty("tamblixHint", true);
    return a;
}

QPlainTextEdit* LinesEdit(QWidget* parent, const char* name) {
    auto* e = new QPlainTextEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setLineWrapMode(QPlainTextEdit::NoWrap);
    return e;
}

// A side of the window: a column without margins, under a toolbar of text buttons.
struct TPane {
    QWidget* Widget;
    QVBoxLayout* Box;
    QToolBar* Bar;
};

TPane Pane(QWidget* parent, const char* barName) {
    auto* w = new QWidget(parent);
    auto* box = new QVBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(w);
    bar->setObjectName(QLatin1String(barName));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    box->addWidget(bar);
    return {w, box, bar};
}

// One line per text line; a final line break does not start another line.
QStringList LinesOf(const QPlainTextEdit* e) {
    QString text = e->toPlainText();
    if (text.isEmpty()) return {};
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text.split(QLatin1Char('\n'));
}

// Colours are stored as 0x00BBGGRR; negative values are system colours, shown black.
QColor ColorFromStored(int32_t v) {
    if (v < 0) return Qt::black;
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}
int32_t ColorToStored(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

} // namespace

TfrmPrintCover::TfrmPrintCover(TGlobalData& gd, ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmPrintCover"), store, parent), gd_(gd) {
    setWindowTitle(QStringLiteral("Print Cover"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    // Left: the data.
    TPane left = Pane(this, "tbData");
    QToolBar* tbData = left.Bar;
    QAction* reset = DataAction(this, "tbResetData", "Reset Data");
    tbCover_ = DataAction(this, "tbCover", "Cover");
    tbList_ = DataAction(this, "tbList", "List");
    tbCover_->setCheckable(true);
    tbList_->setCheckable(true);
    tbCover_->setChecked(true);
    auto* layoutGroup = new QActionGroup(this);
    layoutGroup->setExclusive(true);
    layoutGroup->addAction(tbCover_);
    layoutGroup->addAction(tbList_);
    tbData->addAction(reset);
    tbData->addSeparator();
    tbData->addAction(tbCover_);
    tbData->addAction(tbList_);

    pgCover_ = new QTabWidget(left.Widget);
    pgCover_->setObjectName(QStringLiteral("pgCover"));
    auto* tsLabel = new QWidget(pgCover_);
    tsLabel->setObjectName(QStringLiteral("tsLabel"));
    auto* form = new QFormLayout(tsLabel);
    edLabelL_ = DlgEdit(tsLabel, "edLabelL");
    edLabelR_ = DlgEdit(tsLabel, "edLabelR");
    edBottom_ = DlgEdit(tsLabel, "edBottom");
    cbNumber_ = DlgCheck(tsLabel, "cbNumber", "Numeration");
    form->addRow(DlgLabel(tsLabel, "lblLabelL", "Left", edLabelL_), edLabelL_);
    form->addRow(DlgLabel(tsLabel, "lblLabelR", "Right", edLabelR_), edLabelR_);
    form->addRow(DlgLabel(tsLabel, "lblBottom", "Bottom", edBottom_), edBottom_);
    form->addRow(cbNumber_);
    itemsFront_ = LinesEdit(pgCover_, "itemsFront");
    itemsBack_ = LinesEdit(pgCover_, "itemsBack");
    itemsList_ = LinesEdit(pgCover_, "itemsList");
    pgCover_->addTab(tsLabel, QStringLiteral("Label"));
    pgCover_->addTab(itemsFront_, QStringLiteral("Front"));
    pgCover_->addTab(itemsBack_, QStringLiteral("Back"));
    pgCover_->addTab(itemsList_, QStringLiteral("List"));
    // Every tab shows whole: the pane is as wide as the tabs need.
    pgCover_->setUsesScrollButtons(false);
    left.Box->addWidget(pgCover_);

    // Right: the preview.
    TPane right = Pane(this, "tbPreview");
    QToolBar* tbPreview = right.Bar;
    QAction* print = DataAction(this, "tbPrint", "Print");
    QAction* pdf = DataAction(this, "tbPdf", "PDF");
    QAction* fontAct = DataAction(this, "tbFont", "Font");
    QAction* colorAct = DataAction(this, "tbFontColor", "Colour");
    QAction* refresh = DataAction(this, "tbRefreshPreview", "Refresh");
    cbZoom_ = new QComboBox(tbPreview);
    cbZoom_->setObjectName(QStringLiteral("cbZoom"));
    cbZoom_->addItems({QStringLiteral("25 %"), QStringLiteral("50 %"), QStringLiteral("100 %"),
                       QStringLiteral("200 %"), QStringLiteral("Zoom to fit"),
                       QStringLiteral("Zoom to height"), QStringLiteral("Zoom to width")});
    cbZoom_->setCurrentIndex(kZoomFit);
    MarkTranslated(cbZoom_);
    tbPreview->addAction(print);
    tbPreview->addAction(pdf);
    tbPreview->addSeparator();
    tbPreview->addWidget(cbZoom_);
    tbPreview->addAction(fontAct);
    tbPreview->addAction(colorAct);
    tbPreview->addAction(refresh);

    previewPrinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    SetupPage(*previewPrinter_);
    preview_ = new QPrintPreviewWidget(previewPrinter_.get(), right.Widget);
    preview_->setObjectName(QStringLiteral("pvCover"));
    preview_->setMinimumSize(240, 300);
    right.Box->addWidget(preview_, 1);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("spltCover"));
    split->addWidget(left.Widget);
    split->addWidget(right.Widget);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 520});

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    auto* close = DlgButton(this, "btnClose", "Close");
    bottom->addWidget(close);
    auto* top = new QVBoxLayout(this);
    top->addWidget(split, 1);
    top->addLayout(bottom);
    resize(860, 640);

    // The stored font when there is one.
    font_ = QApplication::font();
    font_.setPointSize(kDefaultPoints);
    if (!gd_.FontName.empty() && gd_.FontSize > 0) {
        QFont f(Qs(gd_.FontName));
        f.setPointSize(std::min(gd_.FontSize, kMaxPoints));
        f.setBold(gd_.FontStyles[0]);
        f.setItalic(gd_.FontStyles[1]);
        f.setUnderline(gd_.FontStyles[2]);
        f.setStrikeOut(gd_.FontStyles[3]);
        font_ = f;
        color_ = ColorFromStored(gd_.FontColor);
    }
    // The stored zoom once this window has been closed before (a first start
    // stores 0, which would open at 25 %).
    if (store.KeyExists(PlacementKey("frmPrintCover")) && gd_.Zoom >= 0 && gd_.Zoom < kZoomCount)
        cbZoom_->setCurrentIndex(gd_.Zoom);

    redrawTimer_ = new QTimer(this);
    redrawTimer_->setSingleShot(true);
    redrawTimer_->setInterval(400);
    connect(redrawTimer_, &QTimer::timeout, this, &TfrmPrintCover::Redraw);

    connect(preview_, &QPrintPreviewWidget::paintRequested, this, &TfrmPrintCover::PaintPreview);
    connect(reset, &QAction::triggered, this, &TfrmPrintCover::tbResetDataClick);
    connect(layoutGroup, &QActionGroup::triggered, this, &TfrmPrintCover::Redraw);
    connect(print, &QAction::triggered, this, &TfrmPrintCover::tbPrintClick);
    connect(pdf, &QAction::triggered, this, &TfrmPrintCover::tbPdfClick);
    connect(fontAct, &QAction::triggered, this, &TfrmPrintCover::tbFontClick);
    connect(colorAct, &QAction::triggered, this, &TfrmPrintCover::tbFontColorClick);
    connect(refresh, &QAction::triggered, this, &TfrmPrintCover::tbRefreshPreviewClick);
    connect(cbZoom_, &QComboBox::currentIndexChanged, this, &TfrmPrintCover::cbZoomChange);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    for (QLineEdit* e : {edLabelL_, edLabelR_, edBottom_})
        connect(e, &QLineEdit::textChanged, this, &TfrmPrintCover::ScheduleRedraw);
    for (QPlainTextEdit* e : {itemsFront_, itemsBack_, itemsList_})
        connect(e, &QPlainTextEdit::textChanged, this, &TfrmPrintCover::ScheduleRedraw);
    connect(cbNumber_, &QCheckBox::toggled, this, &TfrmPrintCover::Redraw);
    ApplyZoom();
}

TfrmPrintCover::~TfrmPrintCover() = default;

void TfrmPrintCover::Execute(QWidget* parent, TGlobalData& gd, ISettingsStore& store,
                             const TLibFolder* folder,
                             const std::vector<const TLibFolderItem*>& rows) {
    TfrmPrintCover dlg(gd, store, parent);
    dlg.FillData(folder, rows);
    dlg.exec();
}

void TfrmPrintCover::FillData(const TLibFolder* folder,
                              const std::vector<const TLibFolderItem*>& rows) {
    folder_ = folder;
    rows_ = rows;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(rows.size()));
    for (const TLibFolderItem* e : rows)
        if (e) lines << Qs(e->Caption.view());
    const QString text = lines.join(QLatin1Char('\n'));
    {
        // One redraw at the end, not one per control.
        QSignalBlocker b1(itemsFront_), b2(itemsBack_), b3(itemsList_);
        QSignalBlocker b4(edLabelL_), b5(edLabelR_), b6(edBottom_);
        itemsFront_->setPlainText(text);
        itemsBack_->setPlainText(text);
        itemsList_->setPlainText(text);
        edLabelL_->clear();
        edLabelR_->clear();
        edBottom_->clear();
        try {
            if (folder) {
                QString label = Qs(folder->Node ? folder->Node->Text() : folder->Caption);
                edLabelL_->setText(label);
                edLabelR_->setText(label);
                std::string date = FormatDateISO(folder->Date);
                std::string size =
                    FormatSize(gd_.Sizes, static_cast<int64_t>(FolderDisplaySize(folder)),
                               GetMessageText("infoStrKB"), GetMessageText("infoStrMB"));
                edBottom_->setText(Qs(date.empty() ? size : date + " " + size));
            }
        } catch (const std::exception&) {
            // The labels are a convenience; the lists are what matters.
        }
    }
    Redraw();
}

TCoverData TfrmPrintCover::Data() const {
    TCoverData d;
    d.LabelL = edLabelL_->text();
    d.LabelR = edLabelR_->text();
    d.Bottom = edBottom_->text();
    d.Number = cbNumber_->isChecked();
    d.Front = LinesOf(itemsFront_);
    d.Back = LinesOf(itemsBack_);
    d.List = LinesOf(itemsList_);
    return d;
}

TCoverLayout TfrmPrintCover::Layout() const {
    return tbList_->isChecked() ? TCoverLayout::List : TCoverLayout::Cover;
}

void TfrmPrintCover::SetLayout(TCoverLayout layout) {
    (layout == TCoverLayout::List ? tbList_ : tbCover_)->setChecked(true);
    Redraw();
}

void TfrmPrintCover::SetPreviewFont(const QFont& font, const QColor& color) {
    font_ = font;
    if (font_.pointSizeF() > kMaxPoints) font_.setPointSize(kMaxPoints);
    color_ = color.isValid() ? color : QColor(Qt::black);
    Redraw();
}

int TfrmPrintCover::ZoomIndex() const {
    return cbZoom_->currentIndex();
}

void TfrmPrintCover::SetZoomIndex(int index) {
    cbZoom_->setCurrentIndex(std::clamp(index, 0, kZoomCount - 1));
}

QString TfrmPrintCover::JobTitle() const {
    QString t = edLabelL_->text().trimmed();
    return t.isEmpty() ? windowTitle() : t;
}

int TfrmPrintCover::PreviewPageCount() const {
    return preview_->pageCount();
}

void TfrmPrintCover::SetupPage(QPagedPaintDevice& device) {
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Portrait);
    device.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

int TfrmPrintCover::PrintTo(QPagedPaintDevice& device) const {
    TCoverPainter painter(Data(), font_, color_);
    return painter.Print(device, Layout());
}

QString TfrmPrintCover::SavePdf(QString path) const {
    if (path.isEmpty()) throw EMessageError("errFileEmpty");
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        SetupPage(writer);
        writer.setTitle(JobTitle());
        writer.setCreator(QStringLiteral("Tamblix"));
        if (PrintTo(writer) == 0) throw EMessageError("errWrite", Ss(path));
    }
    // Written whole or not at all, like every file the program writes.
    WriteFileAtomically(Ss(path), std::string_view(bytes.constData(), bytes.size()));
    return path;
}

void TfrmPrintCover::StoreSettings() {
    gd_.Zoom = ZoomIndex();
    gd_.FontName = Ss(font_.family());
    int pt = static_cast<int>(std::lround(font_.pointSizeF()));
    gd_.FontSize = pt > 0 ? pt : kDefaultPoints;
    gd_.FontColor = ColorToStored(color_);
    // Qt fonts carry no character set: the stored one is kept as it is.
    gd_.FontStyles = {font_.bold(), font_.italic(), font_.underline(), font_.strikeOut()};
}

void TfrmPrintCover::done(int r) {
    StoreSettings();
    TPlacedDialog::done(r);
}

void TfrmPrintCover::tbResetDataClick() {
    FillData(folder_, rows_);
}

void TfrmPrintCover::tbPrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    SetupPage(printer);
    printer.setDocName(JobTitle());
    QPrintDialog dlg(&printer, this);
    if (dlg.exec() != QDialog::Accepted) return;
    PrintTo(printer);
}

void TfrmPrintCover::tbPdfClick() {
    QString name = JobTitle();
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
    QString path = QFileDialog::getSaveFileName(
        this, QString(), name.isEmpty() ? QString() : name + QStringLiteral(".pdf"),
        QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return;
    try {
        SavePdf(path);
    } catch (const std::exception& e) {
        DlgShowError(this, e);
    }
}

void TfrmPrintCover::tbFontClick() {
    const QFont old = font_;
    QFontDialog dlg(font_, this);
    // The preview follows the choice while the dialog is open, like an Apply button.
    connect(&dlg, &QFontDialog::currentFontChanged, this,
            [this](const QFont& f) { SetPreviewFont(f, color_); });
    if (dlg.exec() == QDialog::Accepted)
        SetPreviewFont(dlg.selectedFont(), color_);
    else
        SetPreviewFont(old, color_);
}

void TfrmPrintCover::tbFontColorClick() {
    QColor c = QColorDialog::getColor(color_, this);
    if (c.isValid()) SetPreviewFont(font_, c);
}

void TfrmPrintCover::tbRefreshPreviewClick() {
    Redraw();
}

void TfrmPrintCover::cbZoomChange() {
    ApplyZoom();
}

void TfrmPrintCover::resizeEvent(QResizeEvent* e) {
    TPlacedDialog::resizeEvent(e);
    if (ZoomIndex() == kZoomHeight) ApplyZoom();
}

void TfrmPrintCover::ScheduleRedraw() {
    if (itemsList_->blockCount() > kLiveRedrawLines || itemsFront_->blockCount() > kLiveRedrawLines)
        return;
    redrawTimer_->start();
}

void TfrmPrintCover::Redraw() {
    redrawTimer_->stop();
    preview_->updatePreview();
    ApplyZoom();
}

void TfrmPrintCover::PaintPreview(QPrinter* printer) {
    try {
        PrintTo(*printer);
    } catch (const std::exception&) {
        // A drawing failure leaves what was drawn; the preview still shows.
    }
}

void TfrmPrintCover::ApplyZoom() {
    static constexpr double kFactors[] = {0.25, 0.5, 1.0, 2.0};
    const int i = ZoomIndex();
    if (i >= kZoom25 && i <= kZoom200) {
        preview_->setZoomMode(QPrintPreviewWidget::CustomZoom);
        preview_->setZoomFactor(kFactors[i]);
    } else if (i == kZoomWidth) {
        preview_->fitToWidth();
    } else if (i == kZoomHeight) {
        // No such mode in the preview: the page's full height in the view.
        preview_->fitInView();
        const double fit = preview_->zoomFactor();
        preview_->fitToWidth();
        const double width = preview_->zoomFactor();
        double height = fit;
        if (fit >= width * 0.999) {
            // The whole-page fit was limited by the width: scale up to the height.
            auto* view = preview_->findChild<QGraphicsView*>();
            QSizeF page = previewPrinter_->pageLayout().fullRect(QPageLayout::Millimeter).size();
            if (view && view->viewport()->width() > 0 && page.height() > 0)
                height = width * view->viewport()->height() / view->viewport()->width() *
                         page.width() / page.height();
        }
        preview_->setZoomMode(QPrintPreviewWidget::CustomZoom);
        preview_->setZoomFactor(height);
    } else {
        preview_->fitInView();
    }
}
