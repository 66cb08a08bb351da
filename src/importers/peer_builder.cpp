#include "importers/peer_builder.h"

#include "importers/xml_byte_filter.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <cstring>

namespace {
constexpr int64_t kNotesShown = 200;

// A NUL would cut the name short in the catalog file and merge it with another.
bool HoldsNul(std::string_view name) {
    return name.find('\0') != std::string_view::npos ||
           name.find(kNulMarkUtf8) != std::string_view::npos;
}

std::string NulNote(std::string_view name) {
    std::string shown = nametext::ShownCaption(name.substr(0, 200));
    for (size_t at; (at = shown.find(kNulMarkUtf8)) != std::string::npos;)
        shown.replace(at, std::strlen(kNulMarkUtf8), "\\x00");
    return shown + " (NUL)";
}
// Folders below an archive; each level costs a path as long as the levels above.
constexpr size_t kMaxMemberDepth = 512;
} // namespace

TPeerBuilder::TPeerBuilder(TLibObj& lib, IProgress& progress)
    : lib_(lib), progress_(progress), wasModified_(lib.Modified) {
    // No handler list: nothing on the disk is read.
    scanner_ = std::make_unique<TVolumeScanner>(lib_, nullptr, progress_);
    for (int i = 0; i < lib_.Tree.RootCount(); ++i)
        volumeNames_.insert(FolderOf(lib_.Tree.Root(i))->Caption);
}

TLibFolder* TPeerBuilder::BeginVolume(const std::string& name, const std::string& sourcePath) {
    std::string base = name.empty() ? "?" : nametext::ToDisplayName(name);
    std::string unique = base;
    for (int n = 2; volumeNames_.count(unique); ++n)
        unique = base + "#" + std::to_string(n);
    volumeNames_.insert(unique);
    std::string root = sourcePath.empty() ? unique : nametext::ToDisplayName(sourcePath);
    if (root.back() != '/') root += '/';
    TTreeNode* node = scanner_->CreateVolume(root, unique, std::string());
    volumeNames_.insert(FolderOf(node)->Caption);
    Result.VolumeNodes.push_back(node);
    ++Result.Volumes;
    frames_.assign(1, TFrame{node, GetCatalogPath(FolderOf(node))});
    return FolderOf(node);
}

TLibFolder* TPeerBuilder::CurrentFolder() const {
    return FolderOf(Current());
}

TLibFolderItem* TPeerBuilder::EnterFolder(const std::string& name, TDateTime date) {
    Poll();
    TTreeNode* parent = Current();
    if (!parent || name.empty() || HoldsNul(name)) {
        if (parent)
            Note("msgsImpErr", frames_.back().Path + (name.empty() ? " (no name)" : NulNote(name)));
        frames_.push_back(TFrame{nullptr, std::string()});
        return nullptr;
    }
    TLibFolder* pf = FolderOf(parent);
    const std::string path = frames_.back().Path + nametext::CaptionToPathPart(name) + "\\";
    TLibFolderItem* e = pf->SortsAfterLast(name) ? nullptr : pf->FindItem(name);
    if (e && !(e->IsFolder && parent->FindChild(name))) {
        Note("msgsImpErr", path + " (repeated name)");
        frames_.push_back(TFrame{nullptr, std::string()});
        return nullptr;
    }
    scanner_->SetCurrentNode(parent);
    if (!e) {
        scanner_->AddFoundEntry(frames_.back().Path, name, false, true, date, 0);
        ++Result.Folders;
    }
    scanner_->EnterFolder(path, date);
    TTreeNode* node = scanner_->CurrentNode();
    if (node == parent || !node) throw EMessageError("msgsImpErr", path);
    frames_.push_back(TFrame{node, path});
    return pf->FindItem(name);
}

void TPeerBuilder::LeaveFolder() {
    if (frames_.size() > 1) frames_.pop_back();
    scanner_->SetCurrentNode(Current());
}

TLibFolderItem* TPeerBuilder::AddFile(const std::string& name, int64_t size, TDateTime date) {
    TLibFolderItem* e = AddEntry(name, size, date);
    if (e) ++Result.Files;
    return e;
}

TLibFolderItem* TPeerBuilder::AddEntry(const std::string& name, int64_t size, TDateTime date) {
    Poll();
    TTreeNode* node = Current();
    if (!node) return nullptr;
    if (name.empty() || HoldsNul(name)) {
        Note("msgsImpErr", frames_.back().Path + (name.empty() ? " (no name)" : NulNote(name)));
        return nullptr;
    }
    TLibFolder* f = FolderOf(node);
    if (!f->SortsAfterLast(name) && f->FindItem(name)) {
        Note("msgsImpErr",
             frames_.back().Path + nametext::CaptionToPathPart(name) + " (repeated name)");
        return nullptr;
    }
    scanner_->SetCurrentNode(node);
    scanner_->AddFoundEntry(frames_.back().Path, name, false, false, date, size < 0 ? 0 : size);
    return f->FindItem(name);
}

