// The ZIP reader: members or a clear error, sizes that fit a file system, and
// a catalog whose totals stay sound.
#include "archive_check.h"
#include "archives/zip_reader.h"
#include "text/message_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.zip");
    input.Write(data, size);
    TZip zip;
    zip.OnMember = [](const TZipDirEntry& m) { CheckArchiveMember(m); };
    try {
        zip.SetZipFilename(input.Path());
    } catch (const EMessageError&) {
        // A damaged archive: the members found so far stay.
    }
    ScanArchiveAsVolume(input);
    return 0;
}
