#include "catalog/lib_records.h"

#include "catalog/name_block.h"
#include "files/file_utils.h"
#include "text/name_text.h"
#include "text/string_list.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

struct ItemLess {
    bool operator()(const std::unique_ptr<TLibFolderItem>& a, std::string_view b) const {
        return CompareNames(a->Caption.view(), b) < 0;
    }
};

} // namespace

std::unique_ptr<TLibFolder> TLibFolder::FromPath(std::string_view path) {
    auto f = std::make_unique<TLibFolder>();
    std::string_view p = path;
    if (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.remove_suffix(1);
    auto cut = p.find_last_of("\\/");
    std::string_view last = cut == std::string_view::npos ? p : p.substr(cut + 1);
    // A drive ("D:") at the root has no name of its own; below it "C:" is a folder's name.
    if (cut == std::string_view::npos && last.size() == 2 && last[1] == ':') last = {};
    f->Caption = std::string(last);
    return f;
}

// A tail this short is searched entry by entry: most folders that receive
// entries out of order (an import, a scan of an unsorted list) are small, and
// a hash per folder would cost more than the entries' own records.
constexpr size_t kScannedTail = 32;

struct TLibFolder::TTailIndex {
    std::unordered_map<std::string_view, TLibFolderItem*> byCaption;
};

TLibFolder::TLibFolder() = default;
TLibFolder::~TLibFolder() = default;

const TNameBlock*
TLibFolder::NameBlock(TNameArena* arena,
                      std::span<const std::unique_ptr<TLibFolderItem>> ahead) const {
    if (sorted_ != items_.Get().size()) return nullptr;
    return items_.MakeBlock(arena, ahead);
}

const TNameBlock*
TLibFolder::TEntryList::MakeBlock(TNameArena* arena,
                                  std::span<const std::unique_ptr<TLibFolderItem>> ahead) {
    if (TNameBlock* b = block_.load(std::memory_order_acquire)) return b;
    TNameBlock::TPtr made = TNameBlock::Make(items_, arena, ahead);
    if (!made) return nullptr;
    // Two threads may make it at once: the first to publish wins.
    TNameBlock* expected = nullptr;
    if (block_.compare_exchange_strong(expected, made.get(), std::memory_order_acq_rel))
        return made.release();
    return expected;
}

void TLibFolder::TEntryList::Drop() {
    TNameBlock::Destroy(block_.exchange(nullptr, std::memory_order_acq_rel));
}

void TLibFolder::SortPending() const {
    if (sorted_ == items_.Get().size()) return;
    auto& items = items_.Change();
    auto less = [](const std::unique_ptr<TLibFolderItem>& a,
                   const std::unique_ptr<TLibFolderItem>& b) {
        return CompareNames(a->Caption.view(), b->Caption.view()) < 0;
    };
    auto mid = items.begin() + static_cast<std::ptrdiff_t>(sorted_);
    std::sort(mid, items.end(), less);
    std::inplace_merge(items.begin(), mid, items.end(), less);
    sorted_ = items.size();
    tailGreatest_ = nullptr;
    tailIndex_.reset();
}

TLibFolderItem* TLibFolder::FindPending(std::string_view caption) const {
    if (tailIndex_) {
        auto it = tailIndex_->byCaption.find(caption);
        return it == tailIndex_->byCaption.end() ? nullptr : it->second;
    }
    const TItemVector& items = items_.Get();
    for (size_t i = sorted_; i < items.size(); ++i)
        if (items[i]->Caption.view() == caption) return items[i].get();
    return nullptr;
}

int TLibFolder::IndexOfItem(std::string_view caption) const {
    SortPending();
    const TItemVector& items = items_.Get();
    auto it = std::lower_bound(items.begin(), items.end(), caption, ItemLess());
    if (it != items.end() && (*it)->Caption.view() == caption)
        return static_cast<int>(it - items.begin());
    return -1;
}

bool TLibFolder::SortsAfterLast(std::string_view caption) const {
    const TItemVector& items = items_.Get();
    if (sorted_ > 0 && CompareNames(items[sorted_ - 1]->Caption.view(), caption) >= 0) return false;
    return !tailGreatest_ || CompareNames(tailGreatest_->Caption.view(), caption) < 0;
}

TLibFolderItem* TLibFolder::FindItem(std::string_view caption) const {
    const TItemVector& items = items_.Get();
    auto end = items.begin() + static_cast<std::ptrdiff_t>(sorted_);
    auto it = std::lower_bound(items.begin(), end, caption, ItemLess());
    if (it != end && (*it)->Caption.view() == caption) return it->get();
    return FindPending(caption);
}

TLibFolderItem* TLibFolder::FindItemFrom(std::string_view caption, size_t& hint) const {
    const TItemVector& items = items_.Get();
    auto less = [&](size_t i) { return CompareNames(items[i]->Caption.view(), caption) < 0; };
    size_t lo = std::min(hint, sorted_);
    // Asked out of order (or the list changed): search the whole sorted part.
    if (lo > 0 && !less(lo - 1)) lo = 0;
    // Gallop forward, then search the last step.
    size_t hi = lo, step = 1;
    while (hi < sorted_ && less(hi)) {
        lo = hi + 1;
        hi = lo + step;
        step *= 2;
    }
    hi = std::min(hi, sorted_);
    auto first = items.begin();
    auto it = std::lower_bound(first + static_cast<std::ptrdiff_t>(lo),
                               first + static_cast<std::ptrdiff_t>(hi), caption, ItemLess());
    hint = static_cast<size_t>(it - first);
    if (hint < sorted_ && (*it)->Caption.view() == caption) return it->get();
    return FindPending(caption);
}

TLibFolderItem* TLibFolder::AddItem(std::unique_ptr<TLibFolderItem> item) {
    std::string_view c = item->Caption.view();
    // Loads and sorted scans deliver entries in order: append without searching.
    const bool last = !tailGreatest_ && SortsAfterLast(c);
    if (!last && FindItem(c)) return nullptr;
    item->Owner = this;
    TItemVector& items = items_.Change();
    // Growing by half, not by double: the list is the largest part of a
    // folder, and a scan or an import leaves it as it grew.
    if (items.size() == items.capacity()) items.reserve(items.size() + items.size() / 2 + 4);
    TLibFolderItem* raw = item.get();
    items.push_back(std::move(item));
    if (last) {
        sorted_ = items.size();
        return raw;
    }
    if (!tailGreatest_ || CompareNames(tailGreatest_->Caption.view(), c) < 0) tailGreatest_ = raw;
    const size_t tail = items.size() - sorted_;
    if (tail < kScannedTail) return raw;
    // Merging once the tail is as long as the sorted part doubles that part
    // each time: all merges together cost O(n).
    if (tail >= sorted_) {
        SortPending();
    } else if (tailIndex_) {
        tailIndex_->byCaption.emplace(c, raw);
    } else {
        tailIndex_ = std::make_unique<TTailIndex>();
        for (size_t i = sorted_; i < items.size(); ++i)
            tailIndex_->byCaption.emplace(items[i]->Caption.view(), items[i].get());
    }
    return raw;
}

void TLibFolder::AdoptItems(std::vector<std::unique_ptr<TLibFolderItem>> items) {
    auto less = [](const std::unique_ptr<TLibFolderItem>& a,
                   const std::unique_ptr<TLibFolderItem>& b) {
        return CompareNames(a->Caption.view(), b->Caption.view()) < 0;
    };
    auto same = [](const std::unique_ptr<TLibFolderItem>& a,
                   const std::unique_ptr<TLibFolderItem>& b) {
        return a->Caption.view() == b->Caption.view();
    };
    // Strictly ascending input (what this program writes) needs no sort, and
    // strictly descending input only a reversal.
    auto ordered = [&](auto cmp) {
        return std::adjacent_find(items.begin(), items.end(), [&](const auto& a, const auto& b) {
                   return !cmp(a, b);
               }) == items.end();
    };
    if (!ordered(less)) {
        if (ordered([&](const auto& a, const auto& b) { return less(b, a); })) {
            std::reverse(items.begin(), items.end());
        } else {
            std::stable_sort(items.begin(), items.end(), less);
            items.erase(std::unique(items.begin(), items.end(), same), items.end());
        }
    }
    SortPending();
    for (auto& e : items)
        e->Owner = this;
    if (items_.Get().empty()) { // a load: the list is taken as it is, with no copy
        items_.Change() = std::move(items);
        sorted_ = items_.Get().size();
        return;
    }
    std::erase_if(items, [&](const auto& e) { return FindItem(e->Caption.view()); });
    if (items.empty()) return;
    TItemVector& list = items_.Change();
    const auto mid = static_cast<std::ptrdiff_t>(list.size());
    list.insert(list.end(), std::make_move_iterator(items.begin()),
                std::make_move_iterator(items.end()));
    std::inplace_merge(list.begin(), list.begin() + mid, list.end(), less);
    sorted_ = list.size();
}

std::unique_ptr<TLibFolderItem> TLibFolder::TakeItem(TLibFolderItem* item) {
    const int i = IndexOfItem(item->Caption.view());
    if (i < 0 || Item(i) != item) return nullptr;
    TItemVector& items = items_.Change();
    auto it = items.begin() + i;
    std::unique_ptr<TLibFolderItem> own = std::move(*it);
    items.erase(it);
    sorted_ = items.size();
    return own;
}

void TLibFolder::ClearItems() {
    items_.Change().clear();
    sorted_ = 0;
    tailGreatest_ = nullptr;
    tailIndex_.reset();
}

int64_t AddSizes(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int64_t SubtractSize(int64_t total, int64_t size) {
    int64_t left = 0;
    if (__builtin_sub_overflow(total, size, &left)) return size > 0 ? 0 : total;
    return left < 0 ? 0 : left;
}

namespace {

// The folders from the volume down to `folder`.
std::vector<const TLibFolder*> Chain(const TLibFolder* folder) {
    std::vector<const TLibFolder*> chain;
    for (const TLibFolder* f = folder; f; f = f->Parent)
        chain.push_back(f);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

} // namespace

std::string GetCatalogPath(const TLibFolder* folder) {
    if (!folder) return {};
    std::vector<const TLibFolder*> chain = Chain(folder);
    std::string_view root = chain.front()->Caption;
    // A volume titled "C:\" keeps one separator, not two.
    if (!root.empty() && root.find('\\') == root.size() - 1) root.remove_suffix(1);
    std::string out = nametext::CaptionToPathPart(root);
    out += '\\';
    for (size_t i = 1; i < chain.size(); ++i) {
        out += nametext::CaptionToPathPart(chain[i]->Caption);
        out += '\\';
    }
    return out;
}

std::string GetSourcePath(const TLibFolder* folder) {
    if (!folder) return {};
    std::vector<const TLibFolder*> chain = Chain(folder);
    std::string out = chain.front()->SourcePath;
    // Source paths are native; keep the separator the path so far uses.
    bool slash = out.find('/') != std::string::npos;
    bool backslash = out.find('\\') != std::string::npos;
    for (size_t i = 1; i < chain.size(); ++i) {
        const std::string& c = chain[i]->Caption;
        char sep = backslash && !slash ? '\\' : '/';
        out += c;
        out += sep;
        slash = slash || sep == '/' || c.find('/') != std::string::npos;
        backslash = backslash || sep == '\\' || c.find('\\') != std::string::npos;
    }
    return out;
}

std::string GetDisplayPath(const TLibFolder* folder) {
    if (!folder) return {};
    std::vector<const TLibFolder*> chain = Chain(folder);
    std::string out = "[" + nametext::CaptionToPathPart(chain.front()->Caption) + "]\\";
    for (size_t i = 1; i < chain.size(); ++i) {
        out += nametext::CaptionToPathPart(chain[i]->Caption);
        out += '\\';
    }
    return out;
}

std::string GetEntryCatalogPath(const TLibFolderItem* entry) {
    if (!entry->Owner) return entry->Caption.str();
    return GetCatalogPath(entry->Owner) + nametext::CaptionToPathPart(entry->Caption.view());
}

std::string GetEntrySourcePath(const TLibFolderItem* entry) {
    if (!entry->Owner) return entry->Caption.str();
    return GetSourcePath(entry->Owner) + entry->Caption.str();
}

std::string GetEntryType(const TLibFolderItem* entry) {
    if (entry->IsFolder) return {};
    std::string_view c = entry->Caption.view();
    auto dot = c.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string_view ext = c.substr(dot + 1);
    if (ext.find('/') != std::string_view::npos) return {}; // a dot in a member's folder name
    std::string out(ext);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    return out;
}

bool IsVolume(const TLibFolder* folder) {
    return folder && !folder->Parent;
}

bool IsArchiveFolder(const TLibFolder* folder) {
    return folder && folder->Parent && folder->IsArchive;
}

bool IsArchiveEntry(const TLibFolderItem* entry) {
    return entry->IsFolder && entry->IsArchive;
}

bool LooksLikeArchive(std::string_view caption) {
    return IsArchiveFile(caption);
}

void SetArchiveMark(TTreeNode* node, bool archive) {
    TLibFolder* f = FolderOf(node);
    if (!f || !f->Parent) return;
    if (TLibFolderItem* e = f->Parent->FindItem(f->Caption)) e->IsArchive = archive ? 1 : 0;
    if (f->IsArchive == archive) return;
    f->IsArchive = archive;
    SetFolderImages(node);
}

TLibFolder* GetVolume(TLibFolder* folder) {
    if (folder && folder->Parent && folder->Volume) return folder->Volume;
    while (folder && folder->Parent)
        folder = folder->Parent;
    return folder;
}

TTreeNode* EntryNode(const TLibFolderItem* entry) {
    if (!entry->Owner) return nullptr;
    TTreeNode* owner = entry->Owner->Node;
    if (entry->IsFolder && owner) {
        if (TTreeNode* child = owner->FindChild(entry->Caption.view())) return child;
    }
    return owner;
}

TLibFolder* EntryFolder(const TLibFolderItem* entry) {
    return FolderOf(EntryNode(entry));
}

TLibFolder* EntryVolume(const TLibFolderItem* entry) {
    return GetVolume(entry->Owner);
}

TTreeNode* RootNode(TTreeNode* node) {
    while (node && node->Parent())
        node = node->Parent();
    return node;
}

TTreeNode* FindNodeByText(const TTree& tree, std::string_view text) {
    for (TTreeNode* n = tree.FirstNode(); n; n = TTree::NextPreOrder(n))
        if (n->Text() == text) return n;
    return nullptr;
}

TTreeNode* FindNodeByPath(TTreeNode* start, std::string_view path) {
    if (!start) return nullptr;
    TTreeNode* stop = nullptr;
    // The subtree of `start` ends where pre-order leaves it.
    for (TTreeNode* p = start; p && !stop; p = p->Parent()) {
        if (TTreeNode* s = p->NextSibling()) stop = s;
    }
    for (TTreeNode* n = start; n && n != stop; n = TTree::NextPreOrder(n)) {
        TLibFolder* f = FolderOf(n);
        if (f && (GetSourcePath(f) == path || GetCatalogPath(f) == path)) return n;
    }
    return nullptr;
}

std::string OneLineText(std::string_view text, std::string_view newLine) {
    std::string out;
    bool first = true;
    ForEachTextLine(text, [&](std::string_view line) {
        if (!first) out.append(newLine);
        out.append(line);
        first = false;
    });
    return out;
}

int64_t DirectItemsSize(const TLibFolder* folder) {
    int64_t s = 0;
    for (const auto& e : folder->Items())
        s = AddSizes(s, e->Size);
    return s;
}

TCatalogTotals OwnEntryTotals(const TLibFolder* folder) {
    TCatalogTotals t;
    for (const auto& e : folder->Items()) {
        if (e->IsFolder && !IsArchiveEntry(e.get())) {
            ++t.Folders;
        } else {
            ++t.Files;
            // A damaged catalog may hold negative sizes; they take nothing away.
            if (e->Size > 0) t.Bytes = AddSizes(t.Bytes, e->Size);
        }
    }
    return t;
}

void AddChildTotals(TCatalogTotals& totals, const TLibFolder* child, const TCatalogTotals& below) {
    if (child->IsArchive) {
        totals.Members += below.Files + below.Folders + below.Members;
        return;
    }
    totals.Files += below.Files;
    totals.Folders += below.Folders;
    totals.Members += below.Members;
    totals.Bytes = AddSizes(totals.Bytes, below.Bytes);
}

int64_t FolderDisplaySize(const TLibFolder* folder) {
    if (!folder->Parent) return folder->VolumeSize;
    int64_t s = 0;
    for (const auto& e : folder->Items()) {
        if (e->IsFolder) {
            TTreeNode* n = folder->Node ? folder->Node->FindChild(e->Caption.view()) : nullptr;
            if (n) {
                s = AddSizes(s, FolderOf(n)->ItemsSize);
                continue;
            }
        }
        s = AddSizes(s, e->Size);
    }
    return s;
}

void SetFolderImages(TTreeNode* node) {
    TLibFolder* f = FolderOf(node);
    if (!f) return;
    if (!f->Parent) {
        node->ImageIndex = 3;
        node->SelectedIndex = 4;
    } else if (IsArchiveFolder(f)) {
        node->ImageIndex = node->Expanded ? 1 : 5;
        node->SelectedIndex = 2;
    } else {
        node->ImageIndex = node->Expanded ? 1 : 0;
        node->SelectedIndex = 2;
    }
}

void SetColItemImages(TTreeNode* node) {
    TLibColItem* c = ColItemOf(node);
    if (!c) {
        node->ImageIndex = node->SelectedIndex = 0;
        return;
    }
    switch (c->Kind) {
    case TLibColItem::kVolumeLink:
        node->ImageIndex = 1, node->SelectedIndex = 2;
        break;
    case TLibColItem::kFolderLink:
        node->ImageIndex = 3, node->SelectedIndex = 4;
        break;
    case TLibColItem::kFileLink:
        node->ImageIndex = node->SelectedIndex = 5;
        break;
    case TLibColItem::kArchiveLink:
        node->ImageIndex = node->SelectedIndex = 6;
        break;
    default:
        if (c->ImageIndex < 0) c->ImageIndex = 0;
        node->ImageIndex = node->SelectedIndex = c->ImageIndex;
    }
}
