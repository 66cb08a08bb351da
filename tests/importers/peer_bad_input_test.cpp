// Damaged and hostile peer catalogs: a clear error, bounded work, and the
// open catalog exactly as it was; odd but readable files are read.
#include "importers/xml_byte_filter.h"
#include "peer_test_support.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <gtest/gtest.h>

namespace {

class PeerBadInput : public PeerRefusalTest {};

std::string AllLogged(const TRecordingProgress& progress) {
    std::string all;
    for (const std::string& line : progress.Logged)
        all += line + "\n";
    return all;
}

TEST_F(PeerBadInput, DamagedContainersAreRefused) {
    const std::string gz = Gzip(kCdcatExample);
    ExpectRefused("cut.hcf", gz.substr(0, gz.size() / 2), "errPeerDamaged", "truncated");
    std::string flipped = gz;
    flipped[flipped.size() / 2] ^= 0x55;
    flipped[flipped.size() / 2 + 1] ^= 0x55;
    ExpectRefused("flipped.hcf", flipped, "errPeerDamaged");
    ExpectRefused("enc.hcf", Gzip(std::string("__ENCRYTED_HCF__") + "\x01\x02\x03"),
                  "errPeerEncrypted");
    ExpectRefused("empty.hcf", "", "errPeerUnknown");
    ExpectRefused("text.txt", "just some words\n", "errPeerUnknown");
    ExpectRefused("array.json", "[1, 2]", "errPeerUnknown");
    ExpectRefused("other.json", R"({"name": "x", "children": []})", "errPeerUnknown");
    ExpectRefused("page.html", "<html><body>media</body></html>", "errPeerUnknown");
}

TEST_F(PeerBadInput, BrokenXmlNamesLineAndColumn) {
    std::string text = kCdcatExample;
    text.replace(text.find("</directory>"), 12, "</folder>");
    ExpectRefused("broken.hcf", text, "errPeerDamaged", "line 29");
    // Cut off in the middle of a media: the volume made so far goes again.
    std::string cut = kCdcatExample;
    ExpectRefused("cut.xml", cut.substr(0, cut.find("<file name=\"readme.nfo\"")), "errPeerDamaged",
                  "no element found");
}

TEST_F(PeerBadInput, EntityBombIsRefusedBeforeAnyExpansion) {
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE catalog [\n <!ENTITY l0 \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        bomb += " <!ENTITY l" + std::to_string(i) + " \"" + [&] {
            std::string s;
            for (int k = 0; k < 10; ++k)
                s += "&l" + std::to_string(i - 1) + ";";
            return s;
        }() + "\">\n";
    bomb += "]>\n<catalog><media name=\"&l9;\"/></catalog>\n";
    ExpectRefused("bomb.hcf", bomb, "errPeerDamaged", "entities");
}

TEST_F(PeerBadInput, GzipBombStopsAtTheLimit) {
    // Valid XML all the way (spaces inside the root), so only the limit can stop it.
    std::string xml = "<?xml version=\"1.0\"?><catalog>";
    xml.append(40u << 20, ' ');
    xml += "</catalog>";
    const std::string packed = Gzip(xml, 9);
    ASSERT_LT(packed.size(), 100u * 1024);
    TPeerImportOptions o;
    o.InflateFloor = 4u << 20;
    ExpectRefused("bomb.hcf", packed, "errPeerBomb", "", o);
    // The same file under a limit it fits in is an empty, valid catalog.
    o.InflateFloor = 64u << 20;
    EXPECT_EQ(ImportText(lib, tmp, "ok.hcf", packed, o).Volumes, 0);
}

TEST_F(PeerBadInput, JsonNestingAndWrongTypesNamePosition) {
    ExpectRefused("deep.json", std::string(200000, '['), "errPeerUnknown");
    std::string deep = "{\"children\": ";
    for (int i = 0; i < 5000; ++i)
        deep += "[{\"type\": \"dir\", \"name\": \"d\", \"children\": ";
    ExpectRefused("deep.catalog", deep, "errPeerDamaged", "nested too deeply");

    struct {
        const char* from;
        const char* to;
        const char* where;
    } cases[] = {
        {"\"size\": 3638559, \"type\": \"file\"", "\"size\": \"big\", \"type\": \"file\"",
         "\"size\""},
        {"\"name\": \"waves.mp3\"", "\"name\": 12", "\"name\""},
        {"\"maccess\": 1220990400.25", "\"maccess\": [1]", "\"maccess\""},
        {"\"md5\": \"\", \"name\": \"waves.mp3\"", "\"md5\": {}, \"name\": \"waves.mp3\"",
         "\"md5\""},
        {"\"type\": \"dir\"", "\"type\": true", "\"type\""},
        {"\"size\": 3638559, \"type\": \"file\"", "\"size\": -5, \"type\": \"file\"", "\"size\""},
    };
    for (const auto& c : cases) {
        std::string text = kCatcliExample;
        text.replace(text.find(c.from), std::strlen(c.from), c.to);
        ExpectRefused("wrong.catalog", text, "errPeerDamaged", c.where);
    }
    std::string kids = kGocatcliExample;
    kids.replace(kids.find("\"children\": null"), 16, "\"children\": 5");
    ExpectRefused("kids.catalog", kids, "errPeerDamaged", "line 14");
    ExpectRefused("tags.catalog", std::string(R"({"storages": [{"name": "s", "tags": [1]}]})"),
                  "errPeerDamaged", "\"tags\"");
    ExpectRefused("syntax.catalog", std::string(kCatcliExample).substr(0, 300), "errPeerDamaged",
                  "line");
}

TEST_F(PeerBadInput, WrongFormatAskedForIsRefused) {
    TPeerImportOptions o;
    o.Format = TPeerFormat::Gocatcli;
    ExpectRefused("c.catalog", kCatcliExample, "errPeerNotFormat", "gocatcli", o);
    o.Format = TPeerFormat::CDCat;
    ExpectRefused("c.catalog", kCatcliExample, "errPeerNotFormat", "CDCat", o);
    o.Format = TPeerFormat::Catcli;
    ExpectRefused("c.hcf", kCdcatExample, "errPeerNotFormat", "catcli", o);
}

TEST_F(PeerBadInput, StopTakesBackWhatWasImported) {
    std::string xml = "<?xml version=\"1.0\"?><catalog><media name=\"big\">";
    for (int i = 0; i < 20000; ++i)
        xml += "<file name=\"f" + std::to_string(i) + "\" size=\"1.00 Kb\" time=\"\"/>";
    xml += "</media></catalog>";
    for (const std::string& data : {xml, Gzip(xml)}) {
        TRecordingProgress progress;
        progress.StopAfterPolls = 2;
        const std::string path = tmp.Write("big.hcf", data);
        EXPECT_THROW(
            {
                try {
                    ImportPeerCatalog(lib, path, {}, progress);
                } catch (const EMessageError& e) {
                    EXPECT_EQ(e.Key, "infoCancel");
                    throw;
                }
            },
            EMessageError);
        EXPECT_EQ(lib.Tree.RootCount(), 1);
        EXPECT_FALSE(lib.Modified);
        EXPECT_TRUE(TotalsAreConsistent(lib));
    }
}

TEST_F(PeerBadInput, OddButReadableCdcatText) {
    // Raw control characters, an unescaped "&" (CDCat never escapes catlnk
    // locations), a stray "&name;" and a byte that is not UTF-8.
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog>"
                      "<media name=\"Odd\x01 & Co\" type=\"CD\">"
                      "<file name=\"caf\xE9.txt\" size=\"1.00 byte\" time=\"2001-01-01 00:00:00\">"
                      "<comment>bell\x07 &nbsp; &#1; ok</comment></file>"
                      "<file name=\"bad.bin\" size=\"12\" time=\"now\"/>"
                      "</media>"
                      "<catlnk name=\"x\" location=\"/a&b.hcf\"/></catalog>";
    TRecordingProgress progress;
    TPeerImportResult r = ImportPeerCatalog(lib, tmp.Write("odd.hcf", xml), {}, progress);
    EXPECT_EQ(r.Files, 2);
    EXPECT_EQ(r.Errors, 2); // the size, the link
    TLibFolderItem* e = EntryAt(lib, "Odd  & Co\\", "caf\xEF\xBF\xBD.txt");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Comments.str(), "bell  &nbsp; &\n1; ok"); // "#" is CDCat's line break
    TLibFolderItem* bad = EntryAt(lib, "Odd  & Co\\", "bad.bin");
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->Size, 0);
    EXPECT_EQ(bad->Date, 0);
    EXPECT_TRUE(lib.Modified);
}

