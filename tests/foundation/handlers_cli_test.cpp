#include "support/run_program.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

struct TRun {
    int code = -1;
    std::string out;
};

// Runs the command-line tool with a settings file of its own; `args` split at spaces.
TRun Cli(const std::string& settings, const std::string& args) {
    std::vector<std::string> argv{TAMBLIX_CLI, "--settings", settings, "handlers"};
    std::istringstream words(args);
    for (std::string w; words >> w;)
        argv.push_back(w);
    TProgramRun run = RunProgram(argv);
    return {run.ExitCode, run.Out};
}

class HandlersCli : public ::testing::Test {
protected:
    TTempFolder dir_;
    std::string settings_ = dir_.File("settings.ini");
};

} // namespace

TEST_F(HandlersCli, PrintsTheTableInOrder) {
    TRun r = Cli(settings_, "");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "AAC\tyes\tAAC File\t.AAC\n");
    EXPECT_NE(r.out.find("\nMPG\tyes\tMPG File\t.MP1;.MP2;.MPA;.MPEG;.MPG\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1),
              "ZIP\tyes\tZIP Archive\t.ZIP\n");
}

TEST_F(HandlersCli, ChangesAreStoredAndWrongTitlesChangeNothing) {
    ASSERT_EQ(Cli(settings_, "--disable zip --disable MP3").code, 0);
    TRun r = Cli(settings_, "");
    EXPECT_NE(r.out.find("\nZIP\tno\t"), std::string::npos);
    EXPECT_NE(r.out.find("\nMP3\tno\t"), std::string::npos);

    EXPECT_EQ(Cli(settings_, "--enable ZIP --enable NOPE").code, 1);
    EXPECT_NE(Cli(settings_, "").out.find("\nZIP\tno\t"), std::string::npos);
    EXPECT_EQ(Cli(settings_, "--defaults --disable NOPE").code, 1);
    EXPECT_NE(Cli(settings_, "").out.find("\nMP3\tno\t"), std::string::npos);

    r = Cli(settings_, "--defaults --disable wav");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("\nZIP\tyes\t"), std::string::npos);
    EXPECT_NE(r.out.find("\nWAV\tno\t"), std::string::npos);
    EXPECT_EQ(Cli(settings_, "").out, r.out);

    EXPECT_EQ(Cli(settings_, "--enable").code, 2);
    EXPECT_EQ(Cli(settings_, "stray").code, 2);
}
