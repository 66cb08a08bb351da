#include "text/encodings.h"

#include <gtest/gtest.h>

TEST(TagText, Utf16KeepsEverythingAndHonoursByteOrder) {
    // "é" and U+1F3B5 as a surrogate pair, little-endian with its mark.
    std::string le("\xFF\xFE\xE9\x00\x3C\xD8\xB5\xDF", 8);
    EXPECT_EQ(Utf16ToUtf8(le, false, true), "é\xF0\x9F\x8E\xB5");
    // A big-endian mark overrides the default order.
    std::string be("\xFE\xFF\x00\xE9\xD8\x3C\xDF\xB5", 8);
    EXPECT_EQ(Utf16ToUtf8(be, false, true), "é\xF0\x9F\x8E\xB5");
    // U+01FF and U+FFFF-free units whose low byte is 0xFF stay.
    std::string ff("\xFF\x01\xFF\x00", 4);
    EXPECT_EQ(Utf16ToUtf8(ff, false, true), "ǿÿ");
    // A mark in the middle is not a mark: only the leading one goes.
    std::string lone("\x3C\xD8\x41\x00", 4);
    EXPECT_EQ(Utf16ToUtf8(lone, false, true), "\xEF\xBF\xBD"
                                              "A");
    EXPECT_EQ(Utf16ToUtf8(std::string("A\0\0\0B\0", 6), false, true), "A");
    EXPECT_EQ(Utf16ToUtf8(std::string("A\0B", 3), false, true), "A"); // odd byte dropped
}

TEST(TagText, Utf8DecoderTakesFourByteSequencesAndReplacesBadBytes) {
    EXPECT_EQ(DecodeUtf8Lenient("\xC3\xA9"), "é");
    EXPECT_EQ(DecodeUtf8Lenient("\xF0\x9F\x8E\xB5"), "\xF0\x9F\x8E\xB5");
    // A cut sequence and a stray continuation byte: replaced, and the rest still decodes.
    EXPECT_EQ(DecodeUtf8Lenient("\xC3"
                                "A"),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(DecodeUtf8Lenient("x\x80y"), "x\xEF\xBF\xBDy");
    // Overlong forms and encoded surrogates are not characters.
    EXPECT_EQ(DecodeUtf8Lenient("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(DecodeUtf8Lenient("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xB5"));
    EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));
}

TEST(TagText, EightBitTextKeepsUtf8AndDecodesTheRest) {
    EXPECT_EQ(Id3Latin1Text("Caf\xE9"), "Café");
    EXPECT_EQ(Id3Latin1Text("\x80"), "\xC2\x80"); // Latin-1: a C1 code
    EXPECT_EQ(EightBitText("\x80 \x9F"), "€ Ÿ");  // Windows-1252
    EXPECT_EQ(EightBitText("Café"), "Café");      // valid UTF-8 stays
}

TEST(TagText, TrimAndNumbers) {
    EXPECT_EQ(TrimControl(std::string(" \x01 A\0B \0\0", 9)), std::string("A\0B", 3));
    EXPECT_EQ(LeadingInt(" 7/10"), 7);
    EXPECT_EQ(LeadingInt("300"), 300);
    EXPECT_EQ(LeadingInt("x"), 0);
    EXPECT_EQ(LeadingInt("12abc"), 0);
    EXPECT_EQ(LeadingInt("99999999999"), INT32_MAX);
}
