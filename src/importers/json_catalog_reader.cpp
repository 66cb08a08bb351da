#include "importers/json_catalog_reader.h"

#include "importers/json_node_tree.h"
#include "importers/peer_values.h"
#include "importers/toml_text.h"
#include "text/message_error.h"
#include "text/name_text.h"

namespace {

using TTree = TJsonNodeTree;

constexpr size_t kHeadBytes = 4096;

class TJsonMapper {
public:
    TJsonMapper(const TTree& t, TPeerBuilder& b) : t_(t), b_(b) {}

    void Catcli() {
        for (uint32_t c = t_.Node(0).FirstChild; c != TTree::kNone; c = t_.Node(c).NextSibling) {
            const TTree::TNode& n = t_.Node(c);
            if (n.Type == TTree::kMeta) continue;
            if (n.Type != TTree::kStorage) {
                b_.Note("msgsImpErr", std::string(t_.Text(n.Name)) + " (not a storage)");
                continue;
            }
            const TTree::TSide* side = t_.Side(c);
            TLibFolder* v = b_.BeginVolume(Name(n), std::string());
            VolumeDetails(v, side, side ? side->Attr : std::string());
            for (uint32_t k = n.FirstChild; k != TTree::kNone; k = t_.Node(k).NextSibling)
                MapNode(k, false);
        }
    }

    void Gocatcli() {
        for (uint32_t c = t_.Node(0).FirstChild; c != TTree::kNone; c = t_.Node(c).NextSibling) {
            const TTree::TNode& n = t_.Node(c);
            const TTree::TSide* side = t_.Side(c);
            TLibFolder* v = b_.BeginVolume(Name(n), side ? side->Path : std::string());
            VolumeDetails(v, side, side ? side->Meta : std::string());
            if (side && !side->Tags.empty()) {
                v->Category = peervalues::OneLine(side->Tags[0]);
                if (side->Tags.size() > 1) {
                    std::string all;
                    for (const auto& tag : side->Tags)
                        all += (all.empty() ? "" : ", ") + peervalues::OneLine(tag);
                    AddLine(v->Comments, "Tags", all);
                }
            }
            for (uint32_t k = n.FirstChild; k != TTree::kNone; k = t_.Node(k).NextSibling)
                MapNode(k, true);
        }
    }

private:
    std::string Name(const TTree::TNode& n) const {
        return nametext::ToDisplayName(t_.Text(n.Name));
    }
    static TDateTime Date(const TTree::TNode& n) {
        return n.HasDate ? peervalues::EpochToDateTime(n.Date) : 0;
    }
    static void AddLine(std::string& text, const char* key, const std::string& value) {
        if (value.empty()) return;
        if (!text.empty()) text += '\n';
        text += std::string(key) + "=" + value;
    }
    void VolumeDetails(TLibFolder* v, const TTree::TSide* side, const std::string& comment) {
        if (!side) return;
        v->Comments = comment;
        if (side->Free >= 0) AddLine(v->Comments, "Free", std::to_string(side->Free));
        if (side->Total >= 0) AddLine(v->Comments, "Total", std::to_string(side->Total));
        if (side->HasTs) v->Date = peervalues::EpochToDateTime(side->Ts);
    }
    int64_t FileSize(const TTree::TNode& n) {
        if (!n.HasSize || n.SizeClamped) {
            TLibFolder* f = b_.CurrentFolder();
            b_.Note(n.SizeClamped ? "msgsPeerSizeClamped" : "msgsPeerNoSize",
                    (f ? GetCatalogPath(f) : std::string()) + nametext::CaptionToPathPart(Name(n)));
        }
        return n.Size;
    }

    // One node below a storage; gocatcli names its kind "filetype", catcli "type".
    void MapNode(uint32_t i, bool go) {
        const TTree::TNode& n = t_.Node(i);
        const TTree::TType type = go ? n.FileType : n.Type;
        if (type == TTree::kDir) {
            b_.EnterFolder(Name(n), Date(n));
            for (uint32_t k = n.FirstChild; k != TTree::kNone; k = t_.Node(k).NextSibling)
                MapNode(k, go);
            b_.LeaveFolder();
            return;
        }
        const bool file =
            type == TTree::kFile || (go && (type == TTree::kArchive || type == TTree::kArchived));
        if (!file) {
            TLibFolder* f = b_.CurrentFolder();
            b_.Note("msgsImpErr", (f ? GetCatalogPath(f) : std::string()) +
                                      nametext::CaptionToPathPart(Name(n)) + " (not a file)");
            return;
        }
        TLibFolderItem* e = b_.AddFile(Name(n), FileSize(n), Date(n));
        if (!e) return;
        e->TagInfo.SetValue("MD5", peervalues::OneLine(t_.Text(n.Md5)));
        if (go) GocatcliDetails(n, e);
        // A file with children is an archive listed with its members.
        if (n.FirstChild == TTree::kNone) return;
        b_.BeginArchive(e);
        if (go)
            GocatcliMembers(n);
        else
            CatcliMembers(n, std::string());
        b_.EndArchive();
    }

