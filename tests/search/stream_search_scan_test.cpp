#include "catalog/catalog_file.h"
#include "search/delimited_text.h"
#include "search/search_engine.h"
#include "search/stream_search.h"
#include "stream_criteria.h"
#include "support/recording_progress.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

// Catalogs made by scanning awkward trees with the command-line tool: the
// streamed search must print what the search over the loaded tree prints.

namespace {

namespace fs = std::filesystem;

std::string Cli(const std::vector<std::string>& args, const std::string& settings, int expect = 0) {
    std::vector<std::string> argv{TAMBLIX_CLI, "--settings", settings};
    argv.insert(argv.end(), args.begin(), args.end());
    TProgramRun r = RunProgram(argv);
    EXPECT_EQ(r.ExitCode, expect) << r.Err;
    return r.Out;
}

void Touch(const std::string& path, int64_t secondsSince2000) {
    const std::chrono::sys_seconds when{std::chrono::seconds(946684800 + secondsSince2000)};
    fs::last_write_time(path, std::chrono::file_clock::from_sys(when));
}

void CopyData(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(std::string(TAMBLIX_TEST_DATA) + "/" + from, to,
                  fs::copy_options::overwrite_existing);
}

// Two discs with what trips paths and sorting up: names that differ only in
// case, a "\" and a non-UTF-8 byte in names, a folder named like an archive,
// real archives, tagged audio and a photo, empty and deep folders, set dates.
class StreamSearchScan : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tmp_ = new TTempFolder;
        const TTempFolder& t = *tmp_;
        t.Write("disc1/a.txt", "aaa");
        t.Write("disc1/A.txt", "A");
        t.Write("disc1/B.TXT", std::string(2100000, 'b'));
        t.Write("disc1/noext", "");
        t.Write("disc1/.hidden", "h");
        t.Write("disc1/we\\ird.txt", "w");
        t.Write("disc1/lat\xe9.txt", "l");
        t.Write("disc1/space name.Mp3", "not audio");
        t.Write("disc1/looks.zip/inside.txt", "i");
        t.Write("disc1/sub/deep/deeper/x.tar.bak", "x");
        t.Write("disc1/sub/Deep2/y.TXT", "y");
        t.MakeFolder("disc1/empty");
        CopyData("archives/basic.zip", t.File("disc1/arch/basic.zip"));
        CopyData("archives/names.zip", t.File("disc1/arch/names.zip"));
        CopyData("audio/apev2_tagged.mp3", t.File("disc1/music/tagged.mp3"));
        CopyData("audio/mp3_info_cbr.mp3", t.File("disc1/music/cbr.mp3"));
        CopyData("media/photo.jpg", t.File("disc1/pics/photo.jpg"));
        t.Write("disc2/Music/z.txt", "zz");
        t.Write("disc2/readme", "r");
        Touch(t.File("disc1/a.txt"), 10 * 86400);
        Touch(t.File("disc1/A.txt"), 11 * 86400 + 3600);
        Touch(t.File("disc1/sub/Deep2/y.TXT"), 12 * 86400);

        settings_ = t.File("settings.ini");
        catalog_ = t.File("scan.txc");
        Cli({"new", catalog_}, settings_);
        Cli({"scan", catalog_, t.File("disc1"), "--location", "Shelf A", "--category", "Discs",
             "--comments", "first\nbox"},
            settings_);
        Cli({"scan", catalog_, t.File("disc2"), "--location", "Box 2"}, settings_);
        Cli({"edit", catalog_, "disc1\\sub", "--category", "Work", "--comments", "old papers"},
            settings_);
        Cli({"edit", catalog_, "disc1\\a.txt", "--comments", "two\nlines"}, settings_);
        Cli({"collections", "create", catalog_, "Shelf"}, settings_);
        Cli({"collections", "add", catalog_, "Shelf", "disc2"}, settings_);
    }
    static void TearDownTestSuite() {
        delete tmp_;
        tmp_ = nullptr;
    }

    static void ExpectSame(const TSearchCriteria& c, const std::string& what, int unit = 0) {
        SCOPED_TRACE(what);
        TCellFormat fmt;
        fmt.SizeUnit = unit;
        TLibObj lib;
        TNullProgress progress;
        LoadFromFile(lib, catalog_, false, progress);
        TSearchEngine engine(lib, progress);
        engine.Format = fmt;
        TSearchResults results(lib);
        engine.Run(c, results);
        std::vector<std::string> full, fast;
        for (const auto& row : results.Rows)
            for (int col = 0; col < kSearchColumnCount; ++col)
                full.push_back(results.CellText(row, col, fmt));
        TStreamSearch search(c);
        ASSERT_TRUE(search.Run(catalog_, [&](const TStreamHit& hit) {
            for (int col = 0; col < kSearchColumnCount; ++col)
                fast.push_back(StreamCellText(hit, col, fmt));
        }));
        EXPECT_EQ(fast, full);
        TSearchResults counts(lib);
        counts.Stats = search.Stats();
        EXPECT_EQ(counts.StatusTexts(fmt), results.StatusTexts(fmt));
    }

    static TTempFolder* tmp_;
    static std::string settings_, catalog_;
};

