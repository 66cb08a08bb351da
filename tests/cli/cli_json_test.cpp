// --json output of info, tree, ls, search and tags: every line parses, and the
// rows are the text output's rows, field for field.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "settings/progress.h"
#include "support/catalog_builder.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "text/name_text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

using json = nlohmann::json;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Every line one JSON object.
std::vector<json> JsonLines(const std::string& text) {
    std::vector<json> out;
    for (const auto& line : Lines(text)) {
        json j = json::parse(line); // throws, and fails the test, on bad JSON
        EXPECT_TRUE(j.is_object()) << line;
        out.push_back(std::move(j));
    }
    return out;
}

std::string Shown(const json& j) {
    return nametext::ShownCaption(j.get<std::string>());
}

// A name or path as the text prints it: KEYArg where the display text is not
// the written form.
std::string Written(const json& row, const std::string& key) {
    return row.value(key + "Arg", row[key].get<std::string>());
}

// A JSON date ("2020-05-01T10:11:12Z") as ls prints it.
std::string TextDate(const json& j) {
    std::string s = j.get<std::string>();
    if (s.empty()) return s;
    EXPECT_EQ(s.size(), 20u) << s;
    EXPECT_EQ(s.back(), 'Z') << s;
    s.pop_back();
    s[10] = ' ';
    return s;
}

class CliJson : public ::testing::Test {
protected:
    void SetUp() override {
        TCatalogBuilder b(lib);
        TTreeNode* cd = b.Volume("Disc \"1\"", "Shelf\t3", "1234ABCD");
        TTreeNode* music =
            b.Folder(cd, "m\xC3\xBCsic", Day("2021-03-04"), "Music", "line 1\nline 2");
        TLibFolderItem* song = b.File(music, "a\tb.mp3", 1234, Day("2020-05-01 10:11:12"), "Songs");
        song->TagInfo.SetValues({"Title=Caf\xC3\xA9", "Artist=back\\slash"});
        b.File(music, nametext::DiskToCaption("raw\xFF.dat"), 5000000000LL); // a stray byte
        b.File(music, "back\\slash.txt", 7);
        TTreeNode* deep = b.Folder(music, "deep");
        b.File(deep, "z.flac", 99, Day("2019-01-01"), "", "x\ny");
        b.Archive(cd, "pack.zip", 50);
        b.Volume("CD2");
        TTreeNode* shelf = lib.AddCollection(nullptr, "Shelf");
        lib.LinkFolder(shelf, FolderOf(music));
        lib.LinkEntry(shelf, FolderOf(music), song);
        TTreeNode* memo = lib.AddCollection(shelf, "Note");
        ColItemOf(memo)->URL = "https://example.org/?a=1&b=2";
        ColItemOf(memo)->MemoText = "two\nlines";
        lib.Categories.Add("Music");
        lib.Comments = "the \"whole\" catalog";
        cat = tmp.File("cat.txc");
        TNullProgress quiet;
        SaveToFile(lib, cat, quiet);
    }

    TProgramRun Cli(std::vector<std::string> args, int code = 0) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", tmp.File("settings.ini")});
        TProgramRun r = RunProgram(args);
        EXPECT_EQ(r.ExitCode, code) << r.Err;
        return r;
    }

    TTempFolder tmp;
    TLibObj lib;
    std::string cat;
};

TEST_F(CliJson, InfoIsOneDocumentWithTheTextsCounts) {
    const auto text = Lines(Cli({"info", cat}).Out);
    const auto rows = JsonLines(Cli({"info", cat, "--json"}).Out);
    ASSERT_EQ(rows.size(), 1u);
    const json& j = rows[0];
    EXPECT_EQ(text, (std::vector<std::string>{
                        "Version: " + j["version"].get<std::string>(),
                        "Volumes: " + std::to_string(j["volumes"].get<int>()),
                        "Folders: " + std::to_string(j["folders"].get<int>()),
                        "Files: " + std::to_string(j["files"].get<int>()),
                        "Size: " + std::to_string(j["size"].get<int64_t>()),
                        "Collections: " + std::to_string(j["collections"].get<int>()),
                        "Categories: " + std::to_string(j["categories"].get<int>()),
                    }));
    EXPECT_EQ(j["size"].get<int64_t>(), 5000001340LL); // past 32 bits; archives count by members
    EXPECT_EQ(j["comments"], "the \"whole\" catalog");
    EXPECT_EQ(j["categoryNames"], json::array({"Music"}));
}