// CDCat writes a link's location as it is: a "<" or '"' in it must not cost
// the whole catalog. Whatever way the file is cut into reads, the same.
TEST_F(PeerBadInput, UnescapedLinkLocationsAreRecovered) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog name=\"c\">\n"
        " <catlnk name=\"Old &amp; new\" location=\"/mnt/a<b \"best\" of.hcf\" >\n"
        "  <comment>x</comment>\n </catlnk>\n"
        " <media name=\"Disc\" number=\"1\" type=\"CD\">\n"
        "  <file name=\"song &quot;a&quot;.mp3\" size=\"2.00 byte\" time=\"2001-01-01 "
        "00:00:00\"/>\n"
        " </media>\n"
        " <catlnk location=\"/x\"y\" name=\"Second\"/>\n</catalog>\n";
    TRecordingProgress progress;
    TPeerImportResult r = ImportPeerCatalog(lib, tmp.Write("links.hcf", xml), {}, progress);
    EXPECT_EQ(r.Files, 1);
    EXPECT_NE(EntryAt(lib, "Disc\\", "song \"a\".mp3"), nullptr);
    const std::string logged = AllLogged(progress);
    EXPECT_NE(logged.find("Old & new (/mnt/a<b \"best\" of.hcf)"), std::string::npos) << logged;
    EXPECT_NE(logged.find("Second (/x\"y)"), std::string::npos) << logged;

    // The filter alone, fed a byte at a time and whole, gives one text.
    std::string whole, bytewise;
    TXmlByteFilter a(true), b(true);
    a.Feed(xml, true, whole);
    for (size_t i = 0; i < xml.size(); ++i)
        b.Feed(std::string_view(xml).substr(i, 1), i + 1 == xml.size(), bytewise);
    EXPECT_EQ(bytewise, whole);
    EXPECT_NE(whole.find("location=\"/mnt/a&lt;b &quot;best&quot; of.hcf\" >"), std::string::npos)
        << whole;
}

