// Technical tag keys show under readable, translatable names in the views, and
// an edited grid maps those names back to the keys.
#include "settings/message_table.h"
#include "tags/tag_captions.h"
#include "tags/tag_info.h"
#include "text/string_list.h"

#include <gtest/gtest.h>

namespace {

struct TEnglishAfter {
    ~TEnglishAfter() { ResetMessageTable(); }
};

TEST(TagCaptions, ReadableNamesShowAndMapBack) {
    TEnglishAfter reset;
    TStringList names(true, TDuplicates::Error);
    // Registered by a scan under its own name, renamed by the user, never seen.
    names.Add("DurationSec=DurationSec");
    names.Add("Width=Breadth");
    const std::vector<std::string> lines = {"DurationSec=1.5", "Width=64", "DateTaken=2024",
                                            "XXH128=00ff",     "Artist=A", "Custom=x"};
    std::vector<std::string> shown;
    ToCaptions(lines, shown, names);
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Length (seconds)=1.5", "Breadth=64", "Date taken=2024",
                                        "Checksum (XXH3-128)=00ff", "Artist=A", "Custom=x"}));
    std::vector<std::string> back;
    FromCaptions(shown, back, names);
    EXPECT_EQ(back, lines);

    // Another language: the same keys, its names.
    ApplyMessageTexts({"tagDurationSec=Länge (Sekunden)", "tagDateTaken=Aufnahmedatum"});
    ToCaptions(lines, shown, names);
    EXPECT_EQ(shown[0], "Länge (Sekunden)=1.5");
    EXPECT_EQ(shown[2], "Aufnahmedatum=2024");
    FromCaptions(shown, back, names);
    EXPECT_EQ(back, lines);
}

TEST(TagCaptions, LookupIgnoresCaseAndKnowsOnlyItsKeys) {
    EXPECT_EQ(ReadableTagName("durationsec"), "Length (seconds)");
    EXPECT_EQ(ReadableTagName("Artist"), "");
    EXPECT_EQ(KeyOfReadableTagName("length (SECONDS)"), "DurationSec");
    EXPECT_EQ(KeyOfReadableTagName("Artist"), "");
    EXPECT_EQ(KeyOfReadableTagName(""), "");
}

} // namespace
