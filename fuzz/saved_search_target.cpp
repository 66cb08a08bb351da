// The saved-search reader: any text gives sound criteria, and criteria saved
// and read again give the same text.
#include "fuzz_support.h"
#include "search/saved_search.h"
#include "text/message_error.h"

namespace {

void CheckCriteria(const TSearchCriteria& c) {
    FUZZ_CHECK(c.SizeValue >= 0 && c.SizeValue <= 2147483647, std::to_string(c.SizeValue));
    FUZZ_CHECK(c.SizeSign >= kSignEqual && c.SizeSign <= kSignLess, std::to_string(c.SizeSign));
    FUZZ_CHECK(c.SizeUnit >= 0 && c.SizeUnit <= 2, std::to_string(c.SizeUnit));
    for (const std::string* s : {&c.Name, &c.Volume, &c.Category, &c.Comments, &c.Type, &c.Location,
                                 &c.Anywhere, &c.ColCaption, &c.ColURL, &c.ColComments})
        FUZZ_CHECK(s->find_first_of("\r\n") == std::string::npos, *s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.txs");
    TSearchCriteria c;
    try {
        LoadSearch(input.Write(data, size), c);
    } catch (const EMessageError&) {
        return 0;
    }
    CheckCriteria(c);
    const std::string text = SavedSearchText(c);
    TSearchCriteria again;
    ApplySavedSearchText(text, again);
    CheckCriteria(again);
    FUZZ_CHECK(SavedSearchText(again) == text, text);
    return 0;
}
