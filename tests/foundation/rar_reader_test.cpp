#include "archives/rar_reader.h"
#include "rar_writer.h"
#include "support/scoped_state.h"
#include "support/temp_folder.h"
#include "text/date_time.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct TEvent {
    std::string kind; // "file", "error", "status"
    std::string text;
    int code = 0;
    TDFRARHeaderData hdr;
};

class RarReaderTest : public ::testing::Test {
protected:
    // Names are converted by the C library: each test reads them in UTF-8.
    TScopedLocale utf8_{LC_ALL, "C.UTF-8"};

    void SetUp() override {
        rar.OnFileProcessing = [this](TRAR&, const TDFRARHeaderData& h, int status) {
            events.push_back({"file", h.FileName, status, h});
        };
        rar.OnError = [this](TRAR&, const std::string& key, TRarError id) {
            events.push_back({"error", key, static_cast<int>(id), {}});
        };
        rar.OnRarStatus = [this](TRAR&, const std::string& m, TRarStatus s) {
            events.push_back({"status", m, static_cast<int>(s), {}});
        };
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        return tmp.Write(name, bytes);
    }
    void List(const std::string& path) {
        events.clear();
        rar.FileName = path;
        rar.Execute();
    }
    std::vector<TEvent> Of(const std::string& kind) const {
        std::vector<TEvent> out;
        for (const TEvent& e : events)
            if (e.kind == kind) out.push_back(e);
        return out;
    }

    TTempFolder tmp;
    fs::path dir{tmp.Path()};
    TRAR rar;
    std::vector<TEvent> events;
};

std::vector<TRarTestMember> ThreeFiles() {
    uint32_t t = DosDateTime(2005, 3, 7, 14, 20, 10);
    return {{"one.txt", "first", t},
            {"docs/two.txt", std::string(1000, 'b'), t},
            {"docs/deep/three.bin", "3", t}};
}

TEST_F(RarReaderTest, ReaderIsAlwaysThere) {
    ASSERT_TRUE(TRAR::RarSupported());
    EXPECT_EQ(rar.DllVersion, 5);
}

TEST_F(RarReaderTest, Rar4ListsMembersInOrderWithWholePathsSizesAndDates) {
    List(Write("a.rar", MakeRar4(ThreeFiles())));
    auto files = Of("file");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].text, "one.txt");
    EXPECT_EQ(files[1].text, "docs/two.txt");
    EXPECT_EQ(files[2].text, "docs/deep/three.bin");
    EXPECT_EQ(files[1].hdr.UnpSize, 1000);
    EXPECT_EQ(files[1].hdr.Size, 1000);
    EXPECT_EQ(files[0].code, 0);
    EXPECT_EQ(FormatDateTimeISO(files[0].hdr.FileTime), "2005-03-07 14:20:10");
    EXPECT_EQ(files[0].hdr.Date, files[0].hdr.FileTime);
    EXPECT_FALSE(files[0].hdr.IsFolder());
    EXPECT_EQ(files[0].hdr.VersionMajor, 2);
    EXPECT_EQ(files[0].hdr.VersionMinor, 9);
    EXPECT_EQ(files[0].hdr.Method, "store");
    EXPECT_EQ(files[0].hdr.HostOS, "Windows");
    EXPECT_EQ(files[0].hdr.CRC, "9271EE57"); // CRC-32 of "first"
    EXPECT_EQ(files[0].hdr.PackSize, 5);
    EXPECT_TRUE(files[0].hdr.attrArchive);
    EXPECT_TRUE(Of("error").empty());
    // status order: before open, open, ..., after close
    auto st = Of("status");
    ASSERT_EQ(st.size(), 3u);
    EXPECT_EQ(st[0].code, RAR_ONBEFOREOPEN);
    EXPECT_EQ(st[1].code, RAR_ONOPEN);
    EXPECT_EQ(events.back().kind, "status");
    EXPECT_EQ(events.back().code, RAR_AFTERCLOSE);
}

TEST_F(RarReaderTest, FolderMemberUtf8NameAndSizeBeyond4GiB) {
    uint32_t t = DosDateTime(2010, 12, 31, 23, 59, 58);
    std::vector<TRarTestMember> m = {{"docs", "", t, 0, true},
                                     {"Grüße/ñ.txt", "x", t, 0, false, true},
                                     {"huge.bin", "abc", t, 0, false, false, 5000000000ull}};
    List(Write("b.rar", MakeRar4(m)));
    auto files = Of("file");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(files[0].hdr.IsFolder());
    EXPECT_TRUE(files[0].hdr.attrDirectory);
    EXPECT_EQ(files[0].hdr.UnpSize, 0);
    EXPECT_EQ(files[1].text, "Grüße/ñ.txt");
    EXPECT_EQ(files[2].hdr.UnpSize, 5000000000ll);
    EXPECT_EQ(FormatDateTimeISO(files[2].hdr.FileTime), "2010-12-31 23:59:58");
}

