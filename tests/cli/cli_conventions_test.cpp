// What scripts rely on, run as the program: search's exit status and
// streams, its row formats and limits, name patterns, and the option parser
// that every command shares.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "cli/cli_complete.h"
#include "cli/cli_progress.h"
#include "settings/progress.h"
#include "support/catalog_builder.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class CliConventions : public ::testing::Test {
protected:
    void SetUp() override {
        TLibObj lib;
        TCatalogBuilder b(lib);
        TTreeNode* cd = b.Volume("CD1");
        TTreeNode* music = b.Folder(cd, "music");
        b.File(music, "Alpha.MP3", 5000000000LL);
        b.File(music, "beta.mp3", 20);
        b.File(music, "gamma.flac", 30);
        b.File(cd, "-dash.txt", 1);
        b.File(cd, std::string(3000, 'a') + ".txt", 2); // a long name for the patterns
        b.File(b.Volume("-v"), "x.txt", 3);
        cat = tmp.File("cat.txc");
        TNullProgress quiet;
        SaveToFile(lib, cat, quiet);
    }

    TProgramRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", tmp.File("settings.ini")});
        return RunProgram(args);
    }
    // The names of the rows of a search (the first column), in order.
    static std::string Names(const std::string& out, char end = '\n') {
        std::string names;
        for (size_t at = 0; at < out.size();) {
            size_t stop = out.find(end, at);
            if (stop == std::string::npos) return names + "[unended]";
            names += out.substr(at, std::min(out.find('\t', at), stop) - at) + ";";
            at = stop + 1;
        }
        return names;
    }
    // A usage error (exit 2) that says `why`, and prints nothing on stdout.
    void Usage(std::vector<std::string> args, const std::string& why) {
        TProgramRun r = Cli(args);
        EXPECT_EQ(r.ExitCode, 2) << args.back() << ": " << r.Err;
        EXPECT_NE(r.Err.find(why), std::string::npos) << r.Err;
        EXPECT_EQ(r.Out, "");
    }

    TTempFolder tmp;
    std::string cat;
};

TEST_F(CliConventions, SearchExitsAsGrepAndCountsOnStderr) {
    // Streamed from the file, and through the loaded tree (--in, which takes
    // the folders' own entries).
    for (std::vector<std::string> in :
         {std::vector<std::string>{}, {"--in", "CD1", "--in", "CD1\\music"}}) {
        std::vector<std::string> args{"search", cat, "--name", "mp3"};
        args.insert(args.end(), in.begin(), in.end());
        TProgramRun r = Cli(args);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(Names(r.Out), "Alpha.MP3;beta.mp3;");
        // Sizes in plain digits, as ls gives them.
        EXPECT_NE(r.Out.find("\tCD1\\music\\\t5000000000\t"), std::string::npos) << r.Out;
        EXPECT_NE(r.Err.find("Results: 2\n"), std::string::npos) << r.Err;

        args.push_back("--no-summary");
        r = Cli(args);
        EXPECT_EQ(r.Err, "");
        EXPECT_EQ(Names(r.Out), "Alpha.MP3;beta.mp3;");

        args[3] = "nothing";
        r = Cli(args);
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_EQ(r.Out, "");
    }
    // The dry run of a replace says so too.
    EXPECT_EQ(Cli({"search", cat, "--name", "zz", "--replace-category", "X", "--dry-run"}).ExitCode,
              1);
    EXPECT_EQ(Cli({"search", cat, "--collections", "--caption", "zz"}).ExitCode, 1);
}

TEST_F(CliConventions, SearchRowsEndWithNulAndAreCountedAndLimited) {
    TProgramRun r = Cli({"search", cat, "--name", "mp3", "-0", "--no-summary"});
    EXPECT_EQ(Names(r.Out, '\0'), "Alpha.MP3;beta.mp3;");
    EXPECT_EQ(r.Out.find('\n'), std::string::npos);
    r = Cli({"search", cat, "--name", "mp3", "--json", "--null"});
    EXPECT_EQ(r.Out.find('\n'), std::string::npos);
    EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\0'), 2);

    r = Cli({"search", cat, "--name", "a", "--count"});
    EXPECT_EQ(r.Out, "5\n");
    EXPECT_EQ(r.Err, "");
    r = Cli({"search", cat, "--name", "zz", "--count"});
    EXPECT_EQ(r.Out, "0\n");
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(Cli({"search", cat, "--name", "a", "--count", "--limit=2"}).Out, "2\n");
    // The limit counts sorted rows, and the full load's rows.
    r = Cli({"search", cat, "--name", "mp3", "--sort", "size", "--limit", "1"});
    EXPECT_EQ(Names(r.Out), "beta.mp3;");
    r = Cli({"search", cat, "--name", "mp3", "--in", "CD1\\music", "--limit", "1"});
    EXPECT_EQ(Names(r.Out), "Alpha.MP3;");
    Usage({"search", cat, "--limit", "0"}, "--limit needs a number");
    Usage({"search", cat, "--limit", "x"}, "--limit needs a number");
}

