#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct TRun {
    int code = -1;
    std::string out;
};

// Runs the command-line tool with a settings file of its own.
TRun Cli(const fs::path& settings, const std::string& args) {
    std::string cmd = std::string("'") + TAMBLIX_CLI + "' --settings '" + settings.string() +
                      "' handlers " + args + " 2>/dev/null";
    TRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class HandlersCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tamblix_handlers_cli_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        settings_ = dir_ / "settings.ini";
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_, settings_;
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