TEST_F(CliJson, TreeRowsAreTheTextRowsWithEveryField) {
    auto text = Lines(Cli({"tree", cat}).Out);
    const auto rows = JsonLines(Cli({"tree", cat, "--json"}).Out);
    // The text has one heading line between the trees.
    auto heading = std::find(text.begin(), text.end(), "Collections:");
    ASSERT_NE(heading, text.end());
    text.erase(heading);
    ASSERT_EQ(rows.size(), text.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const json& j = rows[i];
        EXPECT_EQ(std::string(j["level"].get<size_t>() * 2, ' ') + Written(j, "name"), text[i]);
    }
    ASSERT_EQ(rows[0]["name"], "CD2"); // the text's order
    const json& disc = rows[1];
    EXPECT_EQ(disc["tree"], "catalog");
    EXPECT_EQ(disc["kind"], "volume");
    EXPECT_EQ(disc["location"], "Shelf\t3");
    EXPECT_EQ(disc["serial"], "1234ABCD");
    int archives = 0, memos = 0;
    for (const json& j : rows) {
        archives += j["kind"] == "archive";
        if (j["tree"] == "collections" && j["url"] != "") {
            ++memos;
            EXPECT_EQ(j["memo"], "two\nlines");
            EXPECT_EQ(j["path"], "Shelf\\Note");
        }
        if (j["kind"] == "folder-link") {
            EXPECT_EQ(j["link"], "Disc \"1\"\\m\xC3\xBCsic\\");
        }
        if (j["kind"] == "file-link") {
            EXPECT_EQ(j["link"], "Disc \"1\"\\m\xC3\xBCsic\\a\tb.mp3");
            EXPECT_EQ(j["linkArg"], "Disc \"1\"\\m\xC3\xBCsic\\a%09b.mp3");
        }
    }
    EXPECT_EQ(archives, 1);
    EXPECT_EQ(memos, 1);
}

TEST_F(CliJson, LsRowsAreTheTextRowsWithTagsAndRawTexts) {
    // The volumes.
    const auto volumes = Lines(Cli({"ls", cat}).Out);
    const auto volumeRows = JsonLines(Cli({"ls", cat, "--json"}).Out);
    ASSERT_EQ(volumes.size(), volumeRows.size());
    for (size_t i = 0; i < volumes.size(); ++i)
        EXPECT_EQ(Written(volumeRows[i], "name"), volumes[i]);

    // Every folder below the volume, tags included.
    const std::string top = "Disc \"1\"\\";
    auto text = Lines(Cli({"ls", cat, top, "--recursive", "--tags"}).Out);
    const auto rows = JsonLines(Cli({"ls", cat, top, "--recursive", "--json"}).Out);
    std::vector<std::string> rebuilt;
    std::string folder;
    for (const json& j : rows) {
        if (Written(j, "folder") != folder) {
            folder = Written(j, "folder");
            rebuilt.push_back(folder);
        }
        rebuilt.push_back(Written(j, "name") + '\t' + Shown(j["type"]) + '\t' +
                          std::to_string(j["size"].get<int64_t>()) + '\t' + TextDate(j["date"]) +
                          '\t' + Shown(j["category"]) + '\t' +
                          nametext::ShownCaption(OneLineText(j["comments"].get<std::string>())));
        for (const auto& tag : j["tags"])
            rebuilt.push_back("  " + Shown(tag));
    }
    // A folder without entries (the archive without members) gives a heading and no rows.
    ASSERT_EQ(text.back(), "Disc \"1\"\\pack.zip\\");
    text.pop_back();
    EXPECT_EQ(rebuilt, text);
    bool sawSong = false, sawRaw = false;
    for (const json& j : rows) {
        if (j["name"] == "a\tb.mp3") {
            sawSong = true;
            EXPECT_EQ(j["tags"], json::array({"Title=Caf\xC3\xA9", "Artist=back\\slash"}));
            EXPECT_EQ(j["path"], top + "m\xC3\xBCsic\\a\tb.mp3");
            EXPECT_EQ(j["pathArg"], top + "m\xC3\xBCsic\\a%09b.mp3");
            EXPECT_EQ(j["date"], "2020-05-01T10:11:12Z");
        }
        if (j["size"] == 5000000000LL) {
            sawRaw = true;
            // No stand-in character: U+FFFD for people, the byte in the written form.
            EXPECT_EQ(j["name"], "raw\xEF\xBF\xBD.dat");
            EXPECT_EQ(j["nameArg"], "raw%FF.dat");
            EXPECT_EQ(j["pathArg"], top + "m\xC3\xBCsic\\raw%FF.dat");
        }
        if (j["name"] == "back\\slash.txt") {
            EXPECT_EQ(j["nameArg"], "back%5Cslash.txt");
            EXPECT_EQ(j["path"], top + "m\xC3\xBCsic\\back\\slash.txt");
        }
        if (j["name"] == "z.flac") {
            EXPECT_FALSE(j.contains("nameArg")); // a plain name is its own written form
        }
        if (j["name"] == "m\xC3\xBCsic") {
            EXPECT_EQ(j["comments"], "line 1\nline 2");
        }
    }
    EXPECT_TRUE(sawSong);
    EXPECT_TRUE(sawRaw);
}

