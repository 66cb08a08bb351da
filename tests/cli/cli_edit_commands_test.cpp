// The commands that change a catalog or the handler table: edit, collections,
// handlers' extensions and search's replace. Each change is read back with
// tree or ls from the saved file; each refusal leaves the file's bytes alone.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "settings/progress.h"
#include "support/catalog_builder.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class CliEdits : public ::testing::Test {
protected:
    void SetUp() override {
        TLibObj lib;
        TCatalogBuilder b(lib);
        TTreeNode* cd = b.Volume("CD1");
        TTreeNode* music = b.Folder(cd, "music", 0, "Old");
        b.File(music, "a.mp3", 10, 0, "Kept", "note");
        b.File(music, "b.mp3", 20);
        TTreeNode* live = b.Folder(music, "live");
        b.File(live, "c.flac", 30);
        b.File(cd, "readme.txt", 5);
        b.Volume("CD2");
        cat = tmp.File("cat.txc");
        TNullProgress quiet;
        SaveToFile(lib, cat, quiet);
    }

    TProgramRun Cli(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", tmp.File("settings.ini")});
        return RunProgram(args, input);
    }
    std::string Ok(std::vector<std::string> args) {
        TProgramRun r = Cli(std::move(args));
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        return r.Out;
    }
    // The command fails with `code`, says why, and the catalog keeps its bytes.
    void Refused(std::vector<std::string> args, int code, const std::string& why) {
        const std::string before = ReadFile(cat);
        TProgramRun r = Cli(args);
        EXPECT_EQ(r.ExitCode, code) << args[0] << ' ' << args[1] << ": " << r.Err;
        EXPECT_NE(r.Err.find(why), std::string::npos) << r.Err;
        EXPECT_EQ(ReadFile(cat), before);
    }
    std::string Ls(const std::string& path) { return Ok({"ls", cat, path}); }
    std::string Collections() { return Ok({"collections", "list", cat}); }

    TTempFolder tmp;
    std::string cat;
};

TEST_F(CliEdits, EditSetsFolderFileAndVolumeTextsAndPushesDown) {
    Ok({"edit", cat, "CD1\\music", "--category", "Music", "--comments", "two\nlines"});
    // The folder's entry in its parent's list shows the same values; nothing below changed.
    EXPECT_EQ(Ls("CD1\\"), "music\tfolder\t0\t\tMusic\ttwo;lines\n"
                           "readme.txt\ttxt\t5\t\t\t\n");
    EXPECT_EQ(Ls("CD1\\music\\"), "a.mp3\tmp3\t10\t\tKept\tnote\n"
                                  "b.mp3\tmp3\t20\t\t\t\n"
                                  "live\tfolder\t0\t\t\t\n");

    // Push-down fills what is empty, and with --overwrite what is set too.
    Ok({"edit", cat, "CD1\\music\\", "--recursive"});
    EXPECT_EQ(Ls("CD1\\music\\"), "a.mp3\tmp3\t10\t\tKept\tnote\n"
                                  "b.mp3\tmp3\t20\t\tMusic\ttwo;lines\n"
                                  "live\tfolder\t0\t\tMusic\ttwo;lines\n");
    EXPECT_EQ(Ls("CD1\\music\\live\\"), "c.flac\tflac\t30\t\tMusic\ttwo;lines\n");
    Ok({"edit", cat, "CD1\\music", "--category", "Jazz", "--recursive", "--overwrite"});
    EXPECT_EQ(Ls("CD1\\music\\"), "a.mp3\tmp3\t10\t\tJazz\ttwo;lines\n"
                                  "b.mp3\tmp3\t20\t\tJazz\ttwo;lines\n"
                                  "live\tfolder\t0\t\tJazz\ttwo;lines\n");

    // A file, and a folder named by its entry: the node shows the change too.
    Ok({"edit", cat, "CD1\\music\\b.mp3", "CD1\\music\\live", "--comments", ""});
    EXPECT_EQ(Ls("CD1\\music\\"), "a.mp3\tmp3\t10\t\tJazz\ttwo;lines\n"
                                  "b.mp3\tmp3\t20\t\tJazz\t\n"
                                  "live\tfolder\t0\t\tJazz\t\n");
    EXPECT_NE(Ok({"tree", cat, "--json"})
                  .find(R"("path":"CD1\\music\\live\\","kind":"folder",)"
                        R"("date":"","size":30,"category":"Jazz",)"
                        R"("comments":"")"),
              std::string::npos);

    // A volume's location.
    Ok({"edit", cat, "CD2", "--location", "Box 7"});
    EXPECT_NE(Ok({"ls", cat, "--json"}).find(R"("location":"Box 7")"), std::string::npos);
}

