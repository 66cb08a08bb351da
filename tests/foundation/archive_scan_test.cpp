#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "handlers/handlers.h"
#include "rar_writer.h"
#include "support/scan_fixture.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TLogProgress : public TNullProgress {
public:
    void LogMessage(const std::string& t) override { Lines.push_back(t); }
    std::vector<std::string> Lines;
};

struct ArchiveScan : TScanFixture<TLogProgress> {
    void SetUp() override {
        TScanFixture::SetUp();
        fs::create_directories(root);
    }
    void Copy(const std::string& fixture, const std::string& to) {
        fs::create_directories(fs::path(root + "/" + to).parent_path());
        fs::copy_file(std::string(TAMBLIX_TEST_DATA) + "/archives/" + fixture, root + "/" + to);
    }
    TLibFolder* Add() {
        TVolumeScanner s(lib, &handlers, progress);
        s.Options.FolderResult = root;
        s.Options.TitleResult = "Vol";
        return FolderOf(s.AddVolume(yes));
    }
    TLibFolder* Folder(const std::string& catalogPath) {
        return FolderOf(FindFolderByCatalogPath(lib, catalogPath));
    }
};

std::vector<std::string> Captions(const TLibFolder* f) {
    std::vector<std::string> out;
    if (f)
        for (const auto& e : f->Items())
            out.push_back(e->Caption.str() + "|" + std::to_string(e->Size));
    return out;
}

} // namespace

