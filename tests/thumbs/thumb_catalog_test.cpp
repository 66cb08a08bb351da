#include "catalog/catalog_file.h"
#include "catalog/catalog_thumbs.h"
#include "settings/progress.h"
#include "support/cli_fixture.h"
#include "thumb_test_util.h"
#include "thumbs/thumb_store.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ThumbCatalog : public TCliFixture {
protected:
    void SetUp() override {
        disc = tmp.MakeFolder("disc");
        tmp.MakeFolder("disc/sub");
        for (const char* name : {"photo.jpg", "rotated.jpg", "phone.mp4"})
            fs::copy_file(ThumbFixture(name), disc + "/" + name);
        fs::copy_file(ThumbFixture("photo.heic"), disc + "/sub/photo.heic");
        catalog = tmp.File("cat.txc");
    }

    TProgramRun Scan(bool thumbnails) {
        std::vector<std::string> args{"scan", catalog, disc, "--title", "D1"};
        if (thumbnails) args.push_back("--thumbnails");
        return Cli(args);
    }
    TProgramRun Update(bool thumbnails) {
        std::vector<std::string> args{"update", catalog, "D1", "--delete-missing"};
        if (thumbnails) args.push_back("--thumbnails");
        return Cli(args);
    }
    // Whether `ls --json` says the entry has a thumbnail ("?" when it is not listed).
    std::string Has(const std::string& folder, const std::string& name) {
        TProgramRun r = Cli({"ls", catalog, folder, "--json"});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        std::istringstream lines(r.Out);
        for (std::string line; std::getline(lines, line);)
            if (line.find("\"name\":\"" + name + "\"") != std::string::npos)
                return line.find("\"thumbnail\":true") != std::string::npos ? "yes" : "no";
        return "?";
    }
    // The size of the thumbnail the command writes, or "none".
    std::string Thumb(const std::string& path) {
        const std::string out = tmp.File("out.jpg");
        fs::remove(out);
        TProgramRun r = Cli({"thumbnail", catalog, path, "-o", out});
        if (r.ExitCode != 0) return "none";
        int w = 0, h = 0;
        const std::string jpeg = ReadWhole(out);
        if (!JpegDims(jpeg, w, h)) return "bad";
        return std::to_string(w) + "x" + std::to_string(h);
    }
    static bool JpegDims(const std::string& jpeg, int& w, int& h) {
        for (size_t i = 2; i + 9 < jpeg.size(); ++i)
            if (static_cast<unsigned char>(jpeg[i]) == 0xFF &&
                (static_cast<unsigned char>(jpeg[i + 1]) & 0xF0) == 0xC0 &&
                static_cast<unsigned char>(jpeg[i + 1]) != 0xC4) {
                auto b = [&](size_t k) { return static_cast<unsigned char>(jpeg[i + k]); };
                h = b(5) << 8 | b(6);
                w = b(7) << 8 | b(8);
                return true;
            }
        return false;
    }
    int64_t Rows() {
        TThumbStore store;
        std::string why;
        return store.OpenRead(TThumbStore::PathFor(catalog), why) ? store.Count() : -1;
    }

    std::string disc, catalog;
};

} // namespace

TEST_F(ThumbCatalog, ScanKeepsThumbnailsBesideTheCatalogOnlyWhenAsked) {
    TProgramRun r = Scan(false);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(fs::exists(TThumbStore::PathFor(catalog)));
    EXPECT_EQ(Has("D1", "photo.jpg"), "no");
    fs::remove(catalog);

    r = Scan(true);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(Has("D1", "photo.jpg"), "yes");
    EXPECT_EQ(Has("D1", "sub"), "no");
    EXPECT_EQ(Has("D1\\sub", "photo.heic"), "yes");
    EXPECT_EQ(Thumb("D1\\rotated.jpg"), "256x171");
    EXPECT_EQ(Thumb("D1\\phone.mp4"), "120x160");
    EXPECT_EQ(Thumb("D1\\sub"), "none");
    // Standard output takes the JPEG as it is stored.
    r = Cli({"thumbnail", catalog, "D1\\photo.jpg", "--output", "-"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out.substr(0, 3), "\xFF\xD8\xFF");
}

TEST_F(ThumbCatalog, UpdateReplacesAndDeletesThumbnailsWithTheirEntries) {
    ASSERT_EQ(Scan(true).ExitCode, 0);
    ASSERT_EQ(Rows(), 4);
    // photo.jpg becomes a portrait picture; rotated.jpg goes; a new one comes.
    fs::copy_file(ThumbFixture("photo.png"), disc + "/photo.jpg",
                  fs::copy_options::overwrite_existing);
    fs::remove(disc + "/rotated.jpg");
    fs::copy_file(ThumbFixture("photo.webp"), disc + "/new.webp");
    // Without thumbnails: the changed file's old picture is never shown, and it goes.
    TProgramRun r = Update(false);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Has("D1", "photo.jpg"), "no");
    EXPECT_EQ(Thumb("D1\\photo.jpg"), "none");
    EXPECT_EQ(Has("D1", "new.webp"), "no");
    EXPECT_EQ(Rows(), 2); // the video and the HEIC
    r = Update(true);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Thumb("D1\\photo.jpg"), "171x256");
    EXPECT_EQ(Thumb("D1\\new.webp"), "256x171");
    EXPECT_EQ(Rows(), 4);
}

