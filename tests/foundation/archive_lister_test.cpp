#include "archives/archive_lister.h"
#include "archives/zip_reader.h"
#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "handlers/handlers.h"
#include "rar_writer.h"
#include "settings/progress.h"
#include "support/run_program.h"
#include "support/scoped_state.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string Fixture(const std::string& name) {
    return std::string(TAMBLIX_TEST_DATA) + "/archives/" + name;
}

struct TListed {
    std::vector<TArchiveMember> members;
    std::string error; // the EMessageError's text; empty when the listing worked
};

TListed ListArchive(const std::string& path) {
    TListed out;
    TArchiveLister lister;
    lister.OnMember = [&](const TArchiveMember& m) { out.members.push_back(m); };
    try {
        lister.List(path);
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Key, "msgsArcErr");
        out.error = e.Arg;
    }
    return out;
}

// name|size|date of the file members, in archive order.
std::vector<std::string> Files(const TListed& l) {
    std::vector<std::string> out;
    for (const TArchiveMember& m : l.members)
        if (!m.IsFolder())
            out.push_back(m.FileName + "|" + std::to_string(m.Size) + "|" +
                          FormatDateTimeISO(m.Date));
    std::sort(out.begin(), out.end());
    return out;
}

const std::vector<std::string> kKindFiles = {"a.txt|6|2005-03-07 14:20:10",
                                             "docs/Grüße ñ.txt|1|2005-03-07 14:20:10",
                                             "docs/readme.txt|8|2005-03-07 14:20:10"};

} // namespace

// Archives made by 7z, bsdtar, xorriso and gcab list the same tree, with
// names that do not depend on the locale.
TEST(ArchiveLister, EveryKindListsItsMembers) {
    TScopedLocale scoped(LC_ALL, "C");
    for (const char* locale : {"C", "C.UTF-8"}) {
        ASSERT_TRUE(scoped.Set(locale));
        for (const char* name : {"kinds.7z", "kinds.tar", "kinds.tar.gz", "kinds.tar.bz2",
                                 "kinds.txz", "kinds.tar.zst", "kinds.iso"}) {
            TListed l = ListArchive(Fixture(name));
            EXPECT_EQ(l.error, "") << name;
            EXPECT_EQ(Files(l), kKindFiles) << name << " " << locale;
        }
        TListed cab = ListArchive(Fixture("kinds.cab"));
        EXPECT_EQ(cab.error, "");
        EXPECT_EQ(Files(cab), (std::vector<std::string>{"a.txt|6|2005-03-07 14:20:10",
                                                        "docs/readme.txt|8|2005-03-07 14:20:10"}));
    }
    // "./" in front of TAR names is not part of the path; folders say so
    TListed tgz = ListArchive(Fixture("kinds.tar.gz"));
    ASSERT_EQ(tgz.members.size(), 4u);
    EXPECT_EQ(tgz.members[1].FileName, "docs/");
    EXPECT_TRUE(tgz.members[1].IsFolder());
    EXPECT_EQ(tgz.members[1].Size, 0);
}

// Symbolic links have one size in every kind of archive: the length of the
// target they store, as 7z lists it.
TEST(ArchiveLister, LinksHaveTheLengthOfTheirTarget) {
    for (const char* name : {"links.7z", "links.tar", "links.zip"}) {
        const std::string path = Fixture(name);
        TProgramRun r = RunProgram({"7z", "l", "-slt", "-sccUTF-8", path});
        ASSERT_EQ(r.ExitCode, 0) << "7z (p7zip-full) is needed: " << r.Err;
        std::map<std::string, int64_t> theirs, ours;
        std::istringstream lines(r.Out.substr(r.Out.find("\n----------")));
        std::string line, member;
        while (std::getline(lines, line)) {
            if (line.rfind("Path = ", 0) == 0) member = line.substr(7);
            if (line.rfind("Size = ", 0) == 0) theirs[member] = std::stoll(line.substr(7));
        }
        std::map<std::string, bool> links;
        auto add = [&](const TArchiveMember& m) {
            std::string n = m.FileName;
            if (!n.empty() && n.back() == '/') n.pop_back();
            ours[n] = m.Size;
            links[n] = (m.Attributes & faSymLink) != 0;
        };
        if (std::string(name).ends_with(".zip")) {
            TZip zip;
            zip.OnMember = add;
            zip.SetZipFilename(path);
        } else {
            TArchiveLister lister;
            lister.OnMember = add;
            lister.List(path);
        }
        EXPECT_EQ(ours, theirs) << name;
        // Worked out by hand: "target.txt", "docs/target.txt", "Grüße.txt" in UTF-8.
        EXPECT_EQ(ours["docs/link"], 10) << name;
        EXPECT_EQ(ours["toplink"], 15) << name;
        EXPECT_EQ(ours["umlaut"], 11) << name;
        EXPECT_TRUE(links["dangling"]) << name;
        EXPECT_FALSE(links["docs/target.txt"]) << name;
    }
}

