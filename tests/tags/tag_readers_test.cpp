// ID3v1, ID3v2 and APE tags, built byte by byte.
#include "tag_test_util.h"
#include "tags/ape_tag.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <gtest/gtest.h>

namespace {

Bytes Id3v1Block(const Bytes& title, unsigned char b125, unsigned char b126, unsigned char genre,
                 const Bytes& comment = "Comment") {
    Bytes t = "TAG" + Pad(title, 30) + Pad("Artist  ", 30) + Pad("Album", 30) + "1999" +
              Pad(comment, 30) + Bytes(1, '\0');
    t[125] = static_cast<char>(b125);
    t[126] = static_cast<char>(b126);
    t[127] = static_cast<char>(genre);
    return t;
}

// A version 2.3/2.4 frame.
Bytes Frame(const Bytes& id, const Bytes& data, int version = 3, unsigned char flags2 = 0) {
    Bytes size = version == 4 ? SyncSafe(static_cast<uint32_t>(data.size()))
                              : Be32b(static_cast<uint32_t>(data.size()));
    return id + size + Bytes(1, '\0') + Bytes(1, static_cast<char>(flags2)) + data;
}

Bytes Tag(const Bytes& frames, int version = 3, unsigned char flags = 0, size_t padding = 32) {
    Bytes body = frames + Zeros(padding);
    return Bytes("ID3") + static_cast<char>(version) + Bytes(1, '\0') + static_cast<char>(flags) +
           SyncSafe(static_cast<uint32_t>(body.size())) + body;
}

TID3v2 ReadV2(const Bytes& content) {
    return ReadContent<TID3v2>(content + Zeros(200));
}

} // namespace

TEST(ID3v1, ShortFilesAndMissingTag) {
    TID3v1 t;
    TTempFile small(Zeros(127));
    EXPECT_FALSE(t.ReadFromFile(small.Path()));
    TTempFile none(Zeros(128));
    EXPECT_TRUE(t.ReadFromFile(none.Path()));
    EXPECT_FALSE(t.Exists);
    EXPECT_EQ(t.GenreID, 255);
    EXPECT_FALSE(t.ReadFromFile("/nonexistent/file.mp3"));
}

TEST(ID3v1, VersionsTrackCommentAndGenre) {
    TID3v1 t;
    TTempFile v11(Zeros(50) + Id3v1Block("Title", 0, 7, 147));
    ASSERT_TRUE(t.ReadFromFile(v11.Path()));
    EXPECT_TRUE(t.Exists);
    EXPECT_EQ(t.VersionID, 2);
    EXPECT_EQ(t.Track, 7);
    EXPECT_EQ(t.Artist, "Artist");
    EXPECT_EQ(t.Year, "1999");
    EXPECT_EQ(t.GenreName(), "Synthpop");

    TTempFile v10(Id3v1Block("Title", 0, 0, 148, Bytes(30, 'c')));
    ASSERT_TRUE(t.ReadFromFile(v10.Path()));
    EXPECT_EQ(t.VersionID, 1);
    EXPECT_EQ(t.Track, 0);
    EXPECT_EQ(t.Comment, Bytes(28, 'c')); // bytes 125 and 126 are zero: trimmed
    EXPECT_EQ(t.GenreName(), "");

    TTempFile space(Id3v1Block("Title", ' ', '5', 0));
    ASSERT_TRUE(t.ReadFromFile(space.Path()));
    EXPECT_EQ(t.VersionID, 2);
    EXPECT_EQ(t.Track, 53);
    EXPECT_EQ(t.GenreName(), "Blues");
}

TEST(ID3v1, TextIsTrimmedAndLatin1BecomesUtf8) {
    TID3v1 t;
    TTempFile f(Id3v1Block(B("A\0B\0\0 "), 0, 0, 0));
    ASSERT_TRUE(t.ReadFromFile(f.Path()));
    EXPECT_EQ(t.Title, B("A\0B")); // inner zero byte stays
    TTempFile l1(Id3v1Block("Caf\xE9   ", 0, 0, 0));
    ASSERT_TRUE(t.ReadFromFile(l1.Path()));
    EXPECT_EQ(t.Title, "Café");
}

