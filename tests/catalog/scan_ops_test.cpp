#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "handlers/handlers.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "support/scan_fixture.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ScanFixture : TScanFixture<TRecordingProgress> {
    void SetUp() override {
        TScanFixture::SetUp();
        WriteFile(root + "/a.txt", "12345");
        WriteFile(root + "/A.TXT", "1");
        WriteFile(root + "/docs/readme.md", "hello");
        WriteFile(root + "/docs/deep/x.bin", std::string(100, 'x'));
        std::filesystem::create_directories(root + "/empty");
    }

    TTreeNode* Add(TScanOptions o = {}) {
        if (o.FolderResult.empty()) o.FolderResult = root;
        if (o.TitleResult.empty()) o.TitleResult = "Vol";
        TVolumeScanner s(lib, &handlers, progress);
        s.Options = o;
        return s.AddVolume(yes);
    }

    void Update(TTreeNode* node, TScanOptions o) {
        TVolumeScanner s(lib, &handlers, progress);
        s.Options = o;
        s.UpdateVolume(node);
    }
};

std::vector<std::string> Captions(const TLibFolder* f) {
    std::vector<std::string> out;
    for (const auto& e : f->Items())
        out.push_back(e->Caption.str());
    return out;
}

} // namespace

TEST_F(ScanFixture, AddBuildsFoldersEntriesAndTotals) {
    TTreeNode* vol = Add();
    ASSERT_NE(vol, nullptr);
    TLibFolder* v = FolderOf(vol);
    EXPECT_EQ(v->SourcePath, root + "/");
    EXPECT_EQ(Captions(v), (std::vector<std::string>{"A.TXT", "a.txt", "docs", "empty"}));
    EXPECT_EQ(v->FindItem("a.txt")->Size, 5);
    EXPECT_EQ(v->FindItem("docs")->IsFolder, 1);
    TTreeNode* deep = FindFolderByCatalogPath(lib, "Vol\\docs\\deep\\");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(FolderOf(deep)->Item(0)->Size, 100);
    EXPECT_EQ(v->VolumeSize, 111);
    EXPECT_TRUE(TotalsAreConsistent(lib));
    EXPECT_EQ(lib.FileCount, 4);
    EXPECT_EQ(lib.FolderCount, 3);
    EXPECT_TRUE(lib.Modified);
}

TEST_F(ScanFixture, LevelsFoldersOnlyAndDefaults) {
    TScanOptions o;
    o.Levels = 1;
    o.DefaultCategory = "Cat";
    o.DefaultComments = "Com";
    o.DefaultLocation = "Shelf";
    o.DefaultsToFiles = true;
    TTreeNode* vol = Add(o);
    EXPECT_EQ(vol->Count(), 0); // subfolders are entries without nodes of their own
    TLibFolderItem* docs = FolderOf(vol)->FindItem("docs");
    EXPECT_EQ(docs->IsFolder, 1);
    EXPECT_EQ(EntryNode(docs), vol);
    EXPECT_EQ(docs->Category, "");
    EXPECT_EQ(FolderOf(vol)->FindItem("a.txt")->Category, "Cat");
    EXPECT_EQ(FolderOf(vol)->Location, "Shelf");

    TScanOptions f;
    f.FoldersOnly = true;
    f.TitleResult = "Folders";
    TTreeNode* v2 = Add(f);
    for (const auto& e : FolderOf(v2)->Items())
        EXPECT_EQ(e->IsFolder, 1) << e->Caption.str();
    EXPECT_NE(FindFolderByCatalogPath(lib, "Folders\\docs\\deep\\"), nullptr);
}

