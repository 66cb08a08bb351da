#include "support/scoped_state.h"
#include "tags/tag_info.h"
#include "text/string_list.h"

#include <gtest/gtest.h>

namespace {

struct SharedNames {
    TScopedTagNames saved;
    TStringList names{true, TDuplicates::Error};
    SharedNames() {
        TTagInfo::SetSharedTagNames(&names);
        TTagInfo::SetAddToGlobalsTags(true);
    }
};

} // namespace

TEST(TagInfo, ZeroAndEmptyValuesNeverOverwrite) {
    TTagInfo t;
    t.SetValue("Track", int32_t{0});
    EXPECT_TRUE(t.Empty());
    t.SetValue("Track", int32_t{7});
    t.SetValue("Track", uint8_t{0});
    t.SetValue("Title", std::string("Old"));
    t.SetValue("Title", std::string());
    t.SetValue("title", std::string("x"));
    EXPECT_EQ(t.Values(), (std::vector<std::string>{"Track=7", "Title=x"}));
    EXPECT_EQ(t.Text(), "Track=7\r\nTitle=x\r\n");
}

TEST(TagInfo, ValueTextForms) {
    EXPECT_EQ(TagValueText(double{215.379591836735}), "215.379591836735");
    EXPECT_EQ(TagValueText(int8_t{-5}), "-5");
    EXPECT_EQ(TagValueText(int64_t{3000000000LL}), "3000000000");
    EXPECT_EQ(TagValueText(std::string("a\r\nb")), "a  b"); // a value never breaks a line
}

TEST(TagInfo, NewKeysRegisterOnceInSharedNames) {
    SharedNames s;
    TTagInfo a, b;
    a.SetValue("Artist", std::string("A"));
    b.SetValue("Artist", std::string("B"));
    EXPECT_EQ(s.names.Lines(), (std::vector<std::string>{"Artist=Artist"}));
    TTagInfo::SetAddToGlobalsTags(false);
    a.SetValue("Album", std::string("X"));
    EXPECT_EQ(s.names.Count(), 1);
}

TEST(TagInfo, SetTextNormalisesLineEnds) {
    TTagInfo t;
    t.SetText("A=1\nB=2\r\n\r\nC=3");
    EXPECT_EQ(t.Text(), "A=1\r\nB=2\r\nC=3\r\n");
    EXPECT_EQ(t.Count(), 3);
    EXPECT_EQ(t.Value("b"), "2");
    t.SetText("X=1\r\n");
    EXPECT_EQ(t.Text(), "X=1\r\n");
}

TEST(TagInfo, CommonValuesKeepsOnlySharedLines) {
    std::vector<std::string> merged;
    CommonValues({"Album=X", "Track=1"}, merged);
    CommonValues({"Album=X", "Track=2"}, merged);
    CommonValues({"Album=X", "Track=1"}, merged);
    EXPECT_EQ(merged, (std::vector<std::string>{"Album=X"}));
    CommonValues({"Album=x"}, merged); // values compare case-sensitively
    EXPECT_TRUE(merged.empty());
}

TEST(TagInfo, StoreValuesSkipsEmptyAndKeepsOthers) {
    TTagInfo t;
    t.SetText("Year=1999\r\nTitle=T\r\n");
    StoreValues({"Year=", "Title=New", "Genre=Jazz", "Track=0"}, t);
    EXPECT_EQ(t.Values(), (std::vector<std::string>{"Year=1999", "Title=New", "Genre=Jazz"}));
}

TEST(TagInfo, CaptionsRoundTripIncludingUnknownKeys) {
    TStringList names{true, TDuplicates::Error};
    names.Add("Artist=Interpret");
    std::vector<std::string> shown, back;
    ToCaptions({"Artist=A", "Foo=1"}, shown, names);
    EXPECT_EQ(shown, (std::vector<std::string>{"Interpret=A", "Foo=1"}));
    FromCaptions(shown, back, names);
    EXPECT_EQ(back, (std::vector<std::string>{"Artist=A", "Foo=1"}));
    FromCaptions({"=lost"}, back, names);
    EXPECT_TRUE(back.empty());
    CaptionsOnly(names.Lines(), back);
    EXPECT_EQ(back, (std::vector<std::string>{"Interpret"}));
    SwapNamesAndValues({"a=b"}, back);
    EXPECT_EQ(back, (std::vector<std::string>{"b=a"}));
}
