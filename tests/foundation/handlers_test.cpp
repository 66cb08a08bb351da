#include "handlers/handler_claims.h"
#include "handlers/handlers.h"
#include "settings/settings_store.h"
#include "support/temp_folder.h"
#include "tags/tag_info.h"
#include "text/message_error.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <thread>

namespace fs = std::filesystem;

TEST(Handlers, DefaultTable) {
    THandlerList list;
    list.SetDefaults();
    ASSERT_EQ(list.Count(), 22);
    std::vector<std::string> titles;
    for (const auto& h : list.Items())
        titles.push_back(h->Title);
    EXPECT_EQ(titles,
              (std::vector<std::string>{
                  "AAC",   "APE", "Archives", "CDA", "Checksum", "FLAC",  "M4A", "MP3",
                  "MPG",   "MPP", "OFR",      "OGG", "OPUS",     "Photo", "RAR", "Thumbnails",
                  "Video", "VQF", "WAV",      "WMA", "WPA",      "ZIP"}));
    EXPECT_EQ(list.Find("Archives")->ExtensionsText(),
              ".7Z .CAB .ISO .TAR .TAR.BZ2 .TAR.GZ .TAR.XZ .TAR.ZST .TBZ .TBZ2 .TGZ .TXZ .TZST");
    EXPECT_EQ(list.Find("mpg")->ExtensionsText(), ".MP1 .MP2 .MPA .MPEG .MPG");
    EXPECT_EQ(list.Find("AAC")->ExtensionsText(), ".AAC");
    EXPECT_EQ(list.Find("WPA")->ExtensionsText(), ".WV");
    EXPECT_EQ(list.Find("MPP")->ExtensionsText(), ".MP+ .MPC");
    EXPECT_EQ(list.Find("OFR")->Description, "OptimFROG File");
    for (const auto& h : list.Items()) {
        // They read every byte, or decode every picture.
        EXPECT_EQ(h->Active, h->Title != "Checksum" && h->Title != "Thumbnails") << h->Title;

        EXPECT_TRUE(h->Internal);
        EXPECT_EQ(h->Editable, h->Title != "RAR" && h->Title != "ZIP" && h->Title != "Archives")
            << h->Title;
    }
    EXPECT_THROW(list.AddDefExt("mp3", "again", "", "", {".X"}, true), EMessageError);
    EXPECT_EQ(list.Count(), 22);
}

TEST(Handlers, FileMatching) {
    THandlerList list;
    list.SetDefaults();
    EXPECT_TRUE(list.HandlerClaimsFile("ZIP", "b.zip"));
    EXPECT_TRUE(list.HandlerClaimsFile("zip", "/x/B.ZIP"));
    EXPECT_TRUE(list.HandlerClaimsFile("AAC", "a.aac"));
    EXPECT_FALSE(list.HandlerClaimsFile("AAC", "a.ace"));
    EXPECT_FALSE(list.HandlerClaimsFile("MP3", "song.mp3.bak"));
    EXPECT_FALSE(list.HandlerClaimsFile("MP3", "mp3"));
    EXPECT_FALSE(list.HandlerClaimsFile("MP3", "dir.mp3/file"));
    EXPECT_FALSE(list.HandlerClaimsFile("NONE", "a.mp3"));
    EXPECT_FALSE(list.HandlerClaimsFile("MP3", "a.wav"));
    EXPECT_FALSE(list.HandlerClaimsFile("RAR", "."));
    // two-part extensions match as a whole; the last part alone is not claimed
    EXPECT_TRUE(list.HandlerClaimsFile("Archives", "/x/backup.Tar.Gz"));
    EXPECT_FALSE(list.HandlerClaimsFile("Archives", "notes.txt.gz"));
    EXPECT_FALSE(list.HandlerClaimsFile("Archives", ".tar.gz"));
    EXPECT_FALSE(list.HandlerClaimsFile("Archives", "dir.tar/x.gz"));

    list.Check(list.Find("ZIP"), false);
    EXPECT_FALSE(list.HandlerClaimsFile("ZIP", "b.zip"));
    EXPECT_FALSE(list.isExtHandlerActive("ZIP"));
    EXPECT_TRUE(list.isExtHandlerActive("rar"));
    EXPECT_FALSE(list.isExtHandlerActive("nope"));
    EXPECT_FALSE(list.isFileExtActive(".ZIP"));
    EXPECT_TRUE(list.isFileExtActive(".zip") == list.isFileExtActive(".ZIP"));
    EXPECT_TRUE(list.isFileExtActive(".MPEG"));
    EXPECT_FALSE(list.isFileExtActive(".XYZ"));
    EXPECT_FALSE(list.isFileExtActive(""));
}

