#include "files/file_utils.h"

#include <gtest/gtest.h>

TEST(CatalogPaths, BackslashHelpers) {
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("C:"), "C:\\");
    EXPECT_EQ(AddBackslash("C:\\a\\"), "C:\\a\\");
    EXPECT_EQ(StripLeadingBackslash("\\\\a"), "\\a");
    EXPECT_EQ(StripLeadingBackslash(""), "");
    EXPECT_EQ(JoinPath("CD1", "music", "a.mp3"), "CD1\\music\\a.mp3");
    EXPECT_EQ(JoinPath("CD1\\", "\\music\\", "\\\\a.mp3"), "CD1\\music\\a.mp3");
    EXPECT_EQ(JoinPath("CD1", "", "\\\\\\a"), "CD1\\\\a");
    EXPECT_EQ(JoinPath("", "", "a"), "a");
}

TEST(CatalogPaths, ParentAndLastName) {
    EXPECT_EQ(ParentFolder("C:\\a\\b\\"), "C:\\a\\");
    EXPECT_EQ(ParentFolder("C:\\a\\b"), "C:\\a\\");
    EXPECT_EQ(ParentFolder("C:\\"), "");
    EXPECT_EQ(ParentFolder("CD1\\"), "");
    EXPECT_EQ(ParentFolder(""), "");
    EXPECT_EQ(ParentFolder("\\"), "");
    EXPECT_EQ(LastFolderName("C:\\a\\b\\"), "b");
    EXPECT_EQ(LastFolderName("C:\\a\\b"), "b");
    EXPECT_EQ(LastFolderName("C:\\"), "");
    EXPECT_EQ(LastFolderName("C:x"), "x");
    EXPECT_EQ(LastFolderName("CD1\\"), "CD1");
    EXPECT_EQ(LastFolderName(""), "");
}

TEST(CatalogPaths, DriveAndArchiveNames) {
    EXPECT_EQ(DriveOf("C:\\music"), "C:\\");
    EXPECT_EQ(DriveOf("C:"), "C:\\");
    EXPECT_EQ(DriveOf("C:music"), "C:m");
    EXPECT_EQ(DriveOf("/media/cd"), "");
    EXPECT_EQ(DriveOf(""), "");
    EXPECT_EQ(DriveOf("C:\xC3\xA9x"), "C:\xC3\xA9"); // never half a character
    EXPECT_EQ(StripArchivePath("docs/a.txt"), "a.txt");
    EXPECT_EQ(StripArchivePath("docs/"), "");
    EXPECT_EQ(StripArchivePath("a.txt"), "a.txt");
}

TEST(Extensions, LastDotOfTheNamePart) {
    EXPECT_EQ(ExtractFileExt("song.mp3"), ".mp3");
    EXPECT_EQ(ExtractFileExt("song.mp3.bak"), ".bak");
    EXPECT_EQ(ExtractFileExt("noext"), "");
    EXPECT_EQ(ExtractFileExt("dir.x/file"), "");
    EXPECT_EQ(ExtractFileExt("dir.x\\file"), "");
    EXPECT_EQ(ExtractFileExt("name."), ".");
    EXPECT_EQ(ExtractFileExt(".hidden"), ".hidden");
    EXPECT_EQ(ExtractFileExt(""), "");
    EXPECT_EQ(UpperFileExt("/a/b.Mp3"), ".MP3");
    EXPECT_EQ(NormalizeExtension("mp4"), ".MP4");
    EXPECT_EQ(NormalizeExtension(" .Mp4 "), ".MP4");
    EXPECT_EQ(NormalizeExtension("  "), "");
    EXPECT_TRUE(HasExtension("a.Zip", {".RAR", ".ZIP"}));
    EXPECT_FALSE(HasExtension("a.zipx", {".ZIP"}));
    EXPECT_FALSE(HasExtension("zip", {".ZIP"}));
    EXPECT_TRUE(IsArchiveFile("x/y.rar"));
    EXPECT_FALSE(IsArchiveFile("y.rar.txt"));
    EXPECT_TRUE(IsArchiveFile("disc.ISO"));
    EXPECT_TRUE(IsArchiveFile("b.tar.bz2"));
    EXPECT_FALSE(IsArchiveFile("notes.bz2"));
    EXPECT_EQ(UpperDoubleFileExt("a.tar.gz"), ".TAR.GZ");
    EXPECT_EQ(UpperDoubleFileExt("a.gz"), "");
    EXPECT_EQ(UpperDoubleFileExt(".tar.gz"), "");
    EXPECT_EQ(UpperDoubleFileExt("d.x/a.gz"), "");
}

#ifndef _WIN32
TEST(SourcePaths, NativeSeparators) {
    EXPECT_EQ(AddPathSeparator(""), "");
    EXPECT_EQ(AddPathSeparator("/media/cd"), "/media/cd/");
    EXPECT_EQ(AddPathSeparator("/media/cd/"), "/media/cd/");
    EXPECT_EQ(RemovePathSeparator("/media/cd//"), "/media/cd");
    EXPECT_EQ(RemovePathSeparator("/"), "/");
    EXPECT_EQ(JoinNativePath("/media/cd", "a"), "/media/cd/a");
    EXPECT_EQ(JoinNativePath("/media/cd/", "/a"), "/media/cd/a");
    EXPECT_EQ(JoinNativePath("", "a"), "a");
    EXPECT_EQ(NativeLastName("/a/b/"), "b");
    EXPECT_EQ(NativeLastName("/"), "");
    EXPECT_EQ(NativeLastName("b"), "b");
}
#endif
