#include "text/name_text.h"

#include <gtest/gtest.h>

using namespace nametext;

namespace {

// Every byte string must come back unchanged, and its caption must be valid UTF-8.
void ExpectRoundTrip(const std::string& bytes) {
    std::string caption = DiskToCaption(bytes);
    EXPECT_TRUE(IsValidUtf8(caption)) << caption;
    EXPECT_EQ(CaptionToDisk(caption), bytes);
}

} // namespace

TEST(NameText, CaptionsOfDiskNames) {
    EXPECT_EQ(DiskToCaption("café"), "café");
    EXPECT_EQ(DiskToCaption("back\\slash"), "back\\slash");
    // Latin-1 é is a stand-in, never the same caption as the UTF-8 name.
    EXPECT_EQ(DiskToCaption("caf\xE9"), "caf\xEF\x9F\xA9");
    EXPECT_NE(DiskToCaption("caf\xE9"), DiskToCaption("café"));
    // A real character of the stand-in range is kept apart from the byte it looks like.
    EXPECT_EQ(DiskToCaption("\xEF\x9F\xA9"), "\xEF\x9F\xAF\xEF\x9E\x9F\xEF\x9E\xA9");
    // A sequence cut short, an over-long form, a surrogate.
    EXPECT_EQ(ShownCaption(DiskToCaption("a\xE2\x82")), "a\\xe2\\x82");
    EXPECT_EQ(ShownCaption(DiskToCaption("\xC0\xAF")), "\\xc0\\xaf");
    EXPECT_EQ(ShownCaption(DiskToCaption("\xED\xA0\x80z")), "\\xed\\xa0\\x80z");
    // Whole paths map part by part.
    EXPECT_EQ(DiskToCaption("/mnt/caf\xE9/x"), "/mnt/" + DiskToCaption("caf\xE9") + "/x");
}

TEST(NameText, EveryByteStringRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        ExpectRoundTrip(std::string(1, static_cast<char>(b)));
        ExpectRoundTrip("x" + std::string(1, static_cast<char>(b)) + "\xC3");
    }
    ExpectRoundTrip("\xEF\x9C\x80\xEF\x9F\xBF\xEF\x9D\x9C mixed \xFF\xFE ok é");
    ExpectRoundTrip("\xF0\x9F\x8E\xB5 song.mp3");
}

// ASCII runs of every length around each kind of byte: the caption is the
// same piece by piece, as one piece's caption never depends on its neighbours'
// when they are ASCII.
TEST(NameText, AsciiRunsAroundOtherBytes) {
    const std::string others[] = {"\xE9",     "\xC3\xA9",         "\xEF\x9F\xA9",
                                  "\xE2\x82", "\xF0\x9F\x8E\xB5", "\xFF"};
    for (size_t before = 0; before < 19; ++before)
        for (size_t after = 0; after < 19; after += 3)
            for (const std::string& other : others) {
                const std::string a(before, 'a'), z(after, 'z');
                EXPECT_EQ(DiskToCaption(a + other + z), a + DiskToCaption(other) + z)
                    << before << ' ' << after;
                ExpectRoundTrip(a + other + z + other);
            }
    EXPECT_EQ(DiskToCaption(std::string(100, '\x7F')), std::string(100, '\x7F'));
    EXPECT_EQ(DiskToCaption(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(NameText, CatalogPathsKeepBackslashNames) {
    EXPECT_EQ(CaptionToPathPart("plain"), "plain");
    std::string part = CaptionToPathPart("back\\slash");
    EXPECT_EQ(part.find('\\'), std::string::npos);
    EXPECT_EQ(PathPartToCaption(part), "back\\slash");
    std::string path = "CD1\\" + part + "\\" + CaptionToPathPart("\\lead") + "\\";
    EXPECT_EQ(SplitCatalogPath(path), (std::vector<std::string>{"CD1", "back\\slash", "\\lead"}));
    EXPECT_EQ(SplitCatalogPath("CD1\\a"), (std::vector<std::string>{"CD1", "a"}));
    EXPECT_TRUE(SplitCatalogPath("").empty());
    // A stand-in caption passes through paths untouched.
    std::string odd = DiskToCaption("caf\xE9");
    EXPECT_EQ(SplitCatalogPath("V\\" + CaptionToPathPart(odd) + "\\"),
              (std::vector<std::string>{"V", odd}));
}
