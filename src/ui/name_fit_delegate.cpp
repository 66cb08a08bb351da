#include "ui/name_fit_delegate.h"

#include <QtCore/QAbstractItemModel>
#include <QtGui/QFontMetrics>
#include <QtWidgets/QListView>
#include <QtWidgets/QStyle>
#include <algorithm>

TNameFitDelegate::TNameFitDelegate(QListView* view) : QStyledItemDelegate(view), view_(view) {}

QSize TNameFitDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    return size_.isValid() ? size_ : QStyledItemDelegate::sizeHint(option, index);
}

void TNameFitDelegate::Fit() {
    QAbstractItemModel* model = view_->model();
    const QFontMetrics fm(view_->font());
    const bool icons = view_->viewMode() == QListView::IconMode;
    const int limit = icons ? 2 * kMaxIconText : kMaxListText;
    int widest = 0;
    const int rows = model ? model->rowCount(view_->rootIndex()) : 0;
    for (int r = 0; r < rows && widest < limit; ++r) {
        const QString name = model->index(r, 0, view_->rootIndex()).data().toString();
        widest = std::max(widest, fm.horizontalAdvance(name));
    }
    widest = std::min(widest, limit);
    const QSize icon = view_->iconSize();
    // Room for the focus frame and the text margins the style draws.
    const int pad =
        2 * (view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1) + 8;
    if (icons) {
        // Up to two lines under the icon; a name wider than both wraps or is cut.
        const int text = std::clamp(widest, kMinIconText, kMaxIconText);
        const int lines = widest > kMaxIconText ? 2 : 1;
        size_ = QSize(text + pad, icon.height() + lines * fm.lineSpacing() + 12);
        view_->setGridSize(size_ + QSize(8, 8));
    } else {
        size_ = QSize(icon.width() + 6 + widest + pad, std::max(icon.height(), fm.height()) + 4);
        view_->setGridSize(QSize());
    }
    // The view keeps the first item's size until told that sizes changed.
    view_->setUniformItemSizes(false);
    view_->setUniformItemSizes(true);
    view_->doItemsLayout();
}
