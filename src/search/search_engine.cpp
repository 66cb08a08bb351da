#include "search/search_engine.h"

#include "catalog/name_arena.h"
#include "catalog/name_block.h"
#include "catalog/prefetch.h"
#include "files/file_checksum.h"
#include "search/content_groups.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/text_utils.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <numeric>
#include <optional>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace {

inline unsigned char Up(char c) {
    return FoldChar(c);
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

constexpr unsigned kStatusEvery = 4096; // entries between status texts

// How far ahead of the entry being matched the next entries, and then their
// names, are asked for: far enough to hide a trip to memory.
constexpr uint32_t kEntryAhead = 32;
constexpr uint32_t kTextAhead = 16;
// The same for the folders of a walk and of the slices, a folder's record
// first and then what it points to.
constexpr int kNodeAhead = 8;
constexpr size_t kFolderAhead = 8;

// Asks for the whole of a folder's record: the search reads fields all over it.
inline void PrefetchRecord(const TLibFolder* f) {
    if (!f) return;
    const char* p = reinterpret_cast<const char*>(f);
    for (size_t off = 0; off < sizeof(TLibFolder); off += 64)
        Prefetch(p + off);
    Prefetch(p + sizeof(TLibFolder) - 1);
}

} // namespace

// A run of at most kStatusEvery entries of one folder: the unit of matching,
// of polling for Stop and of the split between threads.
struct TSearchEngine::TSlice {
    TLibFolder* Folder;
    const std::unique_ptr<TLibFolderItem>* Items;
    uint32_t Begin, End;
    bool Unlaid; // the folder had no name block when the search began
    size_t Size() const { return End - Begin; }
};

// The entries that matched in a run of slices, and where each slice's end.
struct TSearchEngine::TMatchedSlices {
    std::vector<TLibFolderItem*> Entries;
    std::vector<size_t> Ends; // Entries.size() after each slice
    void Clear() {
        Entries.clear();
        Ends.clear();
    }
};

namespace {

// Walks the entries of a run of slices ahead of the matching.
class TLookAhead {
public:
    using TSlice = TSearchEngine::TSlice;
    TLookAhead(const TSlice* first, const TSlice* end, size_t distance) : s_(first), end_(end) {
        if (s_ != end_) i_ = s_->Begin;
        Skip(distance);
    }
    // The next entry, or null past the end.
    TLibFolderItem* Next() {
        while (s_ != end_ && i_ >= s_->End)
            if (++s_ != end_) i_ = s_->Begin;
        return s_ != end_ ? s_->Items[i_++].get() : nullptr;
    }
    void Skip(size_t n) {
        while (n && s_ != end_) {
            const size_t step = std::min<size_t>(n, s_->End - i_);
            i_ += static_cast<uint32_t>(step);
            n -= step;
            if (i_ >= s_->End && ++s_ != end_) i_ = s_->Begin;
        }
    }

private:
    const TSlice* s_;
    const TSlice* end_;
    uint32_t i_ = 0;
};

} // namespace

// Matches the slices of a run in order, one matcher and look-ahead per run:
// each entry is asked for kEntryAhead entries before it is matched, its name
// kTextAhead entries before, so the trips to memory overlap. A search by name
// reads the folder's names end to end instead and looks at an entry only
// when its name holds the criterion: every match must. The blocks this run
// lays out come from its own arena, sized for the names still without one.
class TSearchEngine::TSliceMatcher {
public:
    TSliceMatcher(const TEntryMatcher& matcher, const TSlice* first, const TSlice* end,
                  size_t layOutAtLeast)
        : matcher_(matcher), filter_(matcher_.NameFilter()), needs_(matcher.Needs()),
          entries_(first, end, kEntryAhead), texts_(first, end, kTextAhead), end_(end) {
        if (!filter_) return;
        // Fresh memory costs a fault per page, and on some systems far more
        // on its first use: laying out a big catalog's names at once made the
        // first search much dearer than reading every entry. A run lays out
        // at most as many names as already have a block, and a quarter of its
        // entries (but layOutAtLeast in any case), so that each search pays
        // for new blocks with what the old ones save it, and a few searches
        // lay out everything.
        size_t laid = 0, unlaid = 0;
        for (const TSlice* s = first; s != end; ++s)
            (s->Unlaid ? unlaid : laid) += s->Size();
        layLeft_ = std::max(std::min(laid, (laid + unlaid) / 4), layOutAtLeast);
        arena_.emplace(std::min(unlaid, layLeft_));
    }