void TPeerBuilder::BeginArchive(TLibFolderItem* file) {
    TTreeNode* node = Current();
    memberDirs_.clear();
    if (!node || !file) {
        frames_.push_back(TFrame{nullptr, std::string()});
        archiveDepth_ = frames_.size();
        return;
    }
    const std::string path =
        frames_.back().Path + nametext::CaptionToPathPart(file->Caption.view()) + "\\";
    scanner_->EnterFolder(path, 0);
    TTreeNode* arch = scanner_->CurrentNode();
    if (arch == node) throw EMessageError("msgsImpErr", path);
    SetArchiveMark(arch, true);
    frames_.push_back(TFrame{arch, path});
    archiveDepth_ = frames_.size();
}

void TPeerBuilder::EnterMemberFolder(const std::string& name, TDateTime date, bool dated) {
    TTreeNode* parent = Current();
    if (!dated && parent)
        if (TTreeNode* existing = parent->FindChild(name)) date = FolderOf(existing)->Date;
    TLibFolderItem* e = EnterFolder(name, date);
    if (e && dated) e->Date = date;
}

void TPeerBuilder::AddMember(std::string_view path, int64_t size, TDateTime date, bool isFolder) {
    Poll();
    if (frames_.size() < archiveDepth_ || archiveDepth_ == 0) return;
    // Paths as archive tools print them: no leading "./" or "/", no empty parts.
    std::vector<std::string> parts;
    while (!path.empty()) {
        const size_t cut = path.find('/');
        const std::string_view part = path.substr(0, cut);
        if (!part.empty() && part != ".") parts.push_back(nametext::ToDisplayName(part));
        if (cut == std::string_view::npos) break;
        if (cut + 1 == path.size()) isFolder = true;
        path.remove_prefix(cut + 1);
    }
    if (parts.empty()) return;
    if (parts.size() > kMaxMemberDepth) {
        Note("msgsImpErr",
             frames_[archiveDepth_ - 1].Path + parts[0] + "\\... (nested too deeply)");
        return;
    }
    const size_t folders = isFolder ? parts.size() : parts.size() - 1;
    size_t same = 0;
    while (same < folders && same < memberDirs_.size() && memberDirs_[same] == parts[same])
        ++same;
    while (memberDirs_.size() > same) {
        LeaveFolder();
        memberDirs_.pop_back();
    }
    for (size_t k = same; k < folders; ++k) {
        const bool last = isFolder && k + 1 == folders;
        EnterMemberFolder(parts[k], last ? date : 0, last);
        memberDirs_.push_back(parts[k]);
    }
    if (isFolder) {
        if (same == folders && Current()) { // a folder entered before, now with its date
            TTreeNode* node = Current();
            FolderOf(node)->Date = date;
            if (TLibFolderItem* e = FolderOf(node->Parent())->FindItem(parts.back()))
                e->Date = date;
        }
        return;
    }
    if (AddEntry(parts.back(), size, date)) ++Result.ArchiveMembers;
}

void TPeerBuilder::EndArchive() {
    while (archiveDepth_ > 0 && frames_.size() >= archiveDepth_)
        frames_.pop_back();
    scanner_->SetCurrentNode(Current());
    memberDirs_.clear();
    archiveDepth_ = 0;
}

void TPeerBuilder::Note(const std::string& key, const std::string& arg) {
    ++Result.Errors;
    if (++notes_ <= kNotesShown) progress_.LogMessage(GetMessageText(key, arg));
}

void TPeerBuilder::Poll() {
    if ((++polls_ & 4095) == 0 && progress_.StopRequested()) throw EMessageError("infoCancel");
}

void TPeerBuilder::Finish() {
    if (notes_ > kNotesShown)
        progress_.LogMessage(GetMessageText("msgsPeerMore", std::to_string(notes_ - kNotesShown)));
    frames_.clear();
    if (lib_.Options.Sort) lib_.Tree.SortRoots();
    lib_.Recount();
    lib_.Modified = true;
}

void TPeerBuilder::Rollback() {
    frames_.clear();
    scanner_.reset(); // its path index points into what goes now
    if (!Result.VolumeNodes.empty()) lib_.DeleteNodes(Result.VolumeNodes, true);
    Result.VolumeNodes.clear();
    lib_.Modified = wasModified_;
}