TEST(Handlers, FirstHandlerInTableOrderDecidesExtActive) {
    THandlerList list;
    list.AddDefExt("B", "", "", "", {".X"}, true);
    list.AddDefExt("A", "", "", "", {"x"}, true);
    list.Check(list.Find("A"), false);
    EXPECT_FALSE(list.isFileExtActive(".X")); // "A" sorts first
}

TEST(Handlers, RowsOfAReplacedTableStillWork) {
    THandlerList list;
    list.SetDefaults();
    THandlerPtr row = list.Find("MP3");
    TMemorySettingsStore store;
    list.LoadDefaultHandlers(store); // replaces every handler
    ASSERT_NE(list.Find("MP3"), row);
    list.Check(row, false);
    EXPECT_FALSE(row->Active);
    EXPECT_FALSE(list.isExtHandlerActive("MP3"));
    list.SetExtensions(row, {"mp4", ".Mp4", "mp3", " "});
    EXPECT_EQ(row->ExtensionsText(), ".MP3 .MP4");
    EXPECT_EQ(list.Find("MP3")->ExtensionsText(), ".MP3 .MP4");
}

TEST(HandlerStore, RoundTrip) {
    THandlerList list;
    list.SetDefaults();
    list.Check(list.Find("WMA"), false);
    list.Find("MP3")->Help = "tip";
    list.Find("MP3")->String = "s";
    list.Find("MP3")->ExternalDLL = "lib";
    list.Find("MP3")->Internal = false;
    TMemorySettingsStore store;
    list.SaveToSettings(store);
    EXPECT_EQ(store.ReadString("Ext\\0", "Title", ""), "AAC");
    EXPECT_EQ(store.ReadString("Ext\\8", "Extensions", ""),
              ".MP1\r\n.MP2\r\n.MPA\r\n.MPEG\r\n.MPG\r\n");
    EXPECT_TRUE(store.KeyExists("Ext\\21"));
    EXPECT_FALSE(store.KeyExists("Ext\\22"));

    THandlerList loaded;
    loaded.LoadFromSettings(store);
    ASSERT_EQ(loaded.Count(), 22);
    for (int i = 0; i < 22; ++i) {
        const THandler& a = *list[i];
        const THandler& b = *loaded[i];
        EXPECT_EQ(a.Title, b.Title);
        EXPECT_EQ(a.Description, b.Description);
        EXPECT_EQ(a.String, b.String);
        EXPECT_EQ(a.Active, b.Active);
        EXPECT_EQ(a.Internal, b.Internal);
        EXPECT_EQ(a.ExternalDLL, b.ExternalDLL);
        EXPECT_EQ(a.Help, b.Help);
        EXPECT_EQ(a.Editable, b.Editable);
        EXPECT_EQ(a.Extensions.Lines(), b.Extensions.Lines());
    }
    EXPECT_FALSE(loaded.isExtHandlerActive("WMA"));
}

TEST(HandlerStore, ShorterTableRemovesStoredHandlersBeyondIt) {
    TMemorySettingsStore store;
    THandlerList list;
    list.SetDefaults();
    list.SaveToSettings(store);
    store.WriteString("Ext\\other", "Keep", "1"); // not a handler number

    THandlerList shorter;
    shorter.AddDefExt("MP3", "MP3 File", "", "", {".MP3"}, true);
    shorter.AddDefExt("ZIP", "ZIP Archive", "", "", {".ZIP"}, false);
    shorter.SaveToSettings(store);
    EXPECT_TRUE(store.KeyExists("Ext\\1"));
    for (int i = 2; i < 21; ++i)
        EXPECT_FALSE(store.KeyExists(HandlerKey(i))) << i;
    EXPECT_TRUE(store.KeyExists("Ext\\other"));

    THandlerList loaded;
    loaded.LoadFromSettings(store);
    EXPECT_EQ(loaded.Count(), 2);
    EXPECT_FALSE(loaded.HandlerClaimsFile("RAR", "a.rar"));
}