// The handlers' extension lists say what is an archive: an extension added
// to ZIP or RAR works, new kinds go to the Archives handler, and anything
// that is not a plain file is never opened as an archive.
TEST_F(ArchiveScan, ExtensionListsAndFileTypesDecide) {
    Copy("basic.zip", "comic.cbz");
    Copy("kinds.tar.gz", "backup.tar.gz");
    Copy("kinds.iso", "disc.iso");
    WriteFile(root + "/book.cbr",
              MakeRar4({{"p1.jpg", "jpeg", DosDateTime(2005, 3, 7, 14, 20, 10)}}));
    fs::create_directories(root + "/photos.zip/inner");
    WriteFile(root + "/photos.zip/inner/x.txt", "abc");
    ASSERT_EQ(mkfifo((root + "/pipe.zip").c_str(), 0644), 0);
    fs::create_symlink(root + "/comic.cbz", root + "/link.zip");
    // A socket too: binding makes it; nothing ever listens.
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = root + "/sock.rar";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(sock);
    handlers.SetExtensions(handlers.Find("ZIP"), {".ZIP", ".CBZ"});
    handlers.SetExtensions(handlers.Find("RAR"), {".RAR", ".CBR"});

    TLibFolder* v = Add();
    ASSERT_TRUE(v);
    EXPECT_EQ(Captions(Folder("Vol\\comic.cbz\\")),
              (std::vector<std::string>{"a.txt|6", "docs/readme.txt|8", "docs/sub/big.txt|1000"}));
    EXPECT_EQ(Captions(Folder("Vol\\book.cbr\\")), std::vector<std::string>{"p1.jpg|4"});
    EXPECT_EQ(Captions(Folder("Vol\\backup.tar.gz\\")),
              (std::vector<std::string>{"a.txt|6", "docs/Grüße ñ.txt|1", "docs/readme.txt|8"}));
    EXPECT_EQ(Captions(Folder("Vol\\disc.iso\\")).size(), 3u);
    EXPECT_TRUE(IsArchiveFolder(Folder("Vol\\disc.iso\\")));
    EXPECT_TRUE(IsArchiveEntry(v->FindItem("backup.tar.gz")));
    // a folder with an archive's name is a folder, walked as one
    EXPECT_EQ(Captions(Folder("Vol\\photos.zip\\inner\\")), std::vector<std::string>{"x.txt|3"});
    // a FIFO and a link with ZIP names are plain entries: no archive folder, no error
    EXPECT_EQ(v->FindItem("pipe.zip")->IsFolder, 0);
    EXPECT_EQ(v->FindItem("link.zip")->IsFolder, 0);
    EXPECT_EQ(v->FindItem("sock.rar")->IsFolder, 0);
    EXPECT_FALSE(Folder("Vol\\sock.rar\\"));
    EXPECT_FALSE(Folder("Vol\\pipe.zip\\"));
    EXPECT_FALSE(Folder("Vol\\link.zip\\"));
    EXPECT_TRUE(progress.Lines.empty()) << progress.Lines.front();

    // What the scan found is what the views, search and export are told, and a
    // save and load keep it: the cbz and cbr are archives, photos.zip a folder.
    auto archiveMarks = [](const TLibObj& l) {
        std::vector<std::string> out;
        l.Tree.ForEach([&](TTreeNode* n) {
            const TLibFolder* f = FolderOf(n);
            for (const auto& e : f->Items())
                if (e->IsFolder)
                    out.push_back(e->Caption.str() + (IsArchiveEntry(e.get()) ? " A" : " F"));
            if (f->Parent)
                out.push_back(GetCatalogPath(f) + (IsArchiveFolder(f) ? " A" : " F") +
                              std::to_string(n->ImageIndex));
        });
        return out;
    };
    const std::vector<std::string> marks = {"backup.tar.gz A",      "book.cbr A",
                                            "comic.cbz A",          "disc.iso A",
                                            "photos.zip F",         "Vol\\backup.tar.gz\\ A5",
                                            "Vol\\book.cbr\\ A5",   "Vol\\comic.cbz\\ A5",
                                            "Vol\\disc.iso\\ A5",   "inner F",
                                            "Vol\\photos.zip\\ F0", "Vol\\photos.zip\\inner\\ F0"};
    EXPECT_EQ(archiveMarks(lib), marks);
    SaveToFile(lib, dir.File("marks.txc"), progress);
    TLibObj loaded;
    LoadFromFile(loaded, dir.File("marks.txc"), false, progress);
    EXPECT_EQ(archiveMarks(loaded), marks);
    // A rescan of what was loaded keeps them.
    TVolumeScanner rescan(loaded, &handlers, progress);
    rescan.Options.FolderResult = root;
    rescan.Options.DeleteNotFound = true;
    rescan.UpdateVolume(loaded.Tree.Root(0), &yes);
    EXPECT_EQ(archiveMarks(loaded), marks);

    // with the Archives handler off, an image is a plain file again
    TLibObj again;
    handlers.Check(handlers.Find("Archives"), false);
    TVolumeScanner s(again, &handlers, progress);
    s.Options.FolderResult = root;
    s.Options.TitleResult = "Vol";
    TLibFolder* w = FolderOf(s.AddVolume(yes));
    EXPECT_EQ(w->FindItem("disc.iso")->IsFolder, 0);
    EXPECT_EQ(w->FindItem("disc.iso")->Size, 73728);
    EXPECT_EQ(w->FindItem("comic.cbz")->IsFolder, 1);
}

// A UDF image without an ISO 9660 side cannot be listed: it stays an archive
// entry without members and the log says why, where it would otherwise pass
// for an empty archive. An image with both sides lists its ISO 9660 members.
TEST_F(ArchiveScan, UdfOnlyImagesSaySoAndStay) {
    Copy("udf_only.iso", "backup.iso");
    Copy("kinds.iso", "both.iso");
    TLibFolder* v = Add();
    ASSERT_TRUE(v);
    EXPECT_TRUE(IsArchiveEntry(v->FindItem("backup.iso")));
    EXPECT_EQ(v->FindItem("backup.iso")->Size, 65536);
    EXPECT_TRUE(Captions(Folder("Vol\\backup.iso\\")).empty());
    EXPECT_EQ(Captions(Folder("Vol\\both.iso\\")).size(), 3u);
    ASSERT_EQ(progress.Lines.size(), 1u);
    EXPECT_NE(progress.Lines[0].find("backup.iso: a UDF image without an ISO 9660 directory"),
              std::string::npos)
        << progress.Lines[0];
}