TEST_F(CliJson, SearchRowsAreTheTextColumnsAndTheCollectionRows) {
    for (const std::vector<std::string>& criteria :
         {std::vector<std::string>{}, {"--name", "a"}, {"--duplicates"}, {"--sort", "size:desc"}}) {
        std::vector<std::string> args{"search", cat};
        args.insert(args.end(), criteria.begin(), criteria.end());
        // No name twice: nothing matched, as grep says it.
        const int code = criteria.size() == 1 ? 1 : 0;
        auto text = Lines(Cli(args, code).Out);
        args.push_back("--json");
        const auto rows = JsonLines(Cli(args, code).Out);
        ASSERT_EQ(text.empty(), code == 1);
        ASSERT_EQ(rows.size(), text.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const json& j = rows[i];
            std::string line = Written(j, "name");
            for (const char* key : {"type", "volume", "path", "size", "date", "category",
                                    "comments", "duplicates", "fullname", "location"}) {
                const std::string k = key;
                line += '\t' + (k == "volume" || k == "path" || k == "fullname" ? Written(j, k)
                                : k == "date" ? std::string("DATE")
                                              : Shown(j[key]));
            }
            // The text's date cell is the window's; JSON's is the whole ISO time.
            std::vector<std::string> cells;
            std::istringstream cellText(text[i]);
            for (std::string cell; std::getline(cellText, cell, '\t');)
                cells.push_back(cell);
            ASSERT_GT(cells.size(), 5u);
            EXPECT_EQ(TextDate(j["date"]).rfind(cells[5], 0), 0u) << cells[5];
            cells[5] = "DATE";
            std::string joined;
            for (size_t c = 0; c < cells.size(); ++c)
                joined += (c ? "\t" : "") + cells[c];
            if (text[i].back() == '\t') joined += '\t';
            EXPECT_EQ(line, joined);
            EXPECT_EQ(Written(j, "entry"), Written(j, "fullname"));
            EXPECT_TRUE(j["bytes"].is_number_integer());
        }
    }
    const auto cols = JsonLines(Cli({"search", cat, "--collections", "--json"}).Out);
    auto colText = Lines(Cli({"search", cat, "--collections"}).Out);
    ASSERT_EQ(cols.size(), colText.size());
    ASSERT_FALSE(cols.empty());
    for (size_t i = 0; i < cols.size(); ++i)
        EXPECT_EQ(Written(cols[i], "name"), colText[i]);
}

TEST_F(CliJson, TagsRowsAreTheTextRowsPerFile) {
    const std::string data = TAMBLIX_TEST_DATA "/audio/";
    const std::vector<std::string> files = {data + "mp3_v24_utf16be.mp3", data + "flac_vorbis.flac",
                                            data + "wav_8k_mono.wav"};
    std::vector<std::string> args{"tags"};
    args.insert(args.end(), files.begin(), files.end());
    const auto text = Lines(Cli(args).Out);
    args.push_back("--json");
    const auto rows = JsonLines(Cli(args).Out);
    ASSERT_EQ(rows.size(), files.size());
    std::vector<std::string> rebuilt;
    for (const json& j : rows) {
        rebuilt.push_back(Shown(j["file"]));
        EXPECT_FALSE(j["tags"].empty());
        for (const auto& tag : j["tags"])
            rebuilt.push_back("  " + Shown(tag));
    }
    EXPECT_EQ(rebuilt, text);
}

} // namespace