TTempFolder* StreamSearchScan::tmp_ = nullptr;
std::string StreamSearchScan::settings_, StreamSearchScan::catalog_;

TEST_F(StreamSearchScan, PrintsTheRowsOfTheLoadedSearch) {
    TDateTime from = 0, to = 0;
    ParseDateText("2000-01-11", from);
    ParseDateText("2000-01-12", to);
    for (const auto& [what, c] : StreamCriteria(from, to))
        ExpectSame(c, what);
    ExpectSame({}, "everything in MB", 2);
    TSearchCriteria c;
    c.Name = "\\";
    ExpectSame(c, "a backslash");
    c.Name = "";
    c.Type = "bak";
    ExpectSame(c, "type after the last dot");
}

// The command prints the same text whichever way it searched: a link to an
// entry makes it load the catalog (and changes no row it prints here).
TEST_F(StreamSearchScan, TheCommandPrintsTheSameEitherWay) {
    const std::string linked = tmp_->File("linked.txc");
    fs::copy_file(catalog_, linked);
    Cli({"collections", "create", linked, "Fav"}, settings_);
    Cli({"collections", "add", linked, "Fav", "disc2\\readme"}, settings_);
    ASSERT_FALSE(TStreamSearch({}).Run(linked, [](const TStreamHit&) {}));
    for (const std::vector<std::string>& extra : {std::vector<std::string>{"--name", "txt"},
                                                  {"--anywhere", "deep", "--json"},
                                                  {"--type", "mp3", "--folders-only"},
                                                  {"--name", "t", "--sort", "size:desc"}}) {
        std::vector<std::string> a{"search", catalog_}, b{"search", linked};
        a.insert(a.end(), extra.begin(), extra.end());
        b.insert(b.end(), extra.begin(), extra.end());
        // The rows, the counts on stderr and the exit status (1: nothing found).
        auto run = [&](const std::vector<std::string>& args) {
            std::vector<std::string> argv{TAMBLIX_CLI, "--settings", settings_};
            argv.insert(argv.end(), args.begin(), args.end());
            TProgramRun r = RunProgram(argv);
            // Rows name their catalog, which is all that may differ.
            std::string out = std::to_string(r.ExitCode) + "\n" + r.Out + r.Err;
            for (size_t at; (at = out.find(args[1])) != std::string::npos;)
                out.replace(at, args[1].size(), "CATALOG");
            return out;
        };
        const std::string streamed = run(a);
        EXPECT_EQ(streamed.find(extra[0] == "--type" ? "1\n" : "0\n"), 0u) << streamed;
        EXPECT_EQ(streamed, run(b)) << extra[0];
    }
}

// A file that turns out damaged near its end prints no row at all: only the
// load's error.
TEST_F(StreamSearchScan, ADamagedTailPrintsNoRows) {
    const std::string whole = ReadFile(catalog_);
    const std::string cut = tmp_->Write("cut.txc", whole.substr(0, whole.size() - 3));
    TProgramRun r = RunProgram({TAMBLIX_CLI, "--settings", settings_, "search", cut});
    EXPECT_NE(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "");
    EXPECT_NE(r.Err.find("at byte"), std::string::npos) << r.Err;
}

} // namespace
