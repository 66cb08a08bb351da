// Where a save lands: files with other hard links, extended attributes and
// access lists, temporary names in a folder other users share, and outputs
// that are really one of the command's inputs.
#include "catalog/catalog_file.h"
#include "files/safe_file.h"
#include "search/cli_runner.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

namespace fs = std::filesystem;

struct stat StatOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

// Hidden files the writer leaves: temporary files and backups.
std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.ends_with(".tamblix-tmp") || name.ends_with(".tamblix-bak")) out.push_back(name);
    }
    return out;
}

std::string Attribute(const std::string& path, const char* name) {
    char buf[256];
    ssize_t n = ::getxattr(path.c_str(), name, buf, sizeof buf);
    return n < 0 ? "<none>" : std::string(buf, static_cast<size_t>(n));
}

void SaveCatalogWith(const std::string& path, const std::string& file) {
    TLibObj lib;
    TCatalogBuilder b(lib);
    b.File(b.Volume("V"), file, 1);
    TNullProgress quiet;
    SaveToFile(lib, path, quiet);
}

TEST(WriterTargets, EveryHardLinkSeesTheNewContents) {
    TTempFolder tmp;
    const std::string f = tmp.Write("a/list.txt", "old contents, longer than the new ones");
    fs::create_directory(tmp.File("b"));
    fs::create_hard_link(f, tmp.File("b/other.txt"));
    ::chmod(f.c_str(), 0640);
    const ino_t inode = StatOf(f).st_ino;
    WriteFileAtomically(f, "new");
    EXPECT_EQ(ReadFile(f), "new");
    EXPECT_EQ(ReadFile(tmp.File("b/other.txt")), "new");
    EXPECT_EQ(StatOf(f).st_ino, inode); // written in place, not replaced
    EXPECT_EQ(StatOf(f).st_nlink, 2u);
    EXPECT_EQ(StatOf(f).st_mode & 07777, 0640u);
    EXPECT_TRUE(Leftovers(tmp.File("a")).empty());
    // Through a symbolic link to one of the names, and growing this time.
    fs::create_symlink("a/list.txt", tmp.File("link.txt"));
    WriteFileAtomically(tmp.File("link.txt"), std::string(5000, 'x'));
    EXPECT_EQ(ReadFile(tmp.File("b/other.txt")), std::string(5000, 'x'));
    EXPECT_TRUE(fs::is_symlink(tmp.File("link.txt")));

    // The command line: an edit of a catalog that has a second name.
    const std::string cat = tmp.File("c.txc");
    SaveCatalogWith(cat, "a.txt");
    fs::create_hard_link(cat, tmp.File("b/same.txc"));
    TCliRun run;
    run.Settings = tmp.File("s.ini");
    run.Args = {"edit", cat, "V", "--category", "Boxes"};
    ASSERT_EQ(run.Run(), 0);
    TLibObj back;
    TNullProgress quiet;
    LoadFromFile(back, tmp.File("b/same.txc"), false, quiet);
    EXPECT_EQ(FolderOf(back.Tree.Root(0))->Category, "Boxes");
    EXPECT_TRUE(Leftovers(tmp.Path()).empty());
}

