// The catalog loader: any bytes load to a catalog or a clear error, and what
// loaded saves and loads again to the same counts.
#include "catalog/catalog_file.h"
#include "fuzz_support.h"
#include "text/message_error.h"

#include <string>

namespace {

struct TCounts {
    int32_t Volumes, Folders, Files, Collections;
    int64_t Size;
    std::string Text() const {
        return std::to_string(Volumes) + "/" + std::to_string(Folders) + "/" +
               std::to_string(Files) + "/" + std::to_string(Collections) + "/" +
               std::to_string(Size);
    }
    bool operator==(const TCounts&) const = default;
};

TCounts CountsOf(TLibObj& lib) {
    CheckCatalogTotals(lib);
    int32_t collections = 0;
    lib.ColTree.ForEach([&](TTreeNode*) { ++collections; });
    return {lib.VolumeCount, lib.FolderCount, lib.FileCount, collections, lib.TotalSize};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.txc");
    static const std::string saved = input.Folder() + "saved.txc";
    TNullProgress quiet;
    TLibObj lib;
    try {
        LoadFromFile(lib, input.Write(data, size), false, quiet);
    } catch (const EMessageError&) {
        // Damage: what was read before it stays and must save like any catalog.
    }
    const TCounts first = CountsOf(lib);
    SaveToFile(lib, saved, quiet);
    TLibObj again;
    LoadFromFile(again, saved, false, quiet);
    const TCounts second = CountsOf(again);
    FUZZ_CHECK(first == second, first.Text() + " then " + second.Text());
    return 0;
}
