// Archive members rebuilt into folders from their paths, in each format:
// folders named only by paths made once, repeated paths never merged.
#include "peer_test_support.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "text/date_time.h"

#include <gtest/gtest.h>

namespace {

std::string GocatcliArchive(const std::vector<std::string>& members) {
    std::string text = R"({"storages": [{"name": "V", "type": "storage", "children": [)"
                       R"({"name": "a.zip", "filetype": "archive", "size": 10, "children": [)";
    for (size_t i = 0; i < members.size(); ++i)
        text += std::string(i ? "," : "") + members[i];
    return text + "]}]}]}";
}

std::string Member(const std::string& name, int64_t size, int64_t time,
                   const char* mode = "-rw-r--r--") {
    return R"({"name": ")" + name + R"(", "filetype": "archived", "size": )" +
           std::to_string(size) + R"(, "maccess": )" + std::to_string(time) + R"(, "mode": ")" +
           mode + "\"}";
}

TEST(PeerArchives, ImplicitFoldersAreMadeOnceAndDatedByTheirOwnLine) {
    TTempFolder tmp;
    TLibObj lib;
    TRecordingProgress progress;
    const std::string text = GocatcliArchive({
        Member("docs/a/one.txt", 1, 1000),
        Member("top.txt", 2, 1001),
        Member("docs/a/two.txt", 3, 1002),
        Member("docs/b/three.txt", 4, 1003),
        Member("docs/a/", 0, 1500, "drwxr-xr-x"), // after its files
        Member("./docs//a/four.txt", 5, 1004),    // the same folder, written otherwise
        Member("/abs.txt", 6, 1005),
        Member("Docs/x.txt", 7, 1006), // another name: another folder
        Member("empty", 0, 1600, "drwxr-xr-x"),
    });
    TPeerImportResult r =
        ImportPeerCatalog(lib, tmp.Write("g.catalog", text), TPeerImportOptions{}, progress);
    EXPECT_EQ(r.ArchiveMembers, 7);
    EXPECT_EQ(r.Folders, 5); // docs, docs/a, docs/b, Docs, empty
    EXPECT_EQ(r.Errors, 0);
    EXPECT_TRUE(progress.Logged.empty());
    // Every look-up is checked first: a missing folder fails this test only.
    struct TWant {
        const char* folder;
        const char* name;
        int64_t size;
        int64_t unixDate; // -1: not checked; 0: no date
    } entries[] = {
        {"V\\a.zip\\", "docs", -1, 0},
        {"V\\a.zip\\", "empty", -1, 1600},
        {"V\\a.zip\\docs\\", "a", -1, 1500},
        {"V\\a.zip\\docs\\a\\", "four.txt", 5, -1},
        {"V\\a.zip\\docs\\b\\", "three.txt", -1, 1003},
        {"V\\a.zip\\Docs\\", "x.txt", 7, -1},
        {"V\\a.zip\\", "abs.txt", 6, -1},
    };
    for (const TWant& w : entries) {
        const TLibFolderItem* e = EntryAt(lib, w.folder, w.name);
        ASSERT_NE(e, nullptr) << w.folder << w.name;
        if (w.size >= 0) {
            EXPECT_EQ(e->Size, w.size) << w.name;
        }
        if (w.unixDate >= 0) {
            EXPECT_EQ(e->Date, w.unixDate ? UnixToDateTime(w.unixDate) : 0) << w.name;
        }
    }
    const TLibFolder* arch = FolderAt(lib, "V\\a.zip\\");
    const TLibFolder* empty = FolderAt(lib, "V\\a.zip\\empty\\");
    const TLibFolder* a = FolderAt(lib, "V\\a.zip\\docs\\a\\");
    ASSERT_TRUE(arch && empty && a);
    EXPECT_EQ(arch->ItemsCount(), 5); // abs.txt, Docs, docs, empty, top.txt
    EXPECT_EQ(empty->ItemsCount(), 0);
    EXPECT_EQ(a->Date, UnixToDateTime(1500));
    EXPECT_EQ(a->ItemsCount(), 3);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

std::string Deep(int levels) {
    std::string path;
    for (int i = 0; i < levels; ++i)
        path += "d/";
    return path;
}

TEST(PeerArchives, RepeatedAndClashingPathsKeepTheFirstAndSaySo) {
    TTempFolder tmp;
    TLibObj lib;
    TRecordingProgress progress;
    const std::string text = GocatcliArchive({
        Member("a/x.txt", 1, 1000),
        Member("a/x.txt", 2, 2000), // an appended copy
        Member("f", 3, 1000),
        Member("f/inside.txt", 4, 1000), // a file cannot hold members
        Member("a", 5, 1000),            // nor share a folder's name
        Member("a/y.txt", 6, 1000),
        Member(Deep(100000) + "x.txt", 1, 1000), // refused, not 100,000 folders deep
        Member(Deep(500) + "ok.txt", 1, 1000),
    });
    TPeerImportResult r =
        ImportPeerCatalog(lib, tmp.Write("g.catalog", text), TPeerImportOptions{}, progress);
    EXPECT_EQ(r.ArchiveMembers, 4); // a/x.txt, f, a/y.txt, the one 500 folders deep
    EXPECT_EQ(r.Errors, 4);
    ASSERT_EQ(progress.Logged.size(), 4u);
    EXPECT_NE(progress.Logged[3].find("V\\a.zip\\d\\... (nested too deeply)"), std::string::npos)
        << progress.Logged[3];
    EXPECT_NE(progress.Logged[0].find("V\\a.zip\\a\\x.txt (repeated name)"), std::string::npos)
        << progress.Logged[0];
    EXPECT_NE(progress.Logged[1].find("V\\a.zip\\f\\ (repeated name)"), std::string::npos)
        << progress.Logged[1];
    TLibFolderItem* x = EntryAt(lib, "V\\a.zip\\a\\", "x.txt");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->Size, 1);
    EXPECT_EQ(EntryRef(lib, "V\\a.zip\\", "f").IsFolder, 0);
    EXPECT_EQ(EntryRef(lib, "V\\a.zip\\a\\", "y.txt").Size, 6);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

TEST(PeerArchives, HundredThousandMembersInAnyOrder) {
    // Members in a scrambled order over 100 folders of 1,000 files each.
    std::vector<std::string> members;
    members.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        const int k = static_cast<int>((static_cast<int64_t>(i) * 7919) % 100000);
        members.push_back(Member(
            "d" + std::to_string(k % 100) + "/sub/f" + std::to_string(k) + ".bin", k, 1000000 + k));
    }
    TTempFolder tmp;
    TLibObj lib;
    TPeerImportResult r = ImportText(lib, tmp, "big.catalog", GocatcliArchive(members));
    EXPECT_EQ(r.ArchiveMembers, 100000);
    EXPECT_EQ(r.Folders, 200);
    EXPECT_EQ(r.Errors, 0);
    TLibFolder* f = FolderAt(lib, "V\\a.zip\\d42\\sub\\");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->ItemsCount(), 1000);
    EXPECT_EQ(EntryRef(lib, "V\\a.zip\\d42\\sub\\", "f99942.bin").Size, 99942);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

