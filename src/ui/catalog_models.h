#pragma once

#include <QtCore/QAbstractItemModel>
#include <QtCore/QAbstractTableModel>
#include <QtCore/QHash>
#include <QtCore/QStringList>
#include <QtGui/QIcon>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TLibObj;
class TLibFolder;
class TLibFolderItem;
class TTreeNode;
class TTree;
class TGlobalData;

// Mime type of drags between the main window's views; the data names the view
// the drag came from ("tvNodes", "lv", "tvCol"). The dropped items are that
// view's selection, which the window reads.
inline constexpr const char* kViewDragMime = "application/x-tamblix-view";

// Icons of the views, from the icon theme with the style's icons as fallback.
namespace TIcons {
QIcon Theme(const char* name, int standardPixmap);
// The icons of the views, each made once. The last six are offered only as
// images of collection items.
enum TKind {
    kFolder,
    kFolderOpen,
    kVolume,
    kArchive,
    kFile,
    kExecutable,
    kMemo,
    kCollection,
    kFavorite,
    kImportant,
    kAudio,
    kVideo,
    kPicture,
    kWeb,
    kKindCount
};
QIcon Of(TKind kind);
// The images memo items choose from (by ImageIndex).
const std::vector<QIcon>& CollectionImages();
// The icon of a collection item that links to a volume, folder, file or
// archive (by its Kind); null for the other kinds.
QIcon Link(int kind);
} // namespace TIcons

// The icons of file types by name, looked up once per extension: the icon
// depends on the type only. The plain file icon where the type has none.
class TTypeIcons {
public:
    // The upper-case extension with its dot (".MP3"); empty without a dot.
    static QString Extension(std::string_view name);
    QIcon For(std::string_view name);
    void Clear() { cache_.clear(); }

private:
    QHash<QString, QIcon> cache_;
};

// A table whose column titles the windows may set (the translation renames them).
class TTitledTableModel : public QAbstractTableModel {
public:
    TTitledTableModel(QStringList titles, QObject* parent)
        : QAbstractTableModel(parent), titles_(std::move(titles)) {}

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;

private:
    QStringList titles_;
};

// A model over records it does not own. Frozen, it shows no rows, so no view
// reads them while they change (a long operation on the catalog, a search).
template <class Base> class TFreezableModel : public Base {
public:
    using Base::Base;
    void SetFrozen(bool frozen) {
        if (frozen != frozen_) ResetWith([&] { frozen_ = frozen; });
    }
    bool Frozen() const { return frozen_; }

protected:
    // Changes what the model shows; the views drop their indexes and read it again.
    template <class F> void ResetWith(F change) {
        this->beginResetModel();
        change();
        this->endResetModel();
    }

    bool frozen_ = false;
};

// One of the catalog's two trees shown through the core's own nodes: the index
// pointer is the TTreeNode. The model never caches nodes, so it is reset when
// records are freed (the catalog's Generation changes) and frozen (no rows)
// while a long operation changes the tree.
class TCatalogTreeModel : public TFreezableModel<QAbstractItemModel> {
    Q_OBJECT
public:
    // collections: the collections tree (TLibColItem records), else the catalog tree.
    TCatalogTreeModel(bool collections, QString viewName, QObject* parent = nullptr);

    void SetLib(TLibObj* lib);
    TLibObj* Lib() const { return lib_; }
    // Drops every index (after deletions, loads or rebuilds).
    void Reset();
    bool Collections() const { return collections_; }
    // Volumes whose disc is mounted now, by serial and title, with their mount
    // points: shown in bold, the mount point as their tip.
    void SetMounted(std::map<std::pair<std::string, std::string>, QString> mounted);

    TTreeNode* NodeAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const TTreeNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // Whether drops are accepted at all (off while busy).
    bool AcceptDrops = true;

signals:
    // In-place edit of a node's text; the window applies it to the catalog.
    void RenameRequested(TTreeNode* node, const QString& text);
    // A drag from `source` was dropped on `target` (null: the empty area).
    void DropRequested(const QString& source, TTreeNode* target);

private:
    const TTree* Tree() const;

    bool collections_;
    QString viewName_;
    TLibObj* lib_ = nullptr;
    QString MountPointOf(const TTreeNode* node) const;
    std::map<std::pair<std::string, std::string>, QString> mounted_;
};

// The entries of one folder in list order, sorted by the list's column rules.
// Columns: Name, Type, Size, Date, Category, Comments.
class TEntryListModel : public TTitledTableModel {
    Q_OBJECT
public:
    enum { kName, kType, kSize, kDate, kCategory, kComments, kColumnCount };

    explicit TEntryListModel(TGlobalData* gd, QObject* parent = nullptr);

    // Shows the entries of `folder` (null: nothing), sorted by the last sort column.
    void SetFolder(TLibFolder* folder);
    TLibFolder* Folder() const { return folder_; }
    void Clear() { SetFolder(nullptr); }
    void SetFrozen(bool frozen);
    // Sorts by `column` (out of range: ignored), keeping persistent indexes on their entries.
    void SortBy(int column, Qt::SortOrder order);
    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }

    TLibFolderItem* EntryAt(int row) const;
    int RowOf(const TLibFolderItem* entry) const; // -1 when not shown
    // The text a column shows for an entry (also the sort key of the text columns).
    QString CellText(const TLibFolderItem* entry, int column) const;
    void ClearIconCache() { typeIcons_.Clear(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    void SortRows();
    QIcon EntryIcon(const TLibFolderItem* entry) const;

    TGlobalData* gd_;
    TLibFolder* folder_ = nullptr;
    bool frozen_ = false;
    std::vector<TLibFolderItem*> rows_;
    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    mutable TTypeIcons typeIcons_;
};

// Sort keys of the list, kept apart so that tests and the benchmark can check them.
// Name key: "0" + upper-case caption for a folder entry that is not an
// archive, "1" + upper-case caption for everything else.
std::string EntryNameKey(const TLibFolderItem* entry);
