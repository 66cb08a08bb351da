// import-catalog as a user runs it: what tree, ls and ls --tags then show,
// and a refused file leaving the catalog file as it was.
#include "peer_test_support.h"
#include "support/cli_fixture.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

namespace {

class PeerCli : public TCliFixture {};

TEST_F(PeerCli, ImportedCatalogsShowInTreeAndLs) {
    const std::string cat = tmp.File("c.txc");
    TProgramRun r = Cli({"import-catalog", cat, tmp.Write("a.hcf", Gzip(kCdcatExample))});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "Format: CDCat\tVolumes: 1\tFolders: 2\tFiles: 3\tArchive members: 1\t"
                     "Errors: 1\n");
    EXPECT_NE(r.Err.find("Link to another catalog not imported: Music shelf"), std::string::npos);
    r = Cli(
        {"import-catalog", cat, tmp.Write("b.catalog", kGocatcliExample), "--format", "gocatcli"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    r = Cli({"import-catalog", cat, tmp.Write("c.toml", kGocatcliTomlExample)});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "Format: gocatcli\tVolumes: 1\tFolders: 2\tFiles: 2\tArchive members: 1\t"
                     "Errors: 0\n");

    r = Cli({"tree", cat});
    // Archive members sit in the folders their paths name. The second volume of
    // one name was renamed with "#2", which paths write as %23 (not a sibling number).
    EXPECT_EQ(r.Out, "Holiday 2008\n"
                     "  Crete & Rhodes\n"
                     "    notes.tar.gz\n"
                     "      notes\n"
                     "holiday-2008\n"
                     "  Crete & Rhodes\n"
                     "  notes.zip\n"
                     "    notes\n"
                     "holiday-2008%232\n"
                     "  Crete & Rhodes\n"
                     "  notes.zip\n"
                     "    notes\n"
                     "Collections:\n");
    r = Cli({"ls", cat, "Holiday 2008\\Crete & Rhodes\\", "--tags"});
    EXPECT_EQ(r.Out, "notes.tar.gz\tgz\t12800\t2008-09-14 21:04:10\t\t\n"
                     "readme.nfo\tnfo\t13\t2008-09-01 10:00:00\t\t\n"
                     "waves.mp3\tmp3\t3638559\t2008-09-10 08:12:00\t\t2:31, 192 kbps;44100Hz, "
                     "Joint stereo\n"
                     "  General.Format=MPEG Audio\n"
                     "  Artist=Nobody\n"
                     "  Title=Waves\n"
                     "  Album=Shore\n"
                     "  Year=2008\n"
                     "  Track=3\n"
                     "  Comment=dawn take\n");
    r = Cli({"ls", cat, "holiday-2008\\notes.zip\\"});
    EXPECT_EQ(r.Out, "notes\tfolder\t0\t\t\t\n");
    r = Cli({"ls", cat, "holiday-2008\\notes.zip\\notes\\"});
    EXPECT_EQ(r.Out, "day1.txt\ttxt\t20480\t2008-09-09 19:07:07\t\t\n");
    r = Cli({"ls", cat, "Holiday 2008\\Crete & Rhodes\\notes.tar.gz\\"});
    EXPECT_EQ(r.Out, "notes\tfolder\t0\t2008-09-09 21:00:00\t\t\n");
}

TEST_F(PeerCli, RefusedFileLeavesCatalogAndUsageErrors) {
    const std::string cat = tmp.File("c.txc");
    ASSERT_EQ(Cli({"import-catalog", cat, tmp.Write("a.catalog", kCatcliExample)}).ExitCode, 0);
    const std::string before = ReadFile(cat);
    const std::string gz = Gzip(kCdcatExample);
    TProgramRun r = Cli({"import-catalog", cat, tmp.Write("cut.hcf", gz.substr(0, 200))});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("Damaged catalog, nothing was imported"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(cat), before);

    EXPECT_EQ(Cli({"import-catalog", cat, tmp.File("a.catalog"), "--format", "xml"}).ExitCode, 2);
    EXPECT_EQ(Cli({"import-catalog", cat}).ExitCode, 2);
    r = Cli({"import-catalog", "--help"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_NE(r.Out.find("--format"), std::string::npos);
    EXPECT_NE(Cli({"--help"}).Out.find("import-catalog"), std::string::npos);
}

} // namespace
