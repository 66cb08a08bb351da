// The roff writer: text from the tables can never be read as a request.
#include "cli/man_page.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace {

TEST(ManPage, TextIsEscaped) {
    EXPECT_EQ(RoffText("--level"), "\\-\\-level");
    EXPECT_EQ(RoffText("CD1\\music\\"), "CD1\\emusic\\e");
    EXPECT_EQ(RoffText(".txc files"), "\\&.txc files");
    EXPECT_EQ(RoffText("'quoted'"), "\\&'quoted'");
    EXPECT_EQ(RoffText(""), "");
}

TEST(ManPage, EveryControlLineIsOurs) {
    TManPage page{"x-tool",
                  "does things",
                  "[--a] FILE",
                  "1.0",
                  {{"DESCRIPTION",
                    ".starts with a dot\n\n'and a quote\nacross lines",
                    {{"--a, --no-a", "", ".dot help"}, {"--b", "N", "\\back"}},
                    {{"sub", "text", {}, {}, {".example"}}},
                    {"x-tool --a"}}}};
    for (const TManPage& p : {page, CliManPage()}) {
        std::istringstream in(RenderManPage(p));
        const std::set<std::string> macros{".TH", ".SH", ".SS", ".PP", ".TP", ".RS",
                                           ".RE", ".nf", ".fi", ".B",  ".nh"};
        std::string line;
        int lines = 0;
        while (std::getline(in, line)) {
            ++lines;
            if (line.empty() || (line[0] != '.' && line[0] != '\'')) continue;
            EXPECT_EQ(macros.count(line.substr(0, line.find(' '))), 1u) << line;
        }
        EXPECT_GT(lines, 10);
    }
    std::string text = RenderManPage(page);
    EXPECT_NE(text.find(".TH X\\-TOOL 1"), std::string::npos);
    EXPECT_NE(text.find("\\fB\\-\\-a\\fR, \\fB\\-\\-no\\-a\\fR\n"), std::string::npos);
    EXPECT_NE(text.find("\\fB\\-\\-b\\fR \\fIN\\fR\n\\eback\n"), std::string::npos);
}

} // namespace
