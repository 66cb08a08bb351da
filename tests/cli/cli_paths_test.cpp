// The written form of catalog paths: every path and name a command prints is
// read back by every command as the same entry, whatever bytes the names hold.
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "cli/cli_path.h"
#include "search/delimited_text.h"
#include "settings/progress.h"
#include "support/catalog_builder.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "text/name_text.h"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

namespace {

using json = nlohmann::json;

std::vector<std::string> Lines(const std::string& text) {
    const auto lines = SplitLines(text); // names never hold a raw line end here
    return {lines.begin(), lines.end()};
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        out.push_back(line.substr(start, tab - start));
    out.push_back(line.substr(start));
    return out;
}

std::string Written(const json& row, const std::string& key) {
    return row.value(key + "Arg", row[key].get<std::string>());
}

TEST(WrittenForm, NamesAreEscapedOnlyWhereTheyWouldReadOtherwise) {
    using clipath::WrittenName;
    EXPECT_EQ(WrittenName("a.mp3"), "a.mp3");
    EXPECT_EQ(WrittenName("fb \\ q"), "fb %5C q");
    EXPECT_EQ(WrittenName("a\tb\nc\x7F"), "a%09b%0Ac%7F");
    EXPECT_EQ(WrittenName(nametext::DiskToCaption("r\xE9 [x;*]")), "r%E9 [x;*]");
    EXPECT_EQ(WrittenName("-rf"), "%2Drf");
    EXPECT_EQ(WrittenName("a-b"), "a-b");
    EXPECT_EQ(WrittenName(" lead"), "%20lead");
    EXPECT_EQ(WrittenName("100% 4a"), "100% 4a");
    EXPECT_EQ(WrittenName("100%4a"), "100%254a");
    EXPECT_EQ(WrittenName("Vol#2"), "Vol%232");
    EXPECT_EQ(WrittenName("Vol#02"), "Vol%2302");
    EXPECT_EQ(WrittenName("#1 hits"), "#1 hits");
    EXPECT_EQ(WrittenName("x#"), "x#");
    EXPECT_EQ(WrittenName("caf\xC3\xA9"), "caf\xC3\xA9");
    // A real character of the stand-in range is kept by its three bytes.
    EXPECT_EQ(WrittenName(nametext::DiskToCaption("\xEF\x9D\x9C")), "%EF%9D%9C");
}

TEST(WrittenForm, EveryNameReadsBackAsItself) {
    const std::vector<std::string> disk = {
        "plain",       "back\\slash", "\\lead", "trail\\", "r\xE9 [x;*]",  "\xFF\xFE",
        "tab\there",   "new\nline",   "-rf",    " lead",   "Vol#2",        "Vol#0",
        "x#",          "100%41",      "100%",   "%2",      "\xEF\x9D\x9C", "a\\\\b",
        "caf\xC3\xA9", "#12",         "%25",    "\x01\x1F"};
    for (const std::string& d : disk) {
        const std::string caption = nametext::DiskToCaption(d);
        const std::string w = clipath::WrittenName(caption);
        auto parts = clipath::ParseWrittenPath(w);
        ASSERT_EQ(parts.size(), 1u) << w;
        EXPECT_EQ(parts[0].Caption, caption) << w;
        EXPECT_EQ(parts[0].Number, 0) << w;
        EXPECT_EQ(clipath::ArgName(w), caption) << w;
    }
    // Sibling numbers, and what reads as none.
    auto p = clipath::ParseWrittenPath("DISC#2\\Vol%232\\a#0\\b#x\\");
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].Caption, "DISC");
    EXPECT_EQ(p[0].Number, 2);
    EXPECT_EQ(p[1].Caption, "Vol#2");
    EXPECT_EQ(p[1].Number, 0);
    EXPECT_EQ(p[2].Caption, "a#0");
    EXPECT_EQ(p[3].Caption, "b#x");
    // Raw bytes on the command line are the bytes of a name on disk, not Latin-1.
    p = clipath::ParseWrittenPath("CD1\\\\r\xE9");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].Caption, nametext::DiskToCaption("r\xE9"));
    EXPECT_EQ(clipath::ArgText("c\xFF"
                               "at"),
              nametext::DiskToCaption("c\xFF"
                                      "at"));
    EXPECT_THROW(clipath::ArgName("a\\b"), std::exception);
}