TEST(HandlerStore, EmptyTableStaysEmpty) {
    TMemorySettingsStore store;
    THandlerList empty;
    empty.SaveToSettings(store);
    THandlerList loaded;
    loaded.SetDefaults();
    loaded.LoadFromSettings(store);
    EXPECT_EQ(loaded.Count(), 0);
}

TEST(HandlerStore, MissingValuesAndGaps) {
    TMemorySettingsStore store;
    THandlerList loaded;
    loaded.LoadFromSettings(store); // nothing stored: the defaults
    EXPECT_EQ(loaded.Count(), 22);

    store.WriteString("Ext\\0", "Title", "X");
    store.WriteString("Ext\\0", "Extensions", "x\r\n.Y\n\n.x\r\n");
    store.WriteString("Ext\\0", "Active", "maybe"); // unreadable: the default
    store.WriteString("Ext\\1", "Title", "B");
    store.WriteString("Ext\\3", "Title", "after the gap");
    loaded.LoadFromSettings(store);
    ASSERT_EQ(loaded.Count(), 9); // X, B, and the newer defaults Archives, Checksum, M4A, OPUS,
                                  // Photo, Thumbnails, Video
    EXPECT_TRUE(loaded.Find("Archives"));
    EXPECT_TRUE(loaded.Find("Photo") && loaded.Find("Video"));
    EXPECT_TRUE(loaded.Find("M4A") && loaded.Find("OPUS"));
    THandlerPtr x = loaded.Find("X");
    EXPECT_EQ(x->ExtensionsText(";"), ".X;.Y");
    EXPECT_TRUE(x->Active);
    EXPECT_TRUE(x->Internal);
    EXPECT_FALSE(x->Editable);
    EXPECT_EQ(loaded.Find("B")->Extensions.Count(), 0);
}

// Settings saved before a handler existed gain it, active, while every stored
// choice stays; once saved with it, the user's choice about it stays too.
TEST(HandlerStore, OlderSettingsGainNewDefaultsAndKeepTheirChoices) {
    TMemorySettingsStore store;
    const char* old[] = {"AAC", "APE", "CDA", "FLAC", "MP3", "MPG", "MPP", "OFR",
                         "OGG", "RAR", "VQF", "WAV",  "WMA", "WPA", "ZIP"};
    for (int i = 0; i < 15; ++i) {
        store.WriteString(HandlerKey(i), "Title", old[i]);
        store.WriteString(HandlerKey(i), "Extensions", std::string(".") + old[i] + "\r\n");
    }
    store.WriteBool(HandlerKey(14), "Active", false);                    // ZIP off
    store.WriteString(HandlerKey(14), "Extensions", ".ZIP\r\n.CBZ\r\n"); // and comic books
    THandlerList loaded;
    loaded.LoadFromSettings(store);
    ASSERT_EQ(loaded.Count(), 22);
    ASSERT_TRUE(loaded.Find("Archives"));
    // A new default that decodes every picture stays off, as it ships.
    EXPECT_FALSE(loaded.Find("Thumbnails")->Active);
    EXPECT_TRUE(loaded.Find("Archives")->Active);
    EXPECT_TRUE(loaded.HandlerClaimsFile("M4A", "a.m4a"));
    EXPECT_TRUE(loaded.HandlerClaimsFile("OPUS", "a.opus"));
    EXPECT_TRUE(loaded.HandlerClaimsFile("Video", "a.mkv"));
    EXPECT_TRUE(loaded.HandlerClaimsFile("Photo", "a.NEF"));
    EXPECT_EQ(loaded.Find("ZIP")->ExtensionsText(), ".CBZ .ZIP");
    EXPECT_FALSE(loaded.Find("ZIP")->Active);
    EXPECT_EQ(loaded.ArchiveKindOf("a.iso"), TArchiveKind::Other);
    EXPECT_EQ(loaded.ArchiveKindOf("a.cbz"), TArchiveKind::None);

    loaded.Check(loaded.Find("Archives"), false);
    loaded.SaveToSettings(store);
    THandlerList again;
    again.LoadFromSettings(store);
    EXPECT_EQ(again.Count(), 22);
    EXPECT_FALSE(again.Find("Archives")->Active);

    // a table emptied on purpose and saved stays empty
    THandlerList empty;
    empty.SaveToSettings(store);
    again.LoadFromSettings(store);
    EXPECT_EQ(again.Count(), 0);
}

