#include "support/run_program.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

namespace {

using Group = std::set<std::string>;

std::vector<std::string> Split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, sep))
        out.push_back(cell);
    if (!line.empty() && line.back() == sep) out.emplace_back();
    return out;
}

std::string Bytes(size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (auto& c : s) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return s;
}

// Two volumes with copies under other names, files of the same size but other
// bytes, empty files, a copy that spans both volumes, and hard links: one to
// a file that has a copy, and a pair that is one file only.
struct ContentDuplicates : ::testing::Test {
    TTempFolder dir;
    std::string settings, catalog;
    std::map<std::string, std::string> roots; // volume title -> folder

    void SetUp() override {
        settings = dir.File("settings.ini");
        catalog = dir.File("c.tbx");
        roots = {{"One", dir.File("one")}, {"Two", dir.File("two")}};
        const std::string big = Bytes(2 * 1048576 + 17, 1);
        std::string bigTwin = big; // same size, one byte apart, in the last block
        bigTwin[bigTwin.size() - 3] ^= 1;
        WriteFile(roots["One"] + "/alpha.txt", "alpha");
        WriteFile(roots["One"] + "/copies/renamed.dat", "alpha");
        WriteFile(roots["One"] + "/bravo.txt", "bravo"); // same size as alpha
        WriteFile(roots["One"] + "/empty1", "");
        WriteFile(roots["One"] + "/deep/er/empty2", "");
        WriteFile(roots["One"] + "/big.bin", big);
        WriteFile(roots["One"] + "/big-twin.bin", bigTwin);
        WriteFile(roots["One"] + "/unique", "only once");
        WriteFile(roots["Two"] + "/big copy.bin", big);
        WriteFile(roots["Two"] + "/ALPHA.TXT", "alpha");
        WriteFile(roots["Two"] + "/charlie", "bravo");
        WriteFile(roots["Two"] + "/empty3", "");
        std::filesystem::create_hard_link(roots["One"] + "/alpha.txt",
                                          roots["One"] + "/copies/linked.txt");
        WriteFile(roots["Two"] + "/solo.txt", "one file, two names");
        std::filesystem::create_hard_link(roots["Two"] + "/solo.txt", roots["Two"] + "/solo2.txt");
    }

    TProgramRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {TAMBLIX_CLI, "--settings", settings});
        return RunProgram(args);
    }

    void ScanBoth() {
        ASSERT_EQ(Cli({"handlers", "--enable", "Checksum"}).ExitCode, 0);
        ASSERT_EQ(Cli({"new", catalog}).ExitCode, 0);
        for (const auto& [title, root] : roots)
            ASSERT_EQ(Cli({"scan", catalog, root, "--title", title}).ExitCode, 0);
    }

    // The groups of size two or more among every file that is not empty, as
    // sha256sum sees them.
    std::set<Group> ReferenceGroups() {
        std::vector<std::string> argv = {"sha256sum"};
        for (const auto& [title, root] : roots)
            for (const auto& e : std::filesystem::recursive_directory_iterator(root))
                if (e.is_regular_file() && e.file_size() > 0) argv.push_back(e.path().string());
        TProgramRun r = RunProgram(argv);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        std::map<std::string, Group> byHash;
        std::istringstream in(r.Out);
        for (std::string line; std::getline(in, line);)
            byHash[line.substr(0, 64)].insert(line.substr(66));
        std::set<Group> out;
        for (const auto& [hash, group] : byHash)
            if (group.size() >= 2) out.insert(group);
        return out;
    }

    // A catalog path ("One\\copies\\renamed.dat") as the file it was read from.
    std::string DiskPath(const std::string& full) {
        auto cut = full.find('\\');
        std::string path = roots[full.substr(0, cut)];
        for (const auto& part : Split(full.substr(cut + 1), '\\'))
            if (!part.empty()) path += "/" + part;
        return path;
    }
};

} // namespace