TEST_F(ScanFixture, ArchivesListWholeMemberPathsAndCountInTotals) {
    // A stored ZIP made by hand: two members with the same name in different folders.
    auto zipWith = [](const std::vector<std::pair<std::string, std::string>>& members) {
        std::string local, central;
        auto le16 = [](std::string& s, uint16_t v) {
            s.append(reinterpret_cast<const char*>(&v), 2);
        };
        auto le32 = [](std::string& s, uint32_t v) {
            s.append(reinterpret_cast<const char*>(&v), 4);
        };
        for (const auto& [name, data] : members) {
            uint32_t offset = static_cast<uint32_t>(local.size());
            le32(local, 0x04034b50), le16(local, 10), le16(local, 0), le16(local, 0),
                le16(local, 0);
            le16(local, 0x21), le32(local, 0), le32(local, static_cast<uint32_t>(data.size()));
            le32(local, static_cast<uint32_t>(data.size())),
                le16(local, static_cast<uint16_t>(name.size()));
            le16(local, 0), local += name, local += data;
            le32(central, 0x02014b50), le16(central, 20), le16(central, 10), le16(central, 0),
                le16(central, 0);
            le16(central, 0), le16(central, 0x21), le32(central, 0),
                le32(central, static_cast<uint32_t>(data.size()));
            le32(central, static_cast<uint32_t>(data.size())),
                le16(central, static_cast<uint16_t>(name.size()));
            le16(central, 0), le16(central, 0), le16(central, 0), le16(central, 0),
                le32(central, 0);
            le32(central, offset), central += name;
        }
        std::string out = local + central;
        le32(out, 0x06054b50), le16(out, 0), le16(out, 0),
            le16(out, static_cast<uint16_t>(members.size()));
        le16(out, static_cast<uint16_t>(members.size())),
            le32(out, static_cast<uint32_t>(central.size()));
        le32(out, static_cast<uint32_t>(local.size())), le16(out, 0);
        return out;
    };
    WriteFile(root + "/pack.zip",
              zipWith({{"a/readme.txt", "1234"}, {"b/readme.txt", "12"}, {"b/", ""}}));
    TTreeNode* vol = Add();
    TLibFolderItem* zipEntry = FolderOf(vol)->FindItem("pack.zip");
    ASSERT_NE(zipEntry, nullptr);
    EXPECT_EQ(zipEntry->IsFolder, 1);
    TTreeNode* arch = FindFolderByCatalogPath(lib, "Vol\\pack.zip\\");
    ASSERT_NE(arch, nullptr);
    EXPECT_EQ(Captions(FolderOf(arch)), (std::vector<std::string>{"a/readme.txt", "b/readme.txt"}));
    EXPECT_TRUE(TotalsAreConsistent(lib));
    // Saved and loaded, the totals are the same as scanned.
    SaveToFile(lib, dir.File("c.txc"), progress);
    TLibObj back;
    LoadFromFile(back, dir.File("c.txc"), false, progress);
    EXPECT_EQ(FolderOf(back.Tree.Root(0))->VolumeSize, FolderOf(vol)->VolumeSize);
    // A second update keeps one archive node per archive.
    TScanOptions u;
    u.FolderResult = root;
    u.DeleteNotFound = true;
    Update(vol, u);
    EXPECT_EQ(vol->Count(), 3); // docs, empty, pack.zip
    EXPECT_EQ(FolderOf(arch)->ItemsCount(), 2);
}