TEST_F(RarReaderTest, Rar5ListsMembers) {
    const uint32_t unix2005 = 1110205210; // 2005-03-07 14:20:10 UTC
    std::vector<TRarTestMember> m = {{"dir", "", 0, unix2005, true},
                                     {"dir/a.txt", "hello", 0, unix2005},
                                     {"Grüße.txt", std::string(300, 'z'), 0, unix2005}};
    List(Write("c.rar", MakeRar5(m)));
    auto files = Of("file");
    ASSERT_EQ(files.size(), 3u) << (Of("error").empty() ? "" : Of("error")[0].text);
    EXPECT_TRUE(files[0].hdr.IsFolder());
    EXPECT_EQ(files[1].text, "dir/a.txt");
    EXPECT_EQ(files[1].hdr.Size, 5);
    EXPECT_EQ(files[2].text, "Grüße.txt");
    EXPECT_EQ(files[2].hdr.Size, 300);
    EXPECT_EQ(files[2].hdr.VersionMajor, 5);
    EXPECT_EQ(FormatDateTimeISO(files[1].hdr.Date), "2005-03-07 14:20:10");
    EXPECT_TRUE(Of("error").empty());
}

// Listing reads headers only, so a solid archive lists every member.
TEST_F(RarReaderTest, SolidArchivesListEveryMember) {
    auto m = ThreeFiles();
    for (size_t i = 1; i < m.size(); ++i)
        m[i].Flags = 0x10; // each member continues the previous one's dictionary
    List(Write("solid.rar", MakeRar4(m, {.MainFlags = 0x08})));
    auto files = Of("file");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[2].text, "docs/deep/three.bin");
    EXPECT_TRUE(Of("error").empty());
    List(Write("solid5.rar", MakeRar5(ThreeFiles(), {.ArchiveFlags = 0x04})));
    EXPECT_EQ(Of("file").size(), 3u);
}

// Names never depend on the process locale: DOS names are code page 437 and
// the compact Unicode form decodes itself.
TEST_F(RarReaderTest, NamesDecodeTheSameInAnyLocale) {
    std::vector<TRarTestMember> m(5);
    m[0].RawName = "Gr\x81\xE1"
                   "e.txt"; // DOS code page: u umlaut, sharp s
    // "Привет.txt": high byte 04, six characters taken with it, ".txt" copied
    // from the 8-bit name
    m[1].RawName = std::string("??????.txt\0\x04\x55\x1F\x40\x38\x32\x5C\x35\x42\x02", 21);
    m[1].UnicodeFlag = true;
    // "Ab€XY": two bytes, one whole character, then "xy" copied with a correction
    m[2].RawName = std::string("Ab?xy\0\x00\x0B\x41\x62\xAC\x20\x80\xE0", 14);
    m[2].UnicodeFlag = true;
    m[3].RawName = "Καλημέρα.txt"; // Unicode flag, no 8-bit part: UTF-8
    m[3].UnicodeFlag = true;
    m[4].RawName = "docs/Ünïcode.txt"; // Unix host: "/" kept, UTF-8 kept
    m[4].HostOS = 3;
    const std::vector<std::string> want = {"Grüße.txt", "Привет.txt", "Ab€XY", "Καλημέρα.txt",
                                           "docs/Ünïcode.txt"};
    const std::string path = Write("names.rar", MakeRar4(m));
    TScopedLocale scoped(LC_ALL, "C");
    for (const char* locale : {"C", "POSIX", "C.UTF-8"}) {
        ASSERT_TRUE(scoped.Set(locale)) << locale;
        List(path);
        auto files = Of("file");
        ASSERT_EQ(files.size(), want.size()) << locale;
        for (size_t i = 0; i < want.size(); ++i)
            EXPECT_EQ(files[i].text, want[i]) << locale;
        EXPECT_TRUE(Of("error").empty());
    }
    EXPECT_EQ(Of("file")[4].hdr.HostOS, "Unix");
    EXPECT_FALSE(Of("file")[4].hdr.IsFolder());
}

