#include "catalog/lib_records.h"

#include "analysis/file_utils.h"
#include "analysis/name_text.h"
#include "analysis/string_list.h"

#include <algorithm>

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

TLibFolder::~TLibFolder() = default;

int TLibFolder::IndexOfItem(std::string_view caption) const {
    auto it = std::lower_bound(items_.begin(), items_.end(), caption, ItemLess());
    if (it != items_.end() && (*it)->Caption.view() == caption)
        return static_cast<int>(it - items_.begin());
    return -1;
}

bool TLibFolder::SortsAfterLast(std::string_view caption) const {
    return items_.empty() || CompareNames(items_.back()->Caption.view(), caption) < 0;
}

TLibFolderItem* TLibFolder::FindItem(std::string_view caption) const {
    int i = IndexOfItem(caption);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

TLibFolderItem* TLibFolder::AddItem(std::unique_ptr<TLibFolderItem> item) {
    std::string_view c = item->Caption.view();
    // Loads and sorted scans deliver entries in order: append without searching.
    if (items_.empty() || CompareNames(items_.back()->Caption.view(), c) < 0) {
        item->Owner = this;
        items_.push_back(std::move(item));
        return items_.back().get();
    }
    auto it = std::lower_bound(items_.begin(), items_.end(), c, ItemLess());
    if (it != items_.end() && (*it)->Caption.view() == c) return nullptr;
    item->Owner = this;
    return items_.insert(it, std::move(item))->get();
}

std::unique_ptr<TLibFolderItem> TLibFolder::TakeItem(TLibFolderItem* item) {
    auto it = std::lower_bound(items_.begin(), items_.end(), item->Caption.view(), ItemLess());
    for (; it != items_.end() && (*it)->Caption.view() == item->Caption.view(); ++it) {
        if (it->get() == item) {
            std::unique_ptr<TLibFolderItem> own = std::move(*it);
            items_.erase(it);
            return own;
        }
    }
    return nullptr;
}

std::string GetCatalogPath(const TLibFolder* folder) {
    if (!folder) return {};
    if (!folder->Parent) {
        std::string c = folder->Caption;
        auto first = c.find('\\');
        if (first != std::string::npos && first == c.size() - 1) c.pop_back();
        return nametext::CaptionToPathPart(c) + "\\";
    }
    return GetCatalogPath(folder->Parent) + nametext::CaptionToPathPart(folder->Caption) + "\\";
}

std::string GetSourcePath(const TLibFolder* folder) {
    if (!folder) return {};
    if (!folder->Parent) return folder->SourcePath;
    std::string parent = GetSourcePath(folder->Parent);
    // Source paths are native; keep the separator the volume's path uses.
    char sep = parent.find('\\') != std::string::npos && parent.find('/') == std::string::npos
                   ? '\\'
                   : '/';
    return parent + folder->Caption + sep;
}

std::string GetDisplayPath(const TLibFolder* folder) {
    if (!folder) return {};
    if (!folder->Parent) return "[" + nametext::CaptionToPathPart(folder->Caption) + "]\\";
    return GetDisplayPath(folder->Parent) + nametext::CaptionToPathPart(folder->Caption) + "\\";
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
    return folder && folder->Parent && IsArchiveFile(folder->Caption);
}

bool IsArchiveEntry(const TLibFolderItem* entry) {
    return IsArchiveFile(entry->Caption.view());
}

TLibFolder* GetVolume(TLibFolder* folder) {
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
        s += e->Size;
    return s;
}

int64_t FolderDisplaySize(const TLibFolder* folder) {
    if (!folder->Parent) return folder->DirectSize;
    int64_t s = 0;
    for (const auto& e : folder->Items()) {
        if (e->IsFolder) {
            TTreeNode* n = folder->Node ? folder->Node->FindChild(e->Caption.view()) : nullptr;
            if (n) {
                s += FolderOf(n)->DirectSize;
                continue;
            }
        }
        s += e->Size;
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