TEST_F(ContentDuplicates, TheListedGroupsAreThoseOfTheReferenceTool) {
    ScanBoth();
    TProgramRun r = Cli({"search", catalog, "--duplicates", "content"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    std::vector<std::string> lines = Split(r.Out, '\n');
    ASSERT_GE(lines.size(), 2u);
    ASSERT_EQ(lines.back(), ""); // the output ends with a line break
    lines.pop_back();
    EXPECT_NE(r.Err.find("Without checksum: 0\tEmpty files left out: 3"), std::string::npos)
        << r.Err;

    // Group the rows by the files' own hashes, then compare group for group;
    // each row's count is the size of its group.
    std::map<std::string, std::string> hashOf;
    {
        std::vector<std::string> argv = {"sha256sum"};
        for (const auto& line : lines)
            argv.push_back(DiskPath(Split(line, '\t').at(9)));
        std::istringstream in(RunProgram(argv).Out);
        for (std::string l; std::getline(in, l);)
            hashOf[l.substr(66)] = l.substr(0, 64);
    }
    std::map<std::string, Group> listed;
    std::map<std::string, std::string> countOf;
    std::vector<std::string> groupOrder, links;
    for (const auto& line : lines) {
        auto cells = Split(line, '\t');
        ASSERT_EQ(cells.size(), 13u) << line;
        std::string path = DiskPath(cells.at(9));
        listed[hashOf[path]].insert(path);
        countOf[path] = cells.at(8);
        // The rows of a group come together, numbered from 1 in the order listed.
        if (groupOrder.empty() || groupOrder.back() != cells.at(11)) {
            EXPECT_EQ(cells.at(11), std::to_string(groupOrder.size() + 1)) << line;
            groupOrder.push_back(cells.at(11));
        }
        if (cells.at(12) == "link") links.push_back(path.substr(path.rfind('/') + 1));
    }
    std::set<Group> groups;
    for (const auto& [hash, group] : listed) {
        groups.insert(group);
        for (const auto& path : group)
            EXPECT_EQ(countOf[path], std::to_string(group.size())) << path;
    }
    EXPECT_EQ(groups, ReferenceGroups());
    // big x2 (2 MiB wasted), alpha x4 with a link (10 bytes), bravo x2 (5),
    // solo: one file under two names (nothing wasted).
    EXPECT_EQ(groups.size(), 4u);
    ASSERT_EQ(lines.size(), 10u);
    auto cell = [&](size_t row, size_t col) { return Split(lines[row], '\t').at(col); };
    EXPECT_EQ(cell(0, 0), "big.bin");
    EXPECT_EQ(cell(1, 0), "big copy.bin");
    EXPECT_EQ(cell(2, 4), "5");
    EXPECT_EQ(cell(2, 8), "4");
    EXPECT_EQ(cell(6, 8), "2");
    EXPECT_EQ(cell(8, 0).substr(0, 4), "solo");
    // One of each pair of hard links is the link; the copies are not.
    ASSERT_EQ(links.size(), 2u);
    std::sort(links.begin(), links.end());
    EXPECT_TRUE(links[0] == "alpha.txt" || links[0] == "linked.txt") << links[0];
    EXPECT_TRUE(links[1] == "solo.txt" || links[1] == "solo2.txt") << links[1];

    // The same in JSON: a group number and whether the row is a link.
    TProgramRun j = Cli({"search", catalog, "--duplicates", "content", "--json"});
    ASSERT_EQ(j.ExitCode, 0) << j.Err;
    std::vector<std::string> rows = Split(j.Out, '\n');
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_NE(rows[0].find("\"group\":1,\"link\":false"), std::string::npos) << rows[0];
    EXPECT_NE(rows[9].find("\"group\":4,\"link\":true"), std::string::npos) << rows[9];
}

TEST_F(ContentDuplicates, FilesWithoutAChecksumAreCountedApart) {
    ASSERT_EQ(Cli({"new", catalog}).ExitCode, 0);
    ASSERT_EQ(Cli({"scan", catalog, roots["Two"], "--title", "Two"}).ExitCode, 0);
    ASSERT_EQ(Cli({"handlers", "--enable", "Checksum"}).ExitCode, 0);
    ASSERT_EQ(Cli({"scan", catalog, roots["One"], "--title", "One"}).ExitCode, 0);
    // Volume Two has no hashes: its copies are not listed, but counted.
    TProgramRun r = Cli({"search", catalog, "--duplicates=content", "--name", "a"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "alpha.txt\ttxt\tOne\tOne\\\t5\t" + Split(Split(r.Out, '\n')[0], '\t').at(5) +
                         "\t\t\t2\tOne\\alpha.txt\t\t1\t\n"
                         "renamed.dat\tdat\tOne\tOne\\copies\\\t5\t" +
                         Split(Split(r.Out, '\n')[1], '\t').at(5) +
                         "\t\t\t2\tOne\\copies\\renamed.dat\t\t1\t\n");
    EXPECT_EQ(r.Err, "Volumes: 1\tFolders: 0\tFiles: 2\tCollections: 0\tSize: 10\t"
                     "Results: 2\tWithout checksum: 2\tEmpty files left out: 0\n");
    // By name, as before: both alpha.txt, hashed or not.
    r = Cli({"search", catalog, "--duplicates", "--name", "alpha"});
    EXPECT_EQ(Split(r.Out, '\n').size(), 3u) << r.Out; // two rows, end
    EXPECT_EQ(r.Err.find("Without checksum"), std::string::npos);

    for (const char* bad : {"--duplicates=size", "--duplicates="}) {
        TProgramRun u = Cli({"search", catalog, bad});
        EXPECT_EQ(u.ExitCode, 2) << bad;
        EXPECT_NE(u.Err.find("--duplicates takes names or content"), std::string::npos) << u.Err;
    }
}
