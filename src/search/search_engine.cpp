#include "search/search_engine.h"

#include "analysis/file_checksum.h"
#include "analysis/text_utils.h"
#include "settings/message_error.h"
#include "settings/message_table.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

const std::array<const char*, kSearchColumnCount> kSearchColumnNames = {
    "Name",     "Type",     "Volume",     "Path",          "Size",    "Date",
    "Category", "Comments", "Duplicates", "Full filename", "Location"};

namespace {

inline unsigned char Up(char c) {
    return FoldChar(c);
}

// The fields the matcher reads, in place.
TMatchEntry MatchEntryOf(const TLibFolderItem& e) {
    TMatchEntry m;
    m.Caption = e.Caption.view();
    m.Category = e.Category.view();
    m.Comments = e.Comments.view();
    m.Tags = e.TagInfo.TextView();
    m.Date = e.Date;
    m.Size = e.Size;
    m.IsFolder = e.IsFolder != 0;
    return m;
}

// Case-insensitive (ASCII) hashing of names for the duplicates.
struct TNameHash {
    size_t operator()(std::string_view s) const {
        uint64_t h = 1469598103934665603ull;
        for (char c : s)
            h = (h ^ Up(c)) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};
struct TNameEq {
    bool operator()(std::string_view a, std::string_view b) const {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (Up(a[i]) != Up(b[i])) return false;
        return true;
    }
};

// Files of the same size and content hash.
struct TContentKey {
    int64_t Size;
    TContentHash Hash;
    bool operator==(const TContentKey&) const = default;
};
struct TContentKeyHash {
    size_t operator()(const TContentKey& k) const {
        // The hash is already uniform: fold in the size and take it.
        return static_cast<size_t>(k.Hash.Low ^ (k.Hash.High * 0x9e3779b97f4a7c15ull) ^
                                   static_cast<uint64_t>(k.Size));
    }
};

constexpr unsigned kStatusEvery = 4096; // entries between status texts

} // namespace

void TSearchCriteria::ClearGeneral() {
    Name.clear();
    Category.clear();
    Comments.clear();
    Volume.clear();
    Location.clear();
    Type.clear();
    Anywhere.clear();
    Date1Use = Date2Use = SizeUse = false;
    DurationUse = TakenUse = false;
    ReplaceCategory = ReplaceComments = false;
}

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
        return FormatSize(fmt.SizeUnit, static_cast<double>(e->Size), fmt.KBText, fmt.MBText);
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
            GetMessageText("infoSize", FormatSize(fmt.SizeUnit, static_cast<double>(s.Size),
                                                  fmt.KBText, fmt.MBText)),
            GetMessageText("infoFindResults", std::to_string(s.Results()))};
}

