#include "ui/catalog_models.h"

#include "catalog/lib_obj.h"
#include "platform/file_icons.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "text/text_utils.h"

#include <QtCore/QMimeData>
#include <QtGui/QFont>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>
#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A drag names its source view; the window reads that view's selection.
QMimeData* ViewDrag(const QString& view) {
    auto* m = new QMimeData;
    m->setData(kViewDragMime, view.toUtf8());
    return m;
}

} // namespace

namespace TIcons {

QIcon Theme(const char* name, int standardPixmap) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    if (!icon.isNull()) return icon;
    return QApplication::style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardPixmap));
}

QIcon Of(TKind kind) {
    static const std::array<QIcon, kKindCount> icons = {
        Theme("folder", QStyle::SP_DirIcon),
        Theme("folder-open", QStyle::SP_DirOpenIcon),
        Theme("media-optical", QStyle::SP_DriveCDIcon),
        Theme("package-x-generic", QStyle::SP_DirLinkIcon),
        Theme("text-x-generic", QStyle::SP_FileIcon),
        Theme("application-x-executable", QStyle::SP_ComputerIcon),
        Theme("text-x-generic-template", QStyle::SP_FileDialogInfoView),
        Theme("folder-bookmark", QStyle::SP_DirHomeIcon),
        Theme("emblem-favorite", QStyle::SP_DialogYesButton),
        Theme("emblem-important", QStyle::SP_MessageBoxWarning),
        Theme("audio-x-generic", QStyle::SP_MediaVolume),
        Theme("video-x-generic", QStyle::SP_MediaPlay),
        Theme("image-x-generic", QStyle::SP_DesktopIcon),
        Theme("text-html", QStyle::SP_DriveNetIcon),
    };
    return icons[kind];
}

const std::vector<QIcon>& CollectionImages() {
    // Index order follows the images the catalog assigns to collection links.
    static const std::vector<QIcon> images = [] {
        std::vector<QIcon> v;
        for (TKind k : {kCollection, kVolume, kVolume, kFolder, kFolderOpen, kFile, kArchive, kMemo,
                        kFavorite, kImportant, kAudio, kVideo, kPicture, kWeb})
            v.push_back(Of(k));
        return v;
    }();
    return images;
}

QIcon Link(int kind) {
    switch (kind) {
    case TLibColItem::kVolumeLink:
        return Of(kVolume);
    case TLibColItem::kFolderLink:
        return Of(kFolder);
    case TLibColItem::kFileLink:
        return Of(kFile);
    case TLibColItem::kArchiveLink:
        return Of(kArchive);
    default:
        return {};
    }
}

} // namespace TIcons

QString TTypeIcons::Extension(std::string_view name) {
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? QString() : Q(name.substr(dot)).toUpper();
}

QIcon TTypeIcons::For(std::string_view name) {
    QString ext = Extension(name);
    auto it = cache_.constFind(ext);
    if (it != cache_.constEnd()) return *it;
    QIcon icon = GetFileIcon(std::string(name));
    if (icon.isNull()) icon = TIcons::Of(TIcons::kFile);
    cache_.insert(ext, icon);
    return icon;
}

QVariant TTitledTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size() ||
        role != Qt::DisplayRole)
        return {};
    return titles_[section];
}

bool TTitledTableModel::setHeaderData(int section, Qt::Orientation orientation,
                                      const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::EditRole) ||
        section < 0 || section >= titles_.size())
        return false;
    titles_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

// ---------------------------------------------------------------------------

TCatalogTreeModel::TCatalogTreeModel(bool collections, QString viewName, QObject* parent)
    : TFreezableModel(parent), collections_(collections), viewName_(std::move(viewName)) {}

const TTree* TCatalogTreeModel::Tree() const {
    if (!lib_ || frozen_) return nullptr;
    return collections_ ? &lib_->ColTree : &lib_->Tree;
}