TEST(PeerArchives, CatcliAndCdcatMembersNest) {
    TTempFolder tmp;
    TLibObj lib;
    // catcli: nested arc nodes, one naming a path of its own.
    ImportText(lib, tmp, "c.catalog", R"({"children": [{"name": "S", "type": "storage",
      "children": [{"name": "z.tar", "type": "file", "size": 9, "md5": "", "children": [
        {"name": "a", "type": "arc", "size": 0, "children": [
          {"name": "b", "type": "arc", "size": 0, "children": [
            {"name": "c.txt", "type": "arc", "size": 0}]},
          {"name": "d.txt", "type": "arc", "size": 0}]},
        {"name": "lost/e.txt", "type": "arc", "size": 0}]}]}],
      "name": "top", "type": "top"})");
    EXPECT_NE(EntryAt(lib, "S\\z.tar\\a\\b\\", "c.txt"), nullptr);
    EXPECT_NE(EntryAt(lib, "S\\z.tar\\a\\", "d.txt"), nullptr);
    EXPECT_NE(EntryAt(lib, "S\\z.tar\\lost\\", "e.txt"), nullptr);

    // CDCat: the folder lines, wherever they come, date the folders.
    ImportText(lib, tmp, "d.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<catalog name="c"><media name="M" type="CD" time="2019-03-02 18:39:50">
 <file name="p.zip" size="1.00 Kb" time="2008-09-14 21:04:10"><archivecontent>
drwxr-xr-x ?u?g?0?Sep 9 10:5 2008?p/??
-rw-r--r-- ?u?g?7?Sep 9 11:6 2008?p/q/r.txt??
drwxr-xr-x ?u?g?0?Sep 9 12:7 2008?p/q/??
-rw-r--r-- ?u?g?8?Sep 9 13:8 2008?s.txt??
</archivecontent></file></media></catalog>
)");
    EXPECT_EQ(EntryRef(lib, "M\\p.zip\\", "p").Date, Day("2008-09-09 10:00:05"));
    EXPECT_EQ(FolderRef(lib, "M\\p.zip\\p\\q\\").Date, Day("2008-09-09 12:00:07"));
    TLibFolderItem* r = EntryAt(lib, "M\\p.zip\\p\\q\\", "r.txt");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Size, 7);
    EXPECT_EQ(EntryRef(lib, "M\\p.zip\\", "s.txt").Size, 8);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

} // namespace