TEST_F(ThumbCatalog, UpdateLeavesTheThumbnailsOfUnchangedFilesAsTheyAre) {
    ASSERT_EQ(Scan(true).ExitCode, 0);
    // A marker in place of rotated.jpg's picture: an update that made it
    // again would replace it.
    TThumbnail marker;
    marker.Data = "\xFF\xD8\xFF marker";
    marker.Width = 7;
    marker.Height = 5;
    {
        TLibObj lib;
        TNullProgress progress;
        LoadFromFile(lib, catalog, false, progress);
        TLibFolderItem* e = FindEntryByCatalogPath(lib, "D1\\rotated.jpg");
        ASSERT_NE(e, nullptr);
        TThumbStore store;
        std::string why;
        ASSERT_TRUE(store.OpenWrite(TThumbStore::PathFor(catalog), why)) << why;
        ASSERT_TRUE(store.Put("D1", "D1\\rotated.jpg", e->Size, e->Date, marker));
    }
    fs::copy_file(ThumbFixture("photo.png"), disc + "/photo.jpg",
                  fs::copy_options::overwrite_existing);
    TProgramRun r = Update(true);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    TThumbStore store;
    std::string why;
    ASSERT_TRUE(store.OpenRead(TThumbStore::PathFor(catalog), why)) << why;
    TLibObj lib;
    TNullProgress progress;
    LoadFromFile(lib, catalog, false, progress);
    TThumbnail kept;
    TCatalogThumbs thumbs(lib);
    ASSERT_TRUE(thumbs.Find(FindEntryByCatalogPath(lib, "D1\\rotated.jpg"), kept));
    EXPECT_EQ(kept.Data, marker.Data);
    // The changed file's is made again.
    EXPECT_EQ(Thumb("D1\\photo.jpg"), "171x256");
}

TEST_F(ThumbCatalog, DamagedSidecarOpensAsNoThumbnailsAndIsPutAsideOnSave) {
    ASSERT_EQ(Scan(true).ExitCode, 0);
    const std::string side = TThumbStore::PathFor(catalog);
    std::string bytes = ReadWhole(side);
    for (size_t i = 0; i < 100 && i < bytes.size(); ++i)
        bytes[i] = 'x';
    tmp.Write("cat.txc-thumbs", bytes);
    EXPECT_EQ(Cli({"info", catalog}).ExitCode, 0);
    EXPECT_EQ(Has("D1", "photo.jpg"), "no");
    TProgramRun r = Cli({"thumbnail", catalog, "D1\\photo.jpg", "-o", tmp.File("o.jpg")});
    EXPECT_NE(r.ExitCode, 0);
    EXPECT_NE(r.Err.find("no thumbnail"), std::string::npos) << r.Err;
    // The next save puts the damaged file aside and begins a new one.
    r = Update(true);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Err.find("put aside"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadWhole(side + ".damaged"), bytes);
    EXPECT_EQ(Thumb("D1\\photo.jpg"), "256x171");
}

TEST_F(ThumbCatalog, SaveAsCopiesTheSidecarAndLinksAreNeverWrittenThrough) {
    ASSERT_EQ(Scan(true).ExitCode, 0);
    TLibObj lib;
    TNullProgress progress;
    LoadFromFile(lib, catalog, false, progress);
    const std::string other = tmp.File("other.txc");
    SaveToFile(lib, other, progress);
    TThumbStore copy;
    std::string why;
    ASSERT_TRUE(copy.OpenRead(TThumbStore::PathFor(other), why)) << why;
    EXPECT_EQ(copy.Count(), 4);
    TCatalogThumbs thumbs(lib);
    TLibFolderItem* e = FindEntryByCatalogPath(lib, "D1\\rotated.jpg");
    ASSERT_NE(e, nullptr);
    TThumbnail t;
    EXPECT_TRUE(thumbs.Find(e, t));
    EXPECT_EQ(t.Width, 256);
    // A sidecar that is a link: neither it nor what it points at is written.
    const std::string elsewhere = tmp.Write("elsewhere", "mine");
    const std::string linked = tmp.File("linked.txc");
    ASSERT_EQ(::symlink(elsewhere.c_str(), TThumbStore::PathFor(linked).c_str()), 0);
    SaveToFile(lib, linked, progress);
    EXPECT_EQ(ReadWhole(elsewhere), "mine");
    EXPECT_TRUE(fs::is_symlink(TThumbStore::PathFor(linked)));
    EXPECT_TRUE(fs::exists(linked));
}