TEST_F(RarReaderTest, EncryptedHeadersSayPasswordProtected) {
    for (bool five : {false, true}) {
        std::string bytes = five ? MakeRar5(ThreeFiles(), {.EncryptedHeaders = true})
                                 : MakeRar4(ThreeFiles(), {.MainFlags = 0x80});
        List(Write("locked.rar", bytes));
        ASSERT_EQ(Of("error").size(), 1u) << five;
        EXPECT_EQ(Of("error")[0].text, "txtRarMSG22");
        EXPECT_EQ(Of("error")[0].code, 22);
        EXPECT_TRUE(Of("file").empty());
        EXPECT_EQ(events.back().code, RAR_AFTERCLOSE);
    }
    // encrypted data with readable headers: the members are listed and say so
    auto m = ThreeFiles();
    m[1].Flags = 0x04;
    List(Write("data.rar", MakeRar4(m)));
    ASSERT_EQ(Of("file").size(), 3u);
    EXPECT_FALSE(Of("file")[0].hdr.Encrypted);
    EXPECT_TRUE(Of("file")[1].hdr.Encrypted);
}

TEST_F(RarReaderTest, SplitMembersCarryTheirVolumeFlags) {
    uint32_t t = DosDateTime(2020, 1, 2, 3, 4, 6);
    TRarTestMember first{"big.iso", std::string(100, 'a'), t};
    first.Flags = 0x02; // continued in the next volume
    first.UnpSize = 250;
    TRarTestMember rest = first;
    rest.Flags = 0x01 | 0x02; // from the previous, into the next
    TRarTestMember last = first;
    last.Flags = 0x01;
    for (bool five : {false, true}) {
        auto make = [&](const TRarTestMember& m) {
            return five ? MakeRar5({m}, {.ArchiveFlags = 0x01})
                        : MakeRar4({m}, {.MainFlags = 0x01});
        };
        List(Write("v.part1.rar", make(first)));
        ASSERT_EQ(Of("file").size(), 1u);
        EXPECT_TRUE(Of("file")[0].hdr.ContinuedOnNext);
        EXPECT_FALSE(Of("file")[0].hdr.ContinuedFromPrev);
        EXPECT_EQ(Of("file")[0].hdr.Size, 250);
        EXPECT_EQ(Of("file")[0].hdr.PackSize, 100);
        List(Write("v.part2.rar", make(rest)));
        ASSERT_EQ(Of("file").size(), 1u);
        EXPECT_TRUE(Of("file")[0].hdr.ContinuedOnNext);
        EXPECT_TRUE(Of("file")[0].hdr.ContinuedFromPrev);
        List(Write("v.part3.rar", make(last)));
        ASSERT_EQ(Of("file").size(), 1u);
        EXPECT_FALSE(Of("file")[0].hdr.ContinuedOnNext);
        EXPECT_TRUE(Of("file")[0].hdr.ContinuedFromPrev);
        EXPECT_TRUE(Of("error").empty());
    }
}

TEST_F(RarReaderTest, TimesAttributesAndSelfExtractors) {
    TRarTestMember odd{"odd.txt", "1", DosDateTime(2005, 3, 7, 14, 20, 10)};
    odd.ExtTimeSecond = 1; // the DOS time cannot hold 14:20:11
    TRarTestMember unixDir{"bin", "", DosDateTime(2001, 2, 3, 4, 5, 6), 0, true};
    unixDir.HostOS = 3;
    TRarTestMember hidden{"h.sys", "2", DosDateTime(1999, 12, 31, 23, 59, 58)};
    hidden.Attributes = 0x02 | 0x04 | 0x01;
    // an archive behind 40,000 bytes of program, and one from an early version
    // that ends without an end block
    List(Write("sfx.exe", MakeRar4({odd, unixDir, hidden},
                                   {.EndBlock = false, .Prefix = std::string(40000, 'M')})));
    auto files = Of("file");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(Of("error").empty());
    EXPECT_EQ(FormatDateTimeISO(files[0].hdr.Date), "2005-03-07 14:20:11");
    EXPECT_TRUE(files[1].hdr.IsFolder());
    EXPECT_EQ(files[1].hdr.HostOS, "Unix");
    EXPECT_TRUE(files[2].hdr.attrHidden && files[2].hdr.attrSystem && files[2].hdr.attrReadOnly);
    EXPECT_EQ(files[2].hdr.Attributes & (faHidden | faSysFile | faReadOnly),
              faHidden | faSysFile | faReadOnly);

    List(Write("sfx5.exe", MakeRar5(ThreeFiles(), {.Prefix = std::string(70000, 'Z')})));
    EXPECT_EQ(Of("file").size(), 3u);
}