    // s: one of the run's slices, taken in order.
    void Match(const TSlice& s, TMatchedSlices& out) {
        if (filter_) {
            // The name search is quick enough that the folders' records and
            // blocks, far apart in memory, would otherwise be most of its time.
            if (static_cast<size_t>(end_ - &s) > kFolderAhead)
                PrefetchRecord((&s)[kFolderAhead].Folder);
            if (static_cast<size_t>(end_ - &s) > kFolderAhead / 2)
                if (const TNameBlock* b = (&s)[kFolderAhead / 2].Folder->NameBlockIfMade())
                    for (size_t off = 0; off < 256; off += 64)
                        Prefetch(reinterpret_cast<const char*>(b) + off);
        }
        if (s.Folder != entered_) {
            entered_ = s.Folder;
            const TLibFolder* vol = GetVolume(s.Folder);
            any_ = matcher_.EnterFolder(vol->Caption, vol->Location, s.Folder->Category,
                                        s.Folder->Comments);
            block_ = any_ && filter_ ? Block(s) : nullptr;
            if (block_ && block_->Count() != static_cast<size_t>(s.Folder->ItemsCount()))
                block_ = nullptr;
        }
        if (!any_) {
            entries_.Skip(s.Size());
            texts_.Skip(s.Size());
        } else if (block_) {
            entries_.Skip(s.Size());
            texts_.Skip(s.Size());
            MatchNames(s, out);
        } else {
            using F = TEntryMatcher;
            const bool caption = needs_ & F::kCaption;
            for (uint32_t i = s.Begin; i < s.End; ++i) {
                if (const TLibFolderItem* a = entries_.Next()) {
                    // An entry may span two lines: ask for the one of each field read.
                    Prefetch(&a->Caption);
                    if (needs_ & F::kIsFolder) Prefetch(&a->IsFolder);
                    if (needs_ & (F::kDate | F::kSize)) Prefetch(&a->Size);
                    if (needs_ & (F::kCategory | F::kComments | F::kTags)) Prefetch(&a->TagInfo);
                }
                if (caption) {
                    const TLibFolderItem* t = texts_.Next();
                    if (t) Prefetch(t->Caption.view().data());
                }
                TLibFolderItem& e = *s.Items[i];
                if (matcher_.Matches(View(e))) out.Entries.push_back(&e);
            }
            if (!caption) texts_.Skip(s.Size());
        }
        out.Ends.push_back(out.Entries.size());
    }

private:
    // The folder's name block, laid out now while the run's share lasts.
    const TNameBlock* Block(const TSlice& s) {
        const TLibFolder& f = *s.Folder;
        if (const TNameBlock* b = f.NameBlockIfMade()) return b;
        if (layLeft_ == 0) return nullptr;
        layLeft_ -= std::min(layLeft_, static_cast<size_t>(f.ItemsCount()));
        // The next folder's first entries are asked for while this one's
        // last names are copied.
        std::span<const std::unique_ptr<TLibFolderItem>> ahead;
        if (&s + 1 != end_ && (&s)[1].Folder != s.Folder)
            ahead = {(&s)[1].Items + (&s)[1].Begin, (&s)[1].Size()};
        return f.NameBlock(&*arena_, ahead);
    }