std::string TSearchResults::UnhashedText() const {
    return Unhashed < 0 ? std::string()
                        : GetMessageText("infoNoChecksum", std::to_string(Unhashed));
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

void TSearchEngine::Poll(const std::string& what) {
    if (!what.empty()) progress_.ShowStatus(GetMessageText("msgsFindSearching", what), {}, false);
    if (progress_.StopRequested()) throw EMessageError("infoCancel");
}

void TSearchEngine::AddRow(TSearchResults& r, std::vector<TSearchRow>& list, TSearchStats& stats,
                           TLibFolderItem* e, bool resultsList) {
    if (resultsList) e->DupCount = 1;
    TSearchRow row;
    row.Entry = e;
    if (IsArchiveEntry(e))
        row.ImageIndex = 1;
    else if (e->IsFolder)
        row.ImageIndex = 0;
    else
        row.ImageIndex = Format.FileImageIndex ? Format.FileImageIndex(e->Caption.str()) : 2;
    list.push_back(row);
    const TLibFolder* vol = EntryVolume(e);
    if (vol != stats.LastVolume) ++stats.Volumes;
    stats.LastVolume = vol;
    if (e->IsFolder)
        ++stats.Folders;
    else
        ++stats.Files;
    stats.Size += e->Size;
    if (!resultsList) return;
    const TSearchCriteria& c = *criteria_;
    if (c.ReplaceCategory) {
        e->Category = c.ReplaceCategoryText;
        replaced_ = true;
    }
    if (c.ReplaceComments) {
        e->Comments = c.ReplaceCommentsText;
        replaced_ = true;
    }
    TTreeNode* link = vol ? vol->CollectionNode : nullptr;
    if (e->CollectionNode) link = e->CollectionNode;
    if (link) {
        r.CollectionRows.push_back(link);
        ++r.Stats.Collections;
        ++r.DupStats.Collections;
    }
}

template <class TKey, class THash, class TEq, class TKeyOf>
void TSearchEngine::GroupDuplicates(TSearchResults& r, const TKeyOf& keyOf) {
    // One hash lookup per result: the first two of a group are listed together
    // when the second is met, each later one when it is met; every entry ends
    // with the size of its group (1 for an entry that has no key).
    struct TInfo {
        TLibFolderItem* First;
        int32_t Count;
    };
    std::unordered_map<TKey, TInfo, THash, TEq> infos;
    infos.reserve(r.Rows.size());
    std::vector<TInfo*> infoOf(r.Rows.size());
    size_t done = 0;
    auto writeCounts = [&] {
        for (size_t i = 0; i < done; ++i)
            r.Rows[i].Entry->DupCount = infoOf[i] ? infoOf[i]->Count : 1;
    };
    try {
        for (size_t i = 0; i < r.Rows.size(); ++i, ++done) {
            if ((i & (kStatusEvery - 1)) == 0) Poll({});
            TLibFolderItem* e = r.Rows[i].Entry;
            auto key = keyOf(e);
            if (!key) continue;
            TInfo& info = infos.try_emplace(*key, TInfo{e, 0}).first->second;
            infoOf[i] = &info;
            ++info.Count;
            if (info.Count == 2) AddRow(r, r.DupRows, r.DupStats, info.First, false);
            if (info.Count >= 2) AddRow(r, r.DupRows, r.DupStats, e, false);
        }
    } catch (...) {
        writeCounts();
        throw;
    }
    writeCounts();
    for (size_t i = 0; i < r.DupRows.size(); ++i) {
        if ((i & (kStatusEvery - 1)) == 0) {
            progress_.ShowStatus(GetMessageText("msgsUpdating", std::to_string(i)), {}, false);
            Poll({});
        }
        r.DupRows[i].Duplicates = r.DupRows[i].Entry->DupCount;
    }
}

void TSearchEngine::FindDuplicates(TSearchResults& r) {
    GroupDuplicates<std::string_view, TNameHash, TNameEq>(
        r, [](const TLibFolderItem* e) { return std::optional(e->Caption.view()); });
}

void TSearchEngine::FindContentDuplicates(TSearchResults& r) {
    r.Unhashed = 0;
    GroupDuplicates<TContentKey, TContentKeyHash, std::equal_to<TContentKey>>(
        r, [&](const TLibFolderItem* e) -> std::optional<TContentKey> {
            // A folder has no content of its own; an archive is a file.
            if (e->IsFolder && !e->IsArchive) return std::nullopt;
            TContentKey key{e->Size, {}};
            if (!ParseChecksum(TagValueOf(e->TagInfo.TextView(), kChecksumKey), key.Hash)) {
                ++r.Unhashed;
                return std::nullopt;
            }
            return key;
        });
}

void TSearchEngine::RunCollections(const TSearchCriteria& c, TSearchResults& r,
                                   const std::vector<TTreeNode*>* selected) {
    const std::string cap = FoldText(c.ColCaption, c.MatchCase);
    const std::string url = FoldText(c.ColURL, c.MatchCase);
    const std::string memo = FoldText(c.ColComments, c.MatchCase);
    auto visit = [&](TTreeNode* n) {
        const TLibColItem* item = ColItemOf(n);
        std::string_view itemUrl = item ? std::string_view(item->URL) : std::string_view();
        std::string_view itemMemo = item ? std::string_view(item->MemoText) : std::string_view();
        if (FoldedContains(n->Text(), cap, c.MatchCase) &&
            FoldedContains(itemUrl, url, c.MatchCase) &&
            FoldedContains(itemMemo, memo, c.MatchCase)) {
            r.CollectionRows.push_back(n);
            ++r.Stats.Collections;
            ++r.DupStats.Collections;
        }
        Poll(n->Text());
    };
    if (selected) {
        for (TTreeNode* n : *selected)
            if (n && n->Tree() == &lib_.ColTree) visit(n);
    } else {
        for (TTreeNode* n = lib_.ColTree.FirstNode(); n; n = TTree::NextPreOrder(n))
            visit(n);
    }
}

void TSearchEngine::Run(const TSearchCriteria& criteria, TSearchResults& results,
                        const std::vector<TTreeNode*>* selected) {
    results.lib_ = &lib_;
    results.Clear();
    results.ShowDuplicates = criteria.Duplicates && criteria.Mode != TSearchMode::Collections;
    criteria_ = &criteria;
    replaced_ = false;
    struct TMarkModified {
        TSearchEngine& self;
        ~TMarkModified() {
            if (self.replaced_) self.lib_.Modified = true;
        }
    } markModified{*this};

    if (criteria.Mode == TSearchMode::Collections) {
        RunCollections(criteria, results, selected);
        return;
    }
    TEntryMatcher matcher(criteria);
    unsigned counter = 0;

    auto visitNode = [&](TTreeNode* node) {
        TLibFolder* folder = FolderOf(node);
        if (!folder) return;
        const TLibFolder* vol = GetVolume(folder);
        if (!matcher.EnterFolder(vol->Caption, vol->Location, folder->Category, folder->Comments)) {
            // Nothing here can match; still honour Stop.
            counter += static_cast<unsigned>(folder->ItemsCount());
            Poll({});
            return;
        }
        for (const auto& item : folder->Items()) {
            TLibFolderItem* e = item.get();
            if ((++counter & (kStatusEvery - 1)) == 0)
                Poll(GetEntryCatalogPath(e));
            else if (progress_.StopRequested())
                throw EMessageError("infoCancel");
            if (matcher.Matches(MatchEntryOf(*e)))
                AddRow(results, results.Rows, results.Stats, e, true);
        }
    };

    if (selected) {
        for (TTreeNode* n : *selected)
            if (n && n->Tree() == &lib_.Tree) visitNode(n);
    } else {
        for (TTreeNode* n = lib_.Tree.FirstNode(); n; n = TTree::NextPreOrder(n))
            visitNode(n);
    }
    if (criteria.Duplicates) {
        if (criteria.DupMode == TDupMode::Content)
            FindContentDuplicates(results);
        else
            FindDuplicates(results);
    }
}
