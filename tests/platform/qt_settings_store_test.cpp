#include "platform/qt_settings_store.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class QtSettingsStoreTest : public ::testing::Test {
protected:
    TTempFolder tmp_;
    std::string file_ = tmp_.File("settings.ini");
};

TEST_F(QtSettingsStoreTest, ValuesRoundTripThroughTheFile) {
    {
        auto s = CreateSettingsStore(file_);
        s->WriteString("", "Version", "1.0 (Build: 1)");
        s->WriteBool("Defaults", "Sort", true);
        s->WriteBool("Defaults", "Show Icons", false);
        s->WriteInt("Pos\\frmMain", "NormPosLeft", -120);
        s->WriteInt("Big", "n", 5000000000LL);
        s->WriteDouble("Print", "Scale", 0.1);
        s->WriteDateTime("Find", "Date", 45123.52083333334);
        s->WriteString("Defaults", "Last Library", "/home/ä/Discs, old; \"x\" =1 @at");
        s->WriteString("Ext", "a/b%2F", "slash in a name");
        s->WriteString("Defaults", "Empty", "");
        s->Sync();
    }
    auto s = CreateSettingsStore(file_);
    EXPECT_EQ(s->ReadString("", "Version", ""), "1.0 (Build: 1)");
    EXPECT_TRUE(s->ReadBool("Defaults", "Sort", false));
    EXPECT_FALSE(s->ReadBool("Defaults", "Show Icons", true));
    EXPECT_EQ(s->ReadInt("Pos\\frmMain", "NormPosLeft", 0), -120);
    EXPECT_EQ(s->ReadInt("Big", "n", 0), 5000000000LL);
    EXPECT_EQ(s->ReadDouble("Print", "Scale", 0), 0.1);
    EXPECT_EQ(s->ReadDateTime("Find", "Date", 0), 45123.52083333334);
    EXPECT_EQ(s->ReadString("Defaults", "Last Library", ""), "/home/ä/Discs, old; \"x\" =1 @at");
    EXPECT_EQ(s->ReadString("Ext", "a/b%2F", ""), "slash in a name");
    EXPECT_TRUE(s->ValueExists("Defaults", "Empty"));
    EXPECT_EQ(s->ReadString("Defaults", "Empty", "def"), "");
}

TEST_F(QtSettingsStoreTest, ReadsFallBackToTheDefault) {
    auto s = CreateSettingsStore(file_);
    s->WriteString("K", "text", "abc");
    s->WriteString("K", "five", "5");
    EXPECT_EQ(s->ReadInt("K", "text", 7), 7);
    EXPECT_EQ(s->ReadDouble("K", "text", 1.5), 1.5);
    EXPECT_TRUE(s->ReadBool("K", "five", false)); // any integer but 0 is true
    EXPECT_TRUE(s->ReadBool("K", "text", true));
    EXPECT_FALSE(s->ReadBool("K", "text", false));
    EXPECT_EQ(s->ReadString("Missing", "x", "d"), "d");
    EXPECT_FALSE(s->KeyExists("Missing")); // reading did not create it
}

TEST_F(QtSettingsStoreTest, KeysSubKeysAndRecursiveDelete) {
    auto s = CreateSettingsStore(file_);
    s->WriteInt("Pos\\frmMain", "TV", 1);
    s->WriteInt("Pos\\frmMain\\LV\\0", "Width", 10);
    s->WriteInt("Pos\\frmMain\\LV\\1", "Width", 20);
    s->WriteInt("Pos\\frmSearch", "ShowCmd", 1);
    s->WriteInt("Pos", "frmMain", 99); // a value named like a sub-key
    s->WriteInt("Recent\\0", "x", 1);
    EXPECT_TRUE(s->KeyExists("Pos\\frmMain\\LV")); // created with its parents
    EXPECT_EQ(s->SubKeys(""), (std::vector<std::string>{"Pos", "Recent"}));
    EXPECT_EQ(s->SubKeys("Pos"), (std::vector<std::string>{"frmMain", "frmSearch"}));
    EXPECT_EQ(s->SubKeys("Pos\\frmMain\\LV"), (std::vector<std::string>{"0", "1"}));

    s->DeleteKey("Pos\\frmMain");
    EXPECT_FALSE(s->KeyExists("Pos\\frmMain"));
    EXPECT_FALSE(s->ValueExists("Pos\\frmMain\\LV\\0", "Width"));
    EXPECT_EQ(s->ReadInt("Pos", "frmMain", 0), 99);
    EXPECT_TRUE(s->KeyExists("Pos\\frmSearch"));
    s->DeleteKey("No\\Such"); // not an error

    s->DeleteValue("Pos\\frmSearch", "ShowCmd");
    EXPECT_FALSE(s->KeyExists("Pos\\frmSearch"));

    s->WriteString("", "Version", "v");
    s->DeleteKey("");
    EXPECT_TRUE(s->SubKeys("").empty());
    EXPECT_FALSE(s->ValueExists("", "Version"));
}

TEST_F(QtSettingsStoreTest, HandEditedFileIsReadTolerantly) {
    WriteFile(file_, "[Defaults]\nSort=true\nLast%20Library=a, b\nSizes=2\n\xff\xfe garbage\n"
                     "[View]\nToolbar=false\n");
    auto s = CreateSettingsStore(file_);
    EXPECT_TRUE(s->ReadBool("Defaults", "Sort", false));
    EXPECT_EQ(s->ReadString("Defaults", "Last Library", ""), "a, b");
    EXPECT_EQ(s->ReadInt("Defaults", "Sizes", 0), 2);
    EXPECT_FALSE(s->ReadBool("View", "Toolbar", true));
}

// A file that cannot be written (its folder is a regular file, or the file is
// a folder): the save says so, and whatever stood in the way is left as it was.
TEST_F(QtSettingsStoreTest, UnwritableFileIsAnErrorNeverASilentLoss) {
    tmp_.Write("no/such", "a file, not a folder");
    tmp_.Write("folder.ini/kept.txt", "kept");
    auto s = CreateSettingsStore(tmp_.File("no/such/s.ini"));
    s->WriteInt("K", "n", 1);
    EXPECT_THROW(s->Sync(), EMessageError);
    EXPECT_EQ(s->ReadInt("K", "n", 0), 1); // kept for this run
    // A folder is refused when the settings are read, before anything else.
    EXPECT_THROW(CreateSettingsStore(tmp_.File("folder.ini")), EMessageError);
    EXPECT_EQ(tmp_.Read("no/such"), "a file, not a folder");
    EXPECT_EQ(tmp_.Read("folder.ini/kept.txt"), "kept");
}

} // namespace
