// Files of a folder held open are named through /proc for the readers that
// take paths; what opens such a path goes through the descriptor instead.
// Both must name the same file, whatever happened to the folder's path.
#include "archives/archive_io.h"
#include "files/file_checksum.h"
#include "files/path_in_folder.h"
#include "support/temp_folder.h"
#include "tags/binary_file.h"

#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(PathInFolder, SplitsOnlyThePathsItMakes) {
    const std::string made = PathInFolder(12, "a b.jpg");
    if (made.empty()) GTEST_SKIP() << "no /proc";
    TFolderRelative at = RelativeToFolder(made.c_str());
    EXPECT_EQ(at.folderFd, 12);
    EXPECT_STREQ(at.name, "a b.jpg");
    at = RelativeToFolder("/proc/self/fd/0/x");
    EXPECT_EQ(at.folderFd, 0);
    // Anything else is opened as it is.
    for (const char* other :
         {"/proc/self/fd/12/a/b", "/proc/self/fd/12/", "/proc/self/fd//x", "/proc/self/fd/x/y",
          "/proc/self/fd/012/x", "/proc/self/fd/12", "/proc/self/fd/1234567890/x", "/proc/1/fd/3/x",
          "relative/proc/self/fd/3/x", "", "/"}) {
        at = RelativeToFolder(other);
        EXPECT_EQ(at.folderFd, AT_FDCWD) << other;
        EXPECT_STREQ(at.name, other);
    }
}

TEST(PathInFolder, OpensTheFileThroughTheDescriptor) {
    TTempFolder tmp;
    tmp.Write("disc/a b.jpg", "photo bytes");
    tmp.Write("disc/sub/inner.txt", "x");
    ASSERT_EQ(::symlink("a b.jpg", tmp.File("disc/link").c_str()), 0);
    const int fd = ::open(tmp.File("disc").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    // The folder's path no longer leads there; its descriptor still does.
    ASSERT_EQ(std::rename(tmp.File("disc").c_str(), tmp.File("moved").c_str()), 0);
    const std::string path = PathInFolder(fd, "a b.jpg");
    if (path.empty()) GTEST_SKIP() << "no /proc";

    TBinaryFile file(path);
    ASSERT_TRUE(file.IsOpen());
    char buf[32] = {};
    EXPECT_EQ(file.ReadAt(0, buf, sizeof buf), 11);
    EXPECT_STREQ(buf, "photo bytes");
    EXPECT_FALSE(TBinaryFile(PathInFolder(fd, "sub")).IsOpen());
    EXPECT_FALSE(TBinaryFile(PathInFolder(fd, "missing")).IsOpen());

    archiveio::TFileHandle handle(archiveio::OpenForReading(path));
    EXPECT_GE(handle.Get(), 0);
    EXPECT_TRUE(archiveio::IsPlainFile(path));
    // Links are seen as links, not as what they point to.
    EXPECT_FALSE(archiveio::IsPlainFile(PathInFolder(fd, "link")));

    TFileChecksum sum;
    EXPECT_EQ(sum.HashFile(path), ChecksumText(TFileChecksum::HashBytes("photo bytes", 11)));
    EXPECT_EQ(sum.HashFile(PathInFolder(fd, "link")), "");
    ::close(fd);
}

} // namespace