// A deflated member keeps its unpacked size through an update, not its packed one.
TEST_F(ScanFixture, ArchiveMembersKeepTheirUnpackedSizeOnUpdate) {
    WriteFile(root + "/basic.zip",
              ReadFile(std::string(TAMBLIX_TEST_DATA) + "/archives/basic.zip"));
    TTreeNode* vol = Add();
    auto bigSize = [&] {
        TTreeNode* arch = FindFolderByCatalogPath(lib, "Vol\\basic.zip\\");
        const TLibFolderItem* big = arch ? FolderOf(arch)->FindItem("docs/sub/big.txt") : nullptr;
        return big ? big->Size : -1;
    };
    EXPECT_EQ(bigSize(), 1000); // 11 bytes packed
    const int64_t volumeSize = FolderOf(vol)->VolumeSize;
    TScanOptions u;
    u.FolderResult = root;
    u.DeleteNotFound = true;
    Update(vol, u);
    EXPECT_EQ(bigSize(), 1000);
    EXPECT_EQ(FolderOf(vol)->VolumeSize, volumeSize);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

TEST_F(ScanFixture, UpdateDeletesWhatIsGoneAndFixesSizes) {
    TTreeNode* vol = Add();
    std::filesystem::remove(root + "/a.txt");
    std::filesystem::remove_all(root + "/docs/deep");
    WriteFile(root + "/A.TXT", "grown to twenty bytes");
    WriteFile(root + "/new/n.txt", "n");
    TScanOptions o;
    o.FolderResult = root;
    o.DeleteNotFound = true;
    Update(vol, o);
    TLibFolder* v = FolderOf(vol);
    EXPECT_EQ(Captions(v), (std::vector<std::string>{"A.TXT", "docs", "empty", "new"}));
    EXPECT_EQ(FindFolderByCatalogPath(lib, "Vol\\docs\\deep\\"), nullptr);
    EXPECT_EQ(Captions(FolderOf(FindFolderByCatalogPath(lib, "Vol\\docs\\"))),
              (std::vector<std::string>{"readme.md"}));
    EXPECT_EQ(v->FindItem("A.TXT")->Size, 21);
    EXPECT_TRUE(TotalsAreConsistent(lib));
    EXPECT_EQ(lib.FileCount, 3);
}

TEST_F(ScanFixture, UpdateOfAMissingRootDeletesNothing) {
    TTreeNode* vol = Add();
    int before = FolderOf(vol)->ItemsCount();
    TScanOptions o;
    o.FolderResult = dir.File("nowhere");
    o.DeleteNotFound = true;
    TVolumeScanner s(lib, &handlers, progress);
    s.Options = o;
    EXPECT_THROW(s.UpdateVolume(vol), EMessageError);
    EXPECT_EQ(FolderOf(vol)->ItemsCount(), before);
    EXPECT_EQ(FolderOf(vol)->SourcePath, root + "/");
}

TEST_F(ScanFixture, UpdateOfASubfolderStaysUnderItsNode) {
    TTreeNode* vol = Add();
    TTreeNode* docs = FindFolderByCatalogPath(lib, "Vol\\docs\\");
    WriteFile(root + "/docs/added.txt", "abc");
    TScanOptions o;
    o.FolderResult = root + "/docs";
    Update(docs, o);
    EXPECT_EQ(FolderOf(vol)->SourcePath, root + "/");
    EXPECT_NE(FolderOf(docs)->FindItem("added.txt"), nullptr);
    EXPECT_EQ(docs->Count(), 1); // deep, not a second copy
    EXPECT_EQ(vol->Count(), 2);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

// A folder that cannot be entered (000) or only listed (644) keeps what the
// catalog knew: sizes, dates, and everything below it.
TEST_F(ScanFixture, UnreadableFolderKeepsItsEntriesOnUpdate) {
    if (RerunUnprivileged()) return;
    TTreeNode* vol = Add();
    TScanOptions o;
    o.FolderResult = root;
    o.DeleteNotFound = true;
    for (mode_t mode : {0000, 0644}) {
        ::chmod((root + "/docs").c_str(), mode);
        Update(vol, o);
        ::chmod((root + "/docs").c_str(), 0755);
        TTreeNode* deep = FindFolderByCatalogPath(lib, "Vol\\docs\\deep\\");
        ASSERT_NE(deep, nullptr) << mode;
        EXPECT_EQ(FolderOf(deep)->FindItem("x.bin")->Size, 100);
        const TLibFolderItem* readme =
            FolderOf(FindFolderByCatalogPath(lib, "Vol\\docs\\"))->FindItem("readme.md");
        ASSERT_NE(readme, nullptr) << mode;
        EXPECT_EQ(readme->Size, 5) << mode;
        EXPECT_NE(readme->Date, 0) << mode;
        EXPECT_EQ(lib.TotalSize, 111);
    }
}

TEST_F(ScanFixture, DefaultsOnlyUpdateChangesDescriptionsOnly) {
    TTreeNode* vol = Add();
    TScanOptions o;
    o.UseRealSource = false; // no folder needed without a rescan
    o.DefaultCategory = "New";
    Update(vol, o);
    EXPECT_EQ(FolderOf(vol)->Category, "New");
    EXPECT_EQ(FolderOf(vol)->FindItem("a.txt")->Category, "");
    EXPECT_EQ(FolderOf(vol->Child(0))->Category, "");
    o.DefaultsToFiles = true;
    o.DefaultsToFolders = true;
    Update(vol, o);
    EXPECT_EQ(FolderOf(vol)->FindItem("a.txt")->Category, "New");
    EXPECT_EQ(FolderOf(vol->Child(0))->Category, "New");
    EXPECT_EQ(FolderOf(vol)->FindItem("docs")->Category, "New");
}

TEST_F(ScanFixture, SerialDuplicatesAskAndCanCancel) {
    TScanOptions o;
    o.Serial = "1234ABCD";
    for (int i = 0; i < 11; ++i) {
        o.TitleResult = "Copy" + std::to_string(i);
        o.SkipSerialCheck = true;
        Add(o);
    }
    TVolumeScanner s(lib, &handlers, progress);
    s.Options = o;
    std::string message;
    TTreeNode* first = nullptr;
    EXPECT_FALSE(s.CheckSerialDuplicate("1234ABCD", root + "/", message, first));
    EXPECT_EQ(FolderOf(first)->Caption, "Copy0");
    EXPECT_NE(message.find("Copy7"), std::string::npos); // nine captions in tree order
    EXPECT_NE(message.find(".."), std::string::npos);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 9 + 1 + 1 + 1);
    TTreeNode* duplicate = first;
    EXPECT_TRUE(s.CheckSerialDuplicate("OTHER", root + "/", message, first));
    s.Options.SkipSerialCheck = false;
    s.Options.FolderResult = root;
    TFixedAnswers no(TAnswer::No);
    int volumes = lib.Tree.RootCount();
    EXPECT_THROW(s.AddVolume(no), EMessageError);
    EXPECT_EQ(lib.Tree.RootCount(), volumes);
    EXPECT_EQ(s.DuplicateNode, duplicate);
}

TEST_F(ScanFixture, StopKeepsWhatWasScannedAndAddsNothingMore) {
    for (int i = 0; i < 50; ++i)
        WriteFile(root + "/many/f" + std::to_string(i), "x");
    progress.StopAfterPolls = 10;
    TScanOptions o;
    o.FolderResult = root;
    o.TitleResult = "Stopped";
    TVolumeScanner s(lib, &handlers, progress);
    s.Options = o;
    s.AddVolume(yes);
    EXPECT_TRUE(s.Stopped());
    lib.Recount();
    EXPECT_LT(lib.FileCount, 20);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}

TEST(ScanSizes, TotalFileSizeCountsFilesOnce) {
    TLibObj lib;
    auto v = std::make_unique<TLibFolder>();
    v->Caption = "V";
    TTreeNode* vn = lib.AddVolumeNode(std::move(v));
    for (auto [name, size, folder] : {std::tuple{"a", 5, 0}, {"b.zip", 7, 1}, {"sub", 0, 1}}) {
        auto e = std::make_unique<TLibFolderItem>();
        e->Caption = name;
        e->Size = size;
        e->IsFolder = static_cast<uint8_t>(folder);
        lib.AddEntry(FolderOf(vn), std::move(e));
    }
    auto sub = std::make_unique<TLibFolder>();
    sub->Caption = "sub";
    TTreeNode* sn = lib.AddFolderNode(vn, std::move(sub));
    auto e = std::make_unique<TLibFolderItem>();
    e->Caption = "c";
    e->Size = 11;
    lib.AddEntry(FolderOf(sn), std::move(e));
    std::atomic<bool> stop{false};
    EXPECT_EQ(TotalFileSize(lib, nullptr, stop), 16);
    EXPECT_EQ(TotalFileSize(lib, sn, stop), 11);
    stop = true;
    EXPECT_EQ(TotalFileSize(lib, nullptr, stop), 0);
}

// A "\\" is part of a name on this system: one entry, found again on every update.
TEST_F(ScanFixture, BackslashNamesRoundTrip) {
    WriteFile(root + "/back\\slash", "abc");
    WriteFile(root + "/x\\y/inner", "12");
    TTreeNode* vol = Add();
    TScanOptions o;
    o.FolderResult = root;
    o.DeleteNotFound = true;
    Update(vol, o);
    Update(vol, o);
    EXPECT_EQ(Captions(FolderOf(vol)),
              (std::vector<std::string>{"A.TXT", "a.txt", "back\\slash", "docs", "empty", "x\\y"}));
    ASSERT_EQ(vol->Count(), 3);
    TTreeNode* xy =
        FindFolderByCatalogPath(lib, "Vol\\" + nametext::CaptionToPathPart("x\\y") + "\\");
    ASSERT_NE(xy, nullptr);
    EXPECT_EQ(Captions(FolderOf(xy)), std::vector<std::string>{"inner"});
    EXPECT_EQ(nametext::SplitCatalogPath(GetEntryCatalogPath(FolderOf(xy)->Item(0))),
              (std::vector<std::string>{"Vol", "x\\y", "inner"}));
    std::filesystem::remove(root + "/back\\slash");
    Update(vol, o);
    EXPECT_EQ(FolderOf(vol)->FindItem("back\\slash"), nullptr);
}

// Names that are not UTF-8, root included: no extra level, no merged twins,
// and the stored source opens again.
TEST_F(ScanFixture, NonUtf8NamesStayApartAndReopen) {
    root = dir.File("r\xE9;*");
    WriteFile(root + "/caf\xE9", "1");
    WriteFile(root + "/café", "22");
    WriteFile(root + "/d\xFF/in", "333");
    TScanOptions add;
    add.TitleResult = "V";
    TTreeNode* vol = Add(add);
    TLibFolder* v = FolderOf(vol);
    EXPECT_TRUE(nametext::IsValidUtf8(v->SourcePath));
    EXPECT_EQ(nametext::CaptionToDisk(v->SourcePath), root + "/");
    for (int round = 0; round < 2; ++round) {
        TScanOptions o;
        o.FolderResult = GetSourcePath(v);
        o.DeleteNotFound = true;
        Update(vol, o);
    }
    EXPECT_EQ(v->ItemsCount(), 3);
    EXPECT_EQ(v->FindItem(nametext::DiskToCaption("caf\xE9"))->Size, 1);
    EXPECT_EQ(v->FindItem("café")->Size, 2);
    TTreeNode* d = vol->FindChild(nametext::DiskToCaption("d\xFF"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(FolderOf(d)->Item(0)->Size, 3);
    EXPECT_EQ(vol->Count(), 1);
}

// The kind follows the disk, and a changed file's tags are read afresh.
TEST_F(ScanFixture, SwappedKindsAndRewrittenFiles) {
    WriteFile(root + "/song.mp3",
              ReadFile(std::string(TAMBLIX_TEST_DATA) + "/audio/mp3_cbr_id3v1.mp3"));
    TTreeNode* vol = Add();
    TLibFolder* v = FolderOf(vol);
    ASSERT_FALSE(v->FindItem("song.mp3")->TagInfo.Empty());
    WriteFile(root + "/song.mp3", "plain text now");
    std::filesystem::rename(root + "/a.txt", root + "/tmp");
    std::filesystem::rename(root + "/docs", root + "/a.txt");
    std::filesystem::rename(root + "/tmp", root + "/docs");
    TScanOptions o;
    o.FolderResult = root;
    o.DeleteNotFound = true;
    Update(vol, o);
    EXPECT_TRUE(v->FindItem("song.mp3")->TagInfo.Empty());
    EXPECT_EQ(v->FindItem("song.mp3")->Size, 14);
    EXPECT_EQ(v->FindItem("docs")->IsFolder, 0);
    EXPECT_EQ(v->FindItem("docs")->Size, 5);
    EXPECT_EQ(vol->FindChild("docs"), nullptr);
    EXPECT_EQ(v->FindItem("a.txt")->IsFolder, 1);
    EXPECT_EQ(v->FindItem("a.txt")->Size, 0);
    TTreeNode* moved = vol->FindChild("a.txt");
    ASSERT_NE(moved, nullptr);
    EXPECT_NE(moved->FindChild("deep"), nullptr);
    EXPECT_EQ(lib.FileCount, 5);
    EXPECT_EQ(lib.FolderCount, 3);
}

// A limited walk deletes only what it could see.
TEST_F(ScanFixture, LimitedWalksDeleteOnlyWhatTheySaw) {
    TTreeNode* vol = Add();
    std::filesystem::remove(root + "/A.TXT");
    TScanOptions o;
    o.FolderResult = root;
    o.DeleteNotFound = true;
    o.Levels = 1;
    Update(vol, o);
    EXPECT_EQ(FolderOf(vol)->FindItem("A.TXT"), nullptr);
    EXPECT_NE(FindFolderByCatalogPath(lib, "Vol\\docs\\deep\\"), nullptr);
    EXPECT_EQ(FolderOf(FindFolderByCatalogPath(lib, "Vol\\docs\\"))->ItemsCount(), 2);
    std::filesystem::remove_all(root + "/empty");
    o.Levels = 0;
    o.FoldersOnly = true;
    Update(vol, o);
    EXPECT_EQ(FolderOf(vol)->FindItem("empty"), nullptr);
    EXPECT_NE(FolderOf(vol)->FindItem("a.txt"), nullptr);
    EXPECT_EQ(FolderOf(FindFolderByCatalogPath(lib, "Vol\\docs\\deep\\"))->ItemsCount(), 1);
    EXPECT_EQ(lib.TotalSize, 110);
}

// An empty mount point or another disc never empties a volume unasked.
TEST_F(ScanFixture, UpdateFromAnotherMediumIsRefused) {
    TScanOptions add;
    add.Serial = "1234ABCD";
    TTreeNode* vol = Add(add);
    std::string empty = dir.File("mnt");
    std::filesystem::create_directories(empty);
    TScanOptions o;
    o.FolderResult = empty;
    o.DeleteNotFound = true;
    try {
        Update(vol, o);
        ADD_FAILURE() << "no refusal";
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Key, "errNotSameMedium");
    }
    EXPECT_EQ(lib.FileCount, 4);
    o.FolderResult = root;
    o.Serial = "99990000";
    EXPECT_THROW(Update(vol, o), EMessageError);
    TVolumeScanner asked(lib, &handlers, progress);
    asked.Options = o;
    TFixedAnswers no{TAnswer::No};
    EXPECT_THROW(asked.UpdateVolume(vol, &no), EMessageError);
    EXPECT_EQ(lib.FileCount, 4);
    o.FolderResult = empty;
    o.Force = true;
    Update(vol, o);
    EXPECT_EQ(lib.FileCount, 0);
}

namespace {

// Makes `levels` nested folders with long names below `root` (deeper than a
// whole path may be), returning a descriptor of the deepest; `remove` undoes it.
int MakeDeepFolders(const std::string& root, int levels, const std::string& name) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        ::mkdirat(fd, name.c_str(), 0755);
        int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

void WriteAt(int dirFd, const char* name, const std::string& data) {
    int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(fd);
}

void RemoveDeepFolders(const std::string& root, int levels, const std::string& name) {
    for (int depth = levels; depth > 0; --depth) {
        int fd = MakeDeepFolders(root, depth - 1, name);
        int inner = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (DIR* d = inner >= 0 ? ::fdopendir(inner) : nullptr) {
            while (dirent* de = ::readdir(d))
                if (de->d_name[0] != '.') ::unlinkat(inner, de->d_name, 0);
            ::closedir(d);
        }
        ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
        ::close(fd);
    }
}

} // namespace

// Tags and archive members of files whose whole path is longer than the system
// accepts are read all the same, and messages name the real path.
TEST_F(ScanFixture, EntriesDeeperThanAWholePathAreRead) {
    const std::string name(200, 'd');
    const int levels = 24; // about 4,800 bytes of path
    int deepest = MakeDeepFolders(root, levels, name);
    ASSERT_GE(deepest, 0);
    const std::string data = std::string(TAMBLIX_TEST_DATA);
    WriteAt(deepest, "song.mp3", ReadFile(data + "/audio/mp3_cbr_id3v1.mp3"));
    WriteAt(deepest, "basic.zip", ReadFile(data + "/archives/basic.zip"));
    WriteAt(deepest, "broken.zip", "not an archive");
    ::close(deepest);

    TTreeNode* node = Add();
    for (int i = 0; i < levels && node; ++i)
        node = node->FindChild(name);
    ASSERT_NE(node, nullptr);
    TLibFolder* f = FolderOf(node);
    ASSERT_NE(f->FindItem("song.mp3"), nullptr);
    EXPECT_FALSE(f->FindItem("song.mp3")->TagInfo.Empty());
    TTreeNode* zip = node->FindChild("basic.zip");
    ASSERT_NE(zip, nullptr);
    EXPECT_GT(FolderOf(zip)->ItemsCount(), 0);
    bool named = false;
    for (const std::string& line : progress.Logged) {
        EXPECT_EQ(line.find("/proc/"), std::string::npos) << line;
        if (line.find(name + "/broken.zip") != std::string::npos) named = true;
    }
    EXPECT_TRUE(named);
    RemoveDeepFolders(root, levels, name);
}
