#include "archives/archive_io.h"
#include "archives/archive_lister.h"
#include "archives/sevenzip_headers.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <unistd.h>

namespace {

std::string Fixture(const std::string& name) {
    return std::string(TAMBLIX_TEST_DATA) + "/archives/" + name;
}

// One line per member, "name|size|date|kinds|encrypted": kinds D (folder),
// L (symbolic link), R (read-only); encrypted "+" or "-".
std::string Line(const std::string& name, const std::string& size, const std::string& date,
                 const std::string& kinds, bool encrypted) {
    return name + "|" + size + "|" + date + "|" + kinds + "|" + (encrypted ? "+" : "-");
}

// What the archiver itself lists, in archive order.
std::vector<std::string> ArchiverListing(const std::string& path) {
    TProgramRun r = RunProgram({"env", "TZ=UTC", "7z", "l", "-slt", "-sccUTF-8", path});
    EXPECT_EQ(r.ExitCode, 0) << "7z (p7zip-full) is a test tool: " << r.Err;
    std::vector<std::string> out;
    std::istringstream in(r.Out.substr(std::min(r.Out.size(), r.Out.find("\n----------\n"))));
    std::string line, name, size, date, attrs;
    bool encrypted = false;
    auto flush = [&] {
        if (name.empty()) return;
        std::string kinds;
        const std::string flags = attrs.substr(0, attrs.find(' '));
        if (flags.find('D') != std::string::npos) kinds += "D";
        if (attrs.find(" l") != std::string::npos) kinds += "L";
        if (flags.find('R') != std::string::npos) kinds += "R";
        out.push_back(Line(name, size, date.substr(0, 19), kinds, encrypted));
        name.clear();
    };
    while (std::getline(in, line)) {
        auto value = [&](const char* key) {
            const std::string k = std::string(key) + " = ";
            return line.compare(0, k.size(), k) == 0 ? line.substr(k.size()) : std::string();
        };
        if (line.rfind("Path = ", 0) == 0) {
            flush();
            name = value("Path");
            encrypted = false;
        }
        if (line.rfind("Size = ", 0) == 0) size = value("Size");
        if (line.rfind("Modified = ", 0) == 0) date = value("Modified");
        if (line.rfind("Attributes = ", 0) == 0) attrs = value("Attributes");
        if (line == "Encrypted = +") encrypted = true;
    }
    flush();
    return out;
}

struct TOurs {
    std::vector<std::string> members;
    std::vector<std::string> log;
    std::string error;
};

TOurs OurListing(const std::string& path) {
    TOurs out;
    TArchiveLister lister;
    lister.OnMember = [&](const TArchiveMember& m) {
        std::string kinds;
        if (m.IsFolder()) kinds += "D";
        if (m.Attributes & faSymLink) kinds += "L";
        if (m.Attributes & faReadOnly) kinds += "R";
        out.members.push_back(Line(m.FileName, std::to_string(m.Size), FormatDateTimeISO(m.Date),
                                   kinds, m.Encrypted));
    };
    lister.OnLog = [&](const std::string& key, const std::string& arg) {
        out.log.push_back(key + " " + arg);
    };
    try {
        lister.List(path);
    } catch (const EMessageError& e) {
        out.error = e.Arg;
    }
    return out;
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

void PutLE(std::string& s, size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

// Sets the start header's checksums for the next header it points at, as a
// writer would after changing that header.
void FixChecksums(std::string& file) {
    const auto* p = reinterpret_cast<const uint8_t*>(file.data());
    const uint64_t offset = archiveio::U64(p + 12), size = archiveio::U64(p + 20);
    if (32 + offset + size <= file.size())
        PutLE(file, 28, archiveio::Crc32(p + 32 + offset, size), 4);
    PutLE(file, 8, archiveio::Crc32(p + 12, 20), 4);
}

// A 7z file of `packed` data followed by the next header `header`.
std::string Make7z(const std::string& header, const std::string& packed = {}) {
    std::string file("7z\xBC\xAF\x27\x1C\x00\x04", 8);
    file += std::string(24, '\0') + packed + header;
    PutLE(file, 12, packed.size(), 8);
    PutLE(file, 20, header.size(), 8);
    FixChecksums(file);
    return file;
}

struct TDirect {
    sevenzip::TOutcome outcome;
    std::vector<TArchiveMember> members;
};

TDirect ListDirect(const TTempFolder& dir, const std::string& bytes) {
    const std::string path = dir.Write("t.7z", bytes);
    int fd = open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    TDirect out;
    out.outcome = sevenzip::ListMembers(fd, bytes.size(), [&](TArchiveMember& m) {
                      out.members.push_back(m);
                      return true;
                  }).Outcome;
    close(fd);
    return out;
}

} // namespace

// Names, sizes, dates and kinds as the archiver lists them: solid with a
// packed header, one folder per file with a plain header, and encrypted
// contents under a readable member list, which the archive library gave up
// on at the first link. Encrypted contents are logged once.
TEST(SevenZip, MembersAreListedAsTheArchiverListsThem) {
    for (const char* name : {"members.7z", "members_locked.7z", "members_loose.7z", "kinds.7z"}) {
        const std::string path = Fixture(name);
        const std::vector<std::string> want = ArchiverListing(path);
        ASSERT_GE(want.size(), 4u) << name;
        TOurs ours = OurListing(path);
        EXPECT_EQ(ours.error, "") << name;
        EXPECT_EQ(ours.members, want) << name;
        if (std::string(name) == "members_locked.7z")
            EXPECT_EQ(ours.log, std::vector<std::string>{"msgsArcErr " + path +
                                                         ": contents are password-protected"});
        else
            EXPECT_EQ(ours.log, std::vector<std::string>{}) << name;
    }
    // the listing the archiver gives, worked out by hand for one member of each kind
    const std::vector<std::string> locked = OurListing(Fixture("members_locked.7z")).members;
    ASSERT_EQ(locked.size(), 10u);
    EXPECT_EQ(locked[2], "empty|0|2005-03-07 14:20:10|D|-");
    EXPECT_EQ(locked[7], "docs/sub/Grüße 😀.txt|1|2005-03-07 14:20:10||+");
    EXPECT_EQ(locked[9], "link|5|1999-12-31 23:59:59|L|+");
    EXPECT_EQ(locked[5], "docs/fixed.txt|6|2005-03-07 14:20:10|R|+");
}

// Counts and sizes beyond what the header holds end the reading before any
// member is handed over and before anything that large is made.
TEST(SevenZip, ClaimsBeyondTheHeaderAreRefused) {
    TTempFolder dir;
    using sevenzip::TOutcome;
    // a member list of two members without data, written by hand: header,
    // files info, 2 members, no data for either, names "a" and "b", ends
    const std::string twoFiles = Bytes({0x01, 0x05, 0x02, 0x0e, 0x01, 0xc0, 0x11, 0x09, 0x00, 'a',
                                        0, 0, 0, 'b', 0, 0, 0, 0x00, 0x00});
    TDirect ok = ListDirect(dir, Make7z(twoFiles));
    ASSERT_EQ(ok.outcome, TOutcome::Listed);
    ASSERT_EQ(ok.members.size(), 2u);
    EXPECT_EQ(ok.members[1].FileName, "b");
    EXPECT_TRUE(ok.members[1].IsFolder()); // no data and not marked as an empty file

    // 2^56 members
    EXPECT_EQ(
        ListDirect(dir, Make7z(Bytes({0x01, 0x05, 0xff, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}))).outcome,
        TOutcome::NotRead);
    // three members, two names
    std::string three = twoFiles;
    three[2] = 3;
    EXPECT_EQ(ListDirect(dir, Make7z(three)).outcome, TOutcome::NotRead);
    // a member with data but no stream for it
    std::string noStream = twoFiles;
    noStream[5] = '\x80';
    EXPECT_EQ(ListDirect(dir, Make7z(noStream)).outcome, TOutcome::NotRead);
    // a packed header that claims 1 TiB unpacked from 5 stored bytes: pack info
    // (1 stream of 4 bytes), one folder of one copy coder, its unpacked size
    const std::string packed = Bytes({0x01, 0x05, 0x00, 0x00, 0x00}); // a header of no members
    std::string encoded =
        Bytes({0x17, 0x06, 0x00, 0x01, 0x09, 0x05, 0x00, 0x07, 0x0b, 0x01, 0x00, 0x01, 0x01,
               0x00, 0x0c, 0xff, 0,    0,    0,    0,    0,    1,    0,    0,    0x00, 0x00});
    EXPECT_EQ(ListDirect(dir, Make7z(encoded, packed)).outcome, TOutcome::NotRead);
    // the same, claiming the 5 bytes it has
    encoded.replace(15, 9, "\x05", 1);
    TDirect small = ListDirect(dir, Make7z(encoded, packed));
    EXPECT_EQ(small.outcome, TOutcome::Listed);
    EXPECT_TRUE(small.members.empty());
    // and with more streams than its one folder could hold
    encoded.insert(encoded.size() - 1,
                   Bytes({0x08, 0x0d, 0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00}));
    EXPECT_EQ(ListDirect(dir, Make7z(encoded, packed)).outcome, TOutcome::NotRead);
}

// The packed header's window size is the file's claim: 4 GiB over a header of
// a few hundred bytes lists the same members, with no window that large.
TEST(SevenZip, PackedHeaderWindowIsBoundedByItsSize) {
    TTempFolder dir;
    std::string file = ReadFile(Fixture("members.7z"));
    const size_t props = file.rfind(std::string("\x23\x03\x01\x01\x05\x5d", 6));
    ASSERT_NE(props, std::string::npos);
    PutLE(file, props + 6, 0xFFFFFFFFu, 4);
    FixChecksums(file);
    TDirect d = ListDirect(dir, file);
    EXPECT_EQ(d.outcome, sevenzip::TOutcome::Listed);
    EXPECT_EQ(d.members.size(), 10u);
}

// Mutation test over a plain header, checksums set right so that every change
// reaches the reader: a listing or a refusal, never a crash, a read outside the
// header or a negative size (the sanitizer build runs it too).
TEST(SevenZip, ChangedHeadersEndCleanly) {
    TTempFolder dir;
    const std::string full = ReadFile(Fixture("members_loose.7z"));
    ASSERT_GT(full.size(), 64u);
    const auto* p = reinterpret_cast<const uint8_t*>(full.data());
    const size_t start = 32 + archiveio::U64(p + 12);
    ASSERT_LT(start, full.size());
    std::mt19937 rng(7);
    for (int round = 0; round < 1500; ++round) {
        std::string bad = full;
        if (round < 200) {
            bad.resize(start + (full.size() - start) * static_cast<size_t>(round) / 200);
            PutLE(bad, 20, bad.size() - start, 8);
        } else {
            for (int i = 1 + static_cast<int>(rng() % 3); i > 0; --i)
                bad[start + rng() % (full.size() - start)] = static_cast<char>(rng());
        }
        FixChecksums(bad);
        TDirect d = ListDirect(dir, bad);
        EXPECT_LE(d.members.size(), 10u) << round;
        for (const TArchiveMember& m : d.members)
            EXPECT_GE(m.Size, 0) << round;
    }
}
