// One reader (audio, video or photo) through its handler step, chosen at build
// time by TAMBLIX_FUZZ_TITLE (the handler's Title) and TAMBLIX_FUZZ_EXT (an
// extension the handler claims). A reader never throws and leaves sound tag lines.
#include "fuzz_support.h"
#include "tags/reader_steps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in" TAMBLIX_FUZZ_EXT);
    TTagInfo info;
    RunReaderStep(TAMBLIX_FUZZ_TITLE, input.Write(data, size), info);
    CheckTagLines(info);
    CheckTagNumbers(info);
    return 0;
}
