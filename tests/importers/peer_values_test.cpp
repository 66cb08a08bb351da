// The value forms of the peer formats: sizes, dates, archive member lines, texts.
#include "importers/peer_values.h"
#include "support/catalog_builder.h"
#include "support/scoped_state.h"

#include <ctime>
#include <gtest/gtest.h>
#include <thread>

namespace pv = peervalues;

TEST(PeerValues, CdcatSizesUseBinaryFactorsAndRound) {
    struct {
        const char* text;
        int64_t bytes;
    } good[] = {{"13.00 byte", 13},
                {"12.50 Kb", 12800},
                {"3.47 Mb", 3638559},
                {"1.00 Gb", 1073741824},
                {"2.00 Tb", 2199023255552},
                {"0.00 byte", 0},
                {"  7.5 KB ", 7680},
                {"8191.99 Tb", 9007188259624714},
                {"0.01 Kb", 10}};
    for (const auto& c : good) {
        int64_t v = -1;
        EXPECT_TRUE(pv::ParseCdcatSize(c.text, v)) << c.text;
        EXPECT_EQ(v, c.bytes) << c.text;
    }
    for (const char* bad : {"12", "12 Pb", "-1 byte", "abc byte", "1,5 Kb", "", "1e400 Tb",
                            "9000000 Tb", "nan byte", "1.0 Kb extra"}) {
        int64_t v = 0;
        EXPECT_FALSE(pv::ParseCdcatSize(bad, v)) << bad;
    }
}

TEST(PeerValues, CdcatDatesInEveryFormAndUnknownOtherwise) {
    EXPECT_EQ(pv::ParseCdcatDate("2008-09-14 21:05:33"), Day("2008-09-14 21:05:33"));
    EXPECT_EQ(pv::ParseCdcatDate("2010-3-7 9:5:0"), Day("2010-03-07 09:05:00"));
    EXPECT_EQ(pv::ParseCdcatDate("Sep 14 21:05 2008"), Day("2008-09-14 21:05:00"));
    EXPECT_EQ(pv::ParseCdcatDate("Sep.14 21:05 2008"), Day("2008-09-14 21:05:00"));
    EXPECT_EQ(pv::ParseCdcatDate("feb 29 00:00 2012"), Day("2012-02-29"));
    // A dead link's date, impossible days and anything else: unknown, never "now".
    for (const char* bad : {"0-00-00 -1:-1:-1", "2019-02-29 10:00:00", "2019-13-01 10:00:00",
                            "2019-01-01 24:00:00", "Foo 1 10:00 2008", "", "2019-01-01",
                            "2019-01-01 10:00:00 extra", "99999-01-01 10:00:00"})
        EXPECT_EQ(pv::ParseCdcatDate(bad), 0) << bad;
}

// Local dates under zones east and west of UTC, summer and winter. The
// offsets are cached per thread, so each zone is read on a fresh thread.
TEST(PeerValues, CdcatDatesAreLocalTimeOfTheImportingZone) {
    struct {
        const char* zone;
        const char* text;
        int64_t instant; // worked out by hand from the zone's offset
    } cases[] = {
        {"IST-5:30", "2004-07-15 10:30:00", 1089867600},               // 05:00 UTC
        {"EST5EDT,M3.2.0,M11.1.0", "2004-07-15 10:30:00", 1089901800}, // 14:30 UTC
        {"EST5EDT,M3.2.0,M11.1.0", "Jan 15 10:30 2004", 1074180600},   // 15:30 UTC
    };
    for (const auto& c : cases) {
        TDateTime date = -1, member = -1;
        {
            TScopedEnv tz("TZ", c.zone);
            tzset();
            std::thread([&] {
                date = pv::ParseCdcatDate(c.text);
                pv::TCdcatMember m;
                // "MMM d h:s yyyy": hour and seconds, the minutes never written
                if (pv::ParseCdcatMemberLine("-rw-r--r-- ?u?g?1?Jan 15 10:30 2004?a??", m))
                    member = m.Date;
            }).join();
        }
        tzset();
        EXPECT_EQ(date, UnixToDateTime(c.instant)) << c.zone << " " << c.text;
        if (std::string(c.text).starts_with("Jan")) {
            EXPECT_EQ(member, UnixToDateTime(c.instant - 30 * 60 + 30)) << c.zone;
        }
    }
}