void TCatalogTreeModel::SetLib(TLibObj* lib) {
    ResetWith([&] { lib_ = lib; });
}

void TCatalogTreeModel::Reset() {
    ResetWith([] {});
}

TTreeNode* TCatalogTreeModel::NodeAt(const QModelIndex& index) const {
    if (!index.isValid() || !Tree()) return nullptr;
    return static_cast<TTreeNode*>(index.internalPointer());
}

QModelIndex TCatalogTreeModel::IndexOf(const TTreeNode* node) const {
    if (!node || !Tree() || node->Tree() != Tree()) return {};
    int row = node->Index();
    if (row < 0) return {};
    return createIndex(row, 0, const_cast<TTreeNode*>(node));
}

QModelIndex TCatalogTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const TTree* tree = Tree();
    if (!tree || column != 0 || row < 0) return {};
    if (!parent.isValid()) {
        if (row >= tree->RootCount()) return {};
        return createIndex(row, 0, tree->Root(row));
    }
    auto* p = static_cast<TTreeNode*>(parent.internalPointer());
    if (row >= p->Count()) return {};
    return createIndex(row, 0, p->Child(row));
}

QModelIndex TCatalogTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || !Tree()) return {};
    auto* n = static_cast<TTreeNode*>(child.internalPointer());
    return IndexOf(n->Parent());
}

int TCatalogTreeModel::rowCount(const QModelIndex& parent) const {
    const TTree* tree = Tree();
    if (!tree) return 0;
    if (!parent.isValid()) return tree->RootCount();
    if (parent.column() != 0) return 0;
    return static_cast<TTreeNode*>(parent.internalPointer())->Count();
}

int TCatalogTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool TCatalogTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant TCatalogTreeModel::data(const QModelIndex& index, int role) const {
    TTreeNode* n = NodeAt(index);
    if (!n) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Q(n->Text());
    case Qt::DecorationRole:
        if (collections_) {
            TLibColItem* c = ColItemOf(n);
            if (!c) return TIcons::Of(TIcons::kCollection);
            if (QIcon link = TIcons::Link(c->Kind); !link.isNull()) return link;
            const auto& images = TIcons::CollectionImages();
            int i = c->ImageIndex;
            if (i <= 0 && !c->URL.empty()) i = 7;
            if (i < 0 || static_cast<size_t>(i) >= images.size()) i = 0;
            return images[static_cast<size_t>(i)];
        } else {
            TLibFolder* f = FolderOf(n);
            if (!f || !f->Parent) return TIcons::Of(TIcons::kVolume);
            if (IsArchiveFolder(f)) return TIcons::Of(TIcons::kArchive);
            return TIcons::Of(TIcons::kFolder);
        }
    case Qt::ToolTipRole:
        if (collections_) {
            TLibColItem* c = ColItemOf(n);
            if (c && !c->URL.empty()) return Q(c->URL);
            if (c && !c->LinkPath.empty()) return Q(c->LinkPath);
        } else if (QString point = MountPointOf(n); !point.isEmpty()) {
            return QString::fromStdString(GetMessageText("mntMountedAt", point.toStdString()));
        }
        return {};
    case Qt::FontRole:
        if (!collections_ && !MountPointOf(n).isEmpty()) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

bool TCatalogTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    TTreeNode* n = NodeAt(index);
    if (!n || role != Qt::EditRole) return false;
    QString text = value.toString();
    if (text.isEmpty() || text == Q(n->Text())) return false;
    emit RenameRequested(n, text);
    return true;
}

Qt::ItemFlags TCatalogTreeModel::flags(const QModelIndex& index) const {
    TTreeNode* n = NodeAt(index);
    if (!n) return collections_ && AcceptDrops ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (collections_) {
        f |= Qt::ItemIsEditable;
        if (AcceptDrops) f |= Qt::ItemIsDropEnabled;
    } else {
        // Only volumes can be renamed; folders carry the names found on the disc.
        TLibFolder* folder = FolderOf(n);
        if (folder && !folder->Parent) f |= Qt::ItemIsEditable;
    }
    return f;
}

