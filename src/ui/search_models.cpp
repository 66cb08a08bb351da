#include "ui/search_models.h"

#include "catalog/lib_records.h"
#include "catalog/tree.h"
#include "settings/message_table.h"
#include "ui/catalog_models.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QStringList SearchColumnTitles() {
    QStringList titles;
    for (const char* h : kSearchColumnNames)
        titles << QString::fromLatin1(h);
    return titles;
}

} // namespace

TSearchResultModel::TSearchResultModel(bool duplicates, const TCellFormat& format, QObject* parent)
    : TFreezableModel(SearchColumnTitles(), parent), dup_(duplicates), format_(format) {}

void TSearchResultModel::SetResults(TSearchResults* results) {
    ResetWith([&] { results_ = results; });
}

void TSearchResultModel::Refresh() {
    ResetWith([] {});
}

const std::vector<TSearchRow>* TSearchResultModel::Rows() const {
    if (!results_ || frozen_) return nullptr;
    return dup_ ? &results_->DupRows : &results_->Rows;
}

TLibFolderItem* TSearchResultModel::EntryAt(int row) const {
    const auto* rows = Rows();
    if (!rows || row < 0 || static_cast<size_t>(row) >= rows->size()) return nullptr;
    return (*rows)[static_cast<size_t>(row)].Entry;
}

int TSearchResultModel::rowCount(const QModelIndex& parent) const {
    const auto* rows = Rows();
    if (parent.isValid() || !rows) return 0;
    return static_cast<int>(std::min<size_t>(rows->size(), INT32_MAX));
}

int TSearchResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kSearchColumnCount + (dup_ ? 1 : 0);
}

QString TSearchResultModel::GroupText(const TSearchRow& row) const {
    if (row.Group <= 0 || !results_ || !results_->Valid()) return {};
    QString text = QString::number(row.Group);
    if (row.Link) text += QStringLiteral(" (") + Q(GetMessageText("infoDupLink")) + u')';
    return text;
}

QIcon TSearchResultModel::RowIcon(const TSearchRow& row) const {
    if (row.ImageIndex == 1) return TIcons::Of(TIcons::kArchive);
    if (row.ImageIndex == 0) return TIcons::Of(TIcons::kFolder);
    // The name through CellText, which gives nothing for a stale set.
    return typeIcons_.For(results_->CellText(row, kColName, format_));
}

QVariant TSearchResultModel::PictureTip(const TSearchRow& row) const {
    if (!ThumbJpeg || !row.Entry || row.Entry->IsFolder || !results_ || !results_->Valid())
        return {};
    const QByteArray jpeg = ThumbJpeg(row.Entry);
    if (jpeg.isEmpty()) return {};
    // Tool tips are rich text: the picture goes in as a data URL.
    return QStringLiteral("<img src=\"data:image/jpeg;base64,%1\"><br>%2")
        .arg(QString::fromLatin1(jpeg.toBase64()),
             Q(results_->CellText(row, kColName, format_)).toHtmlEscaped());
}

QVariant TSearchResultModel::data(const QModelIndex& index, int role) const {
    const auto* rows = Rows();
    if (!rows || !index.isValid() || static_cast<size_t>(index.row()) >= rows->size()) return {};
    const TSearchRow& row = (*rows)[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (role == Qt::ToolTipRole && index.column() == kColName) return PictureTip(row);
        if (role == Qt::ToolTipRole && index.column() != kColComments &&
            index.column() != kColFullName)
            return {};
        if (index.column() == kColGroup) return GroupText(row);
        return Q(results_->CellText(row, index.column(), format_));
    case Qt::DecorationRole:
        if (index.column() == kColName) return RowIcon(row);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == kColSize || index.column() == kColDate ||
            index.column() == kColDuplicates)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant TSearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole && section == kColGroup) return Q(GetMessageText("infoDupGroup"));
    if (role == Qt::TextAlignmentRole &&
        (section == kColSize || section == kColDate || section == kColDuplicates))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return TFreezableModel::headerData(section, orientation, role);
}

// ---------------------------------------------------------------------------

TSearchCollectionModel::TSearchCollectionModel(QObject* parent)
    : TFreezableModel({QStringLiteral("Collection")}, parent) {}

void TSearchCollectionModel::SetResults(TSearchResults* results) {
    ResetWith([&] { results_ = results; });
}

void TSearchCollectionModel::Refresh() {
    ResetWith([] {});
}

TTreeNode* TSearchCollectionModel::NodeAt(int row) const {
    if (!results_ || frozen_ || row < 0 ||
        static_cast<size_t>(row) >= results_->CollectionRows.size())
        return nullptr;
    return results_->CollectionRows[static_cast<size_t>(row)];
}

int TSearchCollectionModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !results_ || frozen_) return 0;
    return static_cast<int>(std::min<size_t>(results_->CollectionRows.size(), INT32_MAX));
}

int TSearchCollectionModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant TSearchCollectionModel::data(const QModelIndex& index, int role) const {
    TTreeNode* n = index.isValid() ? NodeAt(index.row()) : nullptr;
    if (!n) return {};
    if (role == Qt::DisplayRole) return Q(n->Text());
    if (role == Qt::DecorationRole) {
        const TLibColItem* c = ColItemOf(n);
        if (!c) return TIcons::Of(TIcons::kCollection);
        if (QIcon link = TIcons::Link(c->Kind); !link.isNull()) return link;
        const auto& images = TIcons::CollectionImages();
        if (c->ImageIndex >= 0 && static_cast<size_t>(c->ImageIndex) < images.size())
            return images[static_cast<size_t>(c->ImageIndex)];
        return TIcons::Of(TIcons::kCollection);
    }
    return {};
}
