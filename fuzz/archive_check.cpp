#include "archive_check.h"

#include "catalog/scan_ops.h"
#include "handlers/handlers.h"
#include "text/name_text.h"

void CheckArchiveMember(const TArchiveMember& m) {
    FUZZ_CHECK(m.Size >= 0, m.FileName + " " + std::to_string(m.Size));
    FUZZ_CHECK(m.PackedSize >= 0, m.FileName + " " + std::to_string(m.PackedSize));
    FUZZ_CHECK(nametext::IsValidUtf8(m.FileName), m.FileName);
}

void ScanArchiveAsVolume(const TFuzzFile& file) {
    static THandlerList handlers = [] {
        THandlerList h;
        h.SetDefaults();
        return h;
    }();
    TNullProgress quiet;
    TLibObj lib;
    TVolumeScanner scanner(lib, &handlers, quiet);
    scanner.CreateVolume(file.Folder(), "fuzz", "");
    const std::string& path = file.Path();
    const std::string name = path.substr(file.Folder().size());
    scanner.AddFoundEntry(file.Folder(), name, false, false, 0, 1);
    CheckCatalogTotals(lib);
}
