// Damaged copies of every video and photo fixture through both readers: cut
// short, bytes flipped, runs of bytes overwritten, a size field made huge.
// Neither reader may crash, hang, throw or grow without bound; whatever they
// store stays one line per key.
#include "media/media_steps.h"
#include "media/video_file.h"
#include "media_test_util.h"
#include "support/temp_folder.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

using TStepFn = bool (*)(const std::string&, TTagInfo&);

// The address sanitizer keeps freed memory aside for a while, which shows as growth.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kGrowthLimitKb = 2048L * 1024;
#else
constexpr long kGrowthLimitKb = 512L * 1024;
#endif

long PeakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

TEST(MediaMutation, DamagedFilesNeverCrashOrHang) {
    const int perSeed = std::getenv("TAMBLIX_FUZZ_LONG") ? 2000 : 40;
    std::mt19937 rng(20240517);
    TTempFolder tmp;
    const long before = PeakKilobytes();
    int read = 0, total = 0;
    for (const auto& name : MediaFixtures()) {
        const std::string seed = ReadFile(MediaFixture(name));
        ASSERT_FALSE(seed.empty()) << name;
        // Same extension, so libavformat's guess by name is exercised too.
        const std::string path = tmp.File("damaged" + name.substr(name.rfind('.')));
        for (int i = 0; i < perSeed; ++i) {
            ASSERT_TRUE(WriteFile(path, Mutate(seed, rng)));
            for (TStepFn step : {StepVideo, StepPhoto}) {
                auto start = std::chrono::steady_clock::now();
                TTagInfo info;
                bool ok = false;
                ASSERT_NO_THROW(ok = step(path, info)) << name << " case " << i;
                read += ok;
                ++total;
                for (const auto& line : info.Values()) {
                    ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << name;
                    ASSERT_NE(line.find('='), std::string::npos) << name;
                }
                auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
                // The budget, plus room for a loaded machine and the sanitizers.
                ASSERT_LT(ms, TVideoFile::kBudgetMs + 10000) << name << " case " << i;
            }
        }
    }
    // Damage must not make every file unreadable: most cuts keep a header.
    EXPECT_GT(read, total / 10);
    // A size field that lies must not turn into an allocation of that size.
    EXPECT_LT(PeakKilobytes() - before, kGrowthLimitKb) << "kB";
}

} // namespace
