#include "files/file_checksum.h"
#include "handlers/handlers.h"
#include "settings/settings_store.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bytes that differ from block to block, so a block read twice or skipped
// changes the hash.
std::string Pattern(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 12345;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

} // namespace

TEST(Checksum, TextFormRoundTripsAndRejectsAnythingElse) {
    TContentHash h{0x0123456789abcdefull, 0xfedcba9876543210ull};
    EXPECT_EQ(ChecksumText(h), "0123456789abcdeffedcba9876543210");
    TContentHash back;
    ASSERT_TRUE(ParseChecksum("0123456789ABCDEFfedcba9876543210", back));
    EXPECT_EQ(back, h);
    for (const char* bad :
         {"", "0123", "0123456789abcdeffedcba987654321", "0123456789abcdeffedcba98765432100",
          "0123456789abcdeffedcba987654321g", " 123456789abcdeffedcba9876543210"})
        EXPECT_FALSE(ParseChecksum(bad, back)) << bad;
}

TEST(Checksum, KnownContentsGiveTheReferenceHashes) {
    TTempFolder tmp;
    TFileChecksum sum;
    // Values as xxhsum -H2 prints them.
    EXPECT_EQ(sum.HashFile(tmp.Write("hello", "hello\n")), "6bba86c7e069f56d5a10b435f1c8e49c");
    EXPECT_EQ(sum.HashFile(tmp.Write("empty", "")), "99aa06d3014798d86001c324468d497f");
    EXPECT_EQ(ChecksumText(TFileChecksum::HashBytes("hello\n", 6)),
              "6bba86c7e069f56d5a10b435f1c8e49c");
}

TEST(Checksum, FilesOfManyBlocksMatchTheReferenceTool) {
    TTempFolder tmp;
    // Sizes around the block edges: one byte short, exact, one over, several blocks.
    const size_t block = TFileChecksum::kBlockSize;
    std::vector<std::string> paths;
    for (size_t size : {block - 1, block, block + 1, 3 * block + 12345}) {
        std::string p = tmp.Write("f" + std::to_string(size), Pattern(size));
        paths.push_back(p);
    }
    std::vector<std::string> argv = {"xxhsum", "-H2"};
    argv.insert(argv.end(), paths.begin(), paths.end());
    TProgramRun ref = RunProgram(argv);
    if (ref.ExitCode != 0) GTEST_SKIP() << "xxhsum (Debian package xxhash) is not installed";
    TFileChecksum sum; // one object for all: its buffer and state are reused
    for (const auto& p : paths) {
        const std::string line = sum.HashFile(p) + "  " + p + "\n";
        EXPECT_NE(ref.Out.find(line), std::string::npos) << line << ref.Out;
        const std::string whole = ReadFile(p);
        EXPECT_EQ(sum.HashFile(p),
                  ChecksumText(TFileChecksum::HashBytes(whole.data(), whole.size())));
    }
}

TEST(Checksum, OnlyRegularFilesAreReadAndNoneHangs) {
    TTempFolder tmp;
    TFileChecksum sum;
    std::string file = tmp.Write("data", "abc");
    EXPECT_EQ(sum.HashFile(tmp.File("missing")), "");
    EXPECT_EQ(sum.HashFile(tmp.MakeFolder("folder")), "");
    // A FIFO with no writer would block a plain open.
    ASSERT_EQ(::mkfifo(tmp.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(sum.HashFile(tmp.File("fifo")), "");
    ASSERT_EQ(::symlink(file.c_str(), tmp.File("link").c_str()), 0);
    EXPECT_EQ(sum.HashFile(tmp.File("link")), ""); // links are not followed
    EXPECT_FALSE(sum.Stopped());
    EXPECT_EQ(sum.HashFile(file).size(), 32u);
}

TEST(Checksum, StopEndsTheReadWithinTheFile) {
    TTempFolder tmp;
    const size_t block = TFileChecksum::kBlockSize;
    std::string path = tmp.Write("big", Pattern(6 * block));
    TFileChecksum sum;
    std::vector<int64_t> seen;
    sum.OnBlock = [&](int64_t done) {
        seen.push_back(done);
        return seen.size() == 2;
    };
    EXPECT_EQ(sum.HashFile(path), "");
    EXPECT_TRUE(sum.Stopped());
    EXPECT_EQ(seen, (std::vector<int64_t>{int64_t(block), int64_t(2 * block)}));
    // The next file starts afresh.
    sum.OnBlock = nullptr;
    EXPECT_EQ(sum.HashFile(path).size(), 32u);
    EXPECT_FALSE(sum.Stopped());
}

TEST(ChecksumHandler, OffByDefaultAndClaimsEveryFileOrTheListedTypes) {
    THandlerList list;
    list.SetDefaults();
    THandlerPtr h = list.Find("checksum");
    ASSERT_TRUE(h);
    EXPECT_FALSE(h->Active);
    EXPECT_EQ(h->ExtensionsText(), ".*");
    EXPECT_FALSE(list.ChecksumClaimsFile("a.mp3"));

    list.Check(h, true);
    for (const char* name : {"a.mp3", "b.zip", "no-extension", ".hidden", "x.tar.gz"})
        EXPECT_TRUE(list.ChecksumClaimsFile(name)) << name;
    // The type's own handler still runs: the checksum is not one of the readers.
    EXPECT_TRUE(list.HandlerClaimsFile("MP3", "a.mp3"));

    list.SetExtensions(h, {".mkv", "iso"});
    EXPECT_TRUE(list.ChecksumClaimsFile("film.MKV"));
    EXPECT_TRUE(list.ChecksumClaimsFile("disc.iso"));
    EXPECT_FALSE(list.ChecksumClaimsFile("a.mp3"));
    EXPECT_FALSE(list.ChecksumClaimsFile("no-extension"));
}

// Settings saved before the handler existed gain it switched off; once the
// user switched it on and saved, it stays on.
TEST(ChecksumHandler, StoredTablesGainItOffAndKeepTheUsersChoice) {
    TMemorySettingsStore store;
    store.WriteString(HandlerKey(0), "Title", "MP3");
    store.WriteString(HandlerKey(0), "Extensions", ".MP3\r\n");
    THandlerList loaded;
    loaded.LoadFromSettings(store);
    ASSERT_TRUE(loaded.Find("Checksum"));
    EXPECT_FALSE(loaded.Find("Checksum")->Active);

    loaded.Check(loaded.Find("Checksum"), true);
    loaded.SaveToSettings(store);
    THandlerList again;
    again.LoadFromSettings(store);
    EXPECT_TRUE(again.ChecksumClaimsFile("anything"));

    // Removed by the user and saved: it does not come back.
    store.DeleteKey("Ext");
    THandlerList without;
    without.AddDefExt("MP3", "MP3 File", "", "", {".MP3"}, true);
    without.SaveToSettings(store);
    again.LoadFromSettings(store);
    EXPECT_FALSE(again.Find("Checksum"));
    EXPECT_FALSE(again.ChecksumClaimsFile("anything"));
}
