#pragma once

#include "search/search_engine.h"
#include "ui/catalog_models.h"

#include <QtCore/QAbstractTableModel>
#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtGui/QIcon>
#include <functional>

// The rows of a search (results or duplicates) without a widget item per row:
// the model reads the engine's row vector, so a million rows show at once.
// Frozen models show nothing (while the catalog changes or a search runs).
// The duplicates list has one more column: the row's group of duplicates by
// content, and whether it is a link to a file listed before it.
class TSearchResultModel : public TFreezableModel<TTitledTableModel> {
    Q_OBJECT
public:
    static constexpr int kColGroup = kSearchColumnCount;

    TSearchResultModel(bool duplicates, const TCellFormat& format, QObject* parent = nullptr);

    // The set shown (null: nothing); the model never owns it.
    void SetResults(TSearchResults* results);
    // Call after the rows changed (a search ended, a sort, a drop).
    void Refresh();
    bool Duplicates() const { return dup_; }
    const std::vector<TSearchRow>* Rows() const;
    TLibFolderItem* EntryAt(int row) const;
    // The stored thumbnail of an entry: the name's tool tip shows it.
    std::function<QByteArray(const TLibFolderItem*)> ThumbJpeg;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The duplicates' group column is titled by the message table; sizes and dates align right.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QIcon RowIcon(const TSearchRow& row) const;
    QVariant PictureTip(const TSearchRow& row) const;
    QString GroupText(const TSearchRow& row) const;

    bool dup_;
    const TCellFormat& format_;
    TSearchResults* results_ = nullptr;
    mutable TTypeIcons typeIcons_;
};

// The collections-tree nodes a search found (one column "Collection").
class TSearchCollectionModel : public TFreezableModel<TTitledTableModel> {
    Q_OBJECT
public:
    explicit TSearchCollectionModel(QObject* parent = nullptr);

    void SetResults(TSearchResults* results);
    void Refresh();
    TTreeNode* NodeAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    TSearchResults* results_ = nullptr;
};
