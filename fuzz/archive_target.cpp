// The archive lister (7z, TAR, ISO, CAB through the archive library): members
// or a clear error, and a catalog whose totals stay sound.
#include "archive_check.h"
#include "archives/archive_lister.h"
#include "text/message_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.7z");
    input.Write(data, size);
    TArchiveLister lister;
    lister.OnMember = [](const TArchiveMember& m) { CheckArchiveMember(m); };
    try {
        lister.List(input.Path());
    } catch (const EMessageError&) {
        // Damaged or locked: the members found so far stay.
    }
    ScanArchiveAsVolume(input);
    return 0;
}
