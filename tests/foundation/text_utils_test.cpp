#include "text/string_list.h"
#include "text/string_parser.h"
#include "text/text_utils.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(FormatNumber, GroupsDigitsAndCutsTwoDecimals) {
    EXPECT_EQ(FormatNumber(0), "0");
    EXPECT_EQ(FormatNumber(999), "999");
    EXPECT_EQ(FormatNumber(1000), "1 000");
    EXPECT_EQ(FormatNumber(100000), "100 000");
    EXPECT_EQ(FormatNumber(1048576), "1 048 576");
    EXPECT_EQ(FormatNumber(1536.0 / 1024), "1.50");
    EXPECT_EQ(FormatNumber(12.5), "12.50");
    // Binary doubles just below the decimal must not lose the last digit.
    EXPECT_EQ(FormatNumber(1.05), "1.05");
    EXPECT_EQ(FormatNumber(3.05), "3.05");
    EXPECT_EQ(FormatNumber(2.999), "2.99");
    EXPECT_EQ(FormatNumber(7.001), "7");
    EXPECT_EQ(FormatNumber(1023.999), "1 023.99");
}

TEST(FormatNumber, NegativeHugeAndNonFinite) {
    EXPECT_EQ(FormatNumber(-1), "-1");
    EXPECT_EQ(FormatNumber(-1234567.891), "-1 234 567.89");
    EXPECT_EQ(FormatNumber(-0.5), "-0.50");
    EXPECT_EQ(FormatNumber(-0.001), "0");
    EXPECT_EQ(FormatNumber(-0.0), "0");
    EXPECT_EQ(FormatNumber(9223372036854775807.0), "9 223 372 036 854 775 808");
    EXPECT_EQ(FormatNumber(1e21), "1 000 000 000 000 000 000 000");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::max()).size(), 309u + 102u);
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::denorm_min()), "0");
    EXPECT_EQ(FormatNumber(std::nan("")), "0");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), "0");
}

TEST(FormatBinarySize, BinaryUnitsWithOneDecimal) {
    EXPECT_EQ(FormatBinarySize(0), "0 B");
    EXPECT_EQ(FormatBinarySize(1023), "1023 B");
    EXPECT_EQ(FormatBinarySize(1024), "1.0 KiB");
    EXPECT_EQ(FormatBinarySize(1536), "1.5 KiB");
    EXPECT_EQ(FormatBinarySize(int64_t(1000204886016)), "932 GiB");
    EXPECT_EQ(FormatBinarySize(int64_t{5} << 30), "5.0 GiB");
    EXPECT_EQ(FormatBinarySize(INT64_MAX), "8.0 EiB");
    EXPECT_EQ(FormatBinarySize(-1), "?");
}

TEST(FormatSize, UnitsAndBorders) {
    EXPECT_EQ(FormatSize(0, 1048576), "1 048 576");
    EXPECT_EQ(FormatSize(1, 1048576), "1 024 KB");
    EXPECT_EQ(FormatSize(2, 1048576), "1 MB");
    EXPECT_EQ(FormatSize(1, 1023), "0.99 KB");
    EXPECT_EQ(FormatSize(1, 1024), "1 KB");
    EXPECT_EQ(FormatSize(1, 1025), "1 KB");
    EXPECT_EQ(FormatSize(2, 1048575), "0.99 MB");
    EXPECT_EQ(FormatSize(2, 0), "0 MB");
    EXPECT_EQ(FormatSize(1, -2048), "-2 KB");
    EXPECT_EQ(FormatSize(2, 9223372036854775807.0), "8 796 093 022 208 MB");
    EXPECT_EQ(FormatSize(1, 1099511627775.0), "1 073 741 823.99 KB");
    EXPECT_EQ(FormatSize(3, 1024), "");
    EXPECT_EQ(FormatSize(-1, 1024), "");
    EXPECT_EQ(FormatSize(1, 2048, "Ko", "Mo"), "2 Ko");
    // Byte counts are worked out in integers: a double would round the last digits.
    EXPECT_EQ(FormatSize(0, INT64_MAX), "9 223 372 036 854 775 807");
    EXPECT_EQ(FormatSize(0, int64_t{9007199254740993}), "9 007 199 254 740 993");
    EXPECT_EQ(FormatSize(1, INT64_MAX), "9 007 199 254 740 991.99 KB");
    EXPECT_EQ(FormatSize(2, INT64_MAX), "8 796 093 022 207.99 MB");
    EXPECT_EQ(FormatSize(0, INT64_MIN), "-9 223 372 036 854 775 808");
}