TEST(Handlers, ArchiveKindGoesByTheExtensionLists) {
    THandlerList list;
    list.SetDefaults();
    EXPECT_EQ(list.ArchiveKindOf("a.RAR"), TArchiveKind::Rar);
    EXPECT_EQ(list.ArchiveKindOf("a.zip"), TArchiveKind::Zip);
    EXPECT_EQ(list.ArchiveKindOf("a.7z"), TArchiveKind::Other);
    EXPECT_EQ(list.ArchiveKindOf("a.tar.zst"), TArchiveKind::Other);
    EXPECT_EQ(list.ArchiveKindOf("a.cbr"), TArchiveKind::None);
    EXPECT_EQ(list.ArchiveKindOf("a.mp3"), TArchiveKind::None);
    EXPECT_EQ(list.ArchiveKindOf("zip"), TArchiveKind::None);
    list.SetExtensions(list.Find("RAR"), {".RAR", "cbr"});
    list.SetExtensions(list.Find("ZIP"), {".ZIP", ".CBZ"});
    EXPECT_EQ(list.ArchiveKindOf("Comic.CBR"), TArchiveKind::Rar);
    EXPECT_EQ(list.ArchiveKindOf("comic.cbz"), TArchiveKind::Zip);
    list.Check(list.Find("ZIP"), false);
    EXPECT_EQ(list.ArchiveKindOf("comic.cbz"), TArchiveKind::None);
    EXPECT_EQ(list.ArchiveKindOf("a.zip"), TArchiveKind::None);
}

TEST(HandlerStore, DuplicateTitleFailsAndKeepsTheTable) {
    TMemorySettingsStore store;
    store.WriteString("Ext\\0", "Title", "MP3");
    store.WriteString("Ext\\1", "Title", "mp3");
    THandlerList list;
    list.SetDefaults();
    EXPECT_THROW(list.LoadFromSettings(store), EMessageError);
    EXPECT_EQ(list.Count(), 22);
    list.LoadDefaultHandlers(store);
    EXPECT_FALSE(store.KeyExists("Ext"));
}

namespace {
class ProcessFileTest : public ::testing::Test {
protected:
    void SetUp() override { list_.SetDefaults(); }
    std::string Touch(const std::string& name) { return tmp_.Write(name, "x"); }
    std::vector<std::string> Run(const std::string& path, int* read = nullptr) {
        std::vector<std::string> steps;
        TTagInfo info;
        int n = list_.ProcessFile(path, info,
                                  [&](const std::string& t, const std::string& p, TTagInfo& i) {
                                      EXPECT_EQ(p, path);
                                      steps.push_back(t);
                                      i.SetValue(t, std::string("ran"));
                                      return t != "MPG";
                                  });
        if (read) *read = n;
        return steps;
    }
    TTempFolder tmp_;
    fs::path dir_{tmp_.Path()};
    THandlerList list_;
};
} // namespace

TEST_F(ProcessFileTest, RunsTheStepsTheExtensionSelects) {
    EXPECT_EQ(Run(Touch("a.mp3")), (std::vector<std::string>{"MP3"}));
    EXPECT_EQ(Run(Touch("b.AAC")), (std::vector<std::string>{"AAC"}));
    EXPECT_TRUE(Run(Touch("c.ace")).empty());
    EXPECT_TRUE(Run(Touch("d.zip")).empty()); // archives are the scan's
    EXPECT_EQ(Run(Touch("e.mpc")), (std::vector<std::string>{"MPP"}));
    EXPECT_TRUE(Run(Touch("noext")).empty());
    EXPECT_TRUE(Run((dir_ / "missing.mp3").string()).empty());
    fs::create_directories(dir_ / "folder.mp3");
    EXPECT_TRUE(Run((dir_ / "folder.mp3").string()).empty());
}