    // Members nest by path component; a member with members of its own is a folder.
    void CatcliMembers(const TTree::TNode& parent, const std::string& prefix) {
        for (uint32_t k = parent.FirstChild; k != TTree::kNone; k = t_.Node(k).NextSibling) {
            const TTree::TNode& m = t_.Node(k);
            const std::string path = prefix + std::string(t_.Text(m.Name));
            if (m.FirstChild != TTree::kNone)
                CatcliMembers(m, path + "/");
            else
                b_.AddMember(path, m.Size, Date(m));
        }
    }

    void GocatcliDetails(const TTree::TNode& n, TLibFolderItem* e) {
        e->TagInfo.SetValue("MIME", peervalues::OneLine(t_.Text(n.Mime)));
        e->TagInfo.SetValue("Mode", peervalues::OneLine(t_.Text(n.Mode)));
        // "key:value,key:value"
        std::string_view extra = t_.Text(n.Extra);
        while (!extra.empty()) {
            size_t comma = extra.find(',');
            std::string_view pair = extra.substr(0, comma);
            size_t colon = pair.find(':');
            if (colon != std::string_view::npos && colon > 0) {
                std::string key = peervalues::OneLine(pair.substr(0, colon));
                for (char& ch : key)
                    if (ch == '=') ch = '_';
                e->TagInfo.SetValue(key, peervalues::OneLine(pair.substr(colon + 1)));
            }
            if (comma == std::string_view::npos) break;
            extra.remove_prefix(comma + 1);
        }
    }
    // Archived members come flat, each named by its whole path.
    void GocatcliMembers(const TTree::TNode& n) {
        for (uint32_t k = n.FirstChild; k != TTree::kNone; k = t_.Node(k).NextSibling) {
            const TTree::TNode& m = t_.Node(k);
            std::string_view mode = t_.Text(m.Mode);
            const bool folder = m.FileType == TTree::kDir || (!mode.empty() && mode[0] == 'd');
            b_.AddMember(t_.Text(m.Name), m.Size, Date(m), folder);
        }
    }

    const TTree& t_;
    TPeerBuilder& b_;
};

} // namespace

TPeerFormat JsonFormatFromHead(std::string_view head) {
    size_t i = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    auto skipSpace = [&] {
        while (i < head.size() &&
               (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
            ++i;
    };
    skipSpace();
    if (i >= head.size() || head[i] != '{') return TPeerFormat::Unknown;
    ++i;
    skipSpace();
    if (head.substr(i).rfind("\"storages\"", 0) == 0) return TPeerFormat::Gocatcli;
    return TPeerFormat::Catcli;
}

TPeerFormat ReadJsonCatalog(TPeerInput& input, TPeerFormat expected, TPeerBuilder& builder,
                            IProgress& progress) {
    const std::string shown = nametext::ToDisplayPath(input.Path());
    TJsonNodeTree tree;
    if (JsonFormatFromHead(input.Peek(kHeadBytes)) == TPeerFormat::Unknown &&
        tomltext::LooksLikeCatalog(input.Peek(kHeadBytes)))
        tree.ReadToml(input, progress);
    else
        tree.Read(input, progress);
    const TJsonNodeTree::TNode& root = tree.Node(0);
    const TJsonNodeTree::TSide* side = tree.Side(0);
    TPeerFormat found = TPeerFormat::Unknown;
    if (side && side->StoragesKey)
        found = TPeerFormat::Gocatcli;
    else if (root.Type == TJsonNodeTree::kTop)
        found = TPeerFormat::Catcli;
    if (found == TPeerFormat::Unknown) throw EMessageError("errPeerUnknown", shown);
    if (expected != TPeerFormat::Unknown && expected != found)
        throw EMessageError("errPeerNotFormat",
                            std::string(PeerFormatName(expected)) + ": " + shown);
    TJsonMapper mapper(tree, builder);
    if (found == TPeerFormat::Gocatcli)
        mapper.Gocatcli();
    else
        mapper.Catcli();
    return found;
}
