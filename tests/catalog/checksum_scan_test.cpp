#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "files/file_checksum.h"
#include "handlers/handlers.h"
#include "settings/progress_state.h"
#include "settings/questions.h"
#include "support/progress_tap.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

// A progress display that shows nothing and keeps the bar's positions.
struct TBarRecorder : IProgressSink {
    std::vector<int64_t> Moves;
    void ProgressStarted(const std::string&, int64_t) override {}
    void ProgressMoved(int64_t position) override { Moves.push_back(position); }
    void ProgressEnded() override {}
    void StatusText(const std::string&) override {}
    void LogLine(const std::string&) override {}
    void IdleChanged(bool) override {}
};

struct ChecksumScan : ::testing::Test {
    TTempFolder dir;
    TLibObj lib;
    THandlerList handlers;
    TBarRecorder bar;
    TProgressState progress{&bar};
    TFixedAnswers yes{TAnswer::Yes};
    std::string root;

    void SetUp() override {
        handlers.SetDefaults();
        handlers.Check(handlers.Find(kChecksumTitle), true);
        root = dir.File("vol");
    }

    TVolumeScanner Scanner(TLibObj* into = nullptr) {
        TVolumeScanner s(into ? *into : lib, &handlers, progress);
        s.Options.FolderResult = root;
        s.Options.TitleResult = "Vol";
        return s;
    }

    std::string HashOf(std::string_view path, TLibObj* in = nullptr) {
        TLibObj& l = in ? *in : lib;
        if (l.Tree.RootCount() == 0) return "<no volume>";
        TTreeNode* vol = l.Tree.Root(0);
        TLibFolder* f = FolderOf(vol);
        std::string_view rest = path;
        for (auto cut = rest.find('/'); cut != std::string_view::npos; cut = rest.find('/')) {
            TTreeNode* sub = f->Node->FindChild(rest.substr(0, cut));
            if (!sub) return "<no folder>";
            f = FolderOf(sub);
            rest.remove_prefix(cut + 1);
        }
        TLibFolderItem* e = f->FindItem(rest);
        return e ? e->TagInfo.Value(kChecksumKey) : "<no entry>";
    }
};

std::string Bytes(size_t size, char seed) {
    std::string s(size, seed);
    for (size_t i = 0; i < size; i += 997)
        s[i] = static_cast<char>(seed + i / 997);
    return s;
}

} // namespace

TEST_F(ChecksumScan, EveryFileGetsItsHashBesideItsOtherTags) {
    const std::string data = TAMBLIX_TEST_DATA;
    WriteFile(root + "/song.mp3", ReadFile(data + "/audio/mp3_cbr_id3v1.mp3"));
    WriteFile(root + "/docs/readme", "hello\n");
    WriteFile(root + "/empty", "");
    WriteFile(root + "/basic.zip", ReadFile(data + "/archives/basic.zip"));
    TVolumeScanner s = Scanner();
    ASSERT_TRUE(s.AddVolume(yes));

    EXPECT_EQ(HashOf("docs/readme"), "6bba86c7e069f56d5a10b435f1c8e49c");
    EXPECT_EQ(HashOf("empty"), "99aa06d3014798d86001c324468d497f");
    // The audio reader ran as well, and the archive was both listed and hashed.
    TLibFolderItem* song = FolderOf(lib.Tree.Root(0))->FindItem("song.mp3");
    ASSERT_TRUE(song);
    EXPECT_FALSE(song->TagInfo.Value("Title").empty());
    const std::string mp3 = ReadFile(root + "/song.mp3");
    EXPECT_EQ(HashOf("song.mp3"), ChecksumText(TFileChecksum::HashBytes(mp3.data(), mp3.size())));
    const std::string zip = ReadFile(root + "/basic.zip");
    EXPECT_EQ(HashOf("basic.zip"), ChecksumText(TFileChecksum::HashBytes(zip.data(), zip.size())));
    EXPECT_TRUE(lib.Tree.Root(0)->FindChild("basic.zip"));

    // The lines are kept by the catalog file like every other tag.
    const std::string file = dir.File("c.tbx");
    SaveToFile(lib, file, progress);
    TLibObj back;
    LoadFromFile(back, file, false, progress);
    EXPECT_EQ(FolderOf(back.Tree.Root(0))->FindItem("empty")->TagInfo.Value(kChecksumKey),
              "99aa06d3014798d86001c324468d497f");

    // Switched off, an update drops the hashes as it drops any handler's lines.
    handlers.Check(handlers.Find(kChecksumTitle), false);
    TVolumeScanner u = Scanner();
    u.UpdateVolume(lib.Tree.Root(0));
    EXPECT_EQ(HashOf("empty"), "");
}

TEST_F(ChecksumScan, TheBarMovesInBytesAndStopEndsTheReadWithinTheFile) {
    const int64_t block = static_cast<int64_t>(TFileChecksum::kBlockSize);
    WriteFile(root + "/big.bin", Bytes(8 * TFileChecksum::kBlockSize, 'a'));
    WriteFile(root + "/small", "x");
    {
        // Whole: the bar passes every block of the large file.
        TVolumeScanner s = Scanner();
        ASSERT_TRUE(s.AddVolume(yes));
        EXPECT_EQ(HashOf("big.bin").size(), 32u);
        std::vector<int64_t> blocks;
        for (int64_t m : bar.Moves)
            if (m > 1 && m <= 8 * block) blocks.push_back(m);
        // ... then the entry's own step at its end.
        EXPECT_EQ(blocks, (std::vector<int64_t>{block, 2 * block, 3 * block, 4 * block, 5 * block,
                                                6 * block, 7 * block, 8 * block, 8 * block}));
    }
    bar.Moves.clear();
    TLibObj other;
    // Stop pressed at the third thing shown (the start's status text, then
    // two blocks): the read ends after the second block; the entry's own step
    // follows and nothing after it is read.
    TProgressTap tap(progress, bar, 3, [&] { progress.RequestStop(); });
    TVolumeScanner s = Scanner(&other);
    s.AddVolume(yes);
    EXPECT_TRUE(s.Stopped());
    EXPECT_EQ(bar.Moves, (std::vector<int64_t>{block, 2 * block, 8 * block}));
    const std::string left = HashOf("big.bin", &other);
    EXPECT_TRUE(left == "" || left == "<no volume>") << left;

    // An update stopped within the file keeps the hash the catalog had.
    const std::string whole = HashOf("big.bin");
    ASSERT_EQ(whole.size(), 32u);
    WriteFile(root + "/big.bin", Bytes(8 * TFileChecksum::kBlockSize, 'b'));
    bar.Moves.clear();
    TProgressTap again(progress, bar, 3, [&] { progress.RequestStop(); });
    TVolumeScanner u = Scanner();
    u.UpdateVolume(lib.Tree.Root(0));
    EXPECT_TRUE(u.Stopped());
    ASSERT_FALSE(bar.Moves.empty());
    // The read had begun: one block past the other file, which the volume counts already.
    EXPECT_EQ(bar.Moves[0], block + 1);
    EXPECT_EQ(HashOf("big.bin"), whole);
}
