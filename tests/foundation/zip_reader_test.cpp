#include "archives/zip_reader.h"
#include "support/put_bytes.h"
#include "support/temp_folder.h"
#include "text/date_time.h"
#include "text/message_error.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(TAMBLIX_TEST_DATA) + "/archives/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A stored member for archives built byte by byte.
struct TMember {
    std::string name;
    std::string data;
    uint16_t flags = 0;
    uint16_t madeBy = 0x031E; // Unix, 3.0
    uint32_t external = 0;
};

// Local headers, central directory and end record, as an archiver writes them.
std::string BuildZip(const std::vector<TMember>& members, bool withDirectory = true) {
    std::string out, cd;
    uint32_t dosTime = (((2005 - 1980) << 9 | 3 << 5 | 7) << 16) | (14 << 11 | 20 << 5 | 5);
    for (const TMember& m : members) {
        uint32_t offset = static_cast<uint32_t>(out.size());
        auto common = [&](std::string& s) {
            Put16(s, 20);
            Put16(s, m.flags);
            Put16(s, 0);
            Put32(s, dosTime);
            Put32(s, 0); // CRC: not checked by a lister
            Put32(s, static_cast<uint32_t>(m.data.size()));
            Put32(s, static_cast<uint32_t>(m.data.size()));
            Put16(s, static_cast<uint32_t>(m.name.size()));
            Put16(s, 0);
        };
        Put32(out, 0x04034B50);
        common(out);
        out += m.name + m.data;
        Put32(cd, 0x02014B50);
        Put16(cd, m.madeBy);
        common(cd);
        Put16(cd, 0);
        Put16(cd, 0);
        Put16(cd, 0);
        Put32(cd, m.external);
        Put32(cd, offset);
        cd += m.name;
    }
    if (!withDirectory) return out;
    uint32_t cdOffset = static_cast<uint32_t>(out.size());
    out += cd;
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(members.size()));
    Put16(out, static_cast<uint32_t>(members.size()));
    Put32(out, static_cast<uint32_t>(cd.size()));
    Put32(out, cdOffset);
    Put16(out, 0);
    return out;
}

class ZipReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        zip.OnLog = [this](const std::string& key, const std::string& arg) {
            log.push_back(key + "|" + arg);
        };
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        return tmp.Write(name, bytes);
    }
    // Reads; returns the error text, empty when the read succeeded.
    std::string Read(const std::string& path) {
        log.clear();
        try {
            zip.SetZipFilename(path);
        } catch (const EMessageError& e) {
            EXPECT_EQ(e.Key, "msgsZipErr");
            return e.Arg;
        }
        return {};
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const TZipDirEntry& e : zip.Entries())
            out.push_back(e.FileName);
        return out;
    }

    TTempFolder tmp;
    fs::path dir{tmp.Path()};
    TZip zip;
    std::vector<std::string> log;
};

const std::vector<std::string> kTreeNames = {"a.txt", "docs/", "docs/readme.txt", "docs/sub/",
                                             "docs/sub/big.txt"};

// Plain, streamed (data descriptors) and ZIP64 archives of the same tree list
// the same members with their unpacked sizes and stored dates.
TEST_F(ZipReaderTest, FixturesListEveryMemberWithUnpackedSizes) {
    for (const char* f : {"basic.zip", "stream.zip", "zip64.zip", "zip64_stream.zip"}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(Read(std::string(TAMBLIX_TEST_DATA) + "/archives/" + f), "");
        ASSERT_EQ(Names(), kTreeNames);
        const auto& e = zip.Entries();
        EXPECT_EQ(e[0].Size, 6);
        EXPECT_EQ(e[2].Size, 8);
        EXPECT_EQ(e[4].Size, 1000);
        EXPECT_EQ(e[4].PackedSize, 11); // deflated, as unzip -v reports it
        EXPECT_EQ(e[4].Crc32, 0x3B41C9E6u);
        EXPECT_TRUE(e[1].IsFolder());
        EXPECT_TRUE(e[3].IsFolder());
        EXPECT_FALSE(e[4].IsFolder());
        for (const auto& m : e)
            EXPECT_EQ(FormatDateTimeISO(m.Date), "2005-03-07 14:20:10");
        EXPECT_TRUE(log.empty());
    }
}