TEST(WrittenForm, PathsFindTheirNodesOrSayWhyNot) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    TTreeNode* drive = b.Volume("C:\\");
    b.File(b.Folder(drive, "docs"), "a.txt");
    b.File(drive, "top.txt");
    b.Volume("V");
    b.Volume("V");
    EXPECT_EQ(clipath::WrittenFolderPath(FolderOf(drive)), "C:%5C\\");
    // A volume titled "C:\" is also reached without its backslash.
    EXPECT_EQ(clipath::FindFolder(lib, "C:%5C\\docs"), clipath::FindFolder(lib, "C:\\docs\\"));
    TCatalogTarget t = clipath::FindTarget(lib, "C:\\docs\\a.txt");
    ASSERT_TRUE(t.Entry);
    EXPECT_EQ(clipath::WrittenEntryPath(t.Entry), "C:%5C\\docs\\a.txt");
    EXPECT_TRUE(clipath::FindTarget(lib, "C:\\top.txt").Entry);
    EXPECT_THROW(clipath::FindTarget(lib, "C:\\top.txt\\"), std::exception); // folders only
    EXPECT_THROW(clipath::FindFolder(lib, "V#3"), std::exception);
    EXPECT_THROW(clipath::FindFolder(lib, "\\"), std::exception);
    EXPECT_EQ(clipath::FindFolderOrNull(lib, "V"), nullptr); // ambiguous
    ASSERT_NE(clipath::FindFolderOrNull(lib, "V#2"), nullptr);
    EXPECT_EQ(clipath::WrittenNodeName(clipath::FindFolderOrNull(lib, "V#2")), "V#2");
    try {
        clipath::FindFolder(lib, "V\\x");
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "ambiguous path V\\x; it may be V#1\\x or V#2\\x");
    }
}

// A catalog whose names are as hostile as a disk allows, scanned twice under one title.
class CliPaths : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string disc = tmp.MakeFolder("disc");
        for (const char* folder :
             {"back\\slash", "r\xE9 [x;*]", "tab\there", "-rf", " lead", "new\nline", "sub"})
            std::filesystem::create_directory(disc + "/" + folder);
        for (const char* file : {"back\\slash/f\\g.txt", "r\xE9 [x;*]/\xFF\xFE.bin",
                                 "r\xE9 [x;*]/a.mp3", "tab\there/-x.txt", "sub/Vol#2", "sub/100%41",
                                 "sub/\xEF\x9D\x9C", "sub/x#", "new\nline/n"})
            WriteFile(disc + "/" + file, "x");
        tmp.Write("small/one.txt", "1");
        cat = tmp.File("c.txc");
        Ok({"scan", cat, disc, "--title", "DISC", "--no-serial-check"});
        // A second DISC is asked about; without a terminal only --yes adds it.
        const std::string before = ReadFile(cat);
        TProgramRun again = Cli({"scan", cat, disc, "--title", "DISC", "--no-serial-check"});
        EXPECT_EQ(again.ExitCode, 1);
        EXPECT_NE(again.Err.find("DISC#1 to DISC#2"), std::string::npos) << again.Err;
        EXPECT_EQ(ReadFile(cat), before);
        Ok({"scan", cat, disc, "--title", "DISC", "--no-serial-check", "--yes"});
        for (const char* title : {"fb \\ q", "-vol", "r\xE9v"})
            Ok({"scan", cat, tmp.File("small"), "--title", title, "--no-serial-check"});
        // Two collections of one name, as the window can make them.
        TLibObj lib;
        TNullProgress quiet;
        LoadFromFile(lib, cat, false, quiet);
        lib.AddCollection(nullptr, "Shelf");
        TTreeNode* shelf = lib.AddCollection(nullptr, "Shelf");
        lib.AddCollection(shelf, "a\\b");
        SaveToFile(lib, cat, quiet);
    }

    TProgramRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", tmp.File("settings.ini")});
        return RunProgram(args);
    }
    std::string Ok(std::vector<std::string> args) {
        TProgramRun r = Cli(args);
        EXPECT_EQ(r.ExitCode, 0) << args[0] << ": " << r.Err;
        return r.Out;
    }

    TTempFolder tmp;
    std::string cat;
};

