#pragma once

#include <QtCore/QSize>
#include <QtWidgets/QStyledItemDelegate>

class QListView;

// The entry list's list and icon modes lay items out with one size for all
// (a folder may hold 100,000 entries). That size comes from the widest name
// of the folder, up to a limit, instead of from the first item, so that
// names are not cut while there is room.
class TNameFitDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TNameFitDelegate(QListView* view);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Measures the names of the view's model and lays the view out again.
    void Fit();
    // The size every item gets; invalid before the first Fit.
    QSize ItemSize() const { return size_; }

    // Widest name shown whole in the list modes, and the wrapped text width of
    // the large icons.
    static constexpr int kMaxListText = 420;
    static constexpr int kMinIconText = 90;
    static constexpr int kMaxIconText = 180;

private:
    QListView* view_;
    QSize size_;
};
