// The video reader as a module: where the programs find it, and what a scan
// does when it is missing or broken.
#include "media/media_module_api.h"
#include "media/media_steps.h"
#include "media/program_module.h"
#include "media_test_util.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "tags/tag_info.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace fs = std::filesystem;

namespace {

// Sets or unsets an environment variable for one test, then puts it back.
class TEnvironment {
public:
    TEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~TEnvironment() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The folder ctest names for the module, where the build puts it.
std::string BuiltModuleFolder() {
    const char* dir = std::getenv("TAMBLIX_MODULE_DIR");
    return dir ? dir : "";
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(ProgramModule, FoldersFollowTheEnvironmentElseTheProgram) {
    {
        TEnvironment env("TAMBLIX_MODULE_DIR", "/opt/elsewhere");
        EXPECT_EQ(TProgramModule::Folders(), std::vector<std::string>{"/opt/elsewhere"});
    }
    TEnvironment env("TAMBLIX_MODULE_DIR", nullptr);
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    const std::vector<std::string> folders = TProgramModule::Folders();
    ASSERT_EQ(folders.size(), 2u);
    // Installed: the library folder beside bin/; built: beside src/cli and src/app.
    EXPECT_EQ(folders[0], (exe.parent_path().parent_path() / "lib/tamblix").string());
    EXPECT_EQ(folders[1], (exe.parent_path().parent_path() / "media").string());
}

TEST(ProgramModule, MissingBrokenAndOfAnotherVersion) {
    TTempFolder tmp;
    std::string error;
    {
        TEnvironment env("TAMBLIX_MODULE_DIR", tmp.Path().c_str());
        TProgramModule missing("tamblix_video.so", "the video support");
        EXPECT_EQ(missing.Function(kTamblixReadVideoName, error), nullptr);
        EXPECT_EQ(error, "the video support is not installed (tamblix_video.so not found)");

        tmp.Write("tamblix_video.so", "not a library");
        TProgramModule broken("tamblix_video.so", "the video support");
        EXPECT_EQ(broken.Function(kTamblixReadVideoName, error), nullptr);
        EXPECT_EQ(error.rfind("the video support cannot be loaded: ", 0), 0u) << error;
        // Asked again, it is not loaded again and says the same.
        std::string again;
        EXPECT_EQ(broken.Function(kTamblixReadVideoName, again), nullptr);
        EXPECT_EQ(again, error);
    }
    ASSERT_FALSE(BuiltModuleFolder().empty());
    TProgramModule real("tamblix_video.so", "the video support");
    EXPECT_EQ(real.Function("tamblix_read_video_v0", error), nullptr);
    EXPECT_EQ(error, "the video support does not fit this version of the program "
                     "(no tamblix_read_video_v0)");
    EXPECT_NE(real.Function(kTamblixReadVideoName, error), nullptr);
}

// The exported function straight: lines in the catalog's order, or one error.
TEST(ProgramModule, TheVideoFunctionGivesLinesOrOneError) {
    TProgramModule module("tamblix_video.so", "the video support");
    std::string error;
    auto read = reinterpret_cast<TamblixReadFileFn>(module.Function(kTamblixReadVideoName, error));
    ASSERT_NE(read, nullptr) << error;
    struct TGot {
        std::vector<std::string> lines;
        std::vector<std::string> errors;
    };
    TamblixTagLineFn line = [](void* context, const char* key, const char* value) {
        auto* got = static_cast<TGot*>(context);
        if (key)
            got->lines.push_back(std::string(key) + "=" + value);
        else
            got->errors.push_back(value);
    };
    TGot clip;
    ASSERT_EQ(read(MediaFixture("silent.mp4").c_str(), 3000, 0, line, &clip), 1);
    EXPECT_TRUE(clip.errors.empty());
    // Every value comes, empty and zero ones too; the catalog drops those.
    ASSERT_EQ(clip.lines.size(), 14u);
    EXPECT_EQ(clip.lines[0], "DurationSec=1.001");
    EXPECT_EQ(clip.lines[3], "Rotation=0");
    EXPECT_EQ(clip.lines[4], "FrameRate=29.97");
    EXPECT_EQ(clip.lines[6], "AudioCodec=");
    TTagInfo stepped;
    ASSERT_TRUE(StepVideo(MediaFixture("silent.mp4"), stepped));
    EXPECT_EQ(stepped.Values(),
              (std::vector<std::string>{"DurationSec=1.001", "Width=64", "Height=48",
                                        "FrameRate=29.97", "VideoCodec=h264", "BitRateKBS=30"}));

    TTempFolder tmp;
    TGot bad;
    EXPECT_EQ(read(tmp.Write("text.mkv", "plain text\n").c_str(), 3000, 0, line, &bad), 0);
    EXPECT_TRUE(bad.lines.empty());
    ASSERT_EQ(bad.errors.size(), 1u);
    EXPECT_FALSE(bad.errors[0].empty());
    TGot none;
    EXPECT_EQ(read(nullptr, 3000, 0, line, &none), 0);
}

// The step without its module: no lines, the reason for the log, and a mark
// that the reader, not the file, was at fault.
TEST(ProgramModule, StepWithoutTheModule) {
    // The step keeps the module it loaded first, so this runs in a child.
    TTempFolder tmp;
    TEnvironment env("TAMBLIX_MODULE_DIR", tmp.Path().c_str());
    TProgramRun r = RunProgram({TAMBLIX_CLI, "--settings", tmp.File("s.ini"), "tags",
                                MediaFixture("clip.mkv"), MediaFixture("photo.jpg")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out.find("DurationSec"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find("DateTaken"), std::string::npos) << r.Out;
    EXPECT_NE(r.Err.find("clip.mkv: the video support is not installed"), std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("photo.jpg: the photo support is not installed"), std::string::npos)
        << r.Err;
}

// The programs look beside themselves: in the build tree, and in an installed
// layout (bin/ and lib/tamblix/) made of copies.
TEST(VideoModule, ProgramsFindItBesideThemselves) {
    const fs::path builtModule = fs::path(BuiltModuleFolder()) / "tamblix_video.so";
    TEnvironment env("TAMBLIX_MODULE_DIR", nullptr);
    TTempFolder tmp;
    const std::string clip = MediaFixture("clip.mkv");
    const std::string settings = tmp.File("s.ini");
    TProgramRun built = RunProgram({TAMBLIX_CLI, "--settings", settings, "tags", clip});
    EXPECT_EQ(built.ExitCode, 0) << built.Err;
    EXPECT_NE(built.Out.find("  VideoCodec=h264\n"), std::string::npos) << built.Out;

    const std::string cli = tmp.File("usr/bin/tamblix-cli");
    fs::create_directories(tmp.File("usr/bin"));
    fs::copy_file(TAMBLIX_CLI, cli);
    TProgramRun alone = RunProgram({cli, "--settings", settings, "tags", clip});
    EXPECT_EQ(alone.ExitCode, 0) << alone.Err;
    EXPECT_EQ(alone.Out.find("VideoCodec"), std::string::npos) << alone.Out;
    EXPECT_NE(alone.Err.find("the video support is not installed"), std::string::npos);

    fs::create_directories(tmp.File("usr/lib/tamblix"));
    fs::copy_file(builtModule, tmp.File("usr/lib/tamblix/tamblix_video.so"));
    TProgramRun installed = RunProgram({cli, "--settings", settings, "tags", clip});
    EXPECT_EQ(installed.Out, built.Out);
    EXPECT_EQ(installed.Err, "");
}

// Readers ahead that meet videos while the module is being looked for leave
// them to the scan: without the module each is still named once, and the
// scan ends.
TEST(VideoModule, FilesReadAheadWithoutItAreNamedOnce) {
    TTempFolder tmp;
    const std::string vol = tmp.MakeFolder("vol");
    for (const char* sub : {"a", "b", "c/d"}) {
        fs::create_directories(vol + "/" + sub);
        fs::copy_file(MediaFixture("clip.mkv"), vol + "/" + sub + "/clip.mkv");
    }
    TEnvironment env("TAMBLIX_MODULE_DIR", tmp.MakeFolder("no-modules").c_str());
    TProgramRun scan = RunProgram({TAMBLIX_CLI, "--settings", tmp.File("s.ini"), "scan",
                                   tmp.File("c.txc"), vol, "--no-serial-check"});
    EXPECT_EQ(scan.ExitCode, 0) << scan.Err;
    const std::string all = scan.Out + scan.Err;
    EXPECT_EQ(Count(all, "clip.mkv: the video support is not installed"), 3) << all;
}

// A scan goes on without the module: the video is named once in the log and
// keeps its name and size; a rescan keeps the lines read before.
TEST(VideoModule, AScanWithoutItGoesOnAndKeepsWhatItKnew) {
    TTempFolder tmp;
    const std::string vol = tmp.MakeFolder("vol");
    fs::copy_file(MediaFixture("clip.mkv"), vol + "/clip.mkv");
    tmp.Write("vol/notes.txt", "notes\n");
    const std::string catalog = tmp.File("discs.txc");
    const std::string settings = tmp.File("s.ini");
    const std::string empty = tmp.MakeFolder("no-modules");
    auto ls = [&] {
        return RunProgram({TAMBLIX_CLI, "--settings", settings, "ls", catalog, "vol\\", "--tags"})
            .Out;
    };
    {
        TEnvironment env("TAMBLIX_MODULE_DIR", empty.c_str());
        TProgramRun scan = RunProgram(
            {TAMBLIX_CLI, "--settings", settings, "scan", catalog, vol, "--no-serial-check"});
        EXPECT_EQ(scan.ExitCode, 0) << scan.Err;
        const std::string all = scan.Out + scan.Err;
        EXPECT_EQ(Count(all, "Cannot read the details of "), 1) << all;
        EXPECT_EQ(Count(all, "clip.mkv: the video support is not installed"), 1) << all;
        const std::string listed = ls();
        EXPECT_NE(listed.find("clip.mkv\tmkv\t10174\t"), std::string::npos) << listed;
        EXPECT_EQ(listed.find("VideoCodec"), std::string::npos) << listed;
    }
    TProgramRun update =
        RunProgram({TAMBLIX_CLI, "--settings", settings, "update", catalog, "vol"});
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    const std::string read = ls();
    ASSERT_NE(read.find("  VideoCodec=h264\n"), std::string::npos) << read;

    TEnvironment env("TAMBLIX_MODULE_DIR", empty.c_str());
    // A changed date makes the rescan read the file again.
    fs::last_write_time(vol + "/clip.mkv",
                        fs::file_time_type::clock::now() + std::chrono::hours(1));
    update = RunProgram({TAMBLIX_CLI, "--settings", settings, "update", catalog, "vol"});
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_EQ(Count(update.Out + update.Err, "the video support is not installed"), 1)
        << update.Out << update.Err;
    const std::string kept = ls();
    EXPECT_NE(kept.find("  VideoCodec=h264\n"), std::string::npos) << kept;
    EXPECT_EQ(kept.substr(kept.find("  DurationSec")), read.substr(read.find("  DurationSec")));
}

} // namespace