// Without a central directory the local headers are walked; data descriptors
// are found after the data, so streamed archives list whole.
TEST_F(ZipReaderTest, LocalHeaderWalkWhenTheDirectoryIsMissing) {
    std::string stream = Fixture("stream.zip");
    std::string cut = stream.substr(0, stream.find(std::string("PK\x01\x02", 4)));
    EXPECT_EQ(Read(Write("s.zip", cut)).find("Error reading Zip File") != std::string::npos, true);
    EXPECT_EQ(Names(), kTreeNames);
    EXPECT_EQ(zip.Entries()[4].Size, 1000);

    std::string z64 = Fixture("zip64_stream.zip");
    cut = z64.substr(0, z64.find(std::string("PK\x01\x02", 4)));
    Read(Write("z.zip", cut));
    ASSERT_EQ(Names(), kTreeNames);
    EXPECT_EQ(zip.Entries()[4].Size, 1000);

    // Stored members bigger than the first search window, each with a descriptor
    // and data that holds a descriptor signature with the wrong size.
    std::string z;
    for (int i = 0; i < 3; ++i) {
        std::string data(9000 + i, static_cast<char>('a' + i));
        data.replace(100, 4, std::string("PK\x07\x08", 4));
        Put32(z, 0x04034B50);
        Put16(z, 20);
        Put16(z, 0x08);
        Put16(z, 0);
        Put32(z, 0);
        Put32(z, 0);
        Put32(z, 0);
        Put32(z, 0);
        Put16(z, 1);
        Put16(z, 0);
        z += static_cast<char>('x' + i);
        z += data;
        Put32(z, 0x08074B50);
        Put32(z, 0);
        Put32(z, static_cast<uint32_t>(data.size()));
        Put32(z, static_cast<uint32_t>(data.size()));
    }
    Read(Write("d.zip", z));
    ASSERT_EQ(Names(), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(zip.Entries()[2].Size, 9002);

    // The last member of a cut plain archive runs into the end: reported, the
    // members before it kept.
    std::string basic = Fixture("basic.zip");
    cut = basic.substr(0, basic.find(std::string("PK\x01\x02", 4)));
    EXPECT_NE(Read(Write("b.zip", cut)).find("Error 3 reading Zip file"), std::string::npos);
    EXPECT_EQ(Names().size(), 4u);
}

TEST_F(ZipReaderTest, Utf8AndLongNamesAreReadWhole) {
    EXPECT_EQ(Read(std::string(TAMBLIX_TEST_DATA) + "/archives/names.zip"), "");
    bool umlaut = false, longName = false;
    for (const auto& e : zip.Entries()) {
        if (e.FileName == "names/Grüße ñ.txt") umlaut = true;
        if (e.FileName.size() > 256 && e.FileName.ends_with("/file.txt")) {
            longName = true;
            EXPECT_EQ(e.FileName.size(), 6u + 131 + 131 + 8);
            EXPECT_EQ(e.Size, 1);
        }
    }
    EXPECT_TRUE(umlaut);
    EXPECT_TRUE(longName);
}

TEST_F(ZipReaderTest, EventsFireBeforeAnErrorReachesTheCaller) {
    std::vector<std::string> order;
    zip.OnMember = [&](const TZipDirEntry& e) { order.push_back(e.FileName); };
    zip.OnDirUpdate = [&](TZip& z) { order.push_back("update " + std::to_string(z.Count())); };
    std::string basic = Fixture("basic.zip");
    std::string cut = basic.substr(0, basic.find(std::string("PK\x01\x02", 4)));
    EXPECT_NE(Read(Write("b.zip", cut)), "");
    ASSERT_EQ(order.size(), 5u);
    EXPECT_EQ(order.back(), "update 4");

    // A missing file: nothing listed, nothing said, the update still fires.
    order.clear();
    EXPECT_EQ(Read((dir / "none.zip").string()), "");
    EXPECT_EQ(order, std::vector<std::string>{"update 0"});
    EXPECT_TRUE(log.empty());

    // A FIFO with a ZIP name is refused, not read (it would block).
    ASSERT_EQ(mkfifo((dir / "pipe.zip").c_str(), 0644), 0);
    EXPECT_NE(Read((dir / "pipe.zip").string()).find("not a regular file"), std::string::npos);
}

TEST_F(ZipReaderTest, EmptyArchiveIsNoErrorJunkIsLogged) {
    // only an end record: a valid archive with no members
    std::string empty = BuildZip({});
    ASSERT_EQ(empty.size(), 22u);
    EXPECT_EQ(Read(Write("e.zip", empty)), "");
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_TRUE(log.empty());

    std::string junk(70000, 'j');
    EXPECT_EQ(Read(Write("j.zip", junk + BuildZip({{"a", "1"}}, false))), "");
    EXPECT_EQ(zip.Count(), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "msgsZipErr|" + (dir / "j.zip").string() + ": No valid zip entries found");
}

// An end record inside the archive comment whose own comment would run past
// the end of the file is a false signature: it says "empty", the real one
// before it does not.
TEST_F(ZipReaderTest, FalseEndRecordInTheCommentIsPassedOver) {
    std::string fake;
    Put32(fake, 0x06054B50);
    fake += std::string(16, '\0'); // no members, no directory
    Put16(fake, 3);                // 3 bytes of comment, but only 2 follow
    fake += "zz";
    std::string z = BuildZip({{"a.txt", "1"}, {"b.txt", "22"}});
    z.resize(z.size() - 2);
    Put16(z, static_cast<uint32_t>(fake.size())); // the real record's comment is the fake one
    z += fake;
    EXPECT_EQ(Read(Write("c.zip", z)), "");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(log.empty());
}

// A ZIP64 size of 2^63+5 bytes is beyond any file system: the member is
// refused as damage, the members before it stay.
TEST_F(ZipReaderTest, Zip64SizeBeyondAnyFileSystemIsRefused) {
    auto build = [](bool withDirectory) {
        std::string out = BuildZip({{"a.txt", "1"}}, false);
        const uint32_t offset = static_cast<uint32_t>(out.size());
        std::string extra;
        Put16(extra, 0x0001);
        Put16(extra, 16);
        Put32(extra, 5); // uncompressed: 2^63 + 5
        Put32(extra, 0x80000000u);
        Put32(extra, 5); // compressed: the 5 bytes that follow
        Put32(extra, 0);
        auto common = [&](std::string& s) {
            Put16(s, 45);
            Put16(s, 0);
            Put16(s, 0);
            Put32(s, 0);
            Put32(s, 0);
            Put32(s, 0xFFFFFFFFu);
            Put32(s, 0xFFFFFFFFu);
            Put16(s, 5);
            Put16(s, static_cast<uint32_t>(extra.size()));
        };
        Put32(out, 0x04034B50);
        common(out);
        out += "b.bin" + extra + "12345";
        if (!withDirectory) return out;
        std::string cd = BuildZip({{"a.txt", "1"}});
        cd = cd.substr(cd.find(std::string("PK\1\2", 4)));
        cd.resize(cd.size() - 22); // the first member's directory entry
        Put32(cd, 0x02014B50);
        Put16(cd, 0x031E);
        common(cd);
        Put16(cd, 0);
        Put16(cd, 0);
        Put16(cd, 0);
        Put32(cd, 0);
        Put32(cd, offset);
        cd += "b.bin" + extra;
        const uint32_t cdOffset = static_cast<uint32_t>(out.size());
        out += cd;
        Put32(out, 0x06054B50);
        Put32(out, 0);
        Put16(out, 2);
        Put16(out, 2);
        Put32(out, static_cast<uint32_t>(cd.size()));
        Put32(out, cdOffset);
        Put16(out, 0);
        return out;
    };
    for (bool withDirectory : {true, false}) {
        std::string path = Write("huge.zip", build(withDirectory));
        EXPECT_EQ(Read(path), path + ": Member size out of range") << withDirectory;
        EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
        for (const TZipDirEntry& e : zip.Entries())
            EXPECT_EQ(e.Size, 1);
    }
}

TEST_F(ZipReaderTest, DataBeforeTheArchiveIsSkipped) {
    // A self-extractor whose offsets were not adjusted: the directory is found
    // from its end record.
    std::string prefixed = std::string(5000, 'x') + Fixture("basic.zip");
    EXPECT_EQ(Read(Write("sfx.exe", prefixed)), "");
    EXPECT_EQ(Names(), kTreeNames);
    EXPECT_EQ(zip.Entries()[0].LocalHeaderOffset, 5000u);
    // Without a directory: up to 60000 bytes of junk are searched through.
    std::string local = std::string(50000, 'j') + BuildZip({{"a", "1"}, {"b", "22"}}, false) +
                        std::string(22, '\0');
    Read(Write("junk.zip", local));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ZipReaderTest, NamesAttributesAndDates) {
    std::vector<TMember> m = {
        {"caf\x82.txt", "1"},                              // CP437 é, no UTF-8 flag
        {"fl\xC3\xBC.txt", "2", 0x800},                    // flagged UTF-8
        {"dos\\path\\x.txt", "3", 0, 0x0014, 0x01 | 0x02}, // DOS host: "\" and attributes
        {"ro.txt", "4", 0, 0x031E, 0100444u << 16},        // Unix mode without write bits
        {"unix\\name", "5"},                               // a Unix name keeps its "\"
        {std::string("nul\0tail", 8), "6"},                // a name ends at a zero byte
    };
    EXPECT_EQ(Read(Write("n.zip", BuildZip(m))), "");
    ASSERT_EQ(zip.Count(), 6);
    EXPECT_EQ(zip.Entry(0).FileName, "café.txt");
    EXPECT_EQ(zip.Entry(1).FileName, "flü.txt");
    EXPECT_EQ(zip.Entry(2).FileName, "dos/path/x.txt");
    EXPECT_EQ(zip.Entry(2).Attributes & (faReadOnly | faHidden), faReadOnly | faHidden);
    EXPECT_TRUE(zip.Entry(3).Attributes & faReadOnly);
    EXPECT_EQ(zip.Entry(4).FileName, "unix\\name");
    EXPECT_EQ(zip.Entry(5).FileName, "nul");
    EXPECT_EQ(zip.Entry(5).StoredName.size(), 8u);
    EXPECT_EQ(FormatDateTimeISO(zip.Entry(0).Date), "2005-03-07 14:20:10");
    EXPECT_EQ(TArchiveMember::DosToDateTime(0), 0.0); // month 0: no date
}

TEST_F(ZipReaderTest, MemberClaimingMoreThanTheFileIsAnError) {
    std::string z = BuildZip({{"a", "1"}, {"b", "2"}}, false) + std::string(22, '\0');
    // second local header: compressed size at offset 18 of the header
    size_t second = z.find(std::string("PK\x03\x04", 4), 4);
    z[second + 18] = '\xFF';
    z[second + 21] = '\x7F';
    EXPECT_NE(Read(Write("big.zip", z)).find("Error 3"), std::string::npos);
    EXPECT_EQ(Names(), std::vector<std::string>{"a"});
}

// Every cut of the fixtures and random bytes: never a crash, only the reader's
// own error, sizes that make sense.
TEST_F(ZipReaderTest, TruncatedAndRandomFilesFailCleanly) {
    for (const char* f : {"basic.zip", "stream.zip", "zip64.zip"}) {
        std::string full = Fixture(f);
        for (size_t n = 0; n < full.size(); ++n) {
            Read(Write("t.zip", full.substr(0, n)));
            EXPECT_LE(zip.Count(), 5);
            for (const auto& e : zip.Entries())
                EXPECT_GE(e.Size, 0);
        }
    }
    std::mt19937 rng(42);
    for (int i = 0; i < 50; ++i) {
        std::string junk(static_cast<size_t>(rng() % 3000), '\0');
        for (char& c : junk)
            c = static_cast<char>(rng() % 4 == 0 ? 'P' : rng() & 0xFF);
        Read(Write("r.zip", junk));
    }
}

// Mutated archives from a fixed seed: bytes flipped, header fields set to
// extremes, pieces cut out. The reader must end every one without a crash.
TEST_F(ZipReaderTest, FuzzMutatedArchives) {
    std::vector<std::string> seeds = {Fixture("basic.zip"), Fixture("stream.zip"),
                                      Fixture("zip64.zip"), Fixture("names.zip")};
    std::mt19937 rng(20260101);
    std::string path = (dir / "f.zip").string();
    int errors = 0, listed = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string z = seeds[rng() % seeds.size()];
        int edits = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < edits; ++k) {
            size_t at = rng() % z.size();
            switch (rng() % 5) {
            case 0:
                z[at] = static_cast<char>(rng() & 0xFF);
                break;
            case 1:
                z[at] = '\xFF', z[(at + 1) % z.size()] = '\xFF';
                break;
            case 2:
                z[at] = 0;
                break;
            case 3:
                z.erase(at, rng() % 64);
                break;
            case 4:
                z.insert(at, std::string(rng() % 64, static_cast<char>(rng() & 0xFF)));
                break;
            }
            if (z.empty()) z = "P";
        }
        fs::remove(path);
        std::ofstream(path, std::ios::binary) << z;
        if (!Read(path).empty()) ++errors;
        if (zip.Count() > 0) ++listed;
        ASSERT_LE(static_cast<size_t>(zip.Count()), z.size() / 30 + 1);
        for (const auto& e : zip.Entries()) {
            ASSERT_GE(e.Size, 0);
            ASSERT_GE(e.PackedSize, 0);
        }
    }
    EXPECT_GT(listed, 1000); // most mutations leave something to list
    EXPECT_GT(errors, 0);
}

} // namespace
