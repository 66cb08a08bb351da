#pragma once

#include "importers/peer_input.h"
#include "settings/progress.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The nodes of a catcli or gocatcli JSON catalog, read with a streaming
// parser into one compact arena. catcli writes its keys sorted, so a node's
// children come before its own name and type: the tree is built whole first.
class TJsonNodeTree {
public:
    static constexpr uint32_t kNone = UINT32_MAX;
    enum TType : uint8_t {
        kNoType,
        kTop,
        kMeta,
        kStorage,
        kDir,
        kFile,
        kArc,
        kArchive,
        kArchived,
        kOtherType
    };
    struct TRef {
        uint32_t Off = 0, Len = 0;
    };
    struct TNode {
        uint32_t FirstChild = kNone, LastChild = kNone, NextSibling = kNone;
        TRef Name, Md5, Mode, Mime, Extra;
        int64_t Size = 0;
        double Date = 0;          // epoch seconds ("maccess")
        TType Type = kNoType;     // "type"
        TType FileType = kNoType; // "filetype" (gocatcli)
        bool HasSize = false, HasDate = false, HasChildren = false;
        // The size was beyond the largest a catalog holds and was taken as that.
        bool SizeClamped = false;
    };
    // Values only storages and the root carry.
    struct TSide {
        std::string Attr, Meta, Path;
        std::vector<std::string> Tags;
        int64_t Free = -1, Total = -1;
        double Ts = 0;
        bool HasTs = false;
        bool StoragesKey = false; // the root's list was named "storages"
    };

    // Throws EMessageError ("errPeerDamaged" with line and column) on a file
    // that is not JSON, is nested too deeply or has a value of the wrong type.
    void Read(TPeerInput& input, IProgress& progress);
    // The same nodes from gocatcli's TOML form, parsed whole (so the text is
    // capped in size) after its nesting is checked. Same errors as Read.
    void ReadToml(TPeerInput& input, IProgress& progress);

    const TNode& Node(uint32_t i) const { return nodes_[i]; }
    size_t NodeCount() const { return nodes_.size(); }
    std::string_view Text(TRef r) const { return std::string_view(pool_).substr(r.Off, r.Len); }
    const TSide* Side(uint32_t i) const {
        auto it = side_.find(i);
        return it == side_.end() ? nullptr : &it->second;
    }

private:
    friend class TJsonSax;
    void Clear();
    std::vector<TNode> nodes_;
    std::string pool_;
    std::unordered_map<uint32_t, TSide> side_;
    std::unordered_map<std::string, TRef> interned_;
};