Qt::DropActions TCatalogTreeModel::supportedDropActions() const {
    return collections_ ? (Qt::CopyAction | Qt::MoveAction) : Qt::IgnoreAction;
}

Qt::DropActions TCatalogTreeModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

QStringList TCatalogTreeModel::mimeTypes() const {
    return {QString::fromLatin1(kViewDragMime)};
}

QMimeData* TCatalogTreeModel::mimeData(const QModelIndexList&) const {
    return ViewDrag(viewName_);
}

bool TCatalogTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                        const QModelIndex& parent) const {
    if (!collections_ || !AcceptDrops || !Tree() || !data->hasFormat(kViewDragMime)) return false;
    QString source = QString::fromUtf8(data->data(kViewDragMime));
    if (source == viewName_) return parent.isValid();
    // Links from the other views need a target, or an empty tree to create one in.
    return parent.isValid() || Tree()->RootCount() == 0;
}

bool TCatalogTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                     int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    emit DropRequested(QString::fromUtf8(data->data(kViewDragMime)), NodeAt(parent));
    // The window rebuilt the model; the view must not remove anything itself.
    return false;
}

// ---------------------------------------------------------------------------

std::string EntryNameKey(const TLibFolderItem* e) {
    bool folderFirst = e->IsFolder && !IsArchiveEntry(e);
    return (folderFirst ? "0" : "1") + UpperCase(e->Caption.view());
}

TEntryListModel::TEntryListModel(TGlobalData* gd, QObject* parent)
    : TTitledTableModel({QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Size"),
                         QStringLiteral("Date"), QStringLiteral("Category"),
                         QStringLiteral("Comments")},
                        parent),
      gd_(gd) {}

void TEntryListModel::SetFolder(TLibFolder* folder) {
    beginResetModel();
    folder_ = folder;
    rows_.clear();
    if (folder_ && !frozen_) {
        rows_.reserve(static_cast<size_t>(folder_->ItemsCount()));
        for (const auto& e : folder_->Items())
            rows_.push_back(e.get());
        SortRows();
    }
    endResetModel();
}

void TEntryListModel::SetFrozen(bool frozen) {
    if (frozen == frozen_) return;
    frozen_ = frozen;
    if (frozen) {
        // The folder may be freed while frozen; the window sets it again afterwards.
        beginResetModel();
        folder_ = nullptr;
        rows_.clear();
        endResetModel();
    }
}

void TEntryListModel::SortBy(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount) return;
    emit layoutAboutToBeChanged();
    QModelIndexList from = persistentIndexList();
    std::vector<TLibFolderItem*> held;
    held.reserve(static_cast<size_t>(from.size()));
    for (const QModelIndex& i : from)
        held.push_back(EntryAt(i.row()));
    sortColumn_ = column;
    sortOrder_ = order;
    SortRows();
    if (!from.isEmpty()) {
        std::unordered_map<const TLibFolderItem*, int> rowOf;
        rowOf.reserve(rows_.size());
        for (size_t r = 0; r < rows_.size(); ++r)
            rowOf[rows_[r]] = static_cast<int>(r);
        QModelIndexList to;
        to.reserve(from.size());
        for (qsizetype k = 0; k < from.size(); ++k) {
            auto it = rowOf.find(held[static_cast<size_t>(k)]);
            to.push_back(it == rowOf.end() ? QModelIndex()
                                           : createIndex(it->second, from[k].column()));
        }
        changePersistentIndexList(from, to);
    }
    emit layoutChanged();
}