TEST_F(ProcessFileTest, EveryClaimingHandlerRunsInFixedOrder) {
    list_.SetExtensions(list_.Find("MPG"), {".MPG", ".MP3"});
    list_.SetExtensions(list_.Find("CDA"), {".MP3"});
    int read = 0;
    EXPECT_EQ(Run(Touch("x.mp3"), &read), (std::vector<std::string>{"MP3", "MPG", "CDA"}));
    EXPECT_EQ(read, 2); // the MPG step reported failure
    list_.Check(list_.Find("MP3"), false);
    EXPECT_EQ(Run(Touch("y.Mp3")), (std::vector<std::string>{"MPG", "CDA"}));
}

// Without a step of the caller's, the readers linked in do the reading.
TEST_F(ProcessFileTest, TheLinkedReadersReadTheFile) {
    TTagInfo info;
    EXPECT_EQ(list_.ProcessFile(std::string(TAMBLIX_TEST_DATA) + "/audio/flac_plain.flac", info),
              1);
    EXPECT_EQ(info.Values(),
              (std::vector<std::string>{"Channels=1", "SampleRateHZ=8000", "BitsPerSample=16",
                                        "Samples=8000", "DurationSec=1"}));
    TTagInfo none;
    EXPECT_EQ(list_.ProcessFile(Touch("z.flac"), none), 0);
    EXPECT_TRUE(none.Empty());
}

