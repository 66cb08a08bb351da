// The search streamed from a catalog file: on any bytes it gives the rows,
// cells and counts that loading the file and searching the tree give, or it
// gives up. It never answers for a file the load refuses.
#include "catalog/catalog_file.h"
#include "fuzz_support.h"
#include "support/search_outcome.h"
#include "text/message_error.h"

#include <string>
#include <vector>

namespace {

// Kinds the stream reads differently: every entry, a name test on the stored
// bytes (ASCII and beyond), a size and a text of the folders.
std::vector<TSearchCriteria> Criteria() {
    std::vector<TSearchCriteria> all(5);
    all[1].Name = "a";
    all[2].Name = "\xc3\xa9";
    all[3].SizeUse = true;
    all[3].SizeSign = kSignGreater;
    all[3].SizeValue = 8;
    all[4].Mode = TSearchMode::Anywhere;
    all[4].Anywhere = "e";
    return all;
}

std::string Brief(const TSearchOutcome& o) {
    std::string text = std::to_string(o.Rows.size()) + " rows;";
    for (const std::string& s : o.Status)
        text += " " + s;
    if (!o.Rows.empty()) text += "; first: " + o.Rows.front().front();
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.txc");
    static const std::vector<TSearchCriteria> criteria = Criteria();
    const std::string& path = input.Write(data, size);
    TCellFormat fmt;
    fmt.NewLine = ";";
    TNullProgress quiet;
    TLibObj lib;
    bool loaded = true;
    try {
        LoadFromFile(lib, path, false, quiet);
    } catch (const EMessageError&) {
        loaded = false;
    }
    for (size_t i = 0; i < criteria.size(); ++i) {
        TSearchOutcome fast;
        if (!StreamOutcome(path, criteria[i], fmt, fast)) continue;
        const std::string which = "criteria " + std::to_string(i) + ": ";
        FUZZ_CHECK(loaded, which + "the stream answered for a file the load refuses");
        const TSearchOutcome full = TreeOutcome(lib, criteria[i], fmt);
        FUZZ_CHECK(fast.Rows == full.Rows && fast.Status == full.Status,
                   which + "stream " + Brief(fast) + " / load " + Brief(full));
    }
    return 0;
}
