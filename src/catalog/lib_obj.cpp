#include "catalog/lib_obj.h"

#include "text/name_text.h"

#include <algorithm>
#include <unordered_set>

TLibObj::TLibObj() {
    Tree.OnRelease = [this](TTreeNode* n) { OnCatalogRelease(n); };
    ColTree.OnRelease = [this](TTreeNode* n) { OnColRelease(n); };
}

TLibObj::~TLibObj() {
    clearing_ = true;
    ColTree.Clear();
    Tree.Clear();
}

TTreeNode* TLibObj::AddVolumeNode(std::unique_ptr<TLibFolder> folder) {
    TLibFolder* f = folder.get();
    f->Kind = 0;
    f->Parent = nullptr;
    std::string text = f->Caption;
    f->Node = Tree.AddRoot(std::move(text), std::move(folder));
    SetFolderImages(f->Node);
    return f->Node;
}

TTreeNode* TLibObj::AddFolderNode(TTreeNode* parent, std::unique_ptr<TLibFolder> folder) {
    if (!parent) return AddVolumeNode(std::move(folder));
    TLibFolder* f = folder.get();
    f->Kind = 1;
    f->Parent = FolderOf(parent);
    f->Volume = GetVolume(f->Parent);
    std::string text = f->Caption;
    f->Node = Tree.AddChild(parent, std::move(text), std::move(folder));
    SetFolderImages(f->Node);
    return f->Node;
}

TLibFolderItem* TLibObj::AddEntry(TLibFolder* folder, std::unique_ptr<TLibFolderItem> entry) {
    int64_t size = entry->Size;
    TLibFolderItem* added = folder->AddItem(std::move(entry));
    if (!added) return nullptr;
    folder->ItemsSize = AddSizes(folder->ItemsSize, size);
    TLibFolder* vol = GetVolume(folder);
    vol->VolumeSize = AddSizes(vol->VolumeSize, size);
    return added;
}

void TLibObj::SetEntrySize(TLibFolderItem* entry, int64_t size) {
    const int64_t old = entry->Size;
    entry->Size = size;
    TLibFolder* owner = entry->Owner;
    if (!owner || old == size) return;
    owner->ItemsSize = AddSizes(SubtractSize(owner->ItemsSize, old), size);
    TLibFolder* vol = GetVolume(owner);
    vol->VolumeSize = AddSizes(SubtractSize(vol->VolumeSize, old), size);
}

void TLibObj::Recount() {
    VolumeCount = FolderCount = FileCount = 0;
    TotalSize = 0;
    Totals = {};
    std::vector<TLibFolder*> order; // pre-order: every folder after its parent
    Tree.ForEach([&](TTreeNode* n) {
        TLibFolder* f = FolderOf(n);
        order.push_back(f);
        if (!n->Parent()) ++VolumeCount;
        for (const auto& e : f->Items()) {
            if (e->IsFolder) {
                ++FolderCount;
            } else {
                ++FileCount;
                TotalSize = AddSizes(TotalSize, e->Size);
            }
        }
        f->Totals = OwnEntryTotals(f);
    });
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        TLibFolder* f = *it;
        if (f->Parent)
            AddChildTotals(f->Parent->Totals, f, f->Totals);
        else
            AddChildTotals(Totals, f, f->Totals);
    }
    CountsValid = true;
}

void TLibObj::PropagateCategoryComments(TLibFolder* folder, bool overwrite) {
    // Iterative, so that deep trees cannot exhaust the stack.
    std::vector<TLibFolder*> todo{folder};
    while (!todo.empty()) {
        TLibFolder* src = todo.back();
        todo.pop_back();
        for (const auto& e : src->Items()) {
            if (e->Category.empty() || overwrite) e->Category = src->Category;
            if (e->Comments.empty() || overwrite) e->Comments = src->Comments;
            if (!e->IsFolder || !src->Node) continue;
            TTreeNode* sub = src->Node->FindChild(e->Caption.view());
            if (!sub) continue;
            TLibFolder* f = FolderOf(sub);
            if (f->Category.empty() || overwrite) f->Category = src->Category;
            if (f->Comments.empty() || overwrite) f->Comments = src->Comments;
            todo.push_back(f);
        }
    }
    Modified = true;
}

void TLibObj::NumberFolder(TLibFolder* folder) {
    folder->Level = folder->Parent ? folder->Parent->Level + 1 : 0;
    folder->AbsoluteIndex = folder->Node->AbsoluteIndex();
}