TEST_F(CliConventions, SearchesSeveralCatalogsInTurn) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    b.File(b.Folder(b.Volume("CD2"), "more"), "delta.mp3", 7);
    const std::string second = tmp.File("second.txc");
    TNullProgress quiet;
    SaveToFile(lib, second, quiet);
    // A catalog cut short, and one that is not there.
    std::string whole;
    {
        std::ifstream in(cat, std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string damaged = tmp.File("damaged.txc");
    std::ofstream(damaged, std::ios::binary) << whole.substr(0, whole.size() / 2);
    const std::string missing = tmp.File("missing.txc");

    // In the order given, each row ending in its catalog; the failures named,
    // the others searched, and the exit status says something failed.
    TProgramRun r = Cli({"search", second, missing, cat, damaged, "--name", "mp3"});
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(Names(r.Out), "delta.mp3;Alpha.MP3;beta.mp3;");
    EXPECT_NE(r.Out.find("\tCD2\\more\\delta.mp3\t\t" + second + "\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\tCD1\\music\\beta.mp3\t\t" + cat + "\n"), std::string::npos);
    EXPECT_NE(r.Err.find(missing), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(damaged), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Files: 3\t"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find(cat + ":"), std::string::npos) << r.Err;

    r = Cli({"search", cat, second, "--name", "mp3", "--json"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    std::vector<std::string> rows;
    for (size_t at = 0; at < r.Out.size(); at = r.Out.find('\n', at) + 1)
        rows.push_back(r.Out.substr(at, r.Out.find('\n', at) - at));
    ASSERT_EQ(rows.size(), 3u) << r.Out;
    EXPECT_NE(rows[0].find("\"name\":\"Alpha.MP3\""), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find("\"catalog\":\"" + cat + "\"}"), std::string::npos) << rows[0];
    EXPECT_NE(rows[2].find("\"name\":\"delta.mp3\""), std::string::npos) << rows[2];
    EXPECT_NE(rows[2].find("\"catalog\":\"" + second + "\"}"), std::string::npos) << rows[2];

    // The limit and the count take all the catalogs' rows; nothing found is 1.
    r = Cli({"search", cat, second, "--name", "mp3", "--limit", "3", "--no-summary"});
    EXPECT_EQ(Names(r.Out), "Alpha.MP3;beta.mp3;delta.mp3;");
    EXPECT_EQ(Cli({"search", cat, second, "--name", "a", "--limit", "6", "--count"}).Out, "6\n");
    EXPECT_EQ(Cli({"search", cat, second, "--name", "zz"}).ExitCode, 1);
    // What takes one catalog's entries or order says so.
    Usage({"search", cat, second, "--sort", "size"}, "--sort goes with one catalog");
    Usage({"search", cat, second, "--in", "CD1"}, "--in goes with one catalog");
}

TEST_F(CliConventions, NamesMatchRegularExpressionsAndWildcards) {
    auto names = [&](std::vector<std::string> criteria) {
        std::vector<std::string> args{"search", cat, "--no-summary"};
        args.insert(args.end(), criteria.begin(), criteria.end());
        TProgramRun r = Cli(args);
        EXPECT_EQ(r.ExitCode, r.Out.empty() ? 1 : 0) << r.Err;
        return Names(r.Out);
    };
    for (std::vector<std::string> in :
         {std::vector<std::string>{}, {"--in", "CD1", "--in", "CD1\\music"}}) {
        auto with = [&](std::vector<std::string> criteria) {
            criteria.insert(criteria.end(), in.begin(), in.end());
            return names(criteria);
        };
        // Found anywhere, case ignored unless it matters.
        EXPECT_EQ(with({"--regex", "^[ab].*\\.mp3$"}), "Alpha.MP3;beta.mp3;");
        EXPECT_EQ(with({"--regex", "^[ab].*\\.mp3$", "--match-case"}), "beta.mp3;");
        EXPECT_EQ(with({"--regex", "ta\\.|mma"}), "beta.mp3;gamma.flac;");
        EXPECT_EQ(with({"--regex", "^a{3000}\\.txt$"}), std::string(3000, 'a') + ".txt;");
        // A wildcard pattern matches the whole name.
        EXPECT_EQ(with({"--glob", "*.mp3"}), "Alpha.MP3;beta.mp3;");
        EXPECT_EQ(with({"--glob", "*.mp3", "--match-case"}), "beta.mp3;");
        EXPECT_EQ(with({"--glob", "?amma.*"}), "gamma.flac;");
        EXPECT_EQ(with({"--glob", "amma"}), "");
        EXPECT_EQ(with({"--glob", "[!ab]*", "--name", "a."}), "gamma.flac;");
        // With the other criteria.
        EXPECT_EQ(with({"--regex", "a", "--size", ">", "25"}), "Alpha.MP3;gamma.flac;");
    }
    // Patterns that backtrack on a long name still finish at once.
    EXPECT_EQ(names({"--regex", "(a|aa)*b"}), "beta.mp3;");
    EXPECT_EQ(names({"--glob", "*a*a*a*a*a*a*a*a*b"}), "");

    Usage({"search", cat, "--regex", "(a"}, "--regex: ");
    Usage({"search", cat, "--regex", "(a)\\1"}, "back-references");
    Usage({"search", cat, "--regex", "a", "--glob", "b"}, "do not go together");
    Usage({"search", cat, "--glob", "*", "--save", tmp.File("s.txs")}, "saved search");
}

TEST_F(CliConventions, OptionsEndAtDoubleDashAndAreCheckedOnce) {
    // After "--" a word that starts with "-" is a name.
    TProgramRun r = Cli({"ls", "--", cat, "-v"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out.rfind("x.txt\t", 0), 0u) << r.Out;
    Usage({"ls", cat, "-v"}, "unknown option -v");
    Usage({"ls", cat, "-x"}, "'--'");
    // "--" as an option's value is the value.
    EXPECT_EQ(Cli({"search", cat, "--name", "--", "--count"}).Out, "0\n");

    // --opt=value for every kind of value option.
    EXPECT_EQ(Names(Cli({"search", cat, "--name=mp3", "--size=>25"}).Out), "Alpha.MP3;");
    EXPECT_EQ(Names(Cli({"search", cat, "--size=< 2", "--name", "dash"}).Out), "%2Ddash.txt;");
    Usage({"search", cat, "--folders-only=x"}, "option --folders-only takes no value");
    Usage({"search", cat, "--json=yes"}, "option --json takes no value");

    // Given twice.
    Usage({"search", cat, "--name", "a", "--name=b"}, "option --name is repeated");
    Usage({"search", cat, "--count", "--count"}, "option --count is repeated");
    Usage({"search", cat, "--size", ">", "1", "--size", "<", "9"}, "option --size is repeated");
    EXPECT_EQ(Cli({"search", cat, "--in", "CD1", "--in", "CD1\\music", "--count"}).ExitCode, 0);

    // --help and --version after any command; before "--" only.
    for (const char* command : {"ls", "search", "collections", "handlers"}) {
        r = Cli({command, "x", "--version"});
        EXPECT_EQ(r.ExitCode, 0) << command;
        EXPECT_EQ(r.Out.rfind("tamblix-cli ", 0), 0u) << r.Out;
        r = Cli({command, "--help", "x"});
        EXPECT_EQ(r.Out.rfind(std::string("Usage: tamblix-cli ") + command, 0), 0u) << r.Out;
    }
    EXPECT_EQ(Cli({"ls", "--", "--help"}).ExitCode, 1);
    r = Cli({"--bogus", "ls"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Err, "tamblix-cli: unknown option --bogus\nTry 'tamblix-cli --help'.\n");
    EXPECT_NE(Cli({"--versoin"}).Err.find("did you mean --version?"), std::string::npos);
}

TEST_F(CliConventions, HandlerExtensionsChangeInTheOrderGiven) {
    auto row = [&](const std::string& out, const std::string& title) {
        size_t at = out.find("\n" + title + "\t");
        return out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    };
    // The other way round, .MP2 is still MPG's when MP3 asks for it.
    TProgramRun r =
        Cli({"handlers", "--add-extension", "MP3", ".MP2", "--remove-extension", "MPG", ".MP2"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find(".MP2 (MPG)"), std::string::npos) << r.Err;
    r = Cli({"handlers", "--remove-extension", "MPG", ".MP2", "--add-extension=MP3", ".MP2"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(row(r.Out, "MP3"), "MP3\tyes\tMP3 File\t.MP2;.MP3");
    EXPECT_EQ(row(r.Out, "MPG"), "MPG\tyes\tMPG File\t.MP1;.MPA;.MPEG;.MPG");
    // A set after an add replaces what the add made.
    r = Cli({"handlers", "--add-extension", "MP3", ".X1", "--set-extensions", "MP3", ".MP3;.X2"});
    EXPECT_EQ(row(r.Out, "MP3"), "MP3\tyes\tMP3 File\t.MP3;.X2");
}

TEST_F(CliConventions, ExportWritesToStandardOutputAndImportReadsStandardInput) {
    const std::string file = tmp.File("all.csv");
    ASSERT_EQ(Cli({"export", cat, file}).ExitCode, 0);
    const std::string text = ReadFile(file);
    ASSERT_NE(text.find("\"gamma.flac\",30"), std::string::npos) << text;
    TProgramRun r = Cli({"export", cat, "-"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, text);
    EXPECT_EQ(Cli({"export", cat, "/dev/stdout"}).Out, text);

    // Standard output that is a file is written where it stands, not replaced.
    const std::string log = tmp.File("log.txt");
    WriteFile(log, "before\n");
    struct stat was {};
    ASSERT_EQ(::stat(log.c_str(), &was), 0);
    r = RunProgram({"sh", "-c", "exec \"$0\" --settings \"$1\" export \"$2\" /dev/stdout >>\"$3\"",
                    TAMBLIX_CLI, tmp.File("settings.ini"), cat, log});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    struct stat now {};
    ASSERT_EQ(::stat(log.c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino);
    EXPECT_EQ(ReadFile(log), "before\n" + text);

    // Read back from standard input into a new catalog.
    const std::string copy = tmp.File("copy.txc");
    r = RunProgram({TAMBLIX_CLI, "--settings", tmp.File("settings.ini"), "import", copy, "-"},
                   text);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "Volumes: 2\tEntries: 7\tErrors: 0\n");
    EXPECT_EQ(Cli({"ls", copy, "CD1\\music"}).Out, Cli({"ls", cat, "CD1\\music"}).Out);
}

// Terminal cells of a line made of ASCII, two-byte letters and wide CJK.
size_t Cells(const std::string& s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++n, ++i;
        } else if (b < 0xE0) {
            ++n, i += 2;
        } else {
            n += 2, i += 3;
        }
    }
    return n;
}

TEST(CliProgress, TheLineFitsTheTerminalAndKeepsThePathsEnd) {
    EXPECT_EQ(FitProgressLine("3 entries", "CD1\\a.mp3", 80), "3 entries  CD1\\\\a.mp3");
    const std::string path = "root/" + std::string(200, 'x') + "/song.flac";
    std::string line = FitProgressLine("12 entries, 5 bytes", path, 60);
    EXPECT_EQ(line.size(), 59u);
    EXPECT_EQ(line.rfind("12 entries, 5 bytes  root/xxx", 0), 0u) << line;
    EXPECT_NE(line.find("..."), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 14), "xxxx/song.flac");
    // Characters are never split, and wide ones take two cells.
    for (const std::string& letter : {std::string("\xC3\xA9"), std::string("\xE6\x9B\xB2")})
        for (size_t columns : {20u, 41u, 42u, 80u}) {
            std::string text;
            for (int i = 0; i < 100; ++i)
                text += letter;
            line = FitProgressLine("1 entries", text, columns);
            EXPECT_LE(Cells(line), columns - 1) << columns;
            EXPECT_GE(Cells(line), columns - 2) << columns;
            // What is left of the text is whole letters.
            const size_t dots = line.find("...");
            EXPECT_EQ(dots == std::string::npos, columns == 20u) << line;
            const size_t kept = line.size() - 11 - (dots == std::string::npos ? 0 : 3);
            EXPECT_EQ(kept % letter.size(), 0u) << columns;
        }
    // A control byte in a name never reaches the terminal; a narrow one shows the start.
    EXPECT_EQ(FitProgressLine("1", "a\x1b[2Jb", 80), "1  a\\x1b[2Jb");
    EXPECT_EQ(FitProgressLine("1234567890 entries", "abc", 8), "1234567");
    EXPECT_EQ(FitProgressLine("1", "abc", 0), "1");
}

TEST(CliCompletion, WordIndexesOutsideTheLineCompleteToNothing) {
    const std::vector<std::vector<std::string>> lines = {{},
                                                         {"tamblix-cli"},
                                                         {"tamblix-cli", "ls"},
                                                         {"tamblix-cli", "--settings"},
                                                         {"tamblix-cli", "search", "c.txc", "--in"},
                                                         {"tamblix-cli", "collections", "add"}};
    for (const auto& words : lines)
        for (size_t current = 0; current <= words.size() + 2; ++current) {
            TCompletion c = CompleteCommandLine(words, current);
            if (current == 0 || current > words.size()) {
                EXPECT_TRUE(c.Words.empty()) << words.size() << ' ' << current;
                EXPECT_EQ(c.Kind, TCompletion::TKind::Words);
            }
        }
    // The word right after the line: every command.
    EXPECT_GT(CompleteCommandLine({"tamblix-cli"}, 1).Words.size(), 10u);
}

} // namespace
