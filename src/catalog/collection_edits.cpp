#include "catalog/collection_edits.h"

#include "catalog/catalog_edits.h"
#include "catalog/lib_obj.h"
#include "text/name_text.h"

std::string GetColPath(const TTreeNode* node) {
    std::string path;
    for (; node; node = node->Parent())
        path.insert(0, nametext::CaptionToPathPart(node->Text()) + (path.empty() ? "" : "\\"));
    return path;
}

TTreeNode* FindColNodeByPath(const TLibObj& lib, std::string_view path) {
    TTreeNode* node = nullptr;
    for (const std::string& caption : nametext::SplitCatalogPath(path)) {
        TTreeNode* next = nullptr;
        if (node) {
            next = node->FindChild(caption);
        } else {
            for (int i = 0; i < lib.ColTree.RootCount() && !next; ++i)
                if (lib.ColTree.Root(i)->Text() == caption) next = lib.ColTree.Root(i);
        }
        if (!next) return nullptr;
        node = next;
    }
    return node;
}

bool CanDropColNode(const TTreeNode* moving, const TTreeNode* target) {
    if (!moving) return false;
    return !target || (moving != target && !target->HasAsAncestor(moving));
}

TTreeNode* AddMemo(TLibObj& lib, TTreeNode* parent, const std::string& caption,
                   const std::string& url, const std::string& memo, int imageIndex,
                   const std::string& defaultCaption) {
    TTreeNode* added = lib.AddCollection(parent, caption.empty() ? defaultCaption : caption);
    if (TLibColItem* c = ColItemOf(added)) {
        c->URL = url;
        c->MemoText = memo;
        c->ImageIndex = imageIndex;
    }
    return added;
}

TTreeNode* LinkCatalogTarget(TLibObj& lib, TTreeNode* parent, const TCatalogTarget& target) {
    if (!target) return nullptr;
    if (target.Entry) return lib.LinkEntry(parent, FolderOf(target.Node), target.Entry);
    return lib.LinkFolder(parent, FolderOf(target.Node));
}