TEST(ID3v2, HeaderSizesAndVersions) {
    TID3v2 t;
    TTempFile nine(Zeros(9));
    EXPECT_FALSE(t.ReadFromFile(nine.Path()));

    TID3v2 v5 = ReadV2(Tag(Frame("TIT2", B("\0Hello")), 5));
    EXPECT_TRUE(v5.Exists);
    EXPECT_EQ(v5.VersionID, 5);
    EXPECT_GT(v5.Size, 0);
    EXPECT_EQ(v5.Title, "");

    // A tag larger than the file: no size, no frames.
    Bytes big = B("ID3\3\0\0") + SyncSafe(100000) + Frame("TIT2", B("\0Hello"));
    TTempFile bigFile(big);
    ASSERT_TRUE(t.ReadFromFile(bigFile.Path()));
    EXPECT_EQ(t.Size, 0);
    EXPECT_EQ(t.Title, "");

    Bytes plain = Tag(Frame("TIT2", B("\0Hello")), 4);
    EXPECT_EQ(ReadV2(plain).Size, static_cast<int64_t>(plain.size()));
    Bytes footer = Tag(Frame("TIT2", B("\0Hello")), 4, 0x10);
    TID3v2 withFooter = ReadV2(footer + "3DI" + Zeros(7));
    EXPECT_EQ(withFooter.Size, static_cast<int64_t>(footer.size()) + 10);
    EXPECT_EQ(withFooter.Title, "Hello");
}

TEST(ID3v2, AllFourEncodingsDecodeToUtf8) {
    // Latin-1, UTF-16 with mark, UTF-16BE, UTF-8; a character beyond U+FFFF in the last three.
    TID3v2 t = ReadV2(Tag(Frame("TIT2", B("\0Caf\xE9"), 4) +
                              Frame("TPE1", B("\1\xFF\xFE\x3C\xD8\xB5\xDF\xFF\x01"), 4) +
                              Frame("TALB", B("\2\xD8\x3C\xDF\xB5\x00\x41"), 4) +
                              Frame("TCON", B("\3\xF0\x9F\x8E\xB5 Rock"), 4),
                          4));
    EXPECT_EQ(t.Title, "Café");
    EXPECT_EQ(t.Artist, "\xF0\x9F\x8E\xB5ǿ");
    EXPECT_EQ(t.Album, "\xF0\x9F\x8E\xB5"
                       "A");
    EXPECT_EQ(t.Genre, "\xF0\x9F\x8E\xB5 Rock");
    // A big-endian mark in an encoding-1 frame.
    TID3v2 be = ReadV2(Tag(Frame("TIT2", B("\1\xFE\xFF\x00H\x00i"))));
    EXPECT_EQ(be.Title, "Hi");
    // Several values of a 2.4 frame are joined.
    TID3v2 multi = ReadV2(Tag(Frame("TPE1", B("\3A\0B\0"), 4), 4));
    EXPECT_EQ(multi.Artist, "A/B");
}

TEST(ID3v2, FallbackKindsTrackYearGenreComment) {
    TID3v2 t = ReadV2(Tag(Frame("TOPE", B("\0X")) + Frame("TRCK", B("\0 3/12")) +
                          Frame("TDRC", B("\0"
                                          "2004-05-06")) +
                          Frame("TCON", B("\0(17)Rock")) + Frame("COMM", B("\0engNote\0Good")) +
                          Frame("WXXX", B("\1\xFF\xFE"
                                          "d\0\0\0http://x"))));
    EXPECT_EQ(t.Artist, "X");
    EXPECT_EQ(t.Track, 3);
    EXPECT_EQ(t.TrackString, "3/12");
    EXPECT_EQ(t.Year, "2004");
    EXPECT_EQ(t.Genre, "Rock");
    EXPECT_EQ(t.Comment, "Good");
    EXPECT_EQ(t.Link, "http://x"); // the URL is Latin-1 whatever the description's encoding
    EXPECT_EQ(ReadV2(Tag(Frame("TRCK", B("\0abc")))).Track, 0);
    // A genre given only by its code keeps a name.
    EXPECT_EQ(ReadV2(Tag(Frame("TCON", B("\0(17)")))).Genre, "Rock");
    EXPECT_EQ(ReadV2(Tag(Frame("TCON",
                               B("\3"
                                 "13"),
                               4),
                         4))
                  .Genre,
              "Pop");
    // UTF-16 comment: the description ends at an aligned pair of zero bytes.
    TID3v2 c16 = ReadV2(Tag(Frame("COMM", B("\1eng\xFF\xFE\x00\x01\0\0\xFF\xFEO\0K\0"))));
    EXPECT_EQ(c16.Comment, "OK");
}

