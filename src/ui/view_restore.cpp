#include "ui/view_restore.h"

#include "catalog/lib_obj.h"
#include "catalog/lib_records.h"

#include <algorithm>

std::vector<int> RowPath(const TTreeNode* n) {
    std::vector<int> rows;
    for (; n; n = n->Parent())
        rows.push_back(n->Index());
    std::reverse(rows.begin(), rows.end());
    return rows;
}

TTreeNode* NodeByRows(const TTree& tree, const std::vector<int>& rows) {
    TTreeNode* n = nullptr;
    for (int r : rows) {
        if (!n) {
            if (r < 0 || r >= tree.RootCount()) return nullptr;
            n = tree.Root(r);
        } else {
            if (r < 0 || r >= n->Count()) return n;
            n = n->Child(r);
        }
    }
    return n;
}

TViewRestore ViewRestoreOf(TTreeNode* node) {
    TViewRestore r;
    if (TLibFolder* f = FolderOf(node)) {
        r.VolumeIndex = RootNode(node)->Index();
        r.NodePath = GetCatalogPath(f);
    }
    return r;
}

TTreeNode* FindRestoredNode(const TLibObj& lib, const TViewRestore& r) {
    if (r.Node) return r.Node;
    if (r.NodePath.empty()) return nullptr;
    if (r.VolumeIndex >= 0 && r.VolumeIndex < lib.Tree.RootCount()) {
        TTreeNode* root = lib.Tree.Root(r.VolumeIndex);
        const std::string rootPath = GetCatalogPath(FolderOf(root));
        if (r.NodePath.compare(0, rootPath.size(), rootPath) == 0) {
            const std::string_view p = r.NodePath;
            TTreeNode* n = root;
            for (size_t at = rootPath.size(); n && at < p.size();) {
                size_t end = std::min(p.find('\\', at), p.size());
                n = n->FindChild(p.substr(at, end - at));
                at = end + 1;
            }
            if (n) return n;
        }
    }
    // The volume moved (renamed, sorted): the first volume of that path.
    return FindFolderByCatalogPath(lib, r.NodePath);
}
