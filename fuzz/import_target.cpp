// The delimited-text import: any text gives volumes or a clear error, and the
// catalog it builds keeps sound totals. The first byte chooses the options the
// import dialog offers, so that every separator and qualifier is tried.
#include "fuzz_support.h"
#include "search/import.h"
#include "text/message_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.txt");
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    static const char* const kSeparators[] = {"Comma", "Tab", ";", "New Line"};
    TImportOptions o;
    o.Separator = kSeparators[mode & 3];
    o.Qualifier = (mode & 4) ? "" : "\"";
    if (mode & 8) {
        for (TFieldItem& f : o.Fields)
            f.Checked = true;
    }
    if (mode & 16) std::swap(o.Fields[0], o.Fields[3]); // another column order
    o.ForceRequired();
    o.FileName = input.Write(data + 1, size - 1);
    TNullProgress quiet;
    TLibObj lib;
    try {
        TImportResult r = RunImport(lib, o, quiet);
        FUZZ_CHECK(r.Entries >= 0 && r.Volumes >= 0 && r.Errors >= 0, "result counts");
    } catch (const EMessageError&) {
    }
    CheckCatalogTotals(lib);
    return 0;
}
