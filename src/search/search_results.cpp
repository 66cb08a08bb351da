#include "search/search_results.h"

#include "settings/message_table.h"
#include "text/text_utils.h"

#include <algorithm>
#include <numeric>
#include <string_view>

const std::array<const char*, kSearchColumnCount> kSearchColumnNames = {
    "Name",     "Type",     "Volume",     "Path",          "Size",    "Date",
    "Category", "Comments", "Duplicates", "Full filename", "Location"};

bool TSearchResults::Valid() {
    if (lib_->Generation() == generation_) return true;
    Clear();
    return false;
}

void TSearchResults::Clear() {
    Rows.clear();
    DupRows.clear();
    CollectionRows.clear();
    Stats = {};
    DupStats = {};
    Unhashed = -1;
    Empty = -1;
    generation_ = lib_->Generation();
}

std::string TSearchResults::CellText(const TSearchRow& row, int column,
                                     const TCellFormat& fmt) const {
    if (lib_->Generation() != generation_ || !row.Entry) return {};
    const TLibFolderItem* e = row.Entry;
    const TLibFolder* vol = e->Owner ? EntryVolume(e) : nullptr;
    switch (column) {
    case kColName:
        return e->Caption.str();
    case kColType:
        return GetEntryType(e);
    case kColVolume:
        return vol ? vol->Caption : std::string();
    case kColPath:
        return GetCatalogPath(e->Owner);
    case kColSize:
        return FormatSize(fmt.SizeUnit, static_cast<int64_t>(e->Size), fmt.KBText, fmt.MBText);
    case kColDate:
        return FormatDateTime(e->Date);
    case kColCategory:
        return e->Category.str();
    case kColComments:
        return OneLineText(e->Comments.view(), fmt.NewLine);
    case kColDuplicates:
        return row.Duplicates < 0 ? std::string() : std::to_string(row.Duplicates);
    case kColFullName:
        return GetEntryCatalogPath(e);
    case kColLocation:
        return vol ? vol->Location : std::string();
    default:
        return {};
    }
}

TLocateResult TSearchResults::Locate(bool dup, size_t row) {
    if (!Valid()) return {};
    const auto& list = dup ? DupRows : Rows;
    if (row >= list.size() || !list[row].Entry || !list[row].Entry->Owner) return {};
    TLibFolderItem* e = list[row].Entry;
    TLocateResult r;
    r.Entry = e;
    TTreeNode* ownerNode = e->Owner->Node;
    if (e->IsFolder) {
        // The folder's own node; a folder entry without one locates nothing.
        TTreeNode* n = EntryNode(e);
        r.Node = n != ownerNode ? n : nullptr;
        if (!r.Node) r.Entry = nullptr;
    } else {
        r.Node = ownerNode;
    }
    return r;
}

TLocateResult TSearchResults::LocateCollection(size_t row) {
    if (!Valid() || row >= CollectionRows.size()) return {};
    TLocateResult r;
    r.CollectionNode = CollectionRows[row];
    return r;
}

std::array<std::string, 6> TSearchResults::StatusTexts(const TCellFormat& fmt) const {
    const TSearchStats& s = VisibleStats();
    return {GetMessageText("infoVol", std::to_string(s.Volumes)),
            GetMessageText("infoFol", std::to_string(s.Folders)),
            GetMessageText("infoFiles", std::to_string(s.Files)),
            GetMessageText("infoCol", std::to_string(s.Collections)),
            GetMessageText("infoSize", FormatSize(fmt.SizeUnit, static_cast<int64_t>(s.Size),
                                                  fmt.KBText, fmt.MBText)),
            GetMessageText("infoFindResults", std::to_string(s.Results()))};
}

std::string TSearchResults::UnhashedText() const {
    return Unhashed < 0 ? std::string()
                        : GetMessageText("infoNoChecksum", std::to_string(Unhashed));
}

std::string TSearchResults::EmptyText() const {
    return Empty < 0 ? std::string() : GetMessageText("infoEmptyLeftOut", std::to_string(Empty));
}

void SortRows(std::vector<TSearchRow>& rows, int column, TSortState& state) {
    if (column < 0 || column >= kSearchColumnCount) return;
    int& d = state.Direction[static_cast<size_t>(column)];
    const bool ascending = d == 2;
    d = d == 2 ? 1 : 2;
    const size_t n = rows.size();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});

    auto sortBy = [&](const auto& keys) {
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
        });
    };
    // Keys are taken once per row: a path or a volume text per comparison
    // would make a million-row sort crawl.
    auto volumeOf = [](const TSearchRow& r) -> const TLibFolder* {
        return r.Entry && r.Entry->Owner ? EntryVolume(r.Entry) : nullptr;
    };
    switch (column) {
    case kColSize: {
        std::vector<int64_t> keys(n);
        for (size_t i = 0; i < n; ++i)
            keys[i] = rows[i].Entry ? rows[i].Entry->Size : 0;
        sortBy(keys);
        break;
    }
    case kColDate:
    case kColDuplicates: {
        std::vector<double> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const TLibFolderItem* e = rows[i].Entry;
            keys[i] = column == kColDate ? (e ? e->Date : 0) : rows[i].Duplicates;
        }
        sortBy(keys);
        break;
    }
    case kColName:
    case kColCategory:
    case kColComments:
    case kColVolume:
    case kColLocation: {
        std::vector<std::string_view> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const TLibFolderItem* e = rows[i].Entry;
            if (!e) continue;
            if (column == kColName) keys[i] = e->Caption.view();
            if (column == kColCategory) keys[i] = e->Category.view();
            if (column == kColComments) keys[i] = e->Comments.view();
            if (const TLibFolder* v = volumeOf(rows[i])) {
                if (column == kColVolume) keys[i] = v->Caption;
                if (column == kColLocation) keys[i] = v->Location;
            }
        }
        sortBy(keys);
        break;
    }
    default: { // type, path, full file name: cell texts
        std::vector<std::string> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const TLibFolderItem* e = rows[i].Entry;
            if (!e) continue;
            keys[i] = column == kColType   ? GetEntryType(e)
                      : column == kColPath ? GetCatalogPath(e->Owner)
                                           : GetEntryCatalogPath(e);
        }
        sortBy(keys);
        break;
    }
    }
    std::vector<TSearchRow> sorted;
    sorted.reserve(n);
    for (size_t i : order)
        sorted.push_back(rows[i]);
    rows = std::move(sorted);
}