    TMatchEntry View(const TLibFolderItem& e) const {
        using F = TEntryMatcher;
        return {needs_ & F::kCaption ? e.Caption.view() : std::string_view(),
                needs_ & F::kCategory ? e.Category.view() : std::string_view(),
                needs_ & F::kComments ? e.Comments.view() : std::string_view(),
                needs_ & F::kTags ? e.TagInfo.TextView() : std::string_view(),
                needs_ & F::kDate ? e.Date : 0,
                needs_ & F::kSize ? e.Size : 0,
                (needs_ & F::kIsFolder) && e.IsFolder != 0};
    }

    // The slice through the folder's name block: each occurrence of the name
    // criterion names one candidate, which the whole matcher then decides.
    void MatchNames(const TSlice& s, TMatchedSlices& out) {
        const size_t n = filter_->Size();
        size_t i = s.Begin;
        while (i < s.End) {
            const size_t at = filter_->Find(block_->Names(i, s.End));
            if (at == std::string_view::npos) break;
            const size_t pos = block_->Start(i) + at;
            i = block_->EntryAt(pos, i, s.End);
            // An occurrence that runs past the name's end is none of this name's,
            // and none can start later in it.
            if (pos + n <= block_->End(i)) {
                TLibFolderItem& e = *s.Items[i];
                if (matcher_.Matches(View(e))) out.Entries.push_back(&e);
            }
            ++i;
        }
    }

    TEntryMatcher matcher_;
    const TFoldedFinder* filter_; // matcher_'s name test; null when it has none
    unsigned needs_;
    TLookAhead entries_, texts_;
    const TSlice* end_;
    size_t layLeft_ = 0; // entries whose names this run may still lay out
    std::optional<TNameArena> arena_;
    const TNameBlock* block_ = nullptr; // the entered folder's, when used
    const TLibFolder* entered_ = nullptr;
    bool any_ = false;
};

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
    stats.AddSize(e->Size);
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
    if (TTreeNode* own = lib_.EntryLink(e)) link = own;
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
    r.Empty = 0;
    GroupDuplicates<TContentKey, TContentKeyHash, std::equal_to<TContentKey>>(
        r, [&](const TLibFolderItem* e) -> std::optional<TContentKey> {
            // A folder has no content of its own; an archive is a file.
            if (e->IsFolder && !e->IsArchive) return std::nullopt;
            if (e->Size == 0) {
                ++r.Empty;
                return std::nullopt;
            }
            TContentKey key{e->Size, {}};
            if (!ParseChecksum(TagValueOf(e->TagInfo.TextView(), kChecksumKey), key.Hash)) {
                ++r.Unhashed;
                return std::nullopt;
            }
            return key;
        });
    OrderContentGroups(r, [this] { Poll({}); });
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