TEST(ID3v2, FrameWalkSizesAndSkips) {
    // A 2.4 frame of 200 bytes (size stored as 00 00 01 48) is read whole, and the walk goes on.
    Bytes long24 = Frame("TCOM", Bytes(1, '\0') + Bytes(199, 'c'), 4);
    ASSERT_EQ(long24.substr(4, 4), B("\0\0\x01\x48"));
    TID3v2 t = ReadV2(Tag(long24 + Frame("TIT2", B("\0T"), 4), 4));
    EXPECT_EQ(t.Composer, Bytes(199, 'c'));
    EXPECT_EQ(t.Title, "T");
    // A 2,000-byte frame before the title: its first 500 bytes, then the title.
    TID3v2 big = ReadV2(Tag(Frame("APIC", Zeros(2000)) + Frame("TIT2", B("\0T"))));
    EXPECT_EQ(big.Title, "T");
    // Compressed frames are not text.
    EXPECT_EQ(ReadV2(Tag(Frame("TIT2", B("\0T"), 3, 0x80))).Title, "");
    // A 2.4 frame with a data-length indicator.
    EXPECT_EQ(ReadV2(Tag(Frame("TIT2", B("\0\0\0\x02\0T"), 4, 0x01), 4)).Title, "T");
}

TEST(ID3v2, ExtendedHeaderIsSkipped) {
    Bytes ext23 = Be32b(6) + Zeros(6);
    EXPECT_EQ(ReadV2(Tag(ext23 + Frame("TIT2", B("\0T3")), 3, 0x40)).Title, "T3");
    Bytes ext24 = SyncSafe(6) + B("\1\0");
    EXPECT_EQ(ReadV2(Tag(ext24 + Frame("TIT2", B("\0T4"), 4), 4, 0x40)).Title, "T4");
}

namespace {

// Unsynchronisation as taggers write it: a zero byte after every FF.
Bytes Unsync(const Bytes& b) {
    Bytes out;
    for (char c : b) {
        out += c;
        if (static_cast<unsigned char>(c) == 0xFF) out += '\0';
    }
    return out;
}

} // namespace

TEST(ID3v2, UnsynchronisationIsUndone) {
    // UTF-16 text starts with FF FE, so an unsynchronised tag holds FF 00 FE.
    const Bytes artist = B("\1\xFF\xFE\xC4\0r\0");
    const Bytes frames23 = Frame("TPE1", artist) + Frame("TIT2", B("\1\xFF\xFEY\0\xFF\0"));
    // Version 2.3, whole tag: frame sizes count the bytes after resynchronisation.
    Bytes body = Unsync(frames23) + Zeros(16);
    Bytes tag23 = B("ID3\3\0\x80") + SyncSafe(static_cast<uint32_t>(body.size())) + body;
    TID3v2 t = ReadV2(tag23);
    EXPECT_EQ(t.Artist, "Är");
    EXPECT_EQ(t.Title, "Y\xC3\xBF"); // U+00FF, stored as FF 00 00 after unsynchronisation
    // Version 2.4, tag flag: each frame's stored bytes are unsynchronised, sizes count them.
    auto frame24 = [](const Bytes& id, const Bytes& data, unsigned char flags2) {
        Bytes u = Unsync(data);
        return id + SyncSafe(static_cast<uint32_t>(u.size())) + Bytes(1, '\0') +
               Bytes(1, static_cast<char>(flags2)) + u;
    };
    Bytes f24 = frame24("TPE1", artist, 0) + frame24("TIT2", B("\1\xFF\xFEZ\0"), 0);
    EXPECT_EQ(ReadV2(Tag(f24, 4, 0x80)).Artist, "Är");
    EXPECT_EQ(ReadV2(Tag(f24, 4, 0x80)).Title, "Z");
    // Version 2.4, frame flag only.
    TID3v2 f = ReadV2(Tag(frame24("TPE1", artist, 0x02) + frame24("TALB", B("\0A"), 0), 4));
    EXPECT_EQ(f.Artist, "Är");
    EXPECT_EQ(f.Album, "A");
    // Without the flag the bytes are taken as stored.
    EXPECT_EQ(ReadV2(Tag(Frame("TALB", B("\0A\xFF\0B")))).Album, Bytes("A\xC3\xBF/B"));
}

TEST(ID3v2, ReleaseDateGivesTheYearWhenNoRecordingDate) {
    EXPECT_EQ(ReadV2(Tag(Frame("TDRL",
                               B("\3"
                                 "2019-03-01"),
                               4),
                         4))
                  .Year,
              "2019");
    EXPECT_EQ(ReadV2(Tag(Frame("TDRL",
                               B("\0"
                                 "2019"),
                               4) +
                             Frame("TDRC",
                                   B("\0"
                                     "2001"),
                                   4),
                         4))
                  .Year,
              "2001");
}