TEST(Handlers, AnExtensionBelongsToOneHandler) {
    THandlerList list;
    list.SetDefaults();
    const THandler& mp3 = *list.Find("MP3");
    EXPECT_EQ(list.CheckExtension(" mp3 ", mp3), ".MP3"); // its own
    EXPECT_EQ(list.CheckExtension("mp3x", mp3), ".MP3X");
    EXPECT_EQ(list.CheckExtension(".tar.lz", mp3), ".TAR.LZ");
    EXPECT_EQ(list.ExtensionOwner(".MP2", mp3)->Title, "MPG");
    EXPECT_EQ(list.ExtensionOwner(".MP3", mp3), nullptr);
    auto refusal = [&](const std::string& text) {
        try {
            list.CheckExtension(text, mp3);
        } catch (const EMessageError& e) {
            return e.Key + " " + e.Arg;
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal("mp2"), "errExtTaken .MP2 (MPG)");
    EXPECT_EQ(refusal(".tar.gz"), "errExtTaken .TAR.GZ (Archives)");
    for (const char* bad : {"", ".", "  .  ", ".a b", ".a;b", ".a\tb", "\x7f"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(refusal(bad).substr(0, 9), "errExtBad");
    }
    // A whole list: normalized, sorted, without repeats, and never empty.
    EXPECT_EQ(list.CheckExtensions({".mp3", "MPX", "mp3"}, mp3),
              (std::vector<std::string>{".MP3", ".MPX"}));
    EXPECT_THROW(list.CheckExtensions({}, mp3), EMessageError);
    EXPECT_THROW(list.CheckExtensions({".mp3", ".zip"}, mp3), EMessageError);
}

// The answers kept per extension are the table's own, for names whose
// extensions hide in cases, dots, folders and backslashes, asked from two
// threads at once.
TEST(HandlerClaims, AnswerAsTheTableDoes) {
    THandlerList list;
    list.SetDefaults();
    list.Check(list.Find("FLAC"), false);
    list.Check(list.Find("Checksum"), true);
    list.SetExtensions(list.Find("Checksum"), {".ISO", ".MP3"});
    list.SetExtensions(list.Find("ZIP"), {".ZIP", ".GZ"});
    const std::vector<std::string> names = {
        "a.mp3",     "A.MP3",    "a.Mp3",     "song.flac", "b.zip",          "x.tar.gz",
        "X.TAR.GZ",  "y.gz",     ".tar.gz",   "t.tar.GZ",  "..gz",           "a..gz",
        "noext",     "",         ".mp3",      "dir.mp3/x", "a\\b.mp3",       "a.b\\c",
        "photo.JPG", "clip.mkv", "a.tar.zst", "x.7z",      "multi.part.rar", "a.mp3.zip",
        "a.zip.mp3", "trail.",   "a.iso",     "z.ISO",     "/p/q.r/s",       "/p/q.r/s.mp3"};
    THandlerClaims claims(list);
    auto check = [&] {
        for (int pass = 0; pass < 2; ++pass)
            for (const std::string& n : names) {
                const THandlerClaims::TClaim& c = claims.Of(n);
                EXPECT_EQ(c.Archive, list.ArchiveKindOf(n)) << n;
                EXPECT_EQ(c.Readers, list.ClaimingReaders(n)) << n;
                EXPECT_EQ(c.Checksum, list.ChecksumClaimsFile(n)) << n;
            }
    };
    std::thread other(check);
    check();
    other.join();
    // With every handler off, nothing claims anything.
    THandlerList off;
    off.SetDefaults();
    for (const THandlerPtr& h : off.Items())
        off.Check(h, false);
    THandlerClaims none(off);
    EXPECT_FALSE(none.AnyActive());
    EXPECT_TRUE(claims.AnyActive());
    for (const std::string& n : names) {
        EXPECT_EQ(none.Of(n).Archive, off.ArchiveKindOf(n)) << n;
        EXPECT_EQ(none.Of(n).Readers, off.ClaimingReaders(n)) << n;
        EXPECT_EQ(none.Of(n).Checksum, off.ChecksumClaimsFile(n)) << n;
    }
}

// Each thread remembers the answers it was given: a table made later on the
// same thread, often at the same address, answers from its own handlers.
TEST(HandlerClaims, ALaterTableIsNotAnsweredFromAnEarlierOne) {
    for (int round = 0; round < 4; ++round) {
        THandlerList list;
        list.SetDefaults();
        const bool zipOn = round % 2 == 0;
        list.Check(list.Find("ZIP"), zipOn);
        list.Check(list.Find("MP3"), !zipOn);
        auto claims = std::make_unique<THandlerClaims>(list);
        EXPECT_EQ(claims->Of("a.zip").Archive, zipOn ? TArchiveKind::Zip : TArchiveKind::None);
        EXPECT_EQ(claims->Of("b.mp3").Readers.empty(), zipOn) << round;
    }
}

// Random names of dotted parts, asked in turn, against tables that list
// double extensions in several handlers, off and on: an answer kept for one
// name must be the table's own for every other name it is given to.
TEST(HandlerClaims, NamesOfManyDotsAnswerAsTheTableDoes) {
    const std::vector<std::string> parts = {"a",   "tar", "TAR", "gz",  "Gz",       "part", "PART",
                                            "rar", "mp3", "zip", "x y", "\xC3\xA4", ""};
    const std::vector<std::string> joins = {".", ".", ".", "/", "\\"};
    std::mt19937 random(7);
    auto pick = [&](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
    };
    for (int round = 0; round < 4; ++round) {
        THandlerList list;
        list.SetDefaults();
        list.SetExtensions(list.Find("RAR"), {".RAR", ".PART.RAR"});
        list.SetExtensions(list.Find("ZIP"), {".ZIP", ".MP3.ZIP", ".GZ"});
        list.Check(list.Find("Checksum"), round >= 2);
        list.SetExtensions(list.Find("Checksum"), {".TAR.MP3", ".A.GZ"});
        list.Check(list.Find("Archives"), round % 2 == 0);
        THandlerClaims claims(list);
        for (int i = 0; i < 3000; ++i) {
            std::string name = pick(parts);
            const int more = std::uniform_int_distribution<int>(0, 4)(random);
            for (int j = 0; j < more; ++j)
                name += pick(joins) + pick(parts);
            const THandlerClaims::TClaim& c = claims.Of(name);
            ASSERT_EQ(c.Archive, list.ArchiveKindOf(name)) << name << " round " << round;
            ASSERT_EQ(c.Readers, list.ClaimingReaders(name)) << name << " round " << round;
            ASSERT_EQ(c.Checksum, list.ChecksumClaimsFile(name)) << name << " round " << round;
        }
    }
}