TEST(WriterTargets, ExtendedAttributesAndAccessListsAreKept) {
    TTempFolder tmp;
    const std::string f = tmp.Write("tagged.txt", "old");
    ::chmod(f.c_str(), 0640);
    if (::setxattr(f.c_str(), "user.origin", "shelf 3", 7, 0) != 0 && errno == ENOTSUP)
        GTEST_SKIP() << "the temporary folder's file system keeps no user attributes";
    // An access list as the kernel stores it: version 2, then (tag, permissions, id)
    // for the owner, the user 65534, the group, the mask and the others.
    const unsigned char acl[] = {2,    0,    0,    0,    1,    0,    6,    0,    0xFF, 0xFF, 0xFF,
                                 0xFF, 2,    0,    4,    0,    0xFE, 0xFF, 0,    0,    4,    0,
                                 4,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0,    4,    0,    0xFF,
                                 0xFF, 0xFF, 0xFF, 0x20, 0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(::setxattr(f.c_str(), "system.posix_acl_access", acl, sizeof acl, 0), 0)
        << std::strerror(errno);
    const std::string aclBefore = Attribute(f, "system.posix_acl_access");
    const mode_t modeBefore = StatOf(f).st_mode & 07777;
    const ino_t inode = StatOf(f).st_ino;
    WriteFileAtomically(f, "new");
    EXPECT_NE(StatOf(f).st_ino, inode); // replaced: the attributes went with the data
    EXPECT_EQ(ReadFile(f), "new");
    EXPECT_EQ(Attribute(f, "user.origin"), "shelf 3");
    EXPECT_EQ(Attribute(f, "system.posix_acl_access"), aclBefore);
    EXPECT_EQ(StatOf(f).st_mode & 07777, modeBefore);
    // The same through the command line's export.
    const std::string cat = tmp.File("c.txc");
    SaveCatalogWith(cat, "a.txt");
    ASSERT_EQ(::setxattr(cat.c_str(), "user.note", "keep", 4, 0), 0);
    TCliRun run;
    run.Settings = tmp.File("s.ini");
    run.Args = {"edit", cat, "V", "--comments", "x"};
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(Attribute(cat, "user.note"), "keep");
}

// Root and the user 65534 save into one folder that everyone may write to,
// each finding the other's hidden file where its own would go.
TEST(WriterTargets, SharedStickyFolderIsNeverCalledReadOnly) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
    TTempFolder tmp;
    ::chmod(tmp.Path().c_str(), 0755);
    const std::string shared = tmp.MakeFolder("shared");
    ::chmod(shared.c_str(), 01777);
    const std::string cat = tmp.File("c.txc");
    SaveCatalogWith(cat, "a.txt");
    ::chmod(cat.c_str(), 0644);
    const std::string out = shared + "/out.txt";
    // Root's own hidden name, taken by a file of the other user (left by a
    // killed save, or put there on purpose).
    const std::string rootName = SafeWriteTempPath(out);
    WriteFile(rootName, "theirs");
    ASSERT_EQ(::chown(rootName.c_str(), 65534, 65534), 0);
    TCliRun run;
    run.Settings = tmp.File("s.ini");
    run.Err = tmp.File("err.txt");
    run.Args = {"export", cat, out};
    ASSERT_EQ(run.Run(), 0) << ReadFile(run.Err);
    EXPECT_NE(ReadFile(out).find("a.txt"), std::string::npos);
    EXPECT_EQ(ReadFile(rootName), "theirs");
    // The other way round: root's leftover at the name the user 65534 takes.
    const std::string theirs = shared + "/.out2.txt.65534.tamblix-tmp";
    WriteFile(theirs, "root's");
    ::chmod(theirs.c_str(), 0600);
    run.AsNobody = true;
    run.Settings = shared + "/s.ini";
    run.Args = {"export", cat, shared + "/out2.txt"};
    EXPECT_EQ(run.Run(), 0) << ReadFile(run.Err);
    EXPECT_EQ(ReadFile(run.Err).find("read-only"), std::string::npos) << ReadFile(run.Err);
    EXPECT_NE(ReadFile(shared + "/out2.txt").find("a.txt"), std::string::npos);
    EXPECT_EQ(ReadFile(theirs), "root's");
}

TEST(WriterTargets, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
    TTempFolder tmp;
    const std::string cat = tmp.File("c.txc");
    SaveCatalogWith(cat, "a.txt");
    const std::string before = ReadFile(cat);
    fs::create_symlink("c.txc", tmp.File("x.txs"));
    fs::create_hard_link(cat, tmp.File("hard.txt"));
    tmp.Write("list.csv", "V,,b.txt,1,\n");
    tmp.Write("rock.txs", "[Search]\r\nFile=a\r\n");
    TCliRun run;
    run.Settings = tmp.File("s.ini");
    run.Err = tmp.File("err.txt");
    const std::vector<std::vector<std::string>> refused = {
        {"search", cat, "--name", "a", "--save", cat},
        {"search", cat, "--name", "a", "--save", tmp.File("x.txs")},
        {"export", cat, cat},
        {"export", cat, tmp.File("hard.txt")},
        {"export", cat, tmp.File("rock.txs"), "--search", tmp.File("rock.txs")},
        {"import", tmp.File("list.csv"), tmp.File("list.csv")},
        {"import", cat, tmp.File("x.txs")},
        {"import-catalog", cat, tmp.File("hard.txt")},
        {"--settings", cat, "edit", cat, "V", "--category", "x"},
    };
    for (const auto& args : refused) {
        run.Args = args;
        SCOPED_TRACE(args[0] + " " + args.back());
        EXPECT_EQ(run.Run(), 1);
        EXPECT_NE(ReadFile(run.Err).find("is the same file as an input, nothing was written"),
                  std::string::npos)
            << ReadFile(run.Err);
    }
    EXPECT_EQ(ReadFile(cat), before);
    EXPECT_EQ(ReadFile(tmp.File("rock.txs")), "[Search]\r\nFile=a\r\n");
    EXPECT_EQ(ReadFile(tmp.File("list.csv")), "V,,b.txt,1,\n");
    EXPECT_TRUE(fs::is_symlink(tmp.File("x.txs")));
    // A loaded search may be saved back over its own file.
    run.Args = {"search", cat,   "--load", tmp.File("rock.txs"),
                "--type", "txt", "--save", tmp.File("rock.txs")};
    EXPECT_EQ(run.Run(), 0) << ReadFile(run.Err);
    EXPECT_NE(ReadFile(tmp.File("rock.txs")).find("Type=txt"), std::string::npos);
}

} // namespace
