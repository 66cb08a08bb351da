#include "mounts/mount_match.h"

#include "catalog/lib_obj.h"
#include "text/name_text.h"
#include "text/string_list.h"

#include <string_view>

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

bool IsNewDrive(const TMountedFs& fs, const std::vector<TMountedFs>& mounted) {
    if (fs.Device.rfind("/dev/", 0) != 0 || fs.FileSystem == "squashfs") return false;
    for (const TMountedFs& m : mounted)
        if (m.Device == fs.Device && m.MountPoint != fs.MountPoint) return false;
    auto below = [&](std::string_view folder) {
        return fs.MountPoint.size() > folder.size() &&
               fs.MountPoint.compare(0, folder.size(), folder) == 0 &&
               fs.MountPoint[folder.size()] == '/';
    };
    return fs.Removable || below("/media") || below("/run/media");
}