// gocatcli declares sizes unsigned: one beyond the largest signed size is
// taken as that, with a line in the log, and the rest of the file is read.
TEST_F(PeerBadInput, GocatcliSizesBeyondTheLargestAreClamped) {
    std::string text = kGocatcliExample;
    const std::string from = "\"size\": 3638559, \"maccess\": 1220990400";
    ASSERT_NE(text.find(from), std::string::npos);
    text.replace(text.find(from), from.size(),
                 "\"size\": 18446744073709551615, \"maccess\": 1220990400");
    TRecordingProgress progress;
    TPeerImportResult r = ImportPeerCatalog(lib, tmp.Write("big.catalog", text), {}, progress);
    EXPECT_EQ(r.Files, 2);
    TLibFolderItem* mp3 = EntryAt(lib, "holiday-2008\\Crete & Rhodes\\", "waves.mp3");
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->Size, INT64_MAX);
    const std::string logged = AllLogged(progress);
    EXPECT_NE(logged.find("Size beyond the largest a catalog holds, taken as that: "
                          "holiday-2008\\Crete & Rhodes\\waves.mp3"),
              std::string::npos)
        << logged;
    // 2^63 - 1 itself is a size like any other.
    text.replace(text.find("18446744073709551615"), 20, "9223372036854775807");
    TRecordingProgress quiet;
    ImportPeerCatalog(lib, tmp.Write("max.catalog", text), {}, quiet);
    for (const std::string& line : quiet.Logged)
        EXPECT_EQ(line.find("Size beyond"), std::string::npos) << line;
}