TEST(FormatSize, TakesTheTranslatedUnitWords) {
    SetSizeUnitTexts("Ko", "Mo");
    EXPECT_EQ(FormatSize(2, 3 * 1048576.0), "3 Mo");
    SetSizeUnitTexts("KB", "MB");
    EXPECT_EQ(FormatSize(2, 3 * 1048576.0), "3 MB");
}

TEST(DateTimeText, MidnightDropsTheTime) {
    TDateTime noon = UnixToDateTime(1700000000); // 2023-11-14 22:13:20
    EXPECT_EQ(FormatDateTime(noon), "2023-11-14 22:13:20");
    EXPECT_EQ(FormatDateTime(UnixToDateTime(1699920000)), "2023-11-14");
    EXPECT_EQ(FormatDateTime(UnixToDateTime(1699920001)), "2023-11-14 00:00:01");
    EXPECT_EQ(FormatDateTime(0), "");
}

TEST(DateTimeText, FileTimesWithoutZoneShift) {
    // 1601-01-01 and the Unix epoch in file-time ticks.
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(0), -109205.0);
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(116444736000000000LL), kUnixEpochDays);
    EXPECT_EQ(FormatDateTime(FileTimeToDateTime(116444736000000000LL + 17000000000000000LL)),
              "2023-11-14 22:13:20");
    // Not a date: the current time, which is after 2020.
    EXPECT_GT(FileTimeToDateTime(-1), 43831.0);
    EXPECT_EQ(MakeInt64(1, 2), 4294967298ULL);
    EXPECT_EQ(MakeInt64(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFFFFFFFFFULL);
}

TEST(IncrementTitle, AdvancesTheTrailingNumber) {
    EXPECT_EQ(IncrementTitle("CD 9"), "CD 10");
    EXPECT_EQ(IncrementTitle("CD"), "CD1");
    EXPECT_EQ(IncrementTitle("Disc 099"), "Disc 100");
    EXPECT_EQ(IncrementTitle("Disc 009"), "Disc 010");
    EXPECT_EQ(IncrementTitle("Disc 999"), "Disc 1000");
    EXPECT_EQ(IncrementTitle("CD099"), "CD100");
    EXPECT_EQ(IncrementTitle("Volume 1"), "Volume 2");
    EXPECT_EQ(IncrementTitle("V1.9"), "V1.10");
    // The first character is never part of the number.
    EXPECT_EQ(IncrementTitle("7"), "71");
    EXPECT_EQ(IncrementTitle("123"), "124");
    EXPECT_EQ(IncrementTitle("19"), "110");
    EXPECT_EQ(IncrementTitle(""), "");
    // Longer than any integer type.
    EXPECT_EQ(IncrementTitle("X99999999999999999999999"), "X100000000000000000000000");
    EXPECT_EQ(IncrementTitle("Disc \xC3\xA9"), "Disc \xC3\xA9"
                                               "1");
}

TEST(TextHelpers, EncloseUnencloseBlanks) {
    EXPECT_EQ(RemoveBlanks(" a b\tc "), "ab\tc");
    EXPECT_EQ(Enclose("x", " \" "), "\"x\"");
    EXPECT_EQ(Enclose("x", ""), "x");
    EXPECT_EQ(Unenclose("'x'", "'"), "x");
    EXPECT_EQ(Unenclose("'x", "'"), "x");
    EXPECT_EQ(Unenclose("x'", "'"), "x");
    EXPECT_EQ(Unenclose("'", "'"), "");
    EXPECT_EQ(Unenclose("''", "'"), "");
    EXPECT_EQ(Unenclose("'x'", ""), "'x'");
    EXPECT_EQ(Unenclose("abxab", "ab"), "abxab"); // a quote is one character
    EXPECT_EQ(Unenclose("\xC2\xABx\xC2\xAB", "\xC2\xAB"), "x");
    EXPECT_EQ(UpperCase("a\xC3\xA9z"), "A\xC3\xA9Z");
}

