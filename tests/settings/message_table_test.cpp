#include "settings/message_table.h"
#include "text/text_utils.h"

#include <gtest/gtest.h>

namespace {

class MessageTableTest : public ::testing::Test {
protected:
    void TearDown() override { ResetMessageTable(); }
};

TEST_F(MessageTableTest, KeysIgnoreCaseAndPlainTextsStandAsStored) {
    EXPECT_EQ(GetMessageText("infofindresults"), "Results: %s");
    EXPECT_EQ(GetMessageText("INFOCAT"), "Category: %s");
    EXPECT_EQ(GetMessageText("txtRarMSG3"), "Used Pass is: ");
    EXPECT_EQ(GetMessageText("msgsStopped"), "Stopped by user.");
}

TEST_F(MessageTableTest, QuotedTextsLoseOuterQuotesAndDoubledQuotes) {
    EXPECT_EQ(StoredMessageText("confLoad"), R"("Load Library ""%s"" ?")");
    EXPECT_EQ(GetMessageText("confLoad"), R"(Load Library "%s" ?)");
    EXPECT_EQ(GetMessageText("confSerDup"), R"(Found Volumes with Serial "%s":)");
    EXPECT_EQ(GetMessageText("errAssigned"), R"(Already assigned as "%s")");
    EXPECT_EQ(GetMessageText("confAddFav", "a.txc"), R"(Add "a.txc" to favorites?)");
}

TEST_F(MessageTableTest, TextWithQuotesInsideButNoOuterPairIsKept) {
    // A translation such as this must not lose its first and last letters.
    SetMessageText("confExit", R"(Really "exit"? Yes)");
    EXPECT_EQ(GetMessageText("confExit"), R"(Really "exit"? Yes)");
    EXPECT_EQ(UnquoteMessageText("\""), "\"");
    EXPECT_EQ(UnquoteMessageText("\"\""), "");
}

TEST_F(MessageTableTest, ArgumentsAreFilledLiterally) {
    EXPECT_EQ(GetMessageText("errFNF", "a%sb%d%n%%.txc"), "File not found: a%sb%d%n%%.txc");
    EXPECT_EQ(GetMessageText("msgsMp3err", "x"), "Mp3 extract error: x : x");
    EXPECT_EQ(GetMessageText("msgsZipMsg", std::vector<std::string>{"%s", "b"}), "Zip msg: %s : b");
    // Missing arguments leave their places empty; extra ones are ignored.
    EXPECT_EQ(GetMessageText("msgsZipMsg", std::vector<std::string>{"a"}), "Zip msg: a : ");
    EXPECT_EQ(FillMessage("%s%", {"1", "2"}), "1%");
    EXPECT_EQ(GetMessageText("confExit", "x"), "Exit?");
}

TEST_F(MessageTableTest, UnknownKeyGivesTheKey) {
    EXPECT_FALSE(HasMessageKey("noSuchKey"));
    EXPECT_EQ(GetMessageText("noSuchKey"), "noSuchKey");
    EXPECT_EQ(GetMessageText("noSuchKey", "x"), "noSuchKey");
    EXPECT_EQ(GetMessageText(""), "");
}

TEST_F(MessageTableTest, ProjectKeysAndMendedTexts) {
    EXPECT_EQ(GetMessageText("errWrite", "f"), "Cannot write file: f");
    EXPECT_EQ(GetMessageText("errDamaged", "f"), "Damaged catalog file: f");
    EXPECT_EQ(GetMessageText("errDuplicate", "f"), "Duplicate entry: f");
    EXPECT_EQ(GetMessageText("txtRarMSG8"), "Volume-Error");
    EXPECT_EQ(GetMessageText("txtRarMSG16"), "buffer too small");
    EXPECT_EQ(GetMessageText("txtRarMSG17"), "File Header corrupt");
}

TEST_F(MessageTableTest, LanguageLinesReplaceTextsFirstLineWins) {
    std::vector<std::string> lines = {"menuname:Deutsch",  "helpfile:",
                                      "CONFEXIT=Beenden?", "confexit=Zweite",
                                      "confSave=",         "frmMain.miFind=&Suchen",
                                      "=nothing",          R"(confLoad="Katalog ""%s"" laden?")"};
    EXPECT_EQ(ApplyMessageTexts(lines), 2);
    EXPECT_EQ(GetMessageText("confExit"), "Beenden?");
    EXPECT_EQ(GetMessageText("confSave"), "Save changes?"); // empty text keeps the old one
    EXPECT_EQ(GetMessageText("confLoad", "x"), R"(Katalog "x" laden?)");
    EXPECT_FALSE(HasMessageKey("frmMain.miFind")); // window texts are not messages
    ApplyMessageTexts({"infoStrKB=Ko"});
    EXPECT_EQ(FormatSize(1, 2048), "2 Ko"); // size texts follow the language
    ResetMessageTable();
    EXPECT_EQ(GetMessageText("confExit"), "Exit?");
    EXPECT_EQ(FormatSize(1, 2048), "2 KB");
}

TEST_F(MessageTableTest, LinesKeepTableOrderAndStoredForm) {
    auto lines = MessageTableLines();
    ASSERT_GE(lines.size(), 114u);
    EXPECT_EQ(lines.front(), "infoRun=Application already running!");
    EXPECT_EQ(lines.back(), "txtzipmsg14=UNZDLL.DLL not found");
    EXPECT_NE(std::find(lines.begin(), lines.end(), R"(confReplace="Replace existing ""%s"" ?")"),
              lines.end());
}

} // namespace
