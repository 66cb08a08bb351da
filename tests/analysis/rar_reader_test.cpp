#include "analysis/date_time.h"
#include "analysis/rar_reader.h"
#include "rar_writer.h"

#include <clocale>
#include <cstdlib>
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
    void SetUp() override {
        std::setlocale(LC_ALL, "C.UTF-8");
        dir = fs::temp_directory_path() /
              ("tamblix_rar_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        rar.OnFileProcessing = [this](TRAR&, const TDFRARHeaderData& h, int status) {
            events.push_back({"file", h.FileName, status, h});
        };
        rar.OnError = [this](TRAR&, const std::string& key, int id) {
            events.push_back({"error", key, id, {}});
        };
        rar.OnRarStatus = [this](TRAR&, const std::string& m, TRarStatus s) {
            events.push_back({"status", m, static_cast<int>(s), {}});
        };
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = (dir / name).string();
        fs::remove(path); // rewriting a truncated file would flush it to disk on close
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
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

    fs::path dir;
    TRAR rar;
    std::vector<TEvent> events;
};

std::vector<TRarTestMember> ThreeFiles() {
    uint32_t t = DosDateTime(2005, 3, 7, 14, 20, 10);
    return {{"one.txt", "first", t},
            {"docs/two.txt", std::string(1000, 'b'), t},
            {"docs/deep/three.bin", "3", t}};
}

TEST_F(RarReaderTest, LibraryReadsRar) {
    ASSERT_TRUE(TRAR::RarSupported());
    EXPECT_GT(rar.DllVersion, 0);
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
    EXPECT_EQ(files[0].hdr.VersionMajor, 4);
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
    uint32_t unix2005 =
        static_cast<uint32_t>(DateTimeToUnix(38418.0 + (14 * 3600 + 20 * 60 + 10) / 86400.0));
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

// Cut and damaged archives end with members that were read whole and a
// bounded number of messages; nothing hangs or crashes.
TEST_F(RarReaderTest, TruncatedAndDamagedArchivesEndCleanly) {
    for (bool five : {false, true}) {
        std::string full = five ? MakeRar5(ThreeFiles()) : MakeRar4(ThreeFiles());
        for (size_t n = 0; n < full.size(); ++n) {
            List(Write("t.rar", full.substr(0, n)));
            EXPECT_LE(Of("file").size(), 3u);
            EXPECT_LE(Of("error").size(), static_cast<size_t>(TRAR::kMaxDamagedHeaders) + 2);
            for (const TEvent& e : Of("file"))
                EXPECT_GE(e.hdr.Size, 0);
            EXPECT_EQ(events.back().code, RAR_AFTERCLOSE) << n;
        }
        std::mt19937 rng(five ? 7 : 3);
        for (int round = 0; round < 300; ++round) {
            std::string bad = full;
            int flips = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < flips; ++i)
                bad[rng() % bad.size()] = static_cast<char>(rng() & 0xFF);
            List(Write("m.rar", bad));
            EXPECT_LE(Of("file").size(), 3u);
            EXPECT_EQ(events.back().code, RAR_AFTERCLOSE);
        }
    }
    std::mt19937 rng(11);
    std::string junk(4096, '\0');
    for (char& c : junk)
        c = static_cast<char>(rng() & 0xFF);
    List(Write("r.rar", std::string("Rar!\x1A\x07\x00", 7) + junk));
    EXPECT_TRUE(Of("file").empty());
    EXPECT_FALSE(Of("error").empty());
}

} // namespace