void TLibObj::ReleaseEntry(TLibFolderItem* entry) {
    if (clearing_) return;
    if (TLibFolder* owner = entry->Owner) {
        owner->ItemsSize = SubtractSize(owner->ItemsSize, entry->Size);
        TLibFolder* vol = GetVolume(owner);
        vol->VolumeSize = SubtractSize(vol->VolumeSize, entry->Size);
    }
}

void TLibObj::OnCatalogRelease(TTreeNode* node) {
    if (clearing_) return;
    TLibFolder* f = FolderOf(node);
    if (!f) return;
    for (const auto& e : f->Items())
        ReleaseEntry(e.get());
}

void TLibObj::ForgetLink(TTreeNode* colNode) {
    TLibColItem* c = ColItemOf(colNode);
    TLibFolder* folder = c->LinkedFolder;
    TLibFolderItem* item = c->LinkedItem;
    c->LinkedFolder = nullptr;
    c->LinkedItem = nullptr;
    bool folderRef = folder && folder->CollectionNode == colNode;
    bool itemRef = item && EntryLink(item) == colNode;
    if (!folderRef && !itemRef) return;
    // Another link to the same record takes over the back-reference.
    TTreeNode* otherFolderLink = nullptr;
    TTreeNode* otherItemLink = nullptr;
    ColTree.ForEach([&](TTreeNode* n) {
        TLibColItem* o = ColItemOf(n);
        if (!o || n == colNode) return;
        if (folderRef && !otherFolderLink && o->LinkedFolder == folder &&
            o->Kind != TLibColItem::kFileLink)
            otherFolderLink = n;
        if (itemRef && !otherItemLink && o->LinkedItem == item) otherItemLink = n;
    });
    if (folderRef) folder->CollectionNode = otherFolderLink;
    if (itemRef) SetEntryLink(item, otherItemLink);
}

void TLibObj::OnColRelease(TTreeNode* node) {
    if (clearing_) return;
    if (ColItemOf(node)) ForgetLink(node);
}

void TLibObj::DeleteLinksTo(const std::vector<TLibFolder*>& folders,
                            const std::vector<TLibFolderItem*>& entries) {
    if (ColTree.TotalCount() == 0 || (folders.empty() && entries.empty())) return;
    std::unordered_set<const void*> gone(folders.begin(), folders.end());
    gone.insert(entries.begin(), entries.end());
    std::vector<TTreeNode*> doomed;
    ColTree.ForEach([&](TTreeNode* n) {
        TLibColItem* c = ColItemOf(n);
        if (!c) return;
        if ((c->LinkedFolder && gone.count(c->LinkedFolder)) ||
            (c->LinkedItem && gone.count(c->LinkedItem)))
            doomed.push_back(n);
    });
    DeleteColNodes(doomed);
}

void TLibObj::SetEntryLink(const TLibFolderItem* entry, TTreeNode* colNode) {
    if (colNode)
        entryLinks_[entry] = colNode;
    else
        entryLinks_.erase(entry);
}

void TLibObj::CollectSubtree(TTreeNode* node, std::vector<TLibFolder*>& folders,
                             std::vector<TLibFolderItem*>& linked) const {
    std::vector<TTreeNode*> todo{node};
    while (!todo.empty()) {
        TTreeNode* n = todo.back();
        todo.pop_back();
        TLibFolder* f = FolderOf(n);
        folders.push_back(f);
        if (!entryLinks_.empty()) {
            for (const auto& e : f->Items())
                if (EntryLink(e.get())) linked.push_back(e.get());
        }
        for (int i = 0; i < n->Count(); ++i)
            todo.push_back(n->Child(i));
    }
}

namespace {

// Drops nodes that lie below another node of the list (deleting the ancestor frees them).
std::vector<TTreeNode*> TopMost(const std::vector<TTreeNode*>& nodes) {
    std::unordered_set<const TTreeNode*> set(nodes.begin(), nodes.end());
    std::vector<TTreeNode*> out;
    for (TTreeNode* n : nodes) {
        bool below = false;
        for (TTreeNode* p = n->Parent(); p && !below; p = p->Parent())
            below = set.count(p) > 0;
        if (!below && std::find(out.begin(), out.end(), n) == out.end()) out.push_back(n);
    }
    return out;
}

} // namespace