TEST_F(CliPaths, EveryPrintedPathReachesItsEntryInLsEditAndUpdate) {
    // ls: the volumes, then every folder with its entries.
    std::set<std::string> folders, entries;
    std::map<std::string, std::vector<std::string>> listed; // folder -> its ls lines
    for (const std::string& volume : Lines(Ok({"ls", cat}))) {
        std::string folder;
        for (const std::string& line : Lines(Ok({"ls", cat, volume, "--recursive"}))) {
            if (line.find('\t') == std::string::npos) {
                folder = line;
                EXPECT_TRUE(folders.insert(folder).second) << folder;
                listed[folder];
                continue;
            }
            listed[folder].push_back(line);
            entries.insert(folder + Cells(line)[0]);
        }
        EXPECT_EQ(folders.count(volume + "\\"), 1u) << volume;
    }
    EXPECT_EQ(folders.size(), 2 * 8 + 3u);
    EXPECT_EQ(entries.size(), 2 * 16 + 3u);
    EXPECT_EQ(folders.count("DISC#2\\r%E9 [x;*]\\"), 1u);
    EXPECT_EQ(entries.count("DISC#1\\back%5Cslash\\f%5Cg.txt"), 1u);
    EXPECT_EQ(entries.count("DISC#1\\sub\\Vol%232"), 1u);
    EXPECT_EQ(entries.count("%2Dvol\\one.txt"), 1u);
    auto known = [&](const std::string& path) {
        return folders.count(path) + folders.count(path + "\\") + entries.count(path);
    };

    // tree: each name under its parent's path.
    std::vector<std::string> stack;
    for (const std::string& line : Lines(Ok({"tree", cat}))) {
        if (line == "Collections:") break;
        const size_t level = line.find_first_not_of(' ') / 2;
        stack.resize(level);
        std::string path;
        for (const auto& s : stack)
            path += s + "\\";
        stack.push_back(line.substr(level * 2));
        EXPECT_TRUE(folders.count(path + stack.back() + "\\")) << path + stack.back();
    }
    for (const std::string& line : Lines(Ok({"tree", cat, "--json"}))) {
        const json j = json::parse(line);
        if (j["tree"] == "catalog") {
            EXPECT_TRUE(folders.count(Written(j, "path"))) << line;
        }
        EXPECT_EQ(line.find("\xEF\x9C"), std::string::npos) << "a stand-in: " << line;
        EXPECT_EQ(line.find("\xEF\x9D"), std::string::npos) << "a stand-in: " << line;
    }
    for (const std::string& line : Lines(Ok({"ls", cat, "DISC#1", "--recursive", "--json"}))) {
        const json j = json::parse(line);
        EXPECT_TRUE(folders.count(Written(j, "folder"))) << line;
        EXPECT_TRUE(known(Written(j, "path"))) << line;
    }

    // search, as text (a streamed search and one over the loaded tree) and as JSON.
    size_t rows = 0;
    for (const std::vector<std::string>& how :
         {std::vector<std::string>{}, {"--sort", "name"}, {"--in", "DISC#2\\r%E9 [x;*]"}}) {
        std::vector<std::string> args{"search", cat};
        args.insert(args.end(), how.begin(), how.end());
        auto text = Lines(Ok(args)); // the counts go to stderr
        for (const std::string& line : text) {
            auto cells = Cells(line);
            EXPECT_TRUE(known(cells[9])) << line;
            EXPECT_TRUE(folders.count(cells[3])) << line;
            EXPECT_TRUE(folders.count(cells[2] + "\\")) << line;
            EXPECT_EQ(cells[3] + cells[0], cells[9]);
            ++rows;
        }
        args.push_back("--json");
        for (const std::string& line : Lines(Ok(args))) {
            const json j = json::parse(line);
            EXPECT_TRUE(known(Written(j, "fullname"))) << line;
            EXPECT_EQ(Written(j, "entry"), Written(j, "fullname"));
            EXPECT_TRUE(folders.count(Written(j, "path"))) << line;
        }
    }
    EXPECT_EQ(rows, 2 * entries.size() + 2);

    // ls of each folder lists what --recursive listed under it.
    for (const auto& [folder, lines] : listed) {
        EXPECT_EQ(Lines(Ok({"ls", cat, folder})), lines) << folder;
    }

    // Each path, given to edit, marks its own entry: every mark lands where it names.
    for (const std::string& path : entries)
        Ok({"edit", cat, path, "--comments", path});
    for (const std::string& path : folders)
        if (std::count(path.begin(), path.end(), '\\') == 1) // volumes; their folders are entries
            Ok({"edit", cat, path, "--comments", path});
    size_t marked = 0;
    for (const std::string& volume : Lines(Ok({"ls", cat}))) {
        for (const std::string& line : Lines(Ok({"ls", cat, volume, "--recursive", "--json"}))) {
            const json j = json::parse(line);
            EXPECT_EQ(j["comments"], Written(j, "path"));
            ++marked;
        }
    }
    EXPECT_EQ(marked, entries.size());
    for (const std::string& line : Lines(Ok({"ls", cat, "--json"}))) {
        const json j = json::parse(line);
        EXPECT_EQ(j["comments"], Written(j, "path"));
    }

    // update reads a folder into the node the path names.
    tmp.Write("probe/probe.txt", "p");
    for (const std::string path : {"DISC#2", "%2Dvol", "fb %5C q\\", "r%E9v", "DISC#1\\tab%09here",
                                   "DISC#2\\new%0Aline\\"}) {
        Ok({"update", cat, path, "--source", tmp.File("probe"), "--force"});
        const auto lines = Lines(Ok({"ls", cat, path}));
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("probe.txt\t", 0) == 0;
        })) << path;
    }
    EXPECT_EQ(Ok({"ls", cat, "DISC#1"}).find("probe.txt"), std::string::npos);
}