TEST(ID3v2, Version22Frames) {
    auto f22 = [](const Bytes& id, const Bytes& data) {
        return id + Bytes(1, '\0') + Be16b(static_cast<uint32_t>(data.size())) + data;
    };
    TID3v2 t = ReadV2(Tag(
        f22("TT2", B("\0Old")) + f22("TP1", B("\1\xFF\xFEZ\0")) + f22("COM", B("\0eng\0C")), 2));
    EXPECT_EQ(t.Title, "Old");
    EXPECT_EQ(t.Artist, "Z");
    EXPECT_EQ(t.Comment, "C");
}

namespace {

Bytes ApeItem(const Bytes& key, const Bytes& value) {
    return Le32b(static_cast<uint32_t>(value.size())) + Le32b(0) + key + Bytes(1, '\0') + value;
}

Bytes ApeTag(const Bytes& items, uint32_t count, uint32_t version = 2000, int sizeDelta = 0) {
    uint32_t size = static_cast<uint32_t>(items.size()) + 32 + sizeDelta;
    return items + "APETAGEX" + Le32b(version) + Le32b(size) + Le32b(count) + Le32b(0) + Zeros(8);
}

TAPEtag ReadApe(const Bytes& content) {
    return ReadContent<TAPEtag>(content);
}

} // namespace

TEST(APEtag, FooterPlacement) {
    TAPEtag t;
    TTempFile small(Zeros(100));
    EXPECT_FALSE(t.ReadFromFile(small.Path()));
    Bytes tag = ApeTag(ApeItem("TITLE", "T"), 1);
    EXPECT_EQ(ReadApe(Zeros(200) + tag).Title, "T");
    EXPECT_EQ(ReadApe(Zeros(200) + tag + Id3v1Block("x", 0, 0, 0)).Title, "T");
    EXPECT_FALSE(ReadApe(Zeros(200) + tag + Zeros(128)).Exists);
}

TEST(APEtag, ItemsKeysAndValues) {
    Bytes items = ApeItem("TITLE", "A") + ApeItem("Subtitle", "S") + ApeItem("Title", "B") +
                  ApeItem("Track", "7/10") + ApeItem("Artist", "\xC3\xA9") +
                  ApeItem("Comment", Bytes(300, 'x')) + ApeItem("Album", "after");
    TAPEtag t = ReadApe(Zeros(200) + ApeTag(items, 7));
    EXPECT_EQ(t.Title, "B");
    EXPECT_EQ(t.Track, 7);
    EXPECT_EQ(t.Artist, "é");
    EXPECT_EQ(t.Comment, Bytes(250, 'x'));
    EXPECT_EQ(t.Album, "after");
    EXPECT_EQ(ReadApe(Zeros(200) + ApeTag(ApeItem("Track", "300"), 1)).Track, 300);
    EXPECT_EQ(ReadApe(Zeros(200) + ApeTag(ApeItem("Track", "x"), 1)).Track, 0);
    // Bad UTF-8 no longer wipes the value.
    EXPECT_EQ(ReadApe(Zeros(200) + ApeTag(ApeItem("Artist", "\xC3"
                                                            "A"),
                                          1))
                  .Artist,
              "\xEF\xBF\xBD"
              "A");
    // Version 1 text is 8-bit.
    EXPECT_EQ(ReadApe(Zeros(200) + ApeTag(ApeItem("Artist", "\x80"), 1, 1000)).Artist, "€");
}

TEST(APEtag, LyingCountsAndSizes) {
    // Says 5 items, holds 3.
    Bytes three = ApeItem("Title", "1") + ApeItem("Artist", "2") + ApeItem("Album", "3");
    TAPEtag t = ReadApe(Zeros(200) + ApeTag(three, 5));
    EXPECT_EQ(t.Album, "3");
    // A value size beyond the tag ends the item list; a tag size beyond the file gives no items.
    Bytes lying = Le32b(0x7FFFFFFF) + Le32b(0) + "Title" + Bytes(1, '\0') + "x";
    EXPECT_EQ(ReadApe(Zeros(200) + ApeTag(lying, 1)).Title, "");
    TAPEtag huge = ReadApe(Zeros(200) + ApeTag(ApeItem("Title", "x"), 1, 2000, 100000));
    EXPECT_TRUE(huge.Exists);
    EXPECT_EQ(huge.Title, "");
}