void TLibObj::DeleteNodes(const std::vector<TTreeNode*>& nodes, bool recount) {
    std::vector<TTreeNode*> top = TopMost(nodes);
    if (top.empty()) return;
    ++generation_;
    std::vector<TLibFolder*> folders;
    std::vector<TLibFolderItem*> linked;
    for (TTreeNode* n : top)
        CollectSubtree(n, folders, linked);
    std::vector<TLibFolderItem*> parentEntries;
    for (TTreeNode* n : top) {
        TLibFolder* f = FolderOf(n);
        f->PendingDelete = true;
        if (f->Parent) {
            if (TLibFolderItem* e = f->Parent->FindItem(f->Caption)) {
                if (EntryLink(e)) linked.push_back(e);
                parentEntries.push_back(e);
            }
        }
    }
    DeleteLinksTo(folders, linked);
    for (TLibFolderItem* e : parentEntries) {
        TLibFolder* owner = e->Owner;
        ReleaseEntry(e);
        owner->TakeItem(e).reset();
    }
    FinishDeletion(top, recount);
}

void TLibObj::FinishDeletion(const std::vector<TTreeNode*>& nodes, bool recount) {
    Tree.Delete(nodes);
    if (recount)
        Recount();
    else
        CountsValid = false;
    Modified = true;
}

void TLibObj::DeleteEntries(TLibFolder* folder, const std::vector<TLibFolderItem*>& entries,
                            bool recount) {
    if (!folder || entries.empty()) return;
    ++generation_;
    std::vector<TTreeNode*> subNodes;
    std::vector<TLibFolder*> folders;
    std::vector<TLibFolderItem*> linked;
    std::unordered_set<const TLibFolderItem*> mine;
    mine.reserve(entries.size());
    for (TLibFolderItem* e : entries) {
        if (e->Owner != folder || !mine.insert(e).second) continue;
        if (EntryLink(e)) linked.push_back(e);
        if (e->IsFolder && folder->Node) {
            if (TTreeNode* sub = folder->Node->FindChild(e->Caption.view())) {
                FolderOf(sub)->PendingDelete = true;
                subNodes.push_back(sub);
                CollectSubtree(sub, folders, linked);
            }
        }
    }
    DeleteLinksTo(folders, linked);
    // One pass over the folder, however many entries go.
    folder->RemoveItems([&](TLibFolderItem* e) {
        if (!mine.count(e)) return false;
        ReleaseEntry(e);
        return true;
    });
    FinishDeletion(subNodes, recount);
}

void TLibObj::DeleteColNodes(const std::vector<TTreeNode*>& nodes) {
    std::vector<TTreeNode*> top = TopMost(nodes);
    if (top.empty()) return;
    ++generation_;
    for (TTreeNode* n : top)
        ColTree.Delete(n);
    Modified = true;
}

void TLibObj::Clear() {
    ++generation_;
    clearing_ = true;
    ColTree.Clear();
    Tree.Clear();
    entryLinks_.clear();
    clearing_ = false;
    Categories.Clear();
    Locations.Clear();
    Version = kCurrentVersion;
    FileName.clear();
    DiskIdentity = {};
    Comments.clear();
    Category.clear();
    FolderRecordCount = VolumeCount = FolderCount = FileCount = 0;
    CategoryRecordCount = CollectionRecordCount = 0;
    TotalSize = 0;
    Totals = {};
    CountsValid = false;
    PendingThumbs.clear();
    VolumeRenames.clear();
}

TTreeNode* TLibObj::AddCollection(TTreeNode* parent, const std::string& caption) {
    auto item = std::make_unique<TLibColItem>(caption);
    TLibColItem* c = item.get();
    c->Node = ColTree.Add(parent, caption, std::move(item));
    c->Level = c->Node->Level();
    SetColItemImages(c->Node);
    Modified = true;
    return c->Node;
}

TTreeNode* TLibObj::LinkFolder(TTreeNode* parent, TLibFolder* folder) {
    auto item = std::make_unique<TLibColItem>(folder->Caption);
    TLibColItem* c = item.get();
    c->Kind = TLibColItem::kFolderLink;
    if (IsVolume(folder))
        c->Kind = TLibColItem::kVolumeLink;
    else if (IsArchiveFolder(folder))
        c->Kind = TLibColItem::kArchiveLink;
    c->LinkedFolder = folder;
    c->LinkPath = GetCatalogPath(folder);
    c->Node = ColTree.Add(parent, folder->Caption, std::move(item));
    folder->CollectionNode = c->Node;
    c->Level = c->Node->Level();
    c->FolderIndex = folder->AbsoluteIndex;
    SetColItemImages(c->Node);
    Modified = true;
    return c->Node;
}