TEST_F(CliEdits, EditRefusesWhatItCannotDoAndSavesNothing) {
    Refused({"edit", cat, "CD1\\nowhere", "--category", "x"}, 1, "CD1\\nowhere");
    // One wrong path among good ones: nothing at all is saved.
    Refused({"edit", cat, "CD1\\music", "CD9\\", "--category", "x"}, 1, "CD9");
    Refused({"edit", cat, "CD1\\music", "--location", "Shelf"}, 1, "only a volume");
    Refused({"edit", cat, "CD1\\readme.txt", "--location", "Shelf"}, 1, "only a volume");
    Refused({"edit", cat, "CD1\\music", "--overwrite"}, 2, "--recursive");
    Refused({"edit", cat, "CD1\\music"}, 2, "nothing to change");
    Refused({"edit", cat, "CD1\\music", "--colour", "red"}, 2, "--colour");
    Refused({"edit", tmp.File("missing.txc"), "CD1", "--category", "x"}, 1, "missing.txc");
}

TEST_F(CliEdits, CollectionsAreMadeLinkedMovedRenamedAndDeleted) {
    Ok({"collections", "create", cat, "Shelf\\Films\\Old"}); // the missing levels too
    Ok({"collections", "add", cat, "Shelf", "CD1", "CD1\\music\\", "CD1\\music\\a.mp3"});
    Ok({"collections", "add-memo", cat, "\\", "Buy", "--url", "https://example.org", "--memo",
        "two\nlines"});
    Ok({"collections", "add-memo", cat, "Shelf\\Films", ""}); // the default caption
    EXPECT_EQ(Collections(), "Buy\tcollection\t\thttps://example.org\n"
                             "Shelf\tcollection\t\t\n"
                             "Shelf\\a.mp3\tfile-link\tCD1\\music\\a.mp3\t\n"
                             "Shelf\\CD1\tvolume-link\tCD1\\\t\n"
                             "Shelf\\Films\tcollection\t\t\n"
                             "Shelf\\Films\\Memo\tcollection\t\t\n"
                             "Shelf\\Films\\Old\tcollection\t\t\n"
                             "Shelf\\music\tfolder-link\tCD1\\music\\\t\n");

    Ok({"collections", "move", cat, "Shelf\\Films\\Old", "\\"});
    Ok({"collections", "rename", cat, "Old", "Classics"});
    Ok({"collections", "move", cat, "Shelf\\music", "Classics"});
    Ok({"collections", "delete", cat, "Shelf\\Films", "Shelf\\Films\\Memo", "Buy"});
    const std::string tree = Ok({"tree", cat});
    EXPECT_EQ(tree.substr(tree.find("Collections:")), "Collections:\n"
                                                      "Classics\n"
                                                      "  music\n"
                                                      "Shelf\n"
                                                      "  a.mp3\n"
                                                      "  CD1\n");
    // The links still lead where they did after the reloads.
    EXPECT_NE(Collections().find("Classics\\music\tfolder-link\tCD1\\music\\"), std::string::npos);
}

TEST_F(CliEdits, CollectionsRefuseWrongMovesAndPaths) {
    Ok({"collections", "create", cat, "A\\B\\C"});
    Refused({"collections", "move", cat, "A", "A"}, 1, "itself");
    Refused({"collections", "move", cat, "A", "A\\B\\C"}, 1, "below itself");
    Refused({"collections", "move", cat, "A\\X", "\\"}, 1, "no such collection");
    Refused({"collections", "add", cat, "A", "CD1\\music\\nothing.mp3"}, 1, "nothing.mp3");
    Refused({"collections", "add", cat, "A", "CD1\\music", "CD5"}, 1, "CD5");
    Refused({"collections", "add", cat, "Z", "CD1"}, 1, "no such collection");
    Refused({"collections", "create", cat, "A\\B"}, 1, "already there");
    Refused({"collections", "rename", cat, "A", ""}, 2, "name");
    Refused({"collections", "delete", cat, "\\"}, 1, "no such collection");
    Refused({"collections", "shuffle", cat}, 2, "unknown subcommand");
    Refused({"collections", "rename", cat, "A", "B", "C"}, 2, "unexpected argument");
    Refused({"collections", "add", cat, "A", "CD1", "--url", "x"}, 2, "add-memo");
    EXPECT_EQ(Cli({"collections", "--help"}).ExitCode, 0);
}