void TEntryListModel::SortRows() {
    const size_t n = rows_.size();
    if (n < 2) return;
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    auto apply = [&](auto less) {
        if (descending)
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t a, size_t b) { return less(b, a); });
        else
            std::stable_sort(order.begin(), order.end(), less);
    };
    switch (sortColumn_) {
    case kSize:
        apply([&](size_t a, size_t b) { return rows_[a]->Size < rows_[b]->Size; });
        break;
    case kDate:
        apply([&](size_t a, size_t b) { return rows_[a]->Date < rows_[b]->Date; });
        break;
    default: {
        // Keys once per entry, not once per comparison.
        std::vector<std::string> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const TLibFolderItem* e = rows_[i];
            switch (sortColumn_) {
            case kName:
                keys[i] = EntryNameKey(e);
                break;
            case kType:
                keys[i] = GetEntryType(e);
                break;
            case kCategory:
                keys[i] = e->Category.str();
                break;
            default:
                keys[i] = OneLineText(e->Comments.view(), gd_ ? gd_->NewLine : ";");
            }
        }
        apply([&](size_t a, size_t b) { return keys[a] < keys[b]; });
    }
    }
    std::vector<TLibFolderItem*> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = rows_[order[i]];
    rows_.swap(sorted);
}

TLibFolderItem* TEntryListModel::EntryAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return nullptr;
    return rows_[static_cast<size_t>(row)];
}

int TEntryListModel::RowOf(const TLibFolderItem* entry) const {
    auto it = std::find(rows_.begin(), rows_.end(), entry);
    return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

QString TEntryListModel::CellText(const TLibFolderItem* e, int column) const {
    switch (column) {
    case kName:
        return Q(e->Caption.view());
    case kType:
        return Q(GetEntryType(e));
    case kSize:
        return Q(FormatSize(gd_ ? gd_->Sizes : 0, static_cast<int64_t>(e->Size),
                            GetMessageText("infoStrKB"), GetMessageText("infoStrMB")));
    case kDate:
        return Q(FormatDateTime(e->Date));
    case kCategory:
        return Q(e->Category.view());
    case kComments:
        return Q(OneLineText(e->Comments.view(), gd_ ? gd_->NewLine : ";"));
    default:
        return {};
    }
}

QIcon TEntryListModel::EntryIcon(const TLibFolderItem* e) const {
    if (e->IsFolder)
        return IsArchiveEntry(e) ? TIcons::Of(TIcons::kArchive) : TIcons::Of(TIcons::kFolder);
    if (gd_ && !gd_->ShowIcons) return TIcons::Of(TIcons::kFile);
    std::string_view c = e->Caption.view();
    QString ext = TTypeIcons::Extension(c);
    if (ext == QLatin1String(".EXE") || ext == QLatin1String(".COM"))
        return TIcons::Of(TIcons::kExecutable);
    return typeIcons_.For(c);
}

int TEntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TEntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TEntryListModel::data(const QModelIndex& index, int role) const {
    TLibFolderItem* e = index.isValid() ? EntryAt(index.row()) : nullptr;
    if (!e) return {};
    switch (role) {
    case Qt::DisplayRole:
        return CellText(e, index.column());
    case Qt::DecorationRole:
        if (index.column() == kName) return EntryIcon(e);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == kSize) return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags TEntryListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

Qt::DropActions TEntryListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

QStringList TEntryListModel::mimeTypes() const {
    return {QString::fromLatin1(kViewDragMime)};
}

QMimeData* TEntryListModel::mimeData(const QModelIndexList&) const {
    return ViewDrag(QStringLiteral("lv"));
}

QString TCatalogTreeModel::MountPointOf(const TTreeNode* node) const {
    if (mounted_.empty() || node->Parent()) return {};
    const TLibFolder* v = FolderOf(node);
    auto m = mounted_.find({v->Serial, v->Caption});
    return m == mounted_.end() ? QString() : m->second;
}

void TCatalogTreeModel::SetMounted(std::map<std::pair<std::string, std::string>, QString> mounted) {
    if (mounted == mounted_) return;
    mounted_ = std::move(mounted);
    // Only volumes are marked; there are few of them.
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::FontRole, Qt::ToolTipRole});
}