TEST(TextHelpers, JoinAndIndexOrAdd) {
    EXPECT_EQ(JoinStrings(std::vector<std::string>{}, ";"), "");
    EXPECT_EQ(JoinStrings(std::vector<std::string>{"a"}, ";"), "a");
    EXPECT_EQ(JoinStrings(std::vector<std::string>{"a", "", "b"}, "; "), "a; ; b");

    TStringList list(true, TDuplicates::Ignore);
    TStringList extra;
    EXPECT_EQ(IndexOrAdd(list, ""), -1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(IndexOrAdd(list, &extra, "b"), 0);
    EXPECT_EQ(IndexOrAdd(list, &extra, "a"), 0);
    EXPECT_EQ(IndexOrAdd(list, &extra, "B"), 1); // found, ignoring case
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(extra.Count(), 2);
    EXPECT_EQ(IndexOrAdd(list, &extra, ""), -1);
    EXPECT_EQ(extra.Count(), 2);
    EXPECT_EQ(IndexOrAdd(list, nullptr, "c"), 2);
}

TEST(TextHelpers, SplitAtLeavesOutEmptyPieces) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(SplitAt("\\CD1\\a\\\\b\\", '\\'), (V{"CD1", "a", "b"}));
    EXPECT_EQ(SplitAt("one line", '\n'), V{"one line"});
    EXPECT_TRUE(SplitAt("", ';').empty());
    EXPECT_TRUE(SplitAt(";;", ';').empty());
}

TEST(StringParser, QuotesAndEmptyFields) {
    TStringParser p(",", "'");
    p.Parse("a,'b,c',d");
    EXPECT_EQ(p.Items(), (std::vector<std::string>{"a", "b,c", "d"}));
    p.Parse("a,,b");
    EXPECT_EQ(p.Items(), (std::vector<std::string>{"a", "", "b"}));
    p.Parse("a,b,");
    EXPECT_EQ(p.Items(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(p.Item(3), "");
    EXPECT_EQ(p.Item(0), "");
    EXPECT_EQ(p.Item(-5), "");
    EXPECT_EQ(p.Item(2), "b");
    p.Parse("'x''y'");
    EXPECT_EQ(p.Items(), (std::vector<std::string>{"x''y"}));
    p.Parse(",,");
    EXPECT_EQ(p.Items(), (std::vector<std::string>{"", ""}));
    p.Parse("");
    EXPECT_EQ(p.Count(), 0);
    // An unclosed quote keeps the rest in one field.
    p.Parse("a,'b,c");
    EXPECT_EQ(p.Items(), (std::vector<std::string>{"a", "b,c"}));
    p.Parse("'',x");
    EXPECT_EQ(p.Items(), (std::vector<std::string>{"", "x"}));
}

TEST(StringParser, SeparatorAndQuoteMustBeOneCharacter) {
    TStringParser blankQuote(",", " ");
    EXPECT_EQ(blankQuote.Quote(), "");
    blankQuote.Parse("'a,b'");
    EXPECT_EQ(blankQuote.Items(), (std::vector<std::string>{"'a", "b'"}));

    TStringParser longSep(",,", "");
    longSep.Parse("a,,b");
    EXPECT_EQ(longSep.Items(), (std::vector<std::string>{"a,,b"}));

    TStringParser tab("\t", "\"");
    tab.Parse("\"a\tb\"\tc");
    EXPECT_EQ(tab.Items(), (std::vector<std::string>{"a\tb", "c"}));

    // A UTF-8 character is one character.
    TStringParser utf8("\xC2\xA6", "");
    utf8.Parse("a\xC2\xA6"
               "b\xC3\xA9");
    EXPECT_EQ(utf8.Items(), (std::vector<std::string>{"a", "b\xC3\xA9"}));
}

// A language's number marks change the numbers shown, never the unit words,
// and never the plain sizes written to files that are read back.
TEST(TextUtils, NumberMarksChangeShownNumbersOnly) {
    SetNumberMarks(".", ",");
    EXPECT_EQ(FormatSize(0, int64_t{1234567}, "KB", "MB"), "1.234.567");
    EXPECT_EQ(FormatSize(2, int64_t{1572864}, "KB", "M.B"), "1,50 M.B");
    EXPECT_EQ(FormatNumber(-1234.5), "-1.234,50");
    EXPECT_EQ(FormatBinarySize(1536), "1,5 KiB");
    EXPECT_EQ(FormatSizePlain(0, int64_t{1234567}, "KB", "MB"), "1 234 567");
    SetNumberMarks("\xe2\x80\xaf", ".");
    EXPECT_EQ(FormatSize(0, int64_t{1234}, "KB", "MB"), "1\xe2\x80\xaf"
                                                        "234");
    SetNumberMarks("", "");
    EXPECT_EQ(FormatSize(0, int64_t{1234567}, "KB", "MB"), "1 234 567");
}
