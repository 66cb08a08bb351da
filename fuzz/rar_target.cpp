// The RAR reader: member headers or a reported error, never a crash.
#include "archive_check.h"
#include "archives/rar_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.rar");
    input.Write(data, size);
    TRAR rar;
    rar.FileName = input.Path();
    rar.OnFileProcessing = [](TRAR&, const TDFRARHeaderData& h, int) {
        CheckArchiveMember(h);
        FUZZ_CHECK(h.UnpSize >= 0 && h.PackSize >= 0, h.FileName);
    };
    // Damage is reported through OnError; nothing may be thrown.
    rar.Execute();
    ScanArchiveAsVolume(input);
    return 0;
}