// A size no file system can hold is damage: that member is refused, the
// others stay.
TEST_F(RarReaderTest, ImpossibleSizesAreRefused) {
    for (bool five : {false, true}) {
        auto m = ThreeFiles();
        m[1].UnpSize = (1ull << 63) + 5;
        List(Write("huge.rar", five ? MakeRar5(m) : MakeRar4(m)));
        auto files = Of("file");
        ASSERT_EQ(files.size(), 2u) << five;
        EXPECT_EQ(files[0].text, "one.txt");
        EXPECT_EQ(files[1].text, "docs/deep/three.bin");
        ASSERT_EQ(Of("error").size(), 1u);
        EXPECT_EQ(Of("error")[0].text, "txtRarMSG17");
    }
}

// A name length that runs past the end of its header makes the archive bad
// there: the members before it are listed, nothing is read beyond the header.
TEST_F(RarReaderTest, NameLongerThanItsHeaderIsABadArchive) {
    for (uint64_t extra : {1ull, 1000ull, 1ull << 40}) {
        auto m = ThreeFiles();
        m[1].NameLenExtra = extra;
        List(Write("badname.rar", MakeRar5(m)));
        auto files = Of("file");
        ASSERT_EQ(files.size(), 1u) << extra;
        EXPECT_EQ(files[0].text, "one.txt");
        ASSERT_EQ(Of("error").size(), 1u) << extra;
        EXPECT_EQ(Of("error")[0].text, "txtRarMSG6");
        EXPECT_EQ(Of("error")[0].code, static_cast<int>(TRarError::BadArchive));
        EXPECT_EQ(events.back().code, RAR_AFTERCLOSE);
    }
}

TEST_F(RarReaderTest, ArchiveCutInsideDataListsWhatItHoldsAndSaysSo) {
    for (bool five : {false, true}) {
        std::string full = five ? MakeRar5(ThreeFiles()) : MakeRar4(ThreeFiles());
        size_t cut = full.find(std::string(1000, 'b')) + 10;
        List(Write("cut.rar", full.substr(0, cut)));
        ASSERT_EQ(Of("file").size(), 2u) << five;
        ASSERT_EQ(Of("error").size(), 1u);
        EXPECT_EQ(Of("error")[0].text, "txtRarMSG5");
    }
}

TEST_F(RarReaderTest, StopInsideTheEventEndsTheListingAndStillCloses) {
    rar.OnFileProcessing = [this](TRAR& r, const TDFRARHeaderData& h, int status) {
        events.push_back({"file", h.FileName, status, h});
        r.StopProcessing = true;
    };
    List(Write("a.rar", MakeRar4(ThreeFiles())));
    EXPECT_EQ(Of("file").size(), 1u);
    EXPECT_EQ(events.back().code, RAR_AFTERCLOSE);
    // the next run clears the stop request
    rar.OnFileProcessing = [this](TRAR&, const TDFRARHeaderData& h, int s) {
        events.push_back({"file", h.FileName, s, h});
    };
    List(rar.FileName);
    EXPECT_EQ(Of("file").size(), 3u);
}

TEST_F(RarReaderTest, ArchiveThatCannotBeOpenedIsReportedOnce) {
    List((dir / "missing.rar").string());
    ASSERT_EQ(Of("error").size(), 1u);
    EXPECT_TRUE(Of("file").empty());
    EXPECT_EQ(events.back().code, RAR_AFTERCLOSE);

    // a FIFO with a RAR name is never read (it would block)
    ASSERT_EQ(mkfifo((dir / "pipe.rar").c_str(), 0644), 0);
    List((dir / "pipe.rar").string());
    EXPECT_EQ(Of("error").size(), 1u);

    List(Write("text.rar", "this is not an archive at all, just some text\n"));
    ASSERT_EQ(Of("error").size(), 1u);
    EXPECT_EQ(Of("error")[0].text, "txtRarMSG7");
    EXPECT_TRUE(Of("file").empty());
}

TEST_F(RarReaderTest, HandlerErrorReachesTheCaller) {
    rar.OnFileProcessing = [](TRAR&, const TDFRARHeaderData&, int) {
        throw std::runtime_error("boom");
    };
    rar.FileName = Write("a.rar", MakeRar4(ThreeFiles()));
    EXPECT_THROW(rar.Execute(), std::runtime_error);
}