// CAB times are local time as stored (as ZIP's are), shown unshifted whatever
// the zone of the scanning machine: in winter, in summer, and in the hour
// that summer time skips there.
TEST(ArchiveLister, CabTimesAreShownAsStored) {
    struct TZoneReset {
        ~TZoneReset() { tzset(); }
    } reset; // made first, so it runs once TZ is back
    TScopedEnv tz("TZ", "UTC");
    for (const char* zone : {"America/New_York", "Asia/Tokyo", "Australia/Lord_Howe", "UTC"}) {
        tz.Set(zone);
        tzset();
        TListed cab = ListArchive(Fixture("times.cab"));
        EXPECT_EQ(cab.error, "");
        EXPECT_EQ(Files(cab), (std::vector<std::string>{"gap.txt|4|2005-04-03 02:30:00",
                                                        "late.txt|5|2005-01-02 23:59:58",
                                                        "summer.txt|7|2005-07-01 04:05:06"}))
            << zone;
    }
}

// Through the archive library and through the 7z header reader alike.
TEST(ArchiveLister, StopEndsTheListingBetweenMembers) {
    for (const char* name : {"kinds.tar.gz", "members_locked.7z"}) {
        TArchiveLister lister;
        int seen = 0;
        lister.OnMember = [&](const TArchiveMember&) { ++seen; };
        lister.StopRequested = [&] { return seen == 2; };
        EXPECT_NO_THROW(lister.List(Fixture(name)));
        EXPECT_EQ(seen, 2) << name;
    }
}

TEST(ArchiveLister, ProblemsAreErrorsWithThePath) {
    TTempFolder dir;
    EXPECT_EQ(ListArchive(Fixture("locked.7z")).error,
              Fixture("locked.7z") + ": password-protected");
    EXPECT_NE(ListArchive(dir.File("none.7z")).error, "");
    WriteFile(dir.File("text.iso"), "just some text, not an image\n");
    EXPECT_NE(ListArchive(dir.File("text.iso")).error, "");
    ASSERT_EQ(mkfifo(dir.File("pipe.tar").c_str(), 0644), 0);
    EXPECT_EQ(ListArchive(dir.File("pipe.tar")).error,
              dir.File("pipe.tar") + ": not a regular file");
    std::filesystem::create_directory(dir.File("folder.7z"));
    EXPECT_NE(ListArchive(dir.File("folder.7z")).error, "");
}