TEST_F(CliEdits, HandlerExtensionsFollowTheEditorsRules) {
    const std::string settings = tmp.File("settings.ini");
    auto row = [&](const std::string& out, const std::string& title) {
        size_t at = out.find("\n" + title + "\t");
        return out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    };
    std::string out = Ok({"handlers", "--set-extensions", "MP3", ".mp3; mp3x;.MP3"});
    EXPECT_EQ(row(out, "MP3"), "MP3\tyes\tMP3 File\t.MP3;.MP3X");
    out = Ok({"handlers", "--add-extension", "mp3", "bin3", "--remove-extension", "MP3", ".MP3"});
    EXPECT_EQ(row(out, "MP3"), "MP3\tyes\tMP3 File\t.BIN3;.MP3X");
    // Read back from the settings file by a new process.
    EXPECT_EQ(row(Ok({"handlers"}), "MP3"), "MP3\tyes\tMP3 File\t.BIN3;.MP3X");

    const std::string before = ReadFile(settings);
    struct TCase {
        std::vector<std::string> Args;
        int Code;
        std::string Why;
    };
    for (const TCase& c : std::vector<TCase>{
             {{"--set-extensions", "MP3", ".MP3;.MP2"}, 1, ".MP2 (MPG)"},
             {{"--add-extension", "MP3", ".zip"}, 1, ".ZIP (ZIP)"},
             {{"--add-extension", "MP3", "."}, 1, "Not a file extension"},
             {{"--add-extension", "MP3", ".a b"}, 1, "Not a file extension"},
             {{"--set-extensions", "MP3", ";;"}, 1, "at least one"},
             {{"--remove-extension", "MP3", ".WAV"}, 1, "has no extension .WAV"},
             {{"--set-extensions", "NOPE", ".X"}, 1, "unknown handler"},
             {{"--add-extension", "MP3"}, 2, "needs a handler title"},
             // A later refusal keeps an earlier change of the same run from being written.
             {{"--add-extension", "MP3", ".ok", "--add-extension", "WAV", ".MP3X"}, 1, "(MP3)"},
         }) {
        std::vector<std::string> args{"handlers"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        TProgramRun r = Cli(args);
        EXPECT_EQ(r.ExitCode, c.Code) << c.Args[0] << ' ' << r.Err;
        EXPECT_NE(r.Err.find(c.Why), std::string::npos) << r.Err;
        EXPECT_EQ(ReadFile(settings), before) << c.Args[0];
    }
    // The last extension cannot go.
    Ok({"handlers", "--remove-extension", "MP3", ".BIN3"});
    TProgramRun last = Cli({"handlers", "--remove-extension", "MP3", ".MP3X"});
    EXPECT_EQ(last.ExitCode, 1);
    EXPECT_NE(last.Err.find("at least one"), std::string::npos) << last.Err;
}

TEST_F(CliEdits, ReplaceDryRunShowsTheChangesAndWritesNothing) {
    const std::string before = ReadFile(cat);
    std::string out =
        Ok({"search", cat, "--type", "mp3", "--replace-category", "Kept", "--dry-run"});
    // a.mp3 has that category already.
    EXPECT_EQ(out, "CD1\\music\\b.mp3\tcategory\t\tKept\n");
    out =
        Ok({"search", cat, "--name", "a.mp3", "--replace-comments", "x\ty", "--dry-run", "--json"});
    EXPECT_EQ(out, R"({"path":"CD1\\music\\a.mp3","field":"comments","old":"note","new":"x\ty"})"
                   "\n");
    EXPECT_EQ(ReadFile(cat), before);

    // Without a terminal to ask, replacing needs --yes; nothing is saved without it.
    Refused({"search", cat, "--replace-category", "X"}, 2, "--yes");
    Refused({"search", cat, "--dry-run"}, 2, "--replace-category");
    EXPECT_EQ(Cli({"search", cat, "--replace-category", "X"}, "y\n").ExitCode, 2);
    EXPECT_EQ(ReadFile(cat), before);

    Ok({"search", cat, "--type", "mp3", "--replace-category", "Songs", "--yes"});
    EXPECT_EQ(Ls("CD1\\music\\"), "a.mp3\tmp3\t10\t\tSongs\tnote\n"
                                  "b.mp3\tmp3\t20\t\tSongs\t\n"
                                  "live\tfolder\t0\t\t\t\n");
    // Nothing left to change: the file is not written again (a save renames a new file over it).
    struct stat saved {};
    ASSERT_EQ(::stat(cat.c_str(), &saved), 0);
    Ok({"search", cat, "--type", "mp3", "--replace-category", "Songs", "--yes"});
    struct stat now {};
    ASSERT_EQ(::stat(cat.c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, saved.st_ino);
}

} // namespace
