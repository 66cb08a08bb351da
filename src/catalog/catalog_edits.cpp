#include "catalog/catalog_edits.h"

#include "catalog/lib_obj.h"
#include "text/name_text.h"

#include <unordered_set>

namespace {

template <typename Field> bool Put(Field& field, const std::optional<std::string>& value) {
    if (!value || std::string_view(field) == *value) return false;
    field = *value;
    return true;
}

bool PutEntry(TLibFolderItem* e, const TTextEdit& edit) {
    bool changed = false;
    if (edit.Category && e->Category.view() != *edit.Category) {
        e->Category = *edit.Category;
        changed = true;
    }
    if (edit.Comments && e->Comments.view() != *edit.Comments) {
        e->Comments = *edit.Comments;
        changed = true;
    }
    return changed;
}

TLibFolder* SubFolderOf(const TLibFolderItem* e) {
    if (!e->IsFolder || !e->Owner || !e->Owner->Node) return nullptr;
    return FolderOf(e->Owner->Node->FindChild(e->Caption.view()));
}

} // namespace

TCatalogTarget FindCatalogTarget(const TLibObj& lib, std::string_view path) {
    TCatalogTarget t;
    if (TTreeNode* n = FindFolderByCatalogPath(lib, path)) {
        t.Node = n;
        return t;
    }
    std::string_view p = path;
    if (p.empty() || p.back() == '\\') return t;
    size_t cut = p.rfind('\\');
    if (cut == std::string_view::npos) return t;
    TTreeNode* folder = FindFolderByCatalogPath(lib, p.substr(0, cut + 1));
    if (!folder) return t;
    TLibFolderItem* e = FolderOf(folder)->FindItem(nametext::PathPartToCaption(p.substr(cut + 1)));
    if (!e) return t;
    t.Node = folder;
    t.Entry = e;
    return t;
}

bool SetFolderTexts(TLibFolder* folder, const TTextEdit& edit) {
    bool changed = Put(folder->Category, edit.Category);
    changed |= Put(folder->Comments, edit.Comments);
    if (folder->Parent)
        if (TLibFolderItem* e = folder->Parent->FindItem(folder->Caption))
            changed |= PutEntry(e, edit);
    return changed;
}

bool SetEntryTexts(TLibFolderItem* entry, const TTextEdit& edit) {
    bool changed = PutEntry(entry, edit);
    if (TLibFolder* f = SubFolderOf(entry)) {
        changed |= Put(f->Category, edit.Category);
        changed |= Put(f->Comments, edit.Comments);
    }
    return changed;
}

bool ApplyPropertyEdit(TLibObj& lib, const TCatalogTarget& target, const TPropertyEdit& edit) {
    if (!target) return false;
    TLibFolder* folder = target.Entry ? SubFolderOf(target.Entry) : FolderOf(target.Node);
    if (edit.Location && !(folder && IsVolume(folder) && !target.Entry)) return false;
    bool changed = false;
    if (target.Entry)
        changed = SetEntryTexts(target.Entry, edit.Texts);
    else
        changed = SetFolderTexts(folder, edit.Texts);
    if (edit.Location) changed |= Put(folder->Location, edit.Location);
    if (edit.Recursive && folder) {
        lib.PropagateCategoryComments(folder, edit.Overwrite);
        changed = true;
    }
    if (changed) lib.Modified = true;
    return true;
}

std::vector<TTreeNode*> OutermostNodes(const std::vector<TTreeNode*>& nodes) {
    const std::unordered_set<const TTreeNode*> listed(nodes.begin(), nodes.end());
    std::unordered_set<const TTreeNode*> taken;
    std::vector<TTreeNode*> out;
    for (TTreeNode* n : nodes) {
        const TTreeNode* up = n->Parent();
        while (up && !listed.count(up))
            up = up->Parent();
        if (!up && taken.insert(n).second) out.push_back(n);
    }
    return out;
}

TDeleteCounts CountDeleted(const std::vector<TTreeNode*>& nodes) {
    TDeleteCounts counts;
    const std::vector<TTreeNode*> outermost = OutermostNodes(nodes);
    std::vector<const TTreeNode*> todo(outermost.begin(), outermost.end());
    const size_t tops = todo.size();
    for (size_t i = 0; i < todo.size(); ++i) {
        const TTreeNode* n = todo[i];
        const TLibFolder* f = FolderOf(n);
        const bool archive = f && IsArchiveFolder(f);
        if (i >= tops && !archive) ++counts.Folders;
        if (f)
            for (const auto& e : f->Items())
                if (!e->IsFolder || e->IsArchive)
                    ++(archive ? counts.ArchiveMembers : counts.Files);
        for (int c = 0; c < n->Count(); ++c)
            todo.push_back(n->Child(c));
    }
    return counts;
}