TEST(PeerValues, EpochTimesConvertAndOutOfRangeIsUnknown) {
    EXPECT_EQ(pv::EpochToDateTime(0), UnixToDateTime(0));
    EXPECT_DOUBLE_EQ(pv::EpochToDateTime(1220990400.25), UnixToDateTime(1220990400, 250000000));
    EXPECT_EQ(pv::EpochToDateTime(-86400), UnixToDateTime(-86400));
    EXPECT_EQ(pv::EpochToDateTime(1e300), 0);
    EXPECT_EQ(pv::EpochToDateTime(-1e300), 0);
}

TEST(PeerValues, ArchiveMemberLines) {
    pv::TCdcatMember m;
    ASSERT_TRUE(pv::ParseCdcatMemberLine(
        "-rw-r--r-- ?ilse?users?20480?Sep 9 21:7 2008?notes/day1.txt??", m));
    EXPECT_EQ(m.Path, "notes/day1.txt");
    EXPECT_EQ(m.Size, 20480);
    EXPECT_EQ(m.Date, Day("2008-09-09 21:00:07"));
    EXPECT_FALSE(m.IsFolder);

    ASSERT_TRUE(pv::ParseCdcatMemberLine("drwxr-xr-x ?u?g?0?Sep 9 21:0 2008?notes/??", m));
    EXPECT_TRUE(m.IsFolder);
    EXPECT_EQ(m.Path, "notes");

    // A "?" in the path splits it further; the path is put back together.
    ASSERT_TRUE(pv::ParseCdcatMemberLine("-rw-r--r-- ?u?g?5?Jan 1 1:1 2000?why?.txt? -> x?", m));
    EXPECT_EQ(m.Path, "why?.txt");

    // A month name of another locale leaves the date unknown, the rest stays.
    ASSERT_TRUE(pv::ParseCdcatMemberLine("-rw-r--r-- ?u?g?7?Okt 9 21:7 2008?a.txt??", m));
    EXPECT_EQ(m.Date, 0);
    EXPECT_EQ(m.Size, 7);

    EXPECT_FALSE(pv::ParseCdcatMemberLine("-rw-r--r-- ?u?g?7?a.txt??", m));
    EXPECT_FALSE(pv::ParseCdcatMemberLine("-rw-r--r-- ?u?g?7?Jan 1 1:1 2000?a.txt?x", m));
}

TEST(PeerValues, TextsTrimIndentationAndSplitKeyValueLines) {
    EXPECT_EQ(pv::TrimText("\n\nText  \n   "), "Text");
    EXPECT_EQ(pv::CdcatComment("a#b#  "), "a\nb");
    EXPECT_EQ(pv::OneLine(" a\r\nb "), "a  b");
    auto kv = pv::KeyValueLines("General\nFormat     : MPEG Audio\nAudio\nFormat : MPEG\n"
                                "Bit=rate : 192\n",
                                true);
    ASSERT_EQ(kv.size(), 3u);
    EXPECT_EQ(kv[0], std::make_pair(std::string("General.Format"), std::string("MPEG Audio")));
    EXPECT_EQ(kv[1].first, "Audio.Format");
    EXPECT_EQ(kv[2].first, "Audio.Bit_rate"); // "=" would end the key early
    auto exif = pv::KeyValueLines("Exif.Image.Model: X100\nnot a pair\n", false);
    ASSERT_EQ(exif.size(), 1u);
    EXPECT_EQ(exif[0].second, "X100");
}
