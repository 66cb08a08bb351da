#pragma once

#include "catalog/lib_obj.h"
#include "settings/progress.h"

#include <cstdint>
#include <string>
#include <vector>

// Catalogs of other cataloguers, read into volumes of the open catalog.
enum class TPeerFormat { Unknown, CDCat, Catcli, Gocatcli };

// "cdcat", "catcli", "gocatcli"; Unknown for any other text.
TPeerFormat PeerFormatFromName(const std::string& name);
const char* PeerFormatName(TPeerFormat format);

struct TPeerImportOptions {
    // Unknown: decided by the file's content.
    TPeerFormat Format = TPeerFormat::Unknown;
    // A compressed file may unpack to at most max(InflateFloor, InflateRatio x
    // its size): real catalogs pack about 10:1, a gzip bomb about 1000:1.
    uint64_t InflateFloor = 64ull << 20;
    uint64_t InflateRatio = 200;
};

struct TPeerImportResult {
    TPeerFormat Format = TPeerFormat::Unknown;
    int64_t Volumes = 0;
    int64_t Folders = 0;
    int64_t Files = 0;
    int64_t ArchiveMembers = 0;
    int64_t Errors = 0; // entries skipped or values unreadable, each logged
    std::vector<TTreeNode*> VolumeNodes;
};

// The format the file's first bytes show (gzip magic or "<" for CDCat, a JSON
// object whose first key is "storages" or TOML opening with the same catalog
// for gocatcli, another JSON object for catcli); Unknown otherwise. Throws
// when the file cannot be read.
TPeerFormat DetectPeerFormat(const std::string& path);

// Appends the peer catalog's volumes to `lib` (a name the catalog already has
// gets "#2", "#3"...). All or nothing: on any error, and on Stop ("infoCancel"),
// the catalog is left as it was and the error is thrown.
TPeerImportResult ImportPeerCatalog(TLibObj& lib, const std::string& path,
                                    const TPeerImportOptions& options, IProgress& progress);
