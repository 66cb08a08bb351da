// What one damaged or crafted video may cost the scan: its headers may claim
// tables of gigabytes or make the library read a long hole a few bytes at a
// time; the reader stops at its budget and says the details are incomplete.
#include "media/video_file.h"
#include "media_test_util.h"
#include "support/temp_folder.h"

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// What the reader may cost per file, with room for the work after the budget
// ran out (closing, freeing).
constexpr double kMaxCpuMs = TVideoFile::kCpuBudgetMs * 10.0 / 9;
constexpr long kMaxMemoryKb = 64 * 1024;

// A sparse file of `size` bytes that starts with `head`, as a crafted or
// damaged file on a disc often is: a few real bytes, then a hole.
std::string SparseFile(const TTempFolder& tmp, const std::string& name, const std::string& head,
                       off_t size) {
    const std::string path = tmp.Write(name, head);
    EXPECT_EQ(::truncate(path.c_str(), size), 0) << std::strerror(errno);
    return path;
}

// An atom of the ISO file format that claims `claimed` bytes.
std::string Atom(const char* type, uint32_t claimed, const std::string& body = {}) {
    std::string a;
    for (int shift = 24; shift >= 0; shift -= 8)
        a += static_cast<char>(claimed >> shift & 0xFF);
    return a + type + body;
}

double ThreadCpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The processor time and peak memory of `tamblix-cli tags path`, a process of its own.
struct TCost {
    double CpuMs = 0;
    long PeakKb = 0;
    int Status = -1;
};
TCost CliCost(const std::string& path, const std::string& settings) {
    const char* argv[] = {TAMBLIX_CLI, "--settings", settings.c_str(),
                          "tags",      path.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    TCost cost;
    const int rc =
        posix_spawn(&pid, TAMBLIX_CLI, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return cost;
    rusage ru{};
    if (::wait4(pid, &cost.Status, 0, &ru) != pid) return cost;
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3;
    };
    cost.CpuMs = ms(ru.ru_utime) + ms(ru.ru_stime);
    cost.PeakKb = ru.ru_maxrss;
    return cost;
}

struct TCrafted {
    std::string Name;
    std::string Path;
};

// The files of the kind that once cost a scan a third of a second.
std::vector<TCrafted> CraftedFiles(const TTempFolder& tmp) {
    // A table of chapter tracks as long as the file, read four bytes at a
    // time, twice: 37 MB of hole with a few real bytes at the start.
    const std::string chapters = Atom("chap", 0x6B49D200, std::string(4088, 'x'));
    std::vector<TCrafted> files = {
        {"chapters over a hole", SparseFile(tmp, "a.mp4", chapters, 37 << 20)},
        // The same claim in a file larger than the claim: the table itself
        // would be 1.8 GB.
        {"a 1.8 GB table", SparseFile(tmp, "b.mp4", chapters, off_t{3} << 30)},
        // A box of media data so long it is skipped, then a header read
        // byte by byte: a user-data box over the rest of the hole.
        {"a long user-data box",
         SparseFile(tmp, "c.mov", Atom("ftyp", 16, "qt  \0\0\0\0") + Atom("udta", 0x7FFFFFF0),
                    96 << 20)},
    };
    // A recording cut in its header, and one cut after it.
    const std::string whole = ReadFile(MediaFixture("portrait.mp4"));
    for (size_t cut : {whole.size() - 900, whole.size() / 2}) {
        const std::string name = "cut-" + std::to_string(cut) + ".mp4";
        files.push_back({name, tmp.Write(name, whole.substr(0, cut))});
    }
    return files;
}

TEST(VideoCost, NoFileCostsMoreThanItsBudget) {
    TTempFolder tmp;
    for (const TCrafted& f : CraftedFiles(tmp)) {
        const double before = ThreadCpuMs();
        TVideoFile v;
        const bool read = v.ReadFromFile(f.Path);
        const double spent = ThreadCpuMs() - before;
        EXPECT_LT(spent, kMaxCpuMs) << f.Name;
        // Refused with a reason, or read with what could be read.
        EXPECT_TRUE(read ? v.Error.empty() : !v.Error.empty()) << f.Name;
    }
}

// A program that reads one such file holds no more memory than a program that
// reads a small clip, give or take the reader's limit.
TEST(VideoCost, NoFileTakesMoreMemoryThanItsLimit) {
    TTempFolder tmp;
    const std::string settings = tmp.File("s.ini");
    const TCost base = CliCost(MediaFixture("clip.mp4"), settings);
    ASSERT_EQ(base.Status, 0);
    for (const TCrafted& f : CraftedFiles(tmp)) {
        const TCost cost = CliCost(f.Path, settings);
        EXPECT_EQ(cost.Status, 0) << f.Name;
        EXPECT_LT(cost.PeakKb - base.PeakKb, kMaxMemoryKb) << f.Name;
        EXPECT_LT(cost.CpuMs - base.CpuMs, kMaxCpuMs) << f.Name;
    }
}

// A budget spent while the library looks for stream values: what it found
// stands, and the reader says the details may be incomplete.
TEST(VideoCost, ABudgetSpentMidwayKeepsWhatWasFound) {
    for (const char* name : {"clip.ts", "clip.mpg"}) {
        TVideoFile v;
        ASSERT_TRUE(ReadUnhurried(v, MediaFixture(name), false, 16384)) << name << ": " << v.Error;
        EXPECT_EQ(v.Incomplete, "it asks to read more than a video may") << name;
        EXPECT_EQ(v.VideoCodec, "mpeg2video") << name;
        // The whole file is read in full.
        ASSERT_TRUE(ReadUnhurried(v, MediaFixture(name)));
        EXPECT_EQ(v.Incomplete, "") << name;
        EXPECT_EQ(v.Width, 64) << name;
    }
}

// The log says which limit a file met.
TEST(VideoCost, RefusalsSayWhichLimit) {
    TTempFolder tmp;
    const std::string chapters = Atom("chap", 0x6B49D200, std::string(4088, 'x'));
    TVideoFile v;
    EXPECT_FALSE(v.ReadFromFile(SparseFile(tmp, "b.mp4", chapters, off_t{3} << 30)));
    EXPECT_EQ(v.Error, "its header asks for more memory than a video may take");
    // A hole past the data reads as a megabyte of zeros at most, then as the
    // file's end: the table over it is refused as the library refuses it.
    EXPECT_FALSE(ReadUnhurried(v, SparseFile(tmp, "a.mp4", chapters, 37 << 20)));
    EXPECT_EQ(v.Error, "Invalid data found when processing input");
    // No time left at all.
    EXPECT_FALSE(v.ReadFromFile(MediaFixture("clip.mkv"), 0));
    EXPECT_EQ(v.Error, "reading it took more time than a file may take");
}

} // namespace