// A catalog without two volumes of one name is searched straight from the
// file: its rows' paths are the same written paths.
TEST_F(CliPaths, AStreamedSearchWritesThePathsLsWrites) {
    const std::string single = tmp.File("single.txc");
    Ok({"scan", single, tmp.File("disc"), "--title", "-r\xE9", "--no-serial-check"});
    std::set<std::string> listed, found, folders;
    std::string folder;
    for (const std::string& line : Lines(Ok({"ls", single, "%2Dr%E9", "--recursive"}))) {
        if (line.find('\t') == std::string::npos)
            folders.insert(folder = line);
        else
            listed.insert(folder + Cells(line)[0]);
    }
    const auto text = Lines(Ok({"search", single})); // the counts go to stderr
    for (const std::string& line : text) {
        const auto cells = Cells(line);
        found.insert(cells[9]);
        EXPECT_EQ(cells[2], "%2Dr%E9");
        EXPECT_TRUE(folders.count(cells[3])) << line;
    }
    EXPECT_EQ(found, listed);
    EXPECT_EQ(found.count("%2Dr%E9\\back%5Cslash\\f%5Cg.txt"), 1u);
}

TEST_F(CliPaths, AmbiguousNamesAreErrorsThatListTheCandidates) {
    const std::string before = ReadFile(cat);
    for (const std::string cmd : {"edit", "ls", "update"}) {
        std::vector<std::string> args{cmd, cat, "DISC\\sub"};
        if (cmd == "edit") args.insert(args.end(), {"--comments", "x"});
        TProgramRun r = Cli(args);
        EXPECT_EQ(r.ExitCode, 1) << cmd;
        EXPECT_NE(r.Err.find("DISC#1\\sub or DISC#2\\sub"), std::string::npos) << r.Err;
    }
    TProgramRun r = Cli({"ls", cat, "DISC#3"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("File not found: DISC#3"), std::string::npos) << r.Err;
    // The texts' \xHH is no path's: the error says how a byte is written.
    r = Cli({"ls", cat, "DISC#1\\r\\xe9 [x;*]"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("written %HH"), std::string::npos) << r.Err;
    Ok({"export", cat, tmp.File("x.txt"), "--scope", "DISC#2\\r%E9 [x;*]", "--fields", "Name"});
    EXPECT_EQ(ReadFile(tmp.File("x.txt")).rfind("\"a.mp3\"\r\n\"", 0), 0u);
    EXPECT_EQ(ReadFile(cat), before);

    // Collections: both of a name are reached, and no second one is made.
    EXPECT_EQ(Ok({"collections", "list", cat}), "Shelf#1\tcollection\t\t\n"
                                                "Shelf#2\tcollection\t\t\n"
                                                "Shelf#2\\a%5Cb\tcollection\t\t\n");
    EXPECT_EQ(Cli({"collections", "delete", cat, "Shelf"}).ExitCode, 1);
    Ok({"collections", "create", cat, "Box"});
    Ok({"collections", "create", cat, "Shelf#2\\c"});
    EXPECT_EQ(Cli({"collections", "rename", cat, "Box", "Shelf"}).ExitCode, 1);
    EXPECT_EQ(Cli({"collections", "rename", cat, "Shelf#2\\c", "a%5Cb"}).ExitCode, 1);
    EXPECT_EQ(Cli({"collections", "create", cat, "Shelf#1\\a%5Cb"}).ExitCode, 0);
    r = Cli({"collections", "move", cat, "Shelf#1\\a%5Cb", "Shelf#2"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("already there: Shelf#2\\a%5Cb"), std::string::npos) << r.Err;
    Ok({"collections", "rename", cat, "Shelf#1", "Old%20shelf"});
    Ok({"collections", "delete", cat, "Shelf"});
    EXPECT_EQ(Ok({"collections", "list", cat}), "Box\tcollection\t\t\n"
                                                "Old shelf\tcollection\t\t\n"
                                                "Old shelf\\a%5Cb\tcollection\t\t\n");

    // A text value keeps its bytes as names do: never read as Latin-1.
    Ok({"edit", cat, "DISC#1\\sub\\x#", "--category",
        "c\xFF"
        "at"});
    const std::string out = Ok({"ls", cat, "DISC#1\\sub"});
    EXPECT_NE(out.find("\nx#\t\t1\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\tc\\xffat\t"), std::string::npos) << out;
}

} // namespace