// A disc image whose directory claims more than the file holds is refused
// before the archive library sizes a buffer by it; it is found by its
// descriptors whatever its name.
TEST(ArchiveLister, ImagesWhoseDirectoriesClaimTooMuchAreRefused) {
    TTempFolder dir;
    const std::string iso = ReadFile(Fixture("kinds.iso"));
    ASSERT_EQ(iso.size(), 73728u);
    // Both-endian 32-bit fields: the primary and Joliet roots' sizes, the
    // "docs" records' sizes and extents in each tree.
    const size_t roots[] = {16 * 2048 + 166, 17 * 2048 + 166};
    const size_t docs[] = {19 * 2048 + 340 + 10, 24 * 2048 + 112 + 10};
    auto patched = [&](std::vector<size_t> at, size_t shift, uint32_t v) {
        std::string out = iso;
        for (size_t a : at) {
            if (shift == 0) {
                EXPECT_EQ(static_cast<uint8_t>(out[a + 1]), 0x08u) << a; // 2048 there
            }
            for (int k = 0; k < 4; ++k) {
                out[a - shift + static_cast<size_t>(k)] = static_cast<char>(v >> (8 * k));
                out[a - shift + 7 - static_cast<size_t>(k)] = static_cast<char>(v >> (8 * k));
            }
        }
        return out;
    };
    const std::string reason = ": a directory of the disc image lies beyond the end of the file";
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"root.iso", patched({roots[0], roots[1]}, 0, 0xFF000000u)},
        {"docs.iso", patched({docs[0], docs[1]}, 0, 0xFF000000u)},
        {"docs.7z", patched({docs[0], docs[1]}, 0, 0xFF000000u)},
        {"far.iso", patched({docs[0], docs[1]}, 8, 0x00FFFFFFu)}, // the extent, past the end
        // inside a file that long, but absurd (the Joliet tree as made)
        {"big.iso", patched({docs[0]}, 0, 70u << 20)},
    };
    for (auto& c : cases) {
        const std::string path = dir.File(c.name);
        WriteFile(path, c.bytes);
        if (std::string(c.name) == "big.iso") std::filesystem::resize_file(path, 80u << 20);
        const TListed l = ListArchive(path);
        EXPECT_EQ(l.error, path + reason) << c.name;
        EXPECT_TRUE(l.members.empty()) << c.name;
    }
    // A sound image under another kind's name, and a TAR under an image's.
    WriteFile(dir.File("image.cab"), iso);
    WriteFile(dir.File("tape.iso"), ReadFile(Fixture("kinds.tar")));
    for (const char* name : {"image.cab", "tape.iso"}) {
        const TListed l = ListArchive(dir.File(name));
        EXPECT_EQ(l.error, "") << name;
        EXPECT_EQ(Files(l), kKindFiles) << name;
    }
}

// Mutation test: cut and flipped archives of every kind end with an error or
// a listing, never a crash, hang or negative size (the sanitizer build runs it too).
TEST(ArchiveLister, CutAndFlippedArchivesEndCleanly) {
    TTempFolder dir;
    const int rounds = std::getenv("TAMBLIX_LONG_TESTS") ? 20000 : 600;
    std::mt19937 rng(5);
    for (const char* name : {"kinds.7z", "kinds.tar.gz", "kinds.tar.bz2", "kinds.txz",
                             "kinds.tar.zst", "kinds.cab", "kinds.tar", "kinds.iso"}) {
        const std::string full = ReadFile(Fixture(name));
        ASSERT_FALSE(full.empty()) << name;
        const std::string path = dir.File(std::string("m_") + name);
        auto check = [&](const std::string& bytes, const std::string& what) {
            std::filesystem::remove(path);
            WriteFile(path, bytes);
            TListed l = ListArchive(path);
            EXPECT_LE(l.members.size(), 8u) << what;
            for (const TArchiveMember& m : l.members)
                EXPECT_GE(m.Size, 0) << what;
        };
        const size_t step = std::max<size_t>(1, full.size() / 300);
        for (size_t n = 0; n < full.size(); n += step)
            check(full.substr(0, n), std::string(name) + " cut at " + std::to_string(n));
        // flips land where the headers are: the first bytes, and an image's descriptors
        const size_t span = std::min<size_t>(full.size(), 4096);
        const size_t base = full.size() > 40000 ? 32768 : 0;
        for (int round = 0; round < rounds; ++round) {
            std::string bad = full;
            int flips = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < flips; ++i)
                bad[(base + rng() % span) % bad.size()] = static_cast<char>(rng() & 0xFF);
            check(bad, std::string(name) + " round " + std::to_string(round));
        }
    }
}