TTreeNode* TLibObj::LinkEntry(TTreeNode* parent, TLibFolder* listFolder, TLibFolderItem* entry) {
    if (entry->IsFolder && listFolder && listFolder->Node) {
        if (TTreeNode* sub = listFolder->Node->FindChild(entry->Caption.view()))
            return LinkFolder(parent, FolderOf(sub));
    }
    // A file, or a folder entry without a node of its own: a file link.
    auto item = std::make_unique<TLibColItem>(entry->Caption.str());
    TLibColItem* c = item.get();
    c->Kind = TLibColItem::kFileLink;
    c->LinkedFolder = listFolder ? listFolder : entry->Owner;
    c->LinkedItem = entry;
    c->LinkPath = GetEntryCatalogPath(entry);
    c->Node = ColTree.Add(parent, entry->Caption.str(), std::move(item));
    SetEntryLink(entry, c->Node);
    c->Level = c->Node->Level();
    c->FolderIndex = c->LinkedFolder ? c->LinkedFolder->AbsoluteIndex : -1;
    SetColItemImages(c->Node);
    Modified = true;
    return c->Node;
}

void TLibObj::Relink(TLibColItem* item, TLibFolder* folder) {
    if (!folder) return;
    item->LinkedFolder = folder;
    if (item->Kind != TLibColItem::kFileLink) {
        folder->CollectionNode = item->Node;
        return;
    }
    // The entry's catalog path is the folder's path and its Caption.
    const std::string prefix = GetCatalogPath(folder);
    std::string_view link = item->LinkPath;
    if (link.size() <= prefix.size() || link.compare(0, prefix.size(), prefix) != 0) return;
    TLibFolderItem* e = folder->FindItem(nametext::PathPartToCaption(link.substr(prefix.size())));
    if (e && GetEntryCatalogPath(e) == item->LinkPath) {
        item->LinkedItem = e;
        SetEntryLink(e, item->Node);
    }
}

void TLibObj::RenameColNode(TTreeNode* node, const std::string& text) {
    if (TLibColItem* c = ColItemOf(node)) c->Caption = text;
    ColTree.SetText(node, text);
    Modified = true;
}

bool TLibObj::MoveColNode(TTreeNode* node, TTreeNode* newParent) {
    if (!ColTree.Move(node, newParent)) return false;
    ColTree.ForEach([](TTreeNode* n) {
        // Pre-order: the parent's level is already right.
        TLibColItem* p = ColItemOf(n->Parent());
        if (TLibColItem* c = ColItemOf(n)) c->Level = p ? p->Level + 1 : 0;
    });
    Modified = true;
    return true;
}

bool TLibObj::RenameVolume(TTreeNode* node, const std::string& text) {
    TLibFolder* f = FolderOf(node);
    if (!f || f->Parent) return false;
    TVolumeRename r{f->Caption, text, GetCatalogPath(f), {}};
    f->Caption = text;
    r.NewPath = GetCatalogPath(f);
    if (r.OldCaption != r.NewCaption) {
        // Thumbnails made since the last save follow the volume at once.
        std::vector<decltype(PendingThumbs)::node_type> moved;
        for (auto it = PendingThumbs.begin(); it != PendingThumbs.end();) {
            const auto here = it++;
            if (!r.Holds(here->second.Volume, here->first)) continue;
            moved.push_back(PendingThumbs.extract(here));
            r.Move(moved.back().mapped().Volume, moved.back().key());
        }
        for (auto& node : moved)
            PendingThumbs.insert(std::move(node));
        VolumeRenames.push_back(std::move(r));
    }
    Tree.SetText(node, text);
    if (Options.Sort) Tree.SortRoots();
    Modified = true;
    return true;
}

TTreeNode* FindFolderByCatalogPath(const TLibObj& lib, std::string_view path) {
    std::string p(path);
    if (p.empty()) return nullptr;
    if (p.back() != '\\') p += '\\';
    for (int i = 0; i < lib.Tree.RootCount(); ++i) {
        TTreeNode* root = lib.Tree.Root(i);
        std::string rootPath = GetCatalogPath(FolderOf(root));
        if (p.compare(0, rootPath.size(), rootPath) != 0) continue;
        TTreeNode* n = root;
        size_t at = rootPath.size();
        while (n && at < p.size()) {
            size_t end = p.find('\\', at);
            n = n->FindChild(nametext::PathPartToCaption(std::string_view(p).substr(at, end - at)));
            at = end + 1;
        }
        if (n) return n;
    }
    return nullptr;
}