TEST_F(PeerBadInput, EscapedBytesAreKeptAndOtherLoneSurrogatesReplaced) {
    const std::string json = R"({"children": [{"children": [
        {"maccess": 1.5, "md5": null, "name": "caf\udce9.txt", "size": null, "type": "file"},
        {"name": "caf\udcE8.txt", "size": 2, "type": "file"},
        {"name": "\udc41 low", "size": 3, "type": "file"},
        {"maccess": 2, "md5": "abc", "name": "\ud83d\ude00 \ud83d.txt", "size": 1, "type": "file"},
        {"name": "\\udce9 literal", "size": 1, "type": "file"}],
      "name": "s", "type": "storage"}], "name": "top", "type": "top"})";
    TRecordingProgress progress;
    TPeerImportResult r = ImportPeerCatalog(lib, tmp.Write("s.catalog", json), {}, progress);
    EXPECT_EQ(r.Files, 5);
    EXPECT_EQ(r.Errors, 1); // the size that was null
    // As a scan of those bytes on disk names them: two files, not one.
    EXPECT_NE(EntryAt(lib, "s\\", nametext::DiskToCaption("caf\xE9.txt")), nullptr);
    ASSERT_NE(EntryAt(lib, "s\\", nametext::DiskToCaption("caf\xE8.txt")), nullptr);
    EXPECT_EQ(EntryRef(lib, "s\\", nametext::DiskToCaption("caf\xE8.txt")).Size, 2);
    EXPECT_NE(EntryAt(lib, "s\\", "\xEF\xBF\xBD low"), nullptr); // no byte of its own
    EXPECT_NE(EntryAt(lib, "s\\", "\xF0\x9F\x98\x80 \xEF\xBF\xBD.txt"), nullptr);
    EXPECT_NE(EntryAt(lib, "s\\", "\\udce9 literal"), nullptr);
    EXPECT_EQ(EntryRef(lib, "s\\", "\xF0\x9F\x98\x80 \xEF\xBF\xBD.txt").TagInfo.Value("MD5"),
              "abc");
}

} // namespace

namespace {

// A NUL inside a name would cut it short in the catalog file (and XML cannot
// hold one at all): the entry is refused and named, its neighbours stay.
TEST(PeerNames, ANameWithANulIsRefusedNotBlankedOrCut) {
    using namespace std::string_literals;
    TTempFolder tmp;
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog name=\"c\"><media name=\"m\" "
        "number=\"1\" type=\"DVD\" time=\"2019-03-02 18:39:50\">"
        "<file name=\"a\0b.txt\" size=\"3.00 Kb\" time=\"2008-09-10 08:12:00\"></file>"
        "<directory name=\"d\0ir\" time=\"2008-09-10 08:12:00\"><file name=\"in.txt\" "
        "size=\"1.00 Kb\" time=\"2008-09-10 08:12:00\"></file></directory>"
        "<file name=\"c.txt\" size=\"1.00 Kb\" time=\"2008-09-10 08:12:00\"></file>"
        "</media></catalog>\n"s;
    const std::string json =
        R"({"type":"top","name":"top","children":[{"type":"storage","name":"m","size":10,)"
        R"("children":[{"type":"file","name":"a\u0000b.txt","size":123,"maccess":1600000000},)"
        R"({"type":"file","name":"c.txt","size":5,"maccess":1600000000}]}]})";
    for (const auto& [name, data, errors] :
         {std::tuple{"nul.hcf", xml, 2}, std::tuple{"nul.json", json, 1}}) {
        SCOPED_TRACE(name);
        TLibObj lib;
        TPeerImportResult r = ImportText(lib, tmp, name, data);
        EXPECT_EQ(r.Errors, errors);
        EXPECT_EQ(r.Files, 1);
        const TLibFolder* m = FolderAt(lib, "m\\");
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(m->Items().size(), 1u);
        EXPECT_EQ(m->Items()[0]->Caption.str(), "c.txt");
    }
}

} // namespace
