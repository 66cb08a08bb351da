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
#include <random>
#include <sys/resource.h>

namespace {

using TStepFn = bool (*)(const std::string&, TTagInfo&);

std::string Mutate(const std::string& seed, std::mt19937& rng) {
    std::string m = seed;
    auto pick = [&](size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(rng);
    };
    switch (pick(4)) {
    case 0: // cut short
        m.resize(pick(m.size() + 1));
        break;
    case 1: // a few bits flipped
        for (size_t k = 0, n = 1 + pick(16); k < n && !m.empty(); ++k)
            m[pick(m.size())] ^= static_cast<char>(1 << pick(8));
        break;
    case 2: // a run of bytes replaced, often in the header
        if (!m.empty()) {
            size_t at = pick(std::min<size_t>(m.size(), pick(2) ? 512 : m.size()));
            for (size_t k = 0, n = 1 + pick(64); k < n && at + k < m.size(); ++k)
                m[at + k] = static_cast<char>(rng());
        }
        break;
    default: // four bytes that look like a huge length
        if (m.size() >= 4) {
            size_t at = pick(std::min<size_t>(m.size() - 3, 1024));
            m[at] = m[at + 1] = m[at + 2] = '\xFF';
            m[at + 3] = static_cast<char>(0x7F | rng());
        }
        break;
    }
    return m;
}

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