// A member that starts in an earlier volume is catalogued once, with the
// volume it starts in; encrypted headers are reported as password-protected.
TEST_F(ArchiveScan, MultiVolumeRarAndLockedArchives) {
    uint32_t t = DosDateTime(2020, 1, 2, 3, 4, 6);
    TRarTestMember first{"big.iso", std::string(10, 'a'), t};
    first.Flags = 0x02;
    first.UnpSize = 20;
    TRarTestMember rest = first;
    rest.Flags = 0x01;
    TRarTestMember small{"small.txt", "s", t};
    WriteFile(root + "/set.part1.rar", MakeRar4({first}, {.MainFlags = 0x01}));
    WriteFile(root + "/set.part2.rar", MakeRar4({rest, small}, {.MainFlags = 0x01}));
    WriteFile(root + "/locked.rar", MakeRar4({small}, {.MainFlags = 0x80}));
    Copy("locked.7z", "locked.7z");
    Add();
    EXPECT_EQ(Captions(Folder("Vol\\set.part1.rar\\")), std::vector<std::string>{"big.iso|20"});
    EXPECT_EQ(Captions(Folder("Vol\\set.part2.rar\\")), std::vector<std::string>{"small.txt|1"});
    ASSERT_TRUE(Folder("Vol\\locked.rar\\"));
    EXPECT_EQ(Folder("Vol\\locked.rar\\")->ItemsCount(), 0);
    std::vector<std::string> want = {"Archive error: " + root + "/locked.7z: password-protected",
                                     "RAR error: " + root + "/locked.rar: password-protected"};
    EXPECT_EQ(progress.Lines, want);
}

// A 7z whose contents are encrypted but whose member list is not lists every
// member, links included; the log says once that the contents are locked.
TEST_F(ArchiveScan, EncryptedContentsListEveryMember) {
    Copy("members_locked.7z", "locked.7z");
    Add();
    const std::vector<std::string> files = Captions(Folder("Vol\\locked.7z\\"));
    EXPECT_EQ(files.size(), 7u);
    EXPECT_NE(std::find(files.begin(), files.end(), "link|5"), files.end());
    EXPECT_EQ(progress.Lines,
              std::vector<std::string>{"Archive error: " + root +
                                       "/locked.7z: contents are password-protected"});
}

// A ZIP deeper than the longest path the system calls take is still read:
// it is opened folder by folder.
TEST_F(ArchiveScan, ArchivesBeyondTheLongestPathAreRead) {
    const std::string part(200, 'd');
    std::vector<int> fds{open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    size_t length = root.size();
    while (length < PATH_MAX + 200) {
        ASSERT_EQ(mkdirat(fds.back(), part.c_str(), 0755), 0);
        fds.push_back(openat(fds.back(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_GE(fds.back(), 0);
        length += part.size() + 1;
    }
    const std::string zip = ReadFile(std::string(TAMBLIX_TEST_DATA) + "/archives/basic.zip");
    int fd = openat(fds.back(), "deep.zip", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(write(fd, zip.data(), zip.size()), static_cast<ssize_t>(zip.size()));
    close(fd);

    Add();
    std::string path = "Vol\\";
    for (size_t i = 1; i < fds.size(); ++i)
        path += part + "\\";
    EXPECT_EQ(Captions(Folder(path + "deep.zip\\")).size(), 3u);
    EXPECT_TRUE(progress.Lines.empty()) << progress.Lines.front();

    // the temporary folder's removal takes ordinary paths: undo the depth first
    unlinkat(fds.back(), "deep.zip", 0);
    for (size_t i = fds.size() - 1; i > 0; --i) {
        close(fds[i]);
        unlinkat(fds[i - 1], part.c_str(), AT_REMOVEDIR);
    }
    close(fds[0]);
}
