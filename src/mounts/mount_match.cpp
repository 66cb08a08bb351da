#include "mounts/mount_match.h"

#include "catalog/lib_obj.h"
#include "text/name_text.h"
#include "text/string_list.h"

std::string MountRoot(const TMountedFs& fs) {
    std::string root = fs.MountPoint;
    if (root.empty() || root.back() != '/') root += '/';
    return root;
}

std::vector<TTreeNode*> MatchingVolumes(const TLibObj& lib, const TMountedFs& fs) {
    std::vector<TTreeNode*> out;
    if (fs.Serial.empty()) return out;
    const std::string label = nametext::DiskToCaption(fs.Label);
    const std::string source = nametext::DiskToCaption(MountRoot(fs));
    for (int i = 0; i < lib.Tree.RootCount(); ++i) {
        TTreeNode* n = lib.Tree.Root(i);
        const TLibFolder* v = FolderOf(n);
        if (v->Serial != fs.Serial) continue;
        const bool same = label.empty() ? v->SourcePath == source : SameText(v->Caption, label);
        if (same) out.push_back(n);
    }
    return out;
}
