// Small reads come from a window read at once: whatever mix of positions and
// counts the readers ask for, the bytes and counts are the file's own.
#include "support/temp_folder.h"
#include "tags/binary_file.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

TEST(BinaryFile, ReadsAnswerAsTheFileIs) {
    TTempFolder tmp;
    std::mt19937 rng(11);
    const size_t w = TBinaryFile::kWindow;
    for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, w - 1, w, w + 1, 3 * w + 77}) {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng());
        TBinaryFile file(tmp.Write("f" + std::to_string(size), bytes));
        ASSERT_TRUE(file.IsOpen());
        auto any = [&](int64_t lo, int64_t hi) {
            return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
        };
        const int64_t end = static_cast<int64_t>(size);
        for (int i = 0; i < 4000; ++i) {
            // Mostly near the last read, as tag readers go; now and then anywhere.
            const int64_t pos =
                any(0, 5) == 0 ? any(-2, end + 40) : any(std::max<int64_t>(0, end - 300), end + 2);
            const size_t n = static_cast<size_t>(
                any(0, 9) == 0 ? any(0, 3 * static_cast<int64_t>(w)) : any(0, 64));
            std::string got(n, '\x55');
            const int64_t r = file.ReadAt(pos, got.data(), n);
            if (pos < 0) {
                EXPECT_EQ(r, -1);
                continue;
            }
            const int64_t want = std::clamp<int64_t>(end - pos, 0, static_cast<int64_t>(n));
            ASSERT_EQ(r, want) << "size " << size << " pos " << pos << " n " << n;
            ASSERT_EQ(got.substr(0, static_cast<size_t>(r)),
                      bytes.substr(static_cast<size_t>(std::min(pos, end)), static_cast<size_t>(r)))
                << "size " << size << " pos " << pos << " n " << n;
        }
        // Opened again, nothing of the old file's window is left.
        const std::string other(size + 10, 'z');
        ASSERT_TRUE(file.Open(tmp.Write("g" + std::to_string(size), other)));
        char c = 0;
        EXPECT_EQ(file.ReadAt(0, &c, 1), 1);
        EXPECT_EQ(c, 'z');
    }
}

} // namespace