// Archives made mostly of headers, so that cuts and flips land in them.
std::string HeaderHeavy(bool five) {
    std::vector<TRarTestMember> m;
    for (int i = 0; i < 6; ++i) {
        TRarTestMember x{"dir" + std::to_string(i) + "/Grüße " + std::to_string(i) + ".txt",
                         std::string(static_cast<size_t>(i), 'x'),
                         DosDateTime(2005, 3, 7, 14, 20, 10), 1110205210u};
        x.Utf8Name = true;
        x.ExtTimeSecond = i & 1;
        x.Folder = i == 3;
        if (i == 4) x.UnpSize = 5000000000ull;
        m.push_back(x);
    }
    TRarTestMember u;
    u.RawName = std::string("Ab?xy\0\x00\x0B\x41\x62\xAC\x20\x80\xE0", 14);
    u.UnicodeFlag = true;
    m.push_back(u);
    return five ? MakeRar5(m) : MakeRar4(m, {.MainFlags = 0x08});
}

// Damaged headers one after another: the listing reports the first 64 and
// gives up there instead of reporting every one of them.
TEST_F(RarReaderTest, ListingGivesUpAfterSixtyFourDamagedHeaders) {
    std::vector<TRarTestMember> m;
    for (int i = 0; i < 70; ++i)
        m.push_back({"f" + std::to_string(i) + ".txt", "x", DosDateTime(2005, 3, 7, 14, 20, 10)});
    std::string rar = MakeRar4(m);
    auto byte = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(rar[at])); };
    // Walk the blocks after the 7-byte marker; break the CRC of each file header (type 0x74),
    // whose size and packed size still lead to the next block.
    int broken = 0;
    for (size_t pos = 7; pos + 11 <= rar.size();) {
        const size_t size = byte(pos + 5) | byte(pos + 6) << 8;
        size_t data = 0;
        if (byte(pos + 2) == 0x74) {
            data = byte(pos + 7) | byte(pos + 8) << 8 | byte(pos + 9) << 16 | byte(pos + 10) << 24;
            rar[pos] = static_cast<char>(rar[pos] ^ 0x55);
            ++broken;
        }
        pos += size + data;
    }
    ASSERT_EQ(broken, 70);
    List(Write("damaged.rar", rar));
    EXPECT_TRUE(Of("file").empty());
    ASSERT_EQ(Of("error").size(), 64u);
    for (const TEvent& e : Of("error")) {
        EXPECT_EQ(e.text, "txtRarMSG17");
        EXPECT_EQ(e.code, 12);
    }
    EXPECT_EQ(events.back().code, RAR_AFTERCLOSE);
}

// Mutation test: every cut and thousands of flipped archives end with members
// that were read whole and a bounded number of messages; nothing hangs, crashes
// or reads outside a buffer (the sanitizer build runs it too).
TEST_F(RarReaderTest, TruncatedAndDamagedArchivesEndCleanly) {
    const int rounds = std::getenv("TAMBLIX_LONG_TESTS") ? 50000 : 2500;
    for (bool five : {false, true}) {
        std::string full = HeaderHeavy(five);
        List(Write("whole.rar", full));
        const size_t whole = Of("file").size();
        ASSERT_EQ(whole, 7u);
        ASSERT_TRUE(Of("error").empty());
        auto check = [&](const std::string& what) {
            EXPECT_LE(Of("file").size(), whole) << what;
            EXPECT_LE(Of("error").size(), static_cast<size_t>(TRAR::kMaxDamagedHeaders) + 1);
            for (const TEvent& e : Of("file")) {
                EXPECT_GE(e.hdr.Size, 0) << what;
                EXPECT_GE(e.hdr.PackSize, 0) << what;
            }
            EXPECT_EQ(events.back().code, RAR_AFTERCLOSE) << what;
        };
        for (size_t n = 0; n < full.size(); ++n) {
            List(Write("t.rar", full.substr(0, n)));
            check("cut at " + std::to_string(n));
            // RAR 5 always ends with an end header: a cut never passes unnoticed
            if (five) {
                EXPECT_FALSE(Of("error").empty()) << n;
            }
        }
        std::mt19937 rng(five ? 7 : 3);
        for (int round = 0; round < rounds; ++round) {
            std::string bad = full;
            int flips = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < flips; ++i)
                bad[rng() % bad.size()] = static_cast<char>(rng() & 0xFF);
            if (rng() % 4 == 0) bad.resize(rng() % bad.size());
            List(Write("m.rar", bad));
            check("round " + std::to_string(round));
        }
    }
    std::mt19937 rng(11);
    std::string junk(4096, '\0');
    for (char& c : junk)
        c = static_cast<char>(rng() & 0xFF);
    for (const char* sig : {"Rar!\x1A\x07\x00", "Rar!\x1A\x07\x01\x00"}) {
        List(Write("r.rar", std::string(sig, std::strlen(sig) + 1) + junk));
        EXPECT_TRUE(Of("file").empty());
        EXPECT_FALSE(Of("error").empty());
    }
}

} // namespace
