#include "ui/dialog_handler_view.h"

#include "ui/dialog_common.h"
#include "ui/file_ext_dialog.h"

#include <QtWidgets/QHeaderView>

THandlerView::THandlerView(THandlerList& handlers, ISettingsStore& store, QWidget* parent)
    : QTreeWidget(parent), handlers_(handlers), store_(store) {
    setObjectName(QStringLiteral("lv_Ext"));
    setRootIsDecorated(false);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(true);
    setHeaderLabels({QStringLiteral("Handler"), QStringLiteral("Description"),
                     QStringLiteral("File Extensions")});
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (loading_ || column != 0) return;
        CheckRow(indexOfTopLevelItem(item), item->checkState(0) == Qt::Checked);
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { EditRow(indexOfTopLevelItem(item)); });
}

void THandlerView::LoadView() {
    loading_ = true;
    clear();
    rows_ = handlers_.Items();
    for (const THandlerPtr& h : rows_) {
        auto* item = new QTreeWidgetItem(this);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setText(0, Qs(h->Title));
        item->setCheckState(0, h->Active ? Qt::Checked : Qt::Unchecked);
        item->setText(1, Qs(h->Description));
        item->setText(2, Qs(h->ExtensionsText(" ")));
        for (int c = 0; c < 3; ++c)
            item->setToolTip(c, Qs(h->Help));
    }
    loading_ = false;
    for (int c = 0; c < 2; ++c) {
        resizeColumnToContents(c);
        setColumnWidth(c, columnWidth(c) + 16); // room between the columns
    }
    if (topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
}

THandlerPtr THandlerView::RowHandler(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
    return rows_[static_cast<size_t>(row)];
}

void THandlerView::CheckRow(int row, bool active) {
    THandlerPtr h = RowHandler(row);
    if (!h) return;
    handlers_.Check(h, active);
    QTreeWidgetItem* item = topLevelItem(row);
    if (item && (item->checkState(0) == Qt::Checked) != active) {
        loading_ = true;
        item->setCheckState(0, active ? Qt::Checked : Qt::Unchecked);
        loading_ = false;
    }
}

void THandlerView::SetRowExtensions(int row, const std::vector<std::string>& extensions) {
    THandlerPtr h = RowHandler(row);
    if (!h) return;
    handlers_.SetExtensions(h, extensions);
    if (QTreeWidgetItem* item = topLevelItem(row)) item->setText(2, Qs(h->ExtensionsText(" ")));
}

void THandlerView::EditCurrent() {
    EditRow(indexOfTopLevelItem(currentItem()));
}

void THandlerView::EditRow(int row) {
    THandlerPtr h = RowHandler(row);
    if (!h) return;
    if (auto ext = TfrmFileExtProp::EditHandler(window(), store_, *h, &handlers_))
        SetRowExtensions(row, *ext);
}