void TSearchEngine::SearchEntries(const TSearchCriteria& criteria, TSearchResults& results,
                                  const std::vector<TTreeNode*>* selected) {
    const TEntryMatcher matcher(criteria);
    // The lists are taken here, on the calling thread: taking one may sort it.
    // The slices' memory is kept for the next search on the thread: a big
    // catalog's slices take hundreds of kilobytes, whose fresh pages would
    // each cost a fault on every search.
    thread_local std::vector<TSlice> kept;
    std::vector<TSlice> slices;
    slices.swap(kept);
    slices.clear();
    struct TKeep {
        std::vector<TSlice>& slices;
        ~TKeep() {
            if (slices.capacity() > kept.capacity()) kept.swap(slices);
        }
    } keep{slices};
    size_t total = 0;
    auto visitNode = [&](TTreeNode* node) {
        TLibFolder* folder = FolderOf(node);
        if (!folder) return;
        const auto& items = folder->Items();
        const bool unlaid = !folder->NameBlockIfMade();
        for (size_t b = 0; b < items.size(); b += kStatusEvery) {
            const size_t e = std::min(items.size(), b + kStatusEvery);
            slices.push_back(
                {folder, items.data(), static_cast<uint32_t>(b), static_cast<uint32_t>(e), unlaid});
            total += e - b;
        }
    };
    if (selected) {
        for (TTreeNode* n : *selected)
            if (n && n->Tree() == &lib_.Tree) visitNode(n);
    } else {
        // The siblings ahead, their nodes and then their folders, are asked
        // for: the nodes lie far apart in memory.
        for (TTreeNode* n = lib_.Tree.FirstNode(); n; n = TTree::NextPreOrder(n)) {
            if (const TTreeNode* parent = n->Parent()) {
                const int i = n->Index();
                const int count = parent->Count();
                if (i + kNodeAhead < count) Prefetch(parent->Child(i + kNodeAhead));
                if (i + kNodeAhead / 2 < count)
                    PrefetchRecord(FolderOf(parent->Child(i + kNodeAhead / 2)));
            }
            visitNode(n);
        }
    }

    // A second thread matches the later half of the slices while this one
    // matches the first; rows, statistics and replacements are all made here,
    // in order. Replacing writes entries, so it stays on one thread.
    const bool parallel = Threads != 1 && total >= ParallelFrom && slices.size() >= 2 &&
                          !criteria.ReplaceCategory && !criteria.ReplaceComments &&
                          (Threads >= 2 || std::thread::hardware_concurrency() >= 2);
    size_t mid = slices.size();
    if (parallel) {
        size_t half = 0;
        mid = 0;
        while (mid < slices.size() && half < total / 2)
            half += slices[mid++].Size();
    }
    TMatchedSlices later;
    std::atomic<bool> stop{false};
    std::exception_ptr failed;
    std::thread worker;
    struct TJoin {
        std::thread& t;
        std::atomic<bool>& stop;
        ~TJoin() {
            stop = true;
            if (t.joinable()) t.join();
        }
    } join{worker, stop};
    auto matchLater = [&] {
        try {
            TSliceMatcher m(matcher, slices.data() + mid, slices.data() + slices.size(),
                            LayOutAtLeast);
            for (size_t k = mid; k < slices.size() && !stop.load(std::memory_order_relaxed); ++k)
                m.Match(slices[k], later);
        } catch (...) {
            failed = std::current_exception();
        }
    };
    if (mid < slices.size()) {
        try {
            worker = std::thread(matchLater);
        } catch (const std::system_error&) {
            mid = slices.size(); // no thread to be had: all of it here
        }
    }

    size_t counter = 0, nextStatus = kStatusEvery;
    auto addSlice = [&](const TSlice& s, TLibFolderItem* const* first,
                        TLibFolderItem* const* last) {
        for (; first != last; ++first)
            AddRow(results, results.Rows, results.Stats, *first, true);
        counter += s.Size();
    };
    auto poll = [&](const TSlice& s) {
        if (counter >= nextStatus) {
            Poll(GetEntryCatalogPath(s.Items[s.Begin].get()));
            nextStatus = counter + kStatusEvery;
        } else if (progress_.StopRequested()) {
            throw EMessageError("infoCancel");
        }
    };
    TMatchedSlices own;
    TSliceMatcher ownMatcher(matcher, slices.data(), slices.data() + mid, LayOutAtLeast);
    for (size_t k = 0; k < mid; ++k) {
        poll(slices[k]);
        own.Clear();
        ownMatcher.Match(slices[k], own);
        addSlice(slices[k], own.Entries.data(), own.Entries.data() + own.Entries.size());
    }
    if (worker.joinable()) worker.join();
    if (failed) std::rethrow_exception(failed);
    size_t from = 0;
    for (size_t k = mid; k < slices.size(); ++k) {
        poll(slices[k]);
        const size_t to = later.Ends[k - mid];
        addSlice(slices[k], later.Entries.data() + from, later.Entries.data() + to);
        from = to;
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
    SearchEntries(criteria, results, selected);
    if (criteria.Duplicates) {
        if (criteria.DupMode == TDupMode::Content)
            FindContentDuplicates(results);
        else
            FindDuplicates(results);
    }
}
