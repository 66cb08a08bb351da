// One reader (audio, video or photo) through its handler step, chosen at build
// time by TAMBLIX_FUZZ_TITLE (the handler's Title) and TAMBLIX_FUZZ_EXT (an
// extension the handler claims). A reader never throws and leaves sound tag lines.
#include "fuzz_support.h"
#include "media/media_steps.h"
#include "tags/reader_steps.h"

#include <cstdlib>
#include <filesystem>

// The video and photo readers are modules, which programs find beside them: a
// fuzz program finds them in its build's media folder, so that a finding
// replayed alone reads as it did while fuzzing.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) setenv("TAMBLIX_MODULE_DIR", (exe.parent_path() / "../src/media").c_str(), 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in" TAMBLIX_FUZZ_EXT);
    TTagInfo info;
    RunReaderStep(TAMBLIX_FUZZ_TITLE, input.Write(data, size), info);
    // A reader that cannot be loaded reads nothing: that would be a quiet pass.
    const TMediaReadFailure failed = TakeMediaReadFailure();
    FUZZ_CHECK(!failed.NoReader, failed.Why);
    CheckTagLines(info);
    CheckTagNumbers(info);
    return 0;
}
