// gocatcli's TOML catalogs: read as the JSON form is, refused clearly when
// damaged, deep or too large for a parser that takes the text whole.
#include "importers/toml_text.h"
#include "peer_test_support.h"
#include "support/catalog_builder.h"
#include "support/recording_progress.h"
#include "text/date_time.h"
#include "text/message_error.h"

#include <gtest/gtest.h>

namespace {

// Every folder and entry below the volumes, with what the import sets.
std::string Describe(const TLibObj& lib) {
    std::string out;
    std::vector<std::pair<const TTreeNode*, std::string>> todo;
    for (int i = lib.Tree.RootCount() - 1; i >= 0; --i)
        todo.emplace_back(lib.Tree.Root(i), "");
    while (!todo.empty()) {
        auto [node, indent] = todo.back();
        todo.pop_back();
        const TLibFolder* f = FolderOf(node);
        out += indent + "[" + f->Caption + "] " + std::to_string(f->Date) + " " + f->Category +
               " " + f->Comments + " " + f->SourcePath + "\n";
        for (const auto& e : f->Items())
            out += indent + "  " + e->Caption.str() + " " + std::to_string(e->Size) + " " +
                   std::to_string(e->Date) + " " + e->TagInfo.Text() + "\n";
        for (int i = node->Count() - 1; i >= 0; --i)
            todo.emplace_back(node->Child(i), indent + "  ");
    }
    return out;
}

TEST(PeerToml, ExampleReadsAsItsJsonForm) {
    TTempFolder tmp;
    TLibObj json, toml;
    ImportText(json, tmp, "gocatcli.catalog", kGocatcliExample);
    TRecordingProgress progress;
    // Recognised by content, whatever the name says.
    TPeerImportResult r =
        ImportPeerCatalog(toml, tmp.Write("saved.json", kGocatcliTomlExample), {}, progress);
    EXPECT_EQ(r.Format, TPeerFormat::Gocatcli);
    EXPECT_EQ(r.Errors, 0);
    EXPECT_EQ(r.Files, 2);
    EXPECT_TRUE(progress.Logged.empty());
    EXPECT_EQ(Describe(toml), Describe(json));

    // The JSON form's test checks each value; here, that the two agree and are there.
    EXPECT_EQ(EntryRef(toml, "holiday-2008\\Crete & Rhodes\\", "waves.mp3").Size, 3638559);
    EXPECT_TRUE(TotalsAreConsistent(toml));
}

TEST(PeerToml, OtherLayoutsAndAbsentValues) {
    TTempFolder tmp;
    TLibObj lib;
    // Tables before the plain keys, inline tables, a float date, no tags,
    // empty children and a node without a size.
    const char* text = R"(# written by hand
[[storages]]
name = "Ünïcode"
type = "storage"
children = [
  { name = "empty", filetype = "dir", maccess = 1600000000.5, children = [] },
  { name = "nosize.txt", filetype = "file", maccess = 1600000001 },
]

[[storages]]
name = "second"
type = "storage"

[[storages.children]]
name = "a.txt"
filetype = "file"
size = 7
extra = "color:red,rating:5"

[[storages]]
name = "Ünïcode"
type = "storage"
)";
    TPeerImportResult r = ImportText(lib, tmp, "x.toml", text);
    EXPECT_EQ(r.Volumes, 3);
    EXPECT_EQ(r.Folders, 1);
    EXPECT_EQ(r.Files, 2);
    EXPECT_EQ(r.Errors, 1); // the missing size, logged
    EXPECT_EQ(FolderOf(lib.Tree.Root(2))->Caption, "Ünïcode#2");
    EXPECT_EQ(FolderRef(lib, "Ünïcode\\empty\\").Date, UnixToDateTime(1600000000, 500000000));
    EXPECT_EQ(EntryRef(lib, "Ünïcode\\", "nosize.txt").Size, 0);
    TLibFolderItem* a = EntryAt(lib, "second\\", "a.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Size, 7);
    EXPECT_EQ(a->TagInfo.Value("color"), "red");
    EXPECT_EQ(a->TagInfo.Value("rating"), "5");
    EXPECT_TRUE(TotalsAreConsistent(lib));

    // gzip-packed TOML is unpacked like any other catalog.
    TLibObj packed;
    EXPECT_EQ(ImportText(packed, tmp, "p.toml.gz", Gzip(kGocatcliTomlExample)).Files, 2);
}

class PeerTomlBad : public PeerRefusalTest {};

TEST_F(PeerTomlBad, DamagedTextAndWrongTypesNamePosition) {
    std::string text = kGocatcliTomlExample;
    text.replace(text.find("id = 2745101466"), 15, "id = 27451 01466");
    ExpectRefused("syntax.toml", text, "errPeerDamaged", "line 8, column");

    struct {
        const char* from;
        const char* to;
        const char* where;
    } cases[] = {
        {"size = 20480", "size = \"big\"", "line 68, column 8: \"size\" has a value of the wrong"},
        {"name = \"waves.mp3\"", "name = 12", "\"name\""},
        {"maccess = 1220990400", "maccess = 2008-09-10T08:12:00Z", "\"maccess\""},
        {"tags = [\"photos\", \"dvd\"]", "tags = [1, 2]", "\"tags\""},
        {"filetype = \"dir\"", "filetype = true", "\"filetype\""},
        {"size = 12800", "size = -1", "\"size\""},
        {"filetype = \"archived\"", "filetype = \"archived\"\nchildren = 4", "\"children\""},
    };
    for (const auto& c : cases) {
        text = kGocatcliTomlExample;
        text.replace(text.find(c.from), std::strlen(c.from), c.to);
        ExpectRefused("wrong.toml", text, "errPeerDamaged", c.where);
    }
    ExpectRefused("utf8.toml", "note = \"\xC3\x28\"\n[[storages]]\nname = \"s\"\n",
                  "errPeerDamaged", "line 1");
    // The parser's own debug checks once stopped the program here.
    ExpectRefused("brackets.toml", "note = 5\n[[[", "errPeerDamaged", "line 2, column 3");
    ExpectRefused("cut.toml", std::string(kGocatcliTomlExample).substr(0, 400), "errPeerDamaged",
                  "line");
    TPeerImportOptions catcli;
    catcli.Format = TPeerFormat::Catcli;
    ExpectRefused("g.toml", kGocatcliTomlExample, "errPeerNotFormat", "catcli", catcli);
    ExpectRefused("other.toml", "[server]\nport = 80\n", "errPeerUnknown");
    ExpectRefused("other2.toml", "title = \"x\"\n[owner]\nname = \"y\"\n", "errPeerUnknown");
}

// The parser is given ASCII only: characters past it are escapes in every
// kind of string, and each value comes back as written.
TEST(PeerToml, CharactersPastAsciiReadBackInEveryKindOfString) {
    TTempFolder tmp;
    TLibObj lib;
    const char* text =
        "\xEF\xBB\xBF# Gr\xC3\xB6\xC3\x9F"
        "e \xE2\x98\x83\n"
        "[[storages]]\nname = \"Gr\xC3\xBC\xC3\x9F"
        "e \xF0\x9F\x98\x80\"\n"
        "type = \"storage\"\nchildren = [\n"
        "  { name = 'lit\\ \"\xC3\xA9\"', filetype = \"file\", size = 1 },\n"
        "  { name = \"\"\"multi \\\n     \xC3\xA9\"\"\", filetype = \"file\", size = 2 },\n"
        "  { name = '''ml 'q' \xC3\xBC'''', filetype = \"file\", size = 3 },\n"
        "  { 'k\xC3\xA9y' = 1, name = \"\xD0\x96\", filetype = \"file\", size = 4 },\n"
        "]\n";
    TPeerImportResult r = ImportText(lib, tmp, "u.toml", text);
    EXPECT_EQ(r.Files, 4);
    const TLibFolder* v = FolderAt(lib, "Gr\xC3\xBC\xC3\x9F"
                                        "e \xF0\x9F\x98\x80\\");
    ASSERT_NE(v, nullptr);
    for (const char* name :
         {"lit\\ \"\xC3\xA9\"", "multi \xC3\xA9", "ml 'q' \xC3\xBC'", "\xD0\x96"})
        EXPECT_NE(v->FindItem(name), nullptr) << name;

    const tomltext::TAsciiText a = tomltext::ToAscii("k = 'a\\b\"\xC3\xA9'\n# \xC3\xA9\n");
    ASSERT_TRUE(a.Ok);
    EXPECT_EQ(a.Text, "k = \"a\\\\b\\\"\\u00E9\"\n# ?\n");
    EXPECT_EQ(a.OriginalColumn(1, 18), 11u); // the closing quote
}

// Past ASCII where the parser only looks for spaces, the parser's Unicode
// tables reached code the compiler assumed unreachable: refused before it.
TEST_F(PeerTomlBad, CharactersPastAsciiOutsideStringsAndWrongPositions) {
    ExpectRefused("key.toml", "[[storages]]\nname \xC3\xA9= 1\n", "errPeerDamaged",
                  "line 2, column 6: a character outside a string");
    ExpectRefused("number.toml", "[[storages]]\nsize = 1\xD0\x96\n", "errPeerDamaged",
                  "line 2, column 9: a character outside a string");
    ExpectRefused("escape.toml", "[[storages]]\nname = \"\"\"\\\xC3\xA9\"\"\"\n", "errPeerDamaged",
                  "line 2, column 12: no escape starts so");
    for (const char* bad : {"\xE2\x98", "\xED\xA0\x80", "\xC0\xAF", "\xF4\x90\x80\x80"})
        ExpectRefused("bad.toml", "[[storages]]\nname = \"" + std::string(bad) + "\"\n",
                      "errPeerDamaged", "line 2, column 9: the text is not UTF-8");
    // Positions name the column of the line as written, escapes or not.
    std::string text = kGocatcliTomlExample;
    text += "\n[[storages]]\nname = 'x'\ntype = \"storage\"\n"
            "children = [ { name = \"\xC3\xA9\xC3\xA9\xC3\xA9\", filetype = \"file\", size = "
            "\"big\" } ]\n";
    ExpectRefused("wrong.toml", text, "errPeerDamaged", "column 56: \"size\" has a value");
}

TEST_F(PeerTomlBad, DeepNestingAndSizeAreBounded) {
    std::string dotted = "tool = \"x\"\nstorages";
    for (int i = 0; i < 200000; ++i)
        dotted += ".a";
    ExpectRefused("dotted.toml", dotted + " = 1\n", "errPeerDamaged", "nested too deeply");
    std::string header = "[[storages";
    for (int i = 0; i < 2000; ++i)
        header += ".children";
    ExpectRefused("header.toml", header + "]]\nname = \"x\"\n", "errPeerDamaged",
                  "nested too deeply");
    const std::string arrays =
        "tool = \"x\"\nstorages = " + std::string(300, '[') + std::string(300, ']') + "\n";
    ExpectRefused("arrays.toml", arrays, "errPeerDamaged", "nested");

    // The parser takes the text whole: over 64 MB is refused before parsing,
    // with what to do instead.
    std::string big = "tool = \"x\"\n";
    big.append(65u << 20, '#');
    TPeerImportOptions o;
    o.InflateFloor = 1u << 30;
    ExpectRefused("big.toml.gz", Gzip(big, 1), "errPeerTomlSize", "big.toml.gz", o);
}

TEST(PeerToml, NestingDepthSkipsStringsAndComments) {
    using tomltext::NestingDepth;
    EXPECT_EQ(NestingDepth("a = 1\n", 100), 0u);
    EXPECT_EQ(NestingDepth("[[storages.children.children]]\n", 100), 5u);
    EXPECT_EQ(NestingDepth("a.b.c = { d.e = [ [ 1 ] ] }\n", 100), 6u);
    EXPECT_EQ(NestingDepth("name = \"a.b.c.d[[[{\"\nx = 'e.f.g[['\n", 100), 0u);
    EXPECT_EQ(NestingDepth("x = '''\n[a.b.c.d]\n''''\n[e.f]\n", 100), 3u);
    EXPECT_EQ(NestingDepth("x = \"\"\"q\\\"\"\"\"\"\n[a.b]\n", 100), 3u);
    EXPECT_EQ(NestingDepth("# [a.b.c.d]\n", 100), 0u);
    EXPECT_EQ(NestingDepth("v = [1.5, 2.5, 3.5]\n", 100), 3u);
    EXPECT_EQ(NestingDepth(std::string(5000, '['), 100), 101u); // stops past the limit
}

TEST(PeerToml, HeadDetection) {
    using tomltext::LooksLikeCatalog;
    EXPECT_TRUE(LooksLikeCatalog(kGocatcliTomlExample));
    EXPECT_TRUE(LooksLikeCatalog("\xEF\xBB\xBF# c\n\n  [[storages]]\nname = \"s\"\n"));
    EXPECT_TRUE(LooksLikeCatalog("storages = []\n"));
    EXPECT_FALSE(LooksLikeCatalog("{\"storages\": []}"));
    EXPECT_FALSE(LooksLikeCatalog("<?xml version=\"1.0\"?>"));
    EXPECT_FALSE(LooksLikeCatalog("[server]\nport = 80\n"));
    EXPECT_FALSE(LooksLikeCatalog("port = 80\n"));
    EXPECT_FALSE(LooksLikeCatalog(""));
}

} // namespace