TEST_F(ThumbCatalog, RenamedVolumesKeepTheirThumbnailsBeforeAndAfterTheSave) {
    ASSERT_EQ(Scan(true).ExitCode, 0);
    // A second volume whose thumbnails are made in this session, not yet saved.
    TLibObj lib;
    TNullProgress progress;
    LoadFromFile(lib, catalog, false, progress);
    TCatalogThumbs thumbs(lib);
    auto shows = [&](const std::string& path) {
        TThumbnail t;
        const TLibFolderItem* e = FindEntryByCatalogPath(lib, path);
        return e && thumbs.Find(e, t) && thumbs.Has(e) && t.Width > 0;
    };
    ASSERT_TRUE(shows("D1\\sub\\photo.heic"));
    // Renamed twice, then a new volume takes the first name: each keeps its own.
    TTreeNode* d1 = FindFolderByCatalogPath(lib, "D1\\");
    ASSERT_NE(d1, nullptr);
    ASSERT_TRUE(lib.RenameVolume(d1, "Holiday"));
    EXPECT_TRUE(shows("Holiday\\sub\\photo.heic"));
    ASSERT_TRUE(lib.RenameVolume(FindFolderByCatalogPath(lib, "Holiday\\"), "Holiday 2014"));
    EXPECT_TRUE(shows("Holiday 2014\\rotated.jpg"));
    EXPECT_FALSE(FindEntryByCatalogPath(lib, "D1\\rotated.jpg"));
    SaveToFile(lib, catalog, progress);
    EXPECT_TRUE(lib.VolumeRenames.empty());
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(Thumb("Holiday 2014\\rotated.jpg"), "256x171");
    EXPECT_NE(Thumb("Holiday 2014\\sub\\photo.heic"), "none");
    EXPECT_EQ(Thumb("D1\\rotated.jpg"), "none");

    // Two volumes swap names, one with a thumbnail made since the last save
    // (as a scan in the window leaves it): every picture follows its volume.
    ASSERT_EQ(Cli({"scan", catalog, disc, "--title", "D1", "--thumbnails"}).ExitCode, 0);
    EXPECT_EQ(Rows(), 8);
    TLibObj again;
    LoadFromFile(again, catalog, false, progress);
    TCatalogThumbs before(again);
    TLibFolderItem* made = FindEntryByCatalogPath(again, "D1\\photo.jpg");
    ASSERT_NE(made, nullptr);
    TPendingThumb pending{"D1", made->Size, made->Date, {}};
    ASSERT_TRUE(before.Find(made, pending.Thumb));
    before.Reset();
    {
        TThumbStore store;
        std::string why;
        ASSERT_TRUE(store.OpenWrite(TThumbStore::PathFor(catalog), why)) << why;
        ASSERT_TRUE(store.Remove("D1", "D1\\photo.jpg"));
    }
    again.PendingThumbs.emplace("D1\\photo.jpg", pending);
    ASSERT_TRUE(again.RenameVolume(FindFolderByCatalogPath(again, "D1\\"), "D2"));
    ASSERT_TRUE(again.RenameVolume(FindFolderByCatalogPath(again, "Holiday 2014\\"), "D1"));
    TCatalogThumbs after(again);
    TThumbnail t;
    EXPECT_TRUE(after.Find(FindEntryByCatalogPath(again, "D2\\photo.jpg"), t));
    EXPECT_TRUE(after.Find(FindEntryByCatalogPath(again, "D2\\rotated.jpg"), t));
    EXPECT_TRUE(after.Find(FindEntryByCatalogPath(again, "D1\\rotated.jpg"), t));
    SaveToFile(again, catalog, progress);
    EXPECT_EQ(Rows(), 8);
    EXPECT_EQ(Thumb("D2\\photo.jpg"), "256x171");
    EXPECT_EQ(Thumb("D1\\rotated.jpg"), "256x171");
    EXPECT_EQ(Thumb("D2\\rotated.jpg"), "256x171");
    EXPECT_EQ(Thumb("Holiday 2014\\rotated.jpg"), "none");
}
