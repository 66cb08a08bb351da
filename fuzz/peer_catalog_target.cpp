// The peer catalog readers (CDCat XML and gzip, catcli and gocatcli JSON):
// any bytes give volumes or a clear error; on an error the catalog is as it
// was, and what was imported keeps sound totals.
#include "fuzz_support.h"
#include "importers/peer_catalog.h"
#include "text/message_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("peer.catalog");
    TPeerImportOptions o;
    o.Format = PeerFormatFromName(TAMBLIX_FUZZ_PEER_FORMAT);
    o.InflateFloor = 4u << 20; // keeps each run short; the limit itself is under test too
    TNullProgress quiet;
    TLibObj lib;
    lib.Modified = false;
    try {
        TPeerImportResult r = ImportPeerCatalog(lib, input.Write(data, size), o, quiet);
        FUZZ_CHECK(r.Volumes == lib.Tree.RootCount(), "one volume per node");
        FUZZ_CHECK(r.Files >= 0 && r.Folders >= 0 && r.ArchiveMembers >= 0 && r.Errors >= 0,
                   "result counts");
    } catch (const EMessageError&) {
        FUZZ_CHECK(lib.Tree.RootCount() == 0 && !lib.Modified, "a failed import left something");
    }
    CheckCatalogTotals(lib);
    return 0;
}
